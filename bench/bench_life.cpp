// SPDX-License-Identifier: MIT
// Life-data benchmark: a two-parameter Weibull ML fit with Fisher and likelihood-ratio
// bounds (parameters, B1/B10/B50, R at two times) on 10^6 rows with counts, and "fit all"
// on 10^4 rows. Data drawn from a Weibull law with random suspensions, fixed seed.
#include "life/fit.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

using namespace obr::life;

namespace {
LifeData sample(size_t rows, unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::weibull_distribution<double> life(1.8, 1000.0);
    std::uniform_real_distribution<double> cens(100.0, 2500.0);
    std::uniform_int_distribution<int> count(1, 5);
    LifeData d;
    d.units.reserve(rows);
    for (size_t i = 0; i < rows; ++i) {
        const double t = life(rng), c = cens(rng);
        Unit u;
        u.kind = t <= c ? Obs::Failure : Obs::Suspension;
        u.low = u.high = std::round(std::min(t, c) * 1000) / 1000;
        u.count = count(rng);
        d.units.push_back(u);
    }
    return d;
}

double seconds(std::chrono::steady_clock::time_point a)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}
}   // namespace

int main()
{
    {
        const LifeData d = sample(1000000, 1);
        LifeOptions o;
        o.dist = Dist::Weibull2;
        o.times = {500, 1500};
        double best = 1e9;
        LifeFit f;
        for (int rep = 0; rep < 3; ++rep) {
            const auto t0 = std::chrono::steady_clock::now();
            f = fitLife(d, o);
            best = std::min(best, seconds(t0));
        }
        std::printf("weibull2 ML + Fisher + LR bounds, 1e6 rows: %.3f s (eta %.4f, beta %.5f)\n",
                    best, f.params[0].value, f.params[1].value);
    }
    {
        const LifeData d = sample(10000, 2);
        LifeOptions o;
        o.times = {500, 1500};
        double best = 1e9;
        LifeAll a;
        for (int rep = 0; rep < 3; ++rep) {
            const auto t0 = std::chrono::steady_clock::now();
            a = fitAllLife(d, o);
            best = std::min(best, seconds(t0));
        }
        std::printf("fit all (6 laws, best with all bounds), 1e4 rows: %.3f s (best %s)\n", best,
                    qPrintable(distKey(a.best.dist)));
        for (const RankEntry &e : a.ranking) {
            if (!e.fit)
                continue;
            const auto t0 = std::chrono::steady_clock::now();
            LifeOptions one = o;
            one.dist = e.dist;
            fitLife(d, one);
            std::printf("  %-12s with all bounds: %.3f s\n", qPrintable(distKey(e.dist)),
                        seconds(t0));
        }
    }
}
