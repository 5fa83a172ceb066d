// SPDX-License-Identifier: MIT
// The maximum-likelihood fit: time of the point estimate with both kinds of bounds on
// every figure for generated fleets of 10^3..10^6 failures, and a simulation study of the
// coverage of the 95% bounds in three regimes of the shape; the cost of the probability
// plot's pointwise band (40 times, both kinds) on generated fleets or on a data file.
//   bench_mle [time|coverage|used|all] [fleets per regime]
//   bench_mle band [FILE.fdt]
#include "io/loaders.h"
#include "mle/mle.h"
#include "mle/simulate.h"
#include "model/errors.h"
#include "stats/stat2018.h"

#include <QFile>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

using namespace obr;
using namespace obr::mle;

namespace {

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

long peakRssKb()
{
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

MleInput inputFor(const std::vector<double> &t, double N, const SimParams &p)
{
    MleInput in;
    in.failures.reserve(t.size());
    for (double x : t)
        in.failures.push_back({x, 0});
    in.Izd_Prived = N;
    in.fleet = N;
    in.Sred = p.Sred;
    in.SKO = p.SKO;
    in.tGar = p.Sred;
    // Histogram of 100 h intervals up to the last failure.
    const double last = t.empty() ? 100 : t.back();
    for (double b = 100; b < last + 100; b += 100) {
        in.histBounds.push_back(b);
        in.histCounts.push_back(0);
    }
    size_t j = 0;
    for (size_t i = 0; i < in.histBounds.size(); ++i)
        while (j < t.size() && t[j] < in.histBounds[i] + 0.1) {
            ++in.histCounts[i];
            ++j;
        }
    return in;
}

void timing()
{
    std::printf("Point estimate + Fisher and likelihood-ratio bounds on every figure\n");
    std::printf("(B = 0.9, eta = 3000 h, K = 1.5, warranty 1000 +- 250 h, times at 0.1 h)\n\n");
    std::printf("%10s %10s %10s %10s %8s %12s %12s\n", "failures", "distinct", "point s", "all s",
                "iter", "grad norm", "peak RSS MB");
    for (double target : {1e3, 1e4, 1e5, 1e6}) {
        SimParams p;
        p.B = 0.9;
        p.A = std::pow(3000.0, -p.B);
        p.K = 1.5;
        p.resolution = 0.1;
        p.seed = 42;
        // I = E[F(W)] for these figures is about 0.27.
        p.Nprived = target / (p.K * 0.27);
        const std::vector<double> t = simulateFailures(p);
        MleInput in = inputFor(t, p.Nprived, p);
        size_t distinct = 0;
        for (size_t i = 0; i < t.size(); ++i)
            distinct += i == 0 || t[i] != t[i - 1];
        const int reps = target <= 1e4 ? 5 : target <= 1e5 ? 3 : 2;
        double bestPoint = 1e300, bestAll = 1e300;
        MleResult r;
        for (int k = 0; k < reps; ++k) {
            MleInput pin = in;
            pin.lrBounds = false;
            double t0 = now();
            fitMle(pin);
            bestPoint = std::min(bestPoint, now() - t0);
            t0 = now();
            r = fitMle(in);
            bestAll = std::min(bestAll, now() - t0);
        }
        std::printf("%10zu %10zu %10.4f %10.4f %8d %12.2e %12.1f\n", t.size(), distinct, bestPoint,
                    bestAll, r.iterations, r.gradientNorm, peakRssKb() / 1024.0);
    }
    std::printf("\n");
}

//! The band's times as the calculation takes them: first failure to max(last, tGar).
std::vector<double> plotTimes(const MleInput &in)
{
    double first = 0, last = in.tGar;
    for (const Failure &f : in.failures) {
        first = first > 0 ? std::min(first, f.time) : f.time;
        last = std::max(last, f.time);
    }
    return bandTimes(first, last);
}

void bandRow(const char *what, const MleInput &in)
{
    double t0 = now();
    const MleResult r = fitMle(in);
    const double fit = now() - t0;
    t0 = now();
    const std::vector<BandPoint> band = cumulativeBand(in, r, plotTimes(in));
    const double all = now() - t0;
    MleInput fisher = in;
    fisher.lrBounds = false;
    t0 = now();
    cumulativeBand(fisher, r, plotTimes(in));
    const double wald = now() - t0;
    int open = 0;
    for (const BandPoint &b : band)
        open += !b.lr.low + !b.lr.high;
    std::printf("%-22s %8d %10.3f %10.3f %10.4f %6zu %6d\n", what, r.n, fit, all, wald, band.size(),
                open);
}

void bandTiming(const char *file)
{
    std::printf("Pointwise band of M(t) = K*F(t) over the probability plot's times\n");
    std::printf("%-22s %8s %10s %10s %10s %6s %6s\n", "data", "failures", "fit s", "band s",
                "Fisher s", "times", "open");
    if (file) {
        QFile f(QString::fromLocal8Bit(file));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot open %s\n", file);
            return;
        }
        State s;
        applyFailureFile(s, readFailureFile(f.readAll()));
        hist(s);
        MleInput in = inputFromState(s);
        if (!(in.tGar > 0))
            in.tGar = in.Sred;
        try {
            bandRow(file, in);
        } catch (const UserError &e) {
            std::printf("%s: %s\n", file, e.message().toLocal8Bit().constData());
        }
        return;
    }
    for (double target : {1e3, 1e4, 1e5}) {
        SimParams p;
        p.B = 0.9;
        p.A = std::pow(3000.0, -p.B);
        p.K = 1.5;
        p.resolution = 0.1;
        p.seed = 42;
        p.Nprived = target / (p.K * 0.27);
        const std::vector<double> t = simulateFailures(p);
        char name[32];
        std::snprintf(name, sizeof name, "generated %.0e", target);
        bandRow(name, inputFor(t, p.Nprived, p));
    }
}

/*! The whole analysis as the window and the command line run it: the fit with both kinds
 *  of bounds on every figure, the band of both kinds over the plot's times and the fit of
 *  each cause; CPU seconds of the process (both threads of the causes counted). */
void asUsed()
{
    std::printf("The whole analysis as used: fit + bounds, band (40 times, both kinds), causes\n");
    std::printf("(B = 0.9, eta = 3000 h, K = 1.5, warranty 1000 +- 250 h, times at 0.1 h)\n\n");
    std::printf("%10s %8s %10s %10s %10s %10s %10s %10s\n", "failures", "causes", "fit CPU s",
                "band CPU s", "causes CPU", "total CPU", "total wall", "level CPU");
    auto cpu = [] { return double(std::clock()) / CLOCKS_PER_SEC; };
    for (double target : {1e3, 1e4, 1e5, 1e6}) {
        SimParams p;
        p.B = 0.9;
        p.A = std::pow(3000.0, -p.B);
        p.K = 1.5;
        p.resolution = 0.1;
        p.seed = 42;
        p.Nprived = target / (p.K * 0.27);
        const std::vector<double> t = simulateFailures(p);
        MleInput in = inputFor(t, p.Nprived, p);
        const int causes = target == 1e4 ? 13 : 4;
        for (size_t i = 0; i < in.failures.size(); ++i)
            in.failures[i].cause = int((i * 7919u) % unsigned(causes));
        const double w0 = now(), c0 = cpu();
        const MleResult r = fitMle(in);
        const double c1 = cpu();
        cumulativeBand(in, r, plotTimes(in));
        const double c2 = cpu();
        fitCauses(in, 5);
        const double c3 = cpu(), w1 = now();
        // A change of the level in the window runs the same step again at the new level.
        MleInput lv = in;
        lv.level = 0.9;
        const double c4 = cpu();
        if (target <= 1e4) {
            const MleResult r2 = fitMle(lv);
            cumulativeBand(lv, r2, plotTimes(lv));
            fitCauses(lv, 5);
        }
        const double c5 = cpu();
        std::printf("%10zu %8d %10.3f %10.3f %10.3f %10.3f %10.3f %10s\n", t.size(), causes,
                    c1 - c0, c2 - c1, c3 - c2, c3 - c0, w1 - w0,
                    target <= 1e4 ? std::to_string(c5 - c4).substr(0, 6).c_str() : "-");
    }
    std::printf("\n");
}

struct Count {
    int lr = 0, fisher = 0, n = 0;
};

void coverage(int fleets)
{
    std::printf("Coverage of the 95%% bounds: %d fleets per regime, F(Sred) = 0.45, K = 1.5,\n"
                "600 products, warranty 1000 +- 250 h, tGar = 1000 h\n\n",
                fleets);
    std::printf("%-8s %-8s %8s %8s %10s\n", "regime", "figure", "LR %", "Fisher %", "mean n");
    for (double B : {0.7, 1.0, 2.5}) {
        SimParams p;
        p.B = B;
        p.A = -std::log(1 - 0.45) / std::pow(1000.0, B);
        p.K = 1.5;
        p.Nprived = 600;
        const double truth[4] = {B, p.K, weibinv(p.A, B, 0.1 / p.K), p.K * weibCDF(p.A, B, 1000.0)};
        const char *keys[4] = {"B", "K", "t_0.1", "M_tGar"};
        Count c[4];
        double sumN = 0;
        int refused = 0;
        const double t0 = now();
        for (int i = 0; i < fleets; ++i) {
            p.seed = 1000003ull * uint64_t(B * 10) + uint64_t(i);
            const std::vector<double> t = simulateFailures(p);
            MleResult r;
            try {
                r = fitMle(inputFor(t, p.Nprived, p));
            } catch (const UserError &) {
                ++refused;
                continue;
            }
            sumN += r.n;
            for (int k = 0; k < 4; ++k) {
                const Figure *f = r.figure(QString::fromLatin1(keys[k]));
                auto in = [&](const Bound &b) {
                    return (!b.low || *b.low <= truth[k]) && (!b.high || truth[k] <= *b.high);
                };
                ++c[k].n;
                c[k].lr += in(f->lr);
                c[k].fisher += in(f->fisher);
            }
        }
        const double secs = now() - t0;
        for (int k = 0; k < 4; ++k)
            std::printf("B=%-6.1f %-8s %8.1f %8.1f %10.0f\n", B, keys[k], 100.0 * c[k].lr / c[k].n,
                        100.0 * c[k].fisher / c[k].n, sumN / std::max(1, c[k].n));
        std::printf("         (%d fits in %.1f s, %d refused)\n", c[0].n, secs, refused);
    }
}

}   // namespace

int main(int argc, char **argv)
{
    const std::string what = argc > 1 ? argv[1] : "all";
    if (what == "used") {
        asUsed();
        return 0;
    }
    if (what == "band") {
        bandTiming(argc > 2 ? argv[2] : nullptr);
        return 0;
    }
    const int fleets = argc > 2 ? std::atoi(argv[2]) : 400;
    if (what == "time" || what == "all")
        timing();
    if (what == "all")
        asUsed();
    if (what == "coverage" || what == "all")
        coverage(fleets);
    return 0;
}
