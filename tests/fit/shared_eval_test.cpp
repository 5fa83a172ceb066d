// SPDX-License-Identifier: MIT
// The Smirnov evaluations shared out between threads: the team's hand-over of short jobs,
// and values, bounds and refreshed caches equal bit for bit to the one-thread engine.
#include "fit/engines.h"
#include "fit/eval_team.h"
#include "gen.h"
#include "stats/stat2018.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

using namespace obr;
using detail::EvalTeam;
using detail::SmirnovEngine;

namespace {

//! Items [0, n) taken one at a time by the caller and the helpers that join; each item
//! records how often it was done, and each helper checks that the job it is in is the
//! one the caller opened.
class CountJob final : public EvalTeam::Job {
public:
    explicit CountJob(size_t n) : m_hits(n) {}

    void start(uint32_t round)
    {
        m_round = round;
        m_next.store(0);
    }
    void help(unsigned helper) override
    {
        EXPECT_GE(helper, 1u);
        EXPECT_EQ(m_round, m_open.load()) << "a helper in a closed job";
        joins.fetch_add(1);
        take();
    }
    void take()
    {
        for (size_t i; (i = m_next.fetch_add(1)) < m_hits.size();)
            m_hits[i].fetch_add(1);
    }
    //! Every item done once in every round so far.
    bool allDone(int rounds) const
    {
        for (const auto &h : m_hits)
            if (h.load() != rounds)
                return false;
        return true;
    }

    std::atomic<uint32_t> m_open{0};
    std::atomic<int> joins{0};

private:
    std::vector<std::atomic<int>> m_hits;
    std::atomic<size_t> m_next{0};
    uint32_t m_round = 0;
};

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::vector<double> warrantyWeights(const State &s)
{
    std::vector<double> w(s.MasProbl.size());
    for (size_t i = 0; i < w.size(); ++i)
        w[i] = CDF_Gauss(s.Sred, s.SKO, s.MasProbl[i].time);
    return w;
}

}   // namespace

TEST(EvalTeam, EveryItemIsDoneOnceAndHelpersOnlySeeOpenJobs)
{
    for (const int threads : {1, 2, 3}) {
        EvalTeam team(threads);
        EXPECT_EQ(team.threads(), threads);
        CountJob job(200);
        const int rounds = 3000;
        for (int r = 1; r <= rounds; ++r) {
            job.start(uint32_t(r));
            job.m_open.store(uint32_t(r));
            team.run(job, [&]() noexcept { job.take(); });
            job.m_open.store(0);   // run() returned: no helper may be in the job now
        }
        EXPECT_TRUE(job.allDone(rounds)) << threads << " threads";
        if (threads == 1) {
            EXPECT_EQ(job.joins.load(), 0);
        }
    }
}

TEST(EvalTeam, SleepingHelpersWakeForTheNextJobAndTheTeamEndsCleanly)
{
    EvalTeam team(2);
    CountJob job(100000);
    for (int r = 1; r <= 3; ++r) {
        // Long enough for the helper to give up spinning and sleep.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        job.start(uint32_t(r));
        job.m_open.store(uint32_t(r));
        team.run(job, [&]() noexcept { job.take(); });
        job.m_open.store(0);
    }
    EXPECT_TRUE(job.allDone(3));
}

TEST(SharedEvaluation, ValuesBoundsAndCommitsEqualTheOneThreadEngine)
{
    // Sizes around the smallest one that is shared out and parts that do not divide the
    // failures evenly; the recorded times repeat (a tenth of an hour), so equal times
    // inside and at the edges of parts occur.
    for (const int failures : {2100, 5000}) {
        const State s = gen::makeState(failures, 3 + uint64_t(failures));
        ASSERT_GE(s.MasProbl.size(), size_t(2048));
        const std::vector<double> w = warrantyWeights(s);
        for (const int threads : {2, 3}) {
            EvalTeam team(threads);
            SmirnovEngine one(s, w), many(s, w, &team);
            const double A = std::pow(4000.0, -1.4);
            one.setPoint(A, 1.4, 1.2);
            many.setPoint(A, 1.4, 1.2);
            const SmirnovEngine::Param params[] = {SmirnovEngine::PA, SmirnovEngine::PB,
                                                   SmirnovEngine::PK};
            const double at[] = {A, 1.4, 1.2};
            for (int round = 0; round < 3; ++round) {
                for (int j = 0; j < 3; ++j) {
                    one.setMoving(params[j]);
                    many.setMoving(params[j]);
                    for (int k = 1; k <= 6; ++k) {
                        const double x = at[j] * (1 + 0.003 * k * (round + 1));
                        const bool withNoise = k % 2 == 0;
                        const double v1 = one.eval(x, withNoise), v2 = many.eval(x, withNoise);
                        ASSERT_TRUE(sameBits(v1, v2)) << "param " << j << " x " << x;
                        ASSERT_TRUE(sameBits(one.noise(), many.noise()))
                            << "param " << j << " x " << x << " bound asked " << withNoise;
                    }
                    // Moving the set point refreshes the cached terms in parts.
                    const double x = at[j] * (1 + 0.01 * (round + 1));
                    one.commit(x);
                    many.commit(x);
                }
            }
            EXPECT_EQ(one.evaluations(), many.evaluations());
        }
    }
}
