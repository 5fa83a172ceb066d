// SPDX-License-Identifier: MIT
// Times the Smirnov fit on one thread against several: each evaluation is shared out (the
// terms in parts, the sums in their order), so the published point, the objective and the
// evaluation and pass counts must be the same to the last bit. Wall-clock seconds (the
// threads are the point here); the load average is printed with them, since a machine
// busy with other work makes the threads wait for each other.
//
//   bench_threads [--failures 10000] [--threads 2] [--seed 1] [--reps 3] [--fleet NAME]
//
// --fleet takes one of the generated fleets of users' shapes (gen::fleets(), as in
// bench_fits) instead of the default data set of --failures failures.
#include "fit/fits.h"
#include "gen.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <cstring>
#include <string>

using namespace obr;

namespace {

struct Run {
    double seconds = 0;
    double A = 0, B = 0, K = 0;
    FitStats stats;
};

std::string loadAverage()
{
    std::ifstream f("/proc/loadavg");
    std::string a, b, c;
    f >> a >> b >> c;
    return f ? a + " " + b + " " + c : std::string("unknown");
}

Run smirnov(const State &base, int threads)
{
    State s = base;
    const auto t0 = std::chrono::steady_clock::now();
    Run r;
    Podbor_Weib_Smirnow(s, s.MSmirn.A, s.MSmirn.B, 1.0005, nullLog(), &r.stats, u'.', nullptr,
                        threads);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.A = s.MSmirn.A;
    r.B = s.MSmirn.B;
    r.K = s.MSmirn.K_powtor;
    return r;
}

}   // namespace

int main(int argc, char **argv)
{
    int failures = 10000, threads = 2, reps = 3;
    uint64_t seed = 1;
    std::string fleetName;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i];
        if (k == "--failures")
            failures = std::stoi(argv[i + 1]);
        else if (k == "--threads")
            threads = std::stoi(argv[i + 1]);
        else if (k == "--seed")
            seed = std::stoull(argv[i + 1]);
        else if (k == "--reps")
            reps = std::stoi(argv[i + 1]);
        else if (k == "--fleet")
            fleetName = argv[i + 1];
    }
    State s;
    if (fleetName.empty()) {
        s = gen::makeState(failures, seed);
    } else {
        bool found = false;
        for (const gen::Fleet &f : gen::fleets())
            if (fleetName == f.name) {
                // The seed bench_fits gives the fleet.
                s = gen::makeState(f.failures, seed + uint64_t(f.failures), f.p);
                found = true;
            }
        if (!found) {
            std::fprintf(stderr, "unknown fleet %s\n", fleetName.c_str());
            return 2;
        }
    }
    std::printf("Smirnov fit%s%s, %zu failures, best of %d runs; load average %s\n",
                fleetName.empty() ? "" : " on fleet ", fleetName.c_str(), s.MasProbl.size(), reps,
                loadAverage().c_str());
    Run best1, bestN;
    best1.seconds = bestN.seconds = 1e300;
    for (int r = 0; r < reps; ++r) {
        const Run a = smirnov(s, 1);
        const Run b = smirnov(s, threads);
        if (a.seconds < best1.seconds)
            best1 = a;
        if (b.seconds < bestN.seconds)
            bestN = b;
        if (a.A != b.A || a.B != b.B || a.K != b.K) {
            std::printf("DIFFERENT POINTS: A %.17g / %.17g, B %.17g / %.17g, K %.17g / %.17g\n",
                        a.A, b.A, a.B, b.B, a.K, b.K);
            return 1;
        }
        if (a.stats.evaluations != b.stats.evaluations || a.stats.passes != b.stats.passes ||
            a.stats.objective != b.stats.objective) {
            std::printf("DIFFERENT STATISTICS: evaluations %lld / %lld, passes %lld / %lld, "
                        "objective %.17g / %.17g\n",
                        (long long)a.stats.evaluations, (long long)b.stats.evaluations,
                        (long long)a.stats.passes, (long long)b.stats.passes, a.stats.objective,
                        b.stats.objective);
            return 1;
        }
    }
    std::printf("%-10s %10s   %s\n", "threads", "seconds", "point (A, B, K)");
    std::printf("%-10d %10.3f   %.17g %.17g %.17g\n", 1, best1.seconds, best1.A, best1.B, best1.K);
    std::printf("%-10d %10.3f   %.17g %.17g %.17g\n", threads, bestN.seconds, bestN.A, bestN.B,
                bestN.K);
    std::printf("evaluations %lld, passes %lld, objective %.17g on both\n",
                (long long)best1.stats.evaluations, (long long)best1.stats.passes,
                best1.stats.objective);
    std::printf("speed-up %.2fx, same point; load average %s\n", best1.seconds / bestN.seconds,
                loadAverage().c_str());
    return 0;
}
