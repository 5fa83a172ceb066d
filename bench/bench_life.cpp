// SPDX-License-Identifier: MIT
// Life-data benchmark, one thread: every law by maximum likelihood with Fisher and
// likelihood-ratio bounds (parameters, B1/B10/B50, R at two times), and "fit all", on
// 10^4, 10^5 and 10^6 rows drawn from a Weibull law with random suspensions and counts
// (fixed seed); then 10^6 inspection intervals over 20 distinct rows. Usage:
// bench_life [max rows] (default 1000000).
#include "life/fit.h"
#include "life/likelihood.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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

//! Units found failed at one of 20 inspections (or still working at the last).
LifeData inspections(size_t rows, unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::weibull_distribution<double> life(1.8, 1000.0);
    LifeData d;
    d.units.reserve(rows);
    for (size_t i = 0; i < rows; ++i) {
        const double t = life(rng);
        Unit u;
        const int k = int(std::ceil(t / 100));
        if (k > 19) {
            u.kind = Obs::Suspension;
            u.low = u.high = 1900;
        } else {
            u.kind = Obs::Interval;
            u.low = 100.0 * (k - 1);
            u.high = 100.0 * k;
        }
        d.units.push_back(u);
    }
    return d;
}

double seconds(std::chrono::steady_clock::time_point a)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}

void row(const char *what, size_t rows, double s, const char *note)
{
    std::printf("| %-28s | %9zu | %8.3f | %s |\n", what, rows, s, note);
    std::fflush(stdout);
}
}   // namespace

int main(int argc, char **argv)
{
    setPassThreads(1);
    const size_t maxRows = argc > 1 ? size_t(std::atof(argv[1])) : 1000000;
    std::printf("| fit (ML, Fisher + LR bounds) | rows | s | result |\n|---|---:|---:|---|\n");
    LifeOptions o;
    o.times = {500, 1500};
    for (size_t rows = 10000; rows <= maxRows; rows *= 10) {
        const LifeData d = sample(rows, unsigned(rows));
        for (Dist dist : allDists()) {
            o.dist = dist;
            const auto t0 = std::chrono::steady_clock::now();
            char note[160];
            try {
                const LifeFit f = fitLife(d, o);
                std::snprintf(note, sizeof note, "%s = %.6g, B10 LR [%.6g; %.6g]",
                              qPrintable(f.params[0].key), f.params[0].value,
                              f.bLives[1].lr && f.bLives[1].lr->low ? *f.bLives[1].lr->low : NAN,
                              f.bLives[1].lr && f.bLives[1].lr->high ? *f.bLives[1].lr->high : NAN);
            } catch (const std::exception &e) {
                std::snprintf(note, sizeof note, "refused: %.100s", e.what());
            }
            row(qPrintable(distKey(dist)), rows, seconds(t0), note);
        }
        const auto t0 = std::chrono::steady_clock::now();
        const LifeAll a = fitAllLife(d, o);
        char note[80];
        std::snprintf(note, sizeof note, "recommended %s", qPrintable(distKey(a.best.dist)));
        row("all (6 laws, best in full)", rows, seconds(t0), note);
    }
    {
        const LifeData d = inspections(maxRows, 7);
        for (Dist dist : {Dist::Weibull2, Dist::Gamma, Dist::Weibull3}) {
            o.dist = dist;
            const auto t0 = std::chrono::steady_clock::now();
            char note[120];
            try {
                const LifeFit f = fitLife(d, o);
                std::snprintf(note, sizeof note, "%s = %.6g", qPrintable(f.params[0].key),
                              f.params[0].value);
            } catch (const std::exception &e) {
                std::snprintf(note, sizeof note, "refused: %.80s", e.what());
            }
            char what[64];
            std::snprintf(what, sizeof what, "%s, 20 distinct intervals",
                          qPrintable(distKey(dist)));
            row(what, maxRows, seconds(t0), note);
        }
    }
}
