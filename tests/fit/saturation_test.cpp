// SPDX-License-Identifier: MIT
// Walks that reach the top of the Weibull law: the terms past the exponent where the value
// is exactly 1 are taken without pow or exp, so no evaluation meets an underflowing
// result (the library's slow path), and the fits still end where the step-by-step walk
// ends.
#include "fit/fits.h"
#include "gen.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cstring>
#include <string>

using namespace obr;

namespace {

gen::Fleet fleet(const char *name)
{
    for (const gen::Fleet &f : gen::fleets())
        if (std::strcmp(f.name, name) == 0)
            return f;
    ADD_FAILURE() << "no fleet " << name;
    return {};
}

State fleetState(const gen::Fleet &f)
{
    return gen::makeState(f.failures, 1 + uint64_t(f.failures), f.p);
}

}   // namespace

TEST(SaturatedTerms, SteepFleetsWalkPastTheTopWithoutUnderflow)
{
    // On these fleets the Newton search's shape walk passes exponents of several hundreds
    // and more at the later interval ends: before the cut-off a third of its exp calls
    // underflowed to 0 or a subnormal (counted with an interposed exp while the fits were
    // measured). An underflowing result raises the underflow flag, which nothing else in
    // a fit does, so the flag shows the slow path without timing it.
    for (const char *name : {"few-steep", "steep-big"}) {
        const State base = fleetState(fleet(name));
        State s = base;
        FitStats st;
        std::feclearexcept(FE_ALL_EXCEPT);
        Podbor_Weib_Pirson(s, s.MPirsN.A, s.MPirsN.B, 1.00025, Criterion::Spec1, nullLog(), &st);
        EXPECT_FALSE(std::fetestexcept(FE_UNDERFLOW)) << name << ": an evaluation underflowed";
        EXPECT_FALSE(std::fetestexcept(FE_OVERFLOW)) << name;
        EXPECT_GT(st.saturatedTerms, st.evaluations) << name << ": the cut-off was not reached";
    }
}

TEST(SaturatedTerms, FitsOnUsersShapesPublishTheReferencePoint)
{
    // The fleets whose walks cross the cut-off and those that stay below it, each fit
    // against the step-by-step reference (smaller coefficients than the defaults keep
    // the reference short).
    struct Case {
        const char *fleet;
        const char *fit;
        double k;
    } const cases[] = {
        {"few-steep", "newton", 1.002},  {"steep-big", "newton", 1.005},
        {"few-steep", "smirnov", 1.01},  {"early-wear", "smirnov", 1.01},
        {"early-wear", "spiral", 1.005}, {"repeats-header", "newton", 1.005},
    };
    for (const Case &c : cases) {
        const State base = fleetState(fleet(c.fleet));
        State a = base, b = base;
        FitStats st;
        ref::Stats rst;
        const std::string fit = c.fit;
        const Mod_Weib *ma, *mb;
        if (fit == "newton") {
            Podbor_Weib_Pirson(a, a.MPirsN.A, a.MPirsN.B, c.k, Criterion::Spec1, nullLog(), &st);
            ref::Podbor_Weib_Pirson(b, b.MPirsN.A, b.MPirsN.B, c.k, Criterion::Spec1, &rst);
            ma = &a.MPirsN;
            mb = &b.MPirsN;
        } else if (fit == "spiral") {
            SpirSp_Execute(a, c.k, Criterion::Spec1, nullLog(), &st);
            ref::SpirSp_Execute(b, c.k, Criterion::Spec1, &rst);
            ma = &a.MPirsS;
            mb = &b.MPirsS;
        } else {
            Podbor_Weib_Smirnow(a, a.MSmirn.A, a.MSmirn.B, c.k, nullLog(), &st);
            ref::Podbor_Weib_Smirnow(b, b.MSmirn.A, b.MSmirn.B, c.k, &rst);
            ma = &a.MSmirn;
            mb = &b.MSmirn;
        }
        const std::string what = std::string(c.fleet) + " " + c.fit;
        EXPECT_EQ(ma->A, mb->A) << what;
        EXPECT_EQ(ma->B, mb->B) << what;
        EXPECT_EQ(ma->K_powtor, mb->K_powtor) << what;
        EXPECT_EQ(st.passes, rst.passes) << what;
        EXPECT_EQ(st.stepEvaluations, rst.evaluations) << what;
    }
}
