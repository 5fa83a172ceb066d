// SPDX-License-Identifier: MIT
#include "expand_dia1.h"
#include "out_graph2015.h"
#include "results_texts.h"
#include "model/series_build.h"

#include "stats/stat2018.h"

#include <vector>

namespace obr {

using detail::addPoint;
using detail::at;

namespace {

// The unidentified-cause series takes the colour it has in the results window.
constexpr int kUnknownPalette = 11;

ChartData expandFrame(const ExpandMemory &mem)
{
    using detail::line;
    ChartData c;
    c.title = rtxt::flowTitle;
    c.titlePx = 19;
    c.axisTitlePx = 19;
    c.axisLabelPx = 16;
    c.legendPx = 13;
    c.left.title = rtxt::flowLeft;
    c.right.title = rtxt::expandRight;
    c.legendVisible = true;
    SeriesData s7 =
        line(QStringLiteral("Series7"), mem.accumRetitled ? rtxt::sAccumPct : rtxt::sOutGarExpl,
             0xFF0000, AxisSide::Right, 3);
    s7.style = LineStyle::Dash;
    s7.crossMarkers = true;
    s7.marksVisible = true;
    s7.marksPx = 16;
    c.series = {
        line(QStringLiteral("Series1"), rtxt::sOutGar, 0xFFFF00, AxisSide::Right, 2),
        line(QStringLiteral("Series2"), mem.pearsonRetitled ? rtxt::sPirsCens : rtxt::sPirsInfl,
             0x008000, AxisSide::Left, 2),
        line(QStringLiteral("Series3"), rtxt::sPirs, 0x00FF00, AxisSide::Left, 2, 12),
        line(QStringLiteral("Series4"), rtxt::sSmirn, 0x0000FF, AxisSide::Left, 1),
        line(QStringLiteral("Series6"), rtxt::sGenet, 0xFF6F6F, AxisSide::Left, 2),
        line(QStringLiteral("Series5"), mem.genetRetitled ? rtxt::sGenetCens : rtxt::sGenetInfl,
             0xFF0000, AxisSide::Left, 2),
        s7,
    };
    return c;
}

}   // namespace

ExpandView computeExpand(State &s, const NumLocale &nl, ExpandMemory &mem)
{
    // 1, 2: per-cause totals; causes 1..18 with failures are active.
    const size_t n = s.Hist_Arr.size();
    int32_t x1 = 0;
    const std::vector<int> active = startCauseTotals(s, kMaxCauses);

    // 3..6: a fresh chart; the model totals are summed again.
    PerModel totals;
    ExpandView v;
    ChartData &c = v.chart;
    c = expandFrame(mem);
    c.decimal = nl.dec;
    const size_t firstBar = c.series.size();
    for (int k : active)
        c.series.push_back(detail::bar(QStringLiteral("Cause%1").arg(k),
                                       causeTitle(s.Vidy_otkazov[size_t(k)], s.Kol_izw, nl),
                                       paletteColor(k), 0));
    if (s.SumNund > 0)
        c.series.push_back(detail::bar(QStringLiteral("Unknown"), rtxt::sUnknown,
                                       paletteColor(kUnknownPalette), 0));

    const Mod_Weib &M = s.MPirsN.Executed ? s.MPirsN : s.MPirsS;
    const Mod_Weib &G = s.MGenet;
    if (M.Executed) {
        mem.pearsonRetitled = true;
        c.find(QStringLiteral("Series2"))->title = rtxt::sPirsCens;
        c.find(QStringLiteral("Series3"))->title = rtxt::sPirs;
    }
    if (G.Executed) {
        // As with the Pearson pair, the curve built from F_Weib is the censoring-corrected one.
        mem.genetRetitled = true;
        c.find(QStringLiteral("Series5"))->title = rtxt::sGenetCens;
        c.find(QStringLiteral("Series6"))->title = rtxt::sGenet;
    }
    SeriesData &S1 = *c.find(QStringLiteral("Series1"));
    SeriesData &S2 = *c.find(QStringLiteral("Series2"));
    SeriesData &S3 = *c.find(QStringLiteral("Series3"));
    SeriesData &S4 = *c.find(QStringLiteral("Series4"));
    SeriesData &S5 = *c.find(QStringLiteral("Series5"));
    SeriesData &S6 = *c.find(QStringLiteral("Series6"));
    SeriesData &S7 = *c.find(QStringLiteral("Series7"));
    const double Izd = s.Izd_Prived;
    double Nakopl = 0;
    bool accumStopped = false;

    // 7: one category per histogram interval.
    for (size_t i = 0; i < n; ++i) {
        const Hist_Rec &h = s.Hist_Arr[i];
        const int32_t x2 = int32_t(roundEven(h.time));
        const double K_Interval = 100.0 / double(x2 - x1);
        s.F_OutGar[i] = CDF_Gauss(s.Sred, s.SKO, x2);
        const QString label = fmtInt(x2);
        for (size_t r = 0; r < active.size(); ++r) {
            const int k = active[r];
            s.Sum_PrichCol[size_t(k)] += h.Npr[size_t(k)];
            addPoint(c.series[firstBar + r], h.Npr[size_t(k)] * K_Interval / Izd, label,
                     paletteColor(k));
        }
        advanceModelTotals(totals, s, i);
        if (M.Executed) {
            if (auto f = at(M.F_Weib, i))
                addPoint(S2, *f * K_Interval * M.K_powtor, label);
            if (auto k = at(M.Kol_F_priv, i))
                addPoint(S3, *k * K_Interval / Izd, label);
        }
        if (G.Executed) {
            if (auto f = at(G.F_Weib, i))
                addPoint(S5, *f * G.K_powtor * K_Interval, label);
            if (auto k = at(G.Kol_F_priv, i))
                addPoint(S6, *k / Izd * K_Interval, label);
        }
        if (s.MSmirn.Executed) {
            if (auto k = at(s.MSmirn.Kol_F_priv, i))
                addPoint(S4, *k * K_Interval / Izd, label);
        }
        addPoint(S1, s.F_OutGar[i] * 100, label);
        Nakopl += h.Sum;
        // Once the accumulated failures exceed the fleet the curve ends for good.
        if (!accumStopped && Nakopl / Izd <= 1) {
            const double pct = Nakopl / Izd * 100;
            addPoint(S7, pct, label);
            S7.points.back().mark = fmtPicture(pct, false, false, 1, nl);
        } else {
            accumStopped = true;
        }
        x1 = x2;
    }

    storeModelTotals(s, totals);

    // 8: the red dashed curve shows accumulated failures once a named cause has some.
    for (int k = 1; k <= kMaxCauses; ++k)
        if (s.Sum_PrichCol[size_t(k)] > 0)
            mem.accumRetitled = true;
    if (mem.accumRetitled)
        S7.title = rtxt::sAccumPct;

    // 9, 10: the 50% times.
    const HalfFleetTimes ht = halfFleetTimes(s);
    if (ht.t50 == 0) {
        v.label2 = rtxt::notEnoughData;
    } else {
        v.label2 = rtxt::withoutCens + fmtF(ht.t50, 7, 1, nl.dec) + rtxt::hours;
        mem.label3 = rtxt::withCens + fmtF(ht.tz50, 7, 2, nl.dec) + rtxt::hours;
    }
    v.label3 = mem.label3;
    v.label4 = rtxt::label4;
    // 11: the caption with the fleet and the number of failures.
    v.label1 = s.Comment + QStringLiteral(" (") + fmtInt(s.Kol_Izd_All) + rtxt::piecesComma +
               fmtInt(s.KolOtk) + rtxt::failuresClose;
    return v;
}

ExpandView computeExpand(State &s, const NumLocale &nl)
{
    ExpandMemory fresh;
    return computeExpand(s, nl, fresh);
}

}   // namespace obr
