// SPDX-License-Identifier: MIT
// The breeding run on a thread of its own with evaluation helpers, while another thread
// presses the window's buttons and moves its bars: the run sees each request and ends on
// the stop. Built with -DOBROTK_TSAN=ON this is what scripts/tsan.sh checks for races.
#include "gen_fixture.h"

#include "fit/genetic.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace obr;

namespace {

//! Counts what the run reports; only the run's thread touches it while it runs.
struct CountingHost : NullGenHost {
    int lines = 0, copies = 0, generations = 0;
    std::atomic<int> done{0};
    void logLine(const QString &l) override
    {
        ++lines;
        copies += l == gentxt::copyBest ? 1 : 0;
    }
    void generationDone(int32_t) override
    {
        ++generations;
        done.fetch_add(1);
    }
};

}   // namespace

TEST(GeneticRunThreads, RequestsFromAnotherThreadReachTheRun)
{
    State s = gentest::failureState();
    for (int threads : {1, 2, 3}) {
        GenControl ctl;
        CountingHost host;
        GenEngine engine(gentest::quickInput(s, 60, 1000000, threads), ctl, host,
                         fixedSeedSource(uint32_t(threads)));
        GenResult result;
        std::thread worker([&] { result = engine.run(); });

        // The window's side: bars, the progress box, the copy count and copy requests,
        // each once a generation has passed since the last, then the stop.
        for (int i = 0; i < 12; ++i) {
            const int seen = host.done.load();
            while (host.done.load() == seen)
                std::this_thread::yield();
            ctl.trackBar1.store(10 + 7 * i);
            ctl.trackBar2.store(5 + 3 * i);
            ctl.showProgress.store(i % 2 == 0);
            ctl.setCopyCount(i % 3 == 0 ? std::optional<int32_t>() : std::optional<int32_t>(i));
            ctl.bCopyBest.store(true);
        }
        ctl.Stop_Gen.store(true);
        worker.join();

        EXPECT_TRUE(result.ran) << threads;
        EXPECT_LT(result.generations, 1000000) << threads;
        EXPECT_GE(host.generations, 12) << threads;
        EXPECT_GE(host.copies, 1) << threads;
        EXPECT_TRUE(result.MGenet.Executed) << threads;
    }
}
