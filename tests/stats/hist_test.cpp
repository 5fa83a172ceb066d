// SPDX-License-Identifier: MIT
#include "model/errors.h"
#include "stats/stat2018.h"

#include <gtest/gtest.h>
#include <numeric>

using namespace obr;

namespace {

State withFailures(const std::vector<double> &times, int chey = 0)
{
    State s;
    std::vector<Problems> recs;
    for (double t : times)
        recs.push_back({t, chey});
    s.MasProbl = std::move(recs);
    return s;
}

std::vector<double> bounds(const State &s)
{
    std::vector<double> b;
    for (const auto &h : s.Hist_Arr)
        b.push_back(h.time);
    return b;
}

std::vector<int> sums(const State &s)
{
    std::vector<int> b;
    for (const auto &h : s.Hist_Arr)
        b.push_back(h.Sum);
    return b;
}

}   // namespace

TEST(Histogram, EmptyStretchesMergeIntoTheNextInterval)
{
    State s = withFailures({50, 120, 130, 450});
    hist(s);
    EXPECT_EQ(s.D_Hist2, 100);
    EXPECT_EQ(bounds(s), (std::vector<double>{100, 200, 500}));
    EXPECT_EQ(sums(s), (std::vector<int>{1, 2, 1}));
}

TEST(Histogram, ToleranceAtTheUpperBound)
{
    struct Case {
        std::vector<double> times;
        std::vector<double> b;
        std::vector<int> n;
    } cases[] = {
        {{100.05}, {100, 200}, {1, 0}},   // falls into the first interval; 100 < 100.05 adds one
        {{100.1}, {200}, {1}},
        {{99.95}, {100}, {1}},
        {{150, 200.05}, {200, 300}, {2, 0}},
    };
    for (const auto &c : cases) {
        State s = withFailures(c.times);
        hist(s);
        EXPECT_EQ(bounds(s), c.b);
        EXPECT_EQ(sums(s), c.n);
    }
}

TEST(Histogram, CausesAreCountedPerInterval)
{
    State s;
    s.MasProbl = {{10, 0}, {20, 3}, {30, 3}, {150, 18}};
    hist(s);
    ASSERT_EQ(s.Hist_Arr.size(), 2u);
    EXPECT_EQ(s.Hist_Arr[0].Nund, 1);
    EXPECT_EQ(s.Hist_Arr[0].Npr[3], 2);
    EXPECT_EQ(s.Hist_Arr[0].Sum, 3);
    EXPECT_EQ(s.Hist_Arr[1].Npr[18], 1);
    EXPECT_EQ(s.Hist_Arr[0].Npr[0], 0);
}

TEST(Histogram, ManyFailuresInFewIntervalsHalveTheFirstWidth)
{
    // 80 failures below 1000 h in at most 10 intervals: 100 -> 50 -> ... while it holds.
    std::vector<double> t;
    for (int i = 0; i < 80; ++i)
        t.push_back(1 + i * 0.01);   // all within the first hours
    State s = withFailures(t);
    hist(s);
    EXPECT_EQ(s.D_Hist1, 1);   // 100, 50, 25, 12, 6, 3, 1 and no further
    int total = 0;
    for (const auto &h : s.Hist_Arr)
        total += h.Sum;
    EXPECT_EQ(total, 80);
}

TEST(Histogram, WideSpreadDoublesTheSecondWidth)
{
    std::vector<double> t;
    for (int i = 1; i <= 60; ++i)
        t.push_back(i * 1000.0);   // up to 60000 h: D_Hist2 = 200 first
    State s = withFailures(t);
    hist(s);
    EXPECT_LE(s.Hist_Arr.size(), 31u);
    EXPECT_EQ(s.D_Hist2 % 200, 0);
    EXPECT_GT(s.D_Hist2, 200);
    for (size_t i = 1; i < s.Hist_Arr.size(); ++i)
        EXPECT_GT(s.Hist_Arr[i].time, s.Hist_Arr[i - 1].time);
    int total = 0;
    for (const auto &h : s.Hist_Arr) {
        total += h.Sum;
        EXPECT_GE(h.Sum, 1);
    }
    EXPECT_EQ(total, 60);
}

TEST(Histogram, SecondWidthFollowsTheRoundedLargestTime)
{
    struct Case {
        double last;
        int width;
    } cases[] = {{2300.5, 100}, {2299.6, 100}, {2300.6, 200}};
    for (const auto &c : cases) {
        State s = withFailures({50, c.last});
        hist(s);
        EXPECT_EQ(s.D_Hist2, c.width) << c.last;
    }
}

TEST(Histogram, GuardsAgainstEmptyDataAndHugeTimes)
{
    State empty;
    EXPECT_THROW(hist(empty), UserError);
    // A largest time beyond 90000 h before any histogram was built: the width is not 0.
    State s = withFailures({10, 5e11});
    hist(s);
    EXPECT_GE(s.D_Hist2, 1);
    EXPECT_EQ(std::accumulate(s.Hist_Arr.begin(), s.Hist_Arr.end(), 0,
                              [](int a, const Hist_Rec &h) { return a + h.Sum; }),
              2);
    // All failures at time 0 with more than 70 of them: the first width stops at 1 h.
    State zeros = withFailures(std::vector<double>(100, 0.0));
    hist(zeros);
    EXPECT_EQ(zeros.D_Hist1, 1);
    EXPECT_EQ(zeros.Hist_Arr.size(), 1u);
}
