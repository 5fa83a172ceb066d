// SPDX-License-Identifier: MIT
// Warranty cohorts: the speed of the fit with both kinds of bounds and of the forecast on
// a 120 × 120 table of 10^6 units (one cause and ten), and a simulation study of the
// coverage of the 90 % prediction intervals of the next six periods' total claims.
//   bench_cohorts [histories (default 400)] [--speed-only | --study-only]
#include "cohort/cohort.h"
#include "cohort/engine.h"
#include "cohort/simulate.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <sys/resource.h>

using namespace obr::cohort;

namespace {

double seconds(std::chrono::steady_clock::time_point a)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}

//! Processor time of this process, seconds (the machine is shared: wall time is noisy).
double cpu()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

long maxRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

double loadAverage()
{
    double l[1] = {0};
    return getloadavg(l, 1) == 1 ? l[0] : -1;
}

//! Splits the claims of \a t over \a n causes (multinomially, fixed shares).
NevadaTable withCauses(const NevadaTable &t, int n, uint64_t seed)
{
    std::mt19937_64 gen(seed);
    NevadaTable c = t;
    c.claims.assign(size_t(n), t.claims[0]);
    std::vector<double> share(size_t(n), 0.0);
    for (int i = 0; i < n; ++i)
        share[size_t(i)] = 1.0 / (i + 1);
    std::discrete_distribution<int> pick(share.begin(), share.end());
    for (size_t r = 0; r < t.claims[0].size(); ++r)
        for (size_t a = 0; a < t.claims[0][r].size(); ++a) {
            for (int i = 0; i < n; ++i)
                c.claims[size_t(i)][r][a] = 0;
            for (long k = 0; k < long(t.claims[0][r][a]); ++k)
                c.claims[size_t(pick(gen))][r][a] += 1;
        }
    for (int i = 0; i < n; ++i)
        c.causes.push_back(QStringLiteral("причина %1").arg(i + 1));
    return c;
}

void speed()
{
    std::printf("## Speed: 120 sales periods x 120 claim periods, 10^6 units\n\n");
    std::printf("load average at start: %.2f\n\n", loadAverage());
    SimulationPlan plan;
    plan.periods = 120;
    plan.units.assign(120, 1e6 / 120);
    plan.A = 2e-6;
    plan.B = 1.6;
    plan.K = 1.3;
    plan.usage.kind = UsageKind::Lognormal;
    plan.usage.median = 40;
    plan.usage.logSd = 0.5;
    plan.warrantyPeriods = 120;   // every cell of the triangle counts
    const NevadaTable t = simulateHistory(plan, 1);
    double claims = 0;
    for (int r = 0; r < t.rowCount(); ++r)
        for (int a = 1; a <= t.dataEnd - r + 1; ++a)
            claims += t.cell(r, a);
    std::printf("claims in the table: %.0f; warranty 120 periods (all 7260 cells); max RSS before the runs: %ld "
                "kB\n\n",
                claims, maxRssKb());
    std::printf("| usage law | stage | wall s | cpu s |\n|---|---|---|---|\n");
    for (UsageKind kind : {UsageKind::Fixed, UsageKind::Lognormal}) {
        Settings s;
        s.warrantyPeriods = 120;
        s.usage = plan.usage;
        if (kind == UsageKind::Fixed) {
            s.usage.kind = UsageKind::Fixed;
            s.usage.rate = 40;
        }
        const char *name = kind == UsageKind::Fixed ? "fixed rate" : "lognormal (24 nodes)";
        const detail::Reduced P = detail::reduce(t, -1, t.dataEnd, s);
        auto t0 = std::chrono::steady_clock::now();
        double c0 = cpu();
        const Fit f = detail::fitReduced(P, t, -1, s);
        std::printf("| %s | fit, Fisher and LR bounds (%zu figures) | %.3f | %.3f |\n", name,
                    f.figures.size(), seconds(t0), cpu() - c0);
        const int H = detail::defaultHorizon(t, t.dataEnd, s);
        const std::vector<double> fut = detail::futureUnits(t, t.dataEnd, H, s);
        t0 = std::chrono::steady_clock::now();
        c0 = cpu();
        const Forecast fc = detail::forecastFit(f, P, t, -1, H, fut, s, false);
        std::printf("| %s | forecast, %d periods, 2000 draws | %.3f | %.3f |\n", name, H,
                    seconds(t0), cpu() - c0);
        (void)fc;
        const NevadaTable t10 = withCauses(t, 10, 2);
        t0 = std::chrono::steady_clock::now();
        c0 = cpu();
        const CohortResult r = runCohorts({t10, s});
        int fitted = 0;
        for (const CauseResult &c : r.causes)
            fitted += c.fit.has_value();
        std::printf("| %s | 10 causes: all together and each, fits, bounds and forecasts (%d "
                    "fitted) | %.3f | %.3f |\n",
                    name, fitted, seconds(t0), cpu() - c0);
    }
    std::printf("\nmax RSS after the runs: %ld kB; load average at end: %.2f\n\n", maxRssKb(),
                loadAverage());
}

