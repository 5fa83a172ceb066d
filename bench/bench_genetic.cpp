// SPDX-License-Identifier: MIT
// A default genetic run (population 3000, 1500 generations, precision 1e-7) on the data of
// the bundled sample, with a fixed seed, once on the worker alone and once on all cores.
// Usage: bench_genetic [population] [generations] [threads]
#include "fit/genetic.h"
#include "io/loaders.h"
#include "io/sample_gen.h"
#include "stats/stat2018.h"

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace obr;

namespace {

struct Timed {
    GenResult r;
    int64_t helper = 0;   //!< evaluations made by the helper threads
    double seconds = 0;
    double cpu = 0;   //!< processor time of the whole process (all threads)
};

Timed runOnce(const GenInput &in)
{
    GenControl ctl;
    NullGenHost host;
    const auto t0 = std::chrono::steady_clock::now();
    const std::clock_t c0 = std::clock();
    GenEngine e(in, ctl, host, fixedSeedSource(20181));
    Timed t;
    t.r = e.run();
    t.helper = e.helperEvaluations();
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    t.cpu = double(std::clock() - c0) / CLOCKS_PER_SEC;
    return t;
}

}   // namespace

int main(int argc, char **argv)
{
    const int32_t population = argc > 1 ? std::atoi(argv[1]) : 3000;
    const int32_t generations = argc > 2 ? std::atoi(argv[2]) : 1500;
    int threads = argc > 3 ? std::atoi(argv[3]) : 0;
    if (threads <= 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));

    State s;
    applyFailureFile(s, readFailureFile(generateFailureFile(SampleParams{})));
    GenSettings st;
    st.Precision = 1e-7;
    st.L = geneLength(st.Precision);
    st.population = population;
    st.generations = generations;
    GenInput in = prepareGenRun(s, st, u'.', 1);

    std::printf("Genetic run on the bundled sample: %d failures, %zu histogram intervals, "
                "population %d, %d generations\n",
                s.Kol_izw, s.Hist_Arr.size(), population, generations);
    const Timed one = runOnce(in);
    in.threads = threads;
    const Timed many = runOnce(in);
    for (const auto &[name, t] : {std::pair{"1 thread", &one}, std::pair{"threads", &many}}) {
        std::printf("%-9s %2d: %7.3f s wall, %7.3f s processor  %9lld evaluations (%.3f us "
                    "each)  best %.6f  B=%.5f  1/A=%.2f  K=%.5f\n",
                    name, t == &one ? 1 : threads, t->seconds, t->cpu, (long long)t->r.evaluations,
                    t->seconds * 1e6 / double(t->r.evaluations), t->r.dMinimumAll, t->r.Aopt[0],
                    1 / t->r.Aopt[1], t->r.Aopt[2]);
    }
    std::printf("helper threads made %.1f%% of the evaluations\n",
                100.0 * double(many.helper) / double(many.r.evaluations));
    std::printf("ratio 1 thread / %d threads: %.2f; same best: %s\n", threads,
                one.seconds / many.seconds, one.r.dMinimumAll == many.r.dMinimumAll ? "yes" : "NO");
    return one.r.dMinimumAll == many.r.dMinimumAll ? 0 : 1;
}
