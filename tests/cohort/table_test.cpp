// SPDX-License-Identifier: MIT
#include "cohort/cohort.h"

#include <gtest/gtest.h>

using namespace obr::cohort;

TEST(CohortTable, CellSumsCauses)
{
    NevadaTable t;
    t.claims = {{{1, 2}}, {{3, 4}}};
    EXPECT_EQ(t.cell(0, 2), 6);
    EXPECT_EQ(t.cell(0, 3), 0);
}