void study(int histories)
{
    std::printf("## Simulation study: coverage of the 90 %% prediction interval of the next 6 "
                "periods' total claims\n\n");
    std::printf("load average at start: %.2f\n\n", loadAverage());
    // Sales staggered over 24 periods, lognormal usage, a 24-period warranty; fitted on the
    // first 18 periods of claims, the last 6 forecast (the units sold in them are known).
    SimulationPlan plan;
    plan.periods = 24;
    for (int i = 0; i < 24; ++i)
        plan.units.push_back(std::round(150 + 250 * std::sin(3.14159 * (i + 1) / 25.0)));
    plan.B = 1.5;
    plan.A = std::pow(2000.0, -1.5);   // η = 2000 h
    plan.K = 1.5;
    plan.usage.kind = UsageKind::Lognormal;
    plan.usage.median = 50;
    plan.usage.logSd = 0.5;
    plan.warrantyPeriods = 24;
    Settings s;
    s.usage = plan.usage;
    s.warrantyPeriods = 24;
    s.dataEnd = 17;
    s.horizon = 6;
    s.level = 0.90;
    s.lrBounds = false;   // the forecast needs the estimate and its covariance only
    int predictive = 0, plugin = 0, done = 0, refused = 0;
    double meanTotal = 0, meanWidthPred = 0, meanWidthPlug = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (int h = 0; h < histories; ++h) {
        const NevadaTable t = simulateHistory(plan, 1000 + uint64_t(h));
        double came = 0;
        for (int r = 0; r < t.rowCount(); ++r)
            for (int k = 18; k <= 23; ++k)
                came += t.cell(r, k - r + 1);
        Settings sh = s;
        sh.seed = 77 + uint64_t(h);
        try {
            const CohortResult r = runCohorts({t, sh});
            const Total &tot = r.forecast.total;
            predictive += came >= tot.predictive.low && came <= tot.predictive.high;
            plugin += came >= tot.plugin.low && came <= tot.plugin.high;
            meanTotal += came;
            meanWidthPred += tot.predictive.high - tot.predictive.low;
            meanWidthPlug += tot.plugin.high - tot.plugin.low;
            ++done;
        } catch (const std::exception &) {
            ++refused;
        }
    }
    std::printf("| histories fitted | refused | mean total of the 6 periods | predictive "
                "coverage | plug-in coverage | mean width predictive | mean width plug-in |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    std::printf("| %d | %d | %.1f | %.1f %% | %.1f %% | %.1f | %.1f |\n\n", done, refused,
                meanTotal / std::max(1, done), 100.0 * predictive / std::max(1, done),
                100.0 * plugin / std::max(1, done), meanWidthPred / std::max(1, done),
                meanWidthPlug / std::max(1, done));
    std::printf("(binomial spread of a 90 %% share over %d histories: ±%.1f points at 2 sd; %.1f s "
                "in all; load average at end: %.2f)\n\n",
                done, 200 * std::sqrt(0.09 / std::max(1, done)), seconds(t0), loadAverage());
}

}   // namespace

int main(int argc, char **argv)
{
    int histories = 400;
    bool doSpeed = true, doStudy = true;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--speed-only"))
            doStudy = false;
        else if (!std::strcmp(argv[i], "--study-only"))
            doSpeed = false;
        else
            histories = std::max(1, std::atoi(argv[i]));
    }
    if (doSpeed)
        speed();
    if (doStudy)
        study(histories);
    return 0;
}
