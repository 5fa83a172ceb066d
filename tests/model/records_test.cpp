// SPDX-License-Identifier: MIT
// The failure records: copies share one set that nobody writes, texts are found by index.
#include "model/state.h"

#include <gtest/gtest.h>

using namespace obr;

TEST(FailureRecords, CopiesShareTheRecordsAndKeepThemWhenTheOriginalIsReplaced)
{
    State s;
    s.MasProbl = FailureRecords({{10, 1, 1}, {20, 0, 0}, {30, 0, 2}},
                                {{"насос * течь", "течь"}, {"", "осмотр"}});
    const State copy = s;   // the calculation's worker copy
    EXPECT_EQ(copy.MasProbl.data(), s.MasProbl.data());
    s.MasProbl = {{5, 0}};   // a new load in the window
    s.MasProbl.clear();
    ASSERT_EQ(copy.MasProbl.size(), 3u);
    EXPECT_EQ(copy.MasProbl[2].time, 30);
    EXPECT_EQ(copy.MasProbl.Pri(0), "насос * течь");
    EXPECT_EQ(copy.MasProbl.komment(0), "течь");
    EXPECT_TRUE(copy.MasProbl.text(1).Pri.isNull());
    EXPECT_TRUE(copy.MasProbl.komment(1).isNull());
    EXPECT_TRUE(copy.MasProbl.Pri(2).isEmpty());
    EXPECT_EQ(copy.MasProbl.komment(2), "осмотр");
    EXPECT_TRUE(s.MasProbl.empty());
    EXPECT_EQ(s.MasProbl.begin(), s.MasProbl.end());
}

TEST(FailureRecords, AnIndexPastTheTextsReadsAsNoText)
{
    const FailureRecords r({{1, 0, 3}, {2, 0, UINT32_MAX}}, {{"a", "b"}});
    EXPECT_TRUE(r.Pri(0).isEmpty());
    EXPECT_TRUE(r.komment(1).isEmpty());
    const FailureRecords none({{1, 0, 1}});
    EXPECT_TRUE(none.komment(0).isEmpty());
}
