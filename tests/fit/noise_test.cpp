// SPDX-License-Identifier: MIT
// The rounding bounds that the fast walk trusts: every engine value must lie within its
// noise() of the same formula evaluated in long double. Parts an engine keeps cached
// while one parameter walks (the powers, the Weibull differences, the warranty shares)
// enter the long-double evaluation as the very doubles the engine computed, because the
// bound covers only what is computed anew at each position.
#include "fit/engines.h"
#include "gen.h"
#include "stats/stat2018.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace obr;
using detail::PearsonEngine;
using detail::SmirnovEngine;

namespace {

using LD = long double;

LD floorW(LD w) { return w > 0 ? w : LD(kWeibFloor); }
LD floorP(LD p) { return p < 0 ? LD(kWeibFloor) : p; }

//! Interval probabilities over the bounds \a t (t[0] = 0): in long double when
//! \a exact, otherwise as the engine caches them (doubles). Equal bounds share a value.
std::vector<LD> intervalP(const std::vector<double> &t, double A, double B, bool exact)
{
    std::vector<LD> P(t.size() - 1);
    LD wprev =
        exact ? floorW(1 - std::exp(-LD(A) * std::pow(LD(t[0]), LD(B)))) : LD(weibCDF(A, B, t[0]));
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        const LD w = t[i + 1] == t[i] ? wprev
                     : exact          ? floorW(1 - std::exp(-LD(A) * std::pow(LD(t[i + 1]), LD(B))))
                                      : LD(weibCDF(A, B, t[i + 1]));
        P[i] = exact ? floorP(w - wprev) : LD(weibDiff(double(w), double(wprev)));
        wprev = w;
    }
    return P;
}

struct Point {
    double B, scale, K;   // A = 1 / scale^B
};

const Point kPoints[] = {{0.6, 3000, 0.8}, {1.4, 4000, 1.2}, {2.5, 1500, 1.0}, {4.0, 9000, 2.0}};

//! A step off the point for the moving parameter: the value walks nearby, not at the
//! point the caches were made for.
double moved(double v) { return v * (1 + 1.0 / 64); }

}   // namespace

TEST(EngineNoise, PearsonValuesLieWithinTheirBound)
{
    const Criterion crits[] = {Criterion::Standard, Criterion::Spec1, Criterion::Spec2};
    for (const int failures : {40, 600, 5000}) {
        const State s = gen::makeState(failures, 7 + uint64_t(failures));
        const size_t m = s.Hist_Arr.size();
        std::vector<double> t(m + 1, 0.0), mid(m);
        for (size_t i = 0; i < m; ++i)
            t[i + 1] = s.Hist_Arr[i].time;
        for (size_t i = 0; i < m; ++i)
            mid[i] = (t[i] + t[i + 1]) / 2;
        for (const Criterion c : crits)
            for (const Point &pt : kPoints)
                for (const auto p : {PearsonEngine::PB, PearsonEngine::PA, PearsonEngine::PK,
                                     PearsonEngine::PMu, PearsonEngine::PSig}) {
                    const double A = 1 / std::pow(pt.scale, pt.B);
                    double a = A, b = pt.B, k = pt.K, mu = s.Sred, sig = s.SKO;
                    PearsonEngine e(s, c);
                    e.setPoint(a, b, k, mu, sig);
                    e.setMoving(p);
                    double &x = p == PearsonEngine::PB    ? b
                                : p == PearsonEngine::PA  ? a
                                : p == PearsonEngine::PK  ? k
                                : p == PearsonEngine::PMu ? mu
                                                          : sig;
                    x = moved(x);
                    const double f = e.eval(x);
                    const double bound = e.noise();
                    if (!std::isfinite(f))
                        continue;   // refused by the fit, never compared by the walk
                    const bool newP = p == PearsonEngine::PA || p == PearsonEngine::PB;
                    const std::vector<LD> P = intervalP(t, a, b, newP);
                    // The warranty shares come from the same double formula either way:
                    // their rounding is part of the bound only as a relative 4 units.
                    LD E = 0, S = 0;
                    for (size_t i = 0; i < m; ++i) {
                        const LD Gc = LD(1 - CDF_Gauss(mu, sig, mid[i]));
                        const LD Ei = LD(s.Izd_Prived) * LD(k) * P[i] * Gc;
                        const LD O = s.Hist_Arr[i].Sum;
                        E += Ei;
                        const LD r = c == Criterion::Standard ? (O - Ei) / Ei
                                     : c == Criterion::Spec1  ? O - Ei
                                                              : (O - Ei) * P[i];
                        S += r * r;
                    }
                    const LD d = LD(s.Kol_izw) - E;
                    const LD ref = S + d * d;
                    EXPECT_LE(std::fabs(LD(f) - ref), LD(bound))
                        << "failures " << failures << " criterion " << int(c) << " param " << int(p)
                        << " B " << pt.B << " value " << f;
                }
    }
}

TEST(EngineNoise, SmirnovValuesLieWithinTheirBound)
{
    for (const int failures : {40, 600, 5000}) {
        const State s = gen::makeState(failures, 11 + uint64_t(failures));
        const size_t n = s.MasProbl.size();
        std::vector<double> t(n + 1, 0.0), w(n);
        for (size_t i = 0; i < n; ++i) {
            t[i + 1] = s.MasProbl[i].time;
            w[i] = CDF_Gauss(s.Sred, s.SKO, t[i + 1]);
        }
        for (const Point &pt : kPoints)
            for (const auto p : {SmirnovEngine::PA, SmirnovEngine::PB, SmirnovEngine::PK}) {
                double a = 1 / std::pow(pt.scale, pt.B), b = pt.B, k = pt.K;
                SmirnovEngine e(s, w);
                e.setPoint(a, b, k);
                e.setMoving(p);
                double &x = p == SmirnovEngine::PA ? a : p == SmirnovEngine::PB ? b : k;
                x = moved(x);
                const double f = e.eval(x);
                const double bound = e.noise();
                const std::vector<LD> P = intervalP(t, a, b, p != SmirnovEngine::PK);
                LD E = 0, S = 0;
                for (size_t i = 0; i < n; ++i) {
                    E += LD(s.Izd_Prived) * LD(k) * P[i] * LD(1 - w[i]);
                    const LD d = LD(i + 1) - E;
                    S += d * d;
                }
                const LD ref = std::sqrt(S) / LD(s.Kol_izw);
                EXPECT_LE(std::fabs(LD(f) - ref), LD(bound))
                    << "failures " << failures << " param " << int(p) << " B " << pt.B << " value "
                    << f;
            }
    }
}
