// SPDX-License-Identifier: MIT
#include "fit/fits.h"
#include "gen.h"
#include "reference.h"

#include <gtest/gtest.h>

using namespace obr;

TEST(FitSmoke, SmallSetMatchesReference)
{
    const State base = gen::makeState(30, 1);
    State a = base, b = base;
    Podbor_Weib_Smirnow(a, a.MSmirn.A, a.MSmirn.B, 1.05, nullLog());
    ref::Podbor_Weib_Smirnow(b, b.MSmirn.A, b.MSmirn.B, 1.05);
    EXPECT_DOUBLE_EQ(a.MSmirn.A, b.MSmirn.A);
}
