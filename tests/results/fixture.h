// SPDX-License-Identifier: MIT
#pragma once
// Small states for the results tests, built directly so the tests need no loader and
// no fit.
#include "model/state.h"

#include <cmath>
#include <vector>

namespace obr::test {

/*! A histogram of intervals ending at \a ends with the given failures per cause
 *  (cause index -> counts per interval) and unidentified failures per interval. */
inline std::vector<Hist_Rec> histogram(const std::vector<double> &ends,
                                       const std::vector<std::pair<int, std::vector<int>>> &causes,
                                       const std::vector<int> &unknown = {})
{
    std::vector<Hist_Rec> h(ends.size());
    for (size_t i = 0; i < ends.size(); ++i) {
        h[i].time = ends[i];
        for (const auto &[k, counts] : causes)
            if (i < counts.size()) {
                h[i].Npr[size_t(k)] = counts[i];
                h[i].Sum += counts[i];
            }
        if (i < unknown.size()) {
            h[i].Nund = unknown[i];
            h[i].Sum += unknown[i];
        }
    }
    return h;
}

//! A model with per-interval arrays of \a n entries (values grow with the index).
inline Mod_Weib model(double invA, double B, double K, size_t n, double Sred = 1000,
                      double SKO = 250)
{
    Mod_Weib m;
    m.A = 1 / invA;
    m.B = B;
    m.K_powtor = K;
    m.Sred = Sred;
    m.SKO = SKO;
    m.SKO_out = 1.5;
    for (size_t i = 0; i < n; ++i) {
        m.F_Weib.push_back(0.01 * double(i + 1));
        m.Kol_F_priv.push_back(0.5 * double(i + 1));
        m.F_norm.push_back(0);
    }
    m.Executed = true;
    return m;
}

/*! A loaded data set: fleet 200, 96 documented of 120 declared failures, warranty
 *  1000 +- 250 h, ten 100-hour intervals, causes 1 ("Насос", 12 failures) and 3
 *  ("Стартер"), cause 2 listed without failures. */
inline State smallState()
{
    State s;
    s.Comment = QStringLiteral("Проба");
    s.Kol_Izd_All = 200;
    s.KolOtk = 120;
    s.Kol_izw = 96;
    s.Popravka_Unknow = 96.0 / 120.0;
    s.Izd_Prived = 200 * s.Popravka_Unknow;
    s.Sred = 1000;
    s.SKO = 250;
    s.tGar = 1000;
    s.Otk_Izd = 0.55;
    s.T50expl = 900.4;
    s.t50zen = 850.5;
    s.T80expl = 1200.6;
    s.T90expl = 1400.2;
    s.Vidy_otkazov[0].Nazv_Prich = QStringLiteral("Не установл.");
    s.Vidy_otkazov[1] = {QStringLiteral("Насос"), 12};
    s.Vidy_otkazov[2] = {QStringLiteral("Радиатор"), 0};
    s.Vidy_otkazov[3] = {QStringLiteral("Стартер"), 84};
    std::vector<double> ends;
    for (int i = 1; i <= 10; ++i)
        ends.push_back(100.0 * i);
    s.Hist_Arr =
        histogram(ends, {{1, {1, 1, 1, 1, 2, 2, 1, 1, 1, 1}}, {3, {8, 8, 8, 8, 8, 8, 9, 9, 9, 9}}});
    std::vector<Problems> recs;
    for (const Hist_Rec &h : s.Hist_Arr)
        for (int j = 0; j < h.Sum; ++j)
            recs.push_back({h.time - 50 + j, 1});
    s.MasProbl = std::move(recs);
    return s;
}

}   // namespace obr::test
