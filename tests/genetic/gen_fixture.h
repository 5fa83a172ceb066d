// SPDX-License-Identifier: MIT
#pragma once
// A small failure data set drawn from a known censored Weibull model, built straight
// into a State: products leave warranty at normal times (mean 1000 h, deviation 250 h)
// and fail by F(t) = 1 - exp(-A t^B) with A = 1/500^1.2, B = 1.2 and 1.2 failures per
// product over their whole life. All three parameters lie inside the genes' ranges.
#include "fit/genetic.h"
#include "model/numfmt.h"
#include "stats/stat2018.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

namespace gentest {

constexpr double kTrueB = 1.2;
constexpr double kTrueEta = 500;
constexpr double kTrueK = 1.2;

inline obr::State failureState(int fleet = 300, uint32_t seed = 7)
{
    std::mt19937 g(seed);
    auto u = [&] { return (double(g()) + 0.5) / 4294967296.0; };
    obr::State s;
    s.Sred = 1000;
    s.SKO = 250;
    const double pi = 3.14159265358979323846;
    std::vector<obr::Problems> recs;
    for (int p = 0; p < fleet; ++p) {
        const double w = s.Sred + s.SKO * std::sqrt(-2 * std::log(u())) * std::cos(2 * pi * u());
        // Failures of one product: a whole number near K on average.
        const int n = int(kTrueK) + (u() < kTrueK - int(kTrueK) ? 1 : 0);
        for (int k = 0; k < n; ++k) {
            const double t = kTrueEta * std::pow(-std::log(1 - u()), 1 / kTrueB);
            if (t < w)
                recs.push_back({std::round(t * 10) / 10, int32_t(1 + p % 3)});
        }
    }
    std::stable_sort(recs.begin(), recs.end(), [](const obr::Problems &a, const obr::Problems &b) {
        return a.time < b.time;
    });
    s.MasProbl = std::move(recs);
    s.Kol_izw = int32_t(s.MasProbl.size());
    s.KolOtk = s.Kol_izw;
    s.Kol_Izd_All = fleet;
    s.Izd_Prived = fleet;
    s.uk = true;
    obr::hist(s);
    return s;
}

//! Settings for a quick run on \a s (default precision, so 24-bit genes).
inline obr::GenInput quickInput(obr::State &s, int32_t population, int32_t generations,
                                int threads = 1)
{
    obr::GenSettings st;
    st.Precision = 1e-7;
    st.L = obr::geneLength(st.Precision);
    st.population = population;
    st.generations = generations;
    return obr::prepareGenRun(s, st, u'.', threads);
}

//! Writes Ao[0..iop-1] as genes of L bits (n = Round(Ao[k] / NormA[k])): the inverse of
//! XromeToA, for building chromosomes by value.
inline std::string encodeGenes(const std::array<double, 5> &Ao, int32_t iop, int32_t L,
                               const std::array<double, 5> &NormA)
{
    std::string s;
    s.reserve(size_t(iop * L));
    for (int32_t k = 0; k < iop && k < 5; ++k)
        s += obr::IntToBin(int64_t(obr::roundEven(Ao[k] / NormA[k])), L);
    return s;
}

//! The objective over the State's histogram, writing s.MGenet.
inline double Pirson_ZFGen(obr::State &s, double A, double B, double k_pwt, double Mu, double Sig)
{
    return obr::Pirson_ZFGen(s.Hist_Arr, s.Izd_Prived, s.Kol_izw, s.MGenet, A, B, k_pwt, Mu, Sig);
}

/*! The objective of s.Ao as a run decodes it: A = Ao[1], B = Ao[0], K = Ao[2]; the
 *  warranty mean and deviation from Ao[3], Ao[4] or the State's figures by the flags. */
inline double CelevFunction(obr::State &s)
{
    double Mu = s.Sred, Sig = s.SKO;
    if (s.Sred_Opt && s.SKO_Opt) {
        Mu = s.Ao[3];
        Sig = s.Ao[4];
    } else if (s.Sred_Opt) {
        Mu = s.Ao[3];
    } else if (s.SKO_Opt) {
        Sig = s.Ao[3];
    }
    return Pirson_ZFGen(s, s.Ao[1], s.Ao[0], s.Ao[2], Mu, Sig);
}

}   // namespace gentest
