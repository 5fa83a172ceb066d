// SPDX-License-Identifier: MIT
// The galloping walk against the plain step-by-step walk on synthetic objectives: smooth
// bowls of every width, bowls with rounding-like noise inside the declared bound, flat
// stretches, bounds and refused steps.
#include "fit/walk.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>

using obr::detail::WalkResult;
using obr::detail::Walker;
using obr::detail::WalkStop;

namespace {

//! An objective of one variable with a declared noise bound.
struct Synthetic {
    std::function<double(double)> fn;
    double noiseBound = 0;   //!< absolute noise bound, or relative to |f| when negative
    std::function<double(double)> boundAt = {};   //!< a bound that depends on x, when set
    int64_t evals = 0;
    double last = 0, lastX = 0;
    double eval(double x)
    {
        ++evals;
        lastX = x;
        return last = fn(x);
    }
    double noise() const
    {
        if (boundAt)
            return boundAt(lastX);
        return noiseBound >= 0 ? noiseBound : -noiseBound * std::fabs(last);
    }
};

//! Deterministic noise in [-1, 1] from the bits of x.
double hashNoise(double x)
{
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    b ^= b >> 33;
    b *= 0xff51afd7ed558ccdull;
    b ^= b >> 33;
    return double(b >> 11) * 0x1.0p-52 - 1;
}

struct Plain {
    int64_t k;
    double x;   // position before the stop
};

//! Strict walk, one step at a time.
Plain plainStrict(const std::function<double(double)> &f, double x0, double h, double lo,
                  double hi)
{
    double x = x0, fx = f(x0);
    for (int64_t k = 1;; ++k) {
        const double y = x + h;
        const double fy = f(y);
        if (!(fy < fx) || y + h <= lo || y > hi)
            return {k, x};
        x = y;
        fx = fy;
    }
}

//! Spiral walk, one step at a time (refused and non-moving steps end the walk).
Plain plainSpiral(const std::function<double(double)> &f, double x0, double h, double hi)
{
    double x = x0, fx = f(x0);
    for (int64_t k = 1;; ++k) {
        if (!(x + h > 0))
            return {k, x};
        const double y = x + h;
        if (y == x || y > hi)
            return {k, x};
        const double fy = f(y);
        if (!(fy <= fx))
            return {k, x};
        x = y;
        fx = fy;
    }
}

} // namespace

TEST(Walk, SmoothBowlsEndWhereTheStepWalkEnds)
{
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(0, 1);
    for (int trial = 0; trial < 400; ++trial) {
        const double c = 0.5 + u(rng);
        const double curv = std::pow(10.0, 3 * u(rng));
        const double h = std::pow(10.0, -1 - 6 * u(rng)) * (u(rng) < 0.5 ? -1 : 1);
        const double x0 = c - std::copysign(1, h) * std::fabs(h) * std::floor(u(rng) * 5000);
        auto fn = [=](double x) { return curv * (x - c) * (x - c) + 3; };
        Synthetic s{fn, -1e-15};   // a few units of roundoff of the value
        Walker<Synthetic> w(s);
        const Plain p = plainStrict(s.fn, x0, h, -1e9, 1e9);
        const WalkResult r = w.strict(x0, h, s.fn(x0), -1e9, 1e9);
        ASSERT_EQ(r.k, p.k) << "trial " << trial;
        EXPECT_EQ(w.pos(r.k - 1), p.x);
        const int64_t stepEvals = p.k;
        if (stepEvals > 200) {
            EXPECT_LT(s.evals, stepEvals / 2) << "trial " << trial << " c " << c << " curv " << curv << " h " << h << " x0 " << x0;
        }
    }
}

TEST(Walk, NoisyBowlsWithinTheDeclaredBound)
{
    // The noise is as large as the declared bound allows, so a walk may stop early on a
    // chance rise near the bottom; the fast walk must stop at the same position.
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> u(0, 1);
    for (int trial = 0; trial < 400; ++trial) {
        const double c = 1 + u(rng);
        const double h = std::pow(10.0, -2 - 3 * u(rng));
        const double delta = std::pow(10.0, -14 + 8 * u(rng));
        const double x0 = c - h * std::floor(u(rng) * 3000);
        auto fn = [=](double x) { return (x - c) * (x - c) + 1 + delta * hashNoise(x); };
        Synthetic s{fn, delta};
        Walker<Synthetic> w(s);
        const Plain p = plainStrict(fn, x0, h, -1e9, 1e9);
        const WalkResult r = w.strict(x0, h, fn(x0), -1e9, 1e9);
        ASSERT_EQ(r.k, p.k) << "trial " << trial;
        EXPECT_EQ(w.pos(r.k - 1), p.x);
    }
}

TEST(Walk, LongWalksUnderAGenerousBoundEndWhereTheStepWalkEnds)
{
    // The evaluator declares fifty times the noise its values really carry, so long
    // stretches near the end of each walk fall within the declared bound; the jitter
    // measured along them must let the search resume without changing where the walk ends.
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> u(0, 1);
    for (int trial = 0; trial < 12; ++trial) {
        const double c = 1 + u(rng);
        // Falls per step near the end are 2 h^2 j at j steps from the bottom: the whole
        // walk lies where they are below eight times the declared bound.
        const double h = 1e-6;
        const double delta = 1e-9 * (1 + u(rng));
        const double x0 = c - h * std::floor(delta / (h * h) * (100 + 80 * u(rng)));
        auto fn = [=](double x) { return (x - c) * (x - c) + 1 + delta * hashNoise(x); };
        Synthetic s{fn, 50 * delta};
        Walker<Synthetic> w(s);
        const Plain p = plainStrict(fn, x0, h, -1e9, 1e9);
        const WalkResult r = w.strict(x0, h, fn(x0), -1e9, 1e9);
        ASSERT_EQ(r.k, p.k) << "trial " << trial;
        EXPECT_EQ(w.pos(r.k - 1), p.x);
        EXPECT_LT(s.evals, p.k / 4) << "trial " << trial;
    }
    // Noise that grows thirtyfold near the bottom, after the jitter was measured, with a
    // bound that grows with it: the measured jitter must grow in proportion.
    for (int trial = 0; trial < 12; ++trial) {
        const double c = 1.5 + 0.1 * u(rng);
        const double h = 1e-6;
        const double x0 = c - 0.25;
        const double edge = c - 0.02 - 0.04 * u(rng);
        auto amp = [=](double x) { return x < edge ? 1e-9 : 3e-8; };
        auto fn = [=](double x) { return (x - c) * (x - c) + 1 + amp(x) * hashNoise(x); };
        Synthetic s{fn, 0, [=](double x) { return 1.7 * amp(x); }};
        Walker<Synthetic> w(s);
        const Plain p = plainStrict(fn, x0, h, -1e9, 1e9);
        const WalkResult r = w.strict(x0, h, fn(x0), -1e9, 1e9);
        ASSERT_EQ(r.k, p.k) << "growing noise, trial " << trial;
        EXPECT_EQ(w.pos(r.k - 1), p.x);
    }
}

TEST(Walk, BoundsAndRefusals)
{
    struct Case {
        const char *name;
        bool spiral;
        double x0, h, lo, hi;
        std::function<double(double)> fn;
        WalkStop why;
    };
    const auto down = [](double x) { return -x; };
    const auto up = [](double x) { return x; };
    const auto flat = [](double) { return 2.0; };
    const Case cases[] = {
        {"strict upper bound", false, 0.5, 0.001, 0.001, 5, down, WalkStop::Limit},
        {"strict lower bound", false, 4.0, -0.001, 0.001, 5, up, WalkStop::Limit},
        {"spiral upper bound", true, 0.5, 0.001, 0, 7, down, WalkStop::Over},
        {"spiral flat to the bound", true, 0.5, 0.0005, 0, 7, flat, WalkStop::Over},
        {"spiral refused at zero", true, 0.3, -5e-5, 0, 10, up, WalkStop::Refused},
        {"spiral first step over", true, 6.9995, 0.001, 0, 7, down, WalkStop::Over},
    };
    for (const Case &c : cases) {
        Synthetic s{c.fn, 1e-16};
        Walker<Synthetic> w(s);
        const WalkResult r = c.spiral ? w.spiral(c.x0, c.h, c.fn(c.x0), c.hi)
                                      : w.strict(c.x0, c.h, c.fn(c.x0), c.lo, c.hi);
        const Plain p = c.spiral ? plainSpiral(c.fn, c.x0, c.h, c.hi)
                                 : plainStrict(c.fn, c.x0, c.h, c.lo, c.hi);
        EXPECT_EQ(r.why, c.why) << c.name;
        EXPECT_EQ(r.k, p.k) << c.name;
        EXPECT_EQ(w.pos(r.k - 1), p.x) << c.name;
        if (!c.spiral) {
            EXPECT_TRUE(r.stopEvaluated) << c.name << ": the plain walk evaluates its stop";
        } else {
            EXPECT_FALSE(r.stopEvaluated) << c.name << ": a bound stop is not evaluated";
        }
        if (c.fn(0.0) != c.fn(1.0)) {   // a flat stretch is walked step by step
            EXPECT_LT(s.evals, 200) << c.name;
        }
    }
}

TEST(Walk, NonFiniteValuesStopTheWalkWhereTheyAreFirstReached)
{
    // Past x = 1.3 the objective is not a number; the plain walk reaches it at its stop.
    auto fn = [](double x) { return x > 1.3 ? std::nan("") : -x; };
    Synthetic s{fn, 1e-16};
    Walker<Synthetic> w(s);
    const WalkResult r = w.strict(1.0, 0.001, fn(1.0), 0, 5);
    const Plain p = plainStrict(fn, 1.0, 0.001, 0, 5);
    EXPECT_EQ(r.k, p.k);
    EXPECT_TRUE(std::isnan(r.fStop));
}

TEST(Walk, PositionsEqualRepeatedAddition)
{
    // Starts and steps chosen to cross binades both ways, to land on powers of two, to
    // cross zero both ways, and steps far below a unit of the binade.
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> u(0, 1);
    struct Fixed {
        double x0, h;
    } const fixed[] = {{1.0, -0.001}, {0.5, 0.1}, {2.0, -0.25}, {1024, 1.0}, {7.9, 0.05},
                       {1.0, 1e-17}, {1.0, -1e-17}, {1e-9, 1e-10}, {0.001, -5e-5}, {3, 0x1.0p-52},
                       {0.3, -1e-3}, {-1.0, 0.001}, {-0.5, -0.1}, {-1024, 1.0}, {-2.0, 1e-17}};
    std::vector<Fixed> all(std::begin(fixed), std::end(fixed));
    for (int i = 0; i < 200; ++i)
        all.push_back({std::pow(2.0, 8 * u(rng) - 4) * (i % 4 == 0 ? -1 : 1),
                       std::pow(10.0, -7 * u(rng)) * (u(rng) < 0.5 ? -1 : 1)});
    for (const Fixed &f : all) {
        obr::detail::Positions p;
        p.reset(f.x0, f.h);
        double x = f.x0;
        for (int64_t k = 1; k <= 20000; ++k) {
            x = x + f.h;
            ASSERT_EQ(p.at(k), x) << f.x0 << " " << f.h << " at " << k;
        }
        // Random access after the walk was made, and a fresh one probed out of order.
        obr::detail::Positions q;
        q.reset(f.x0, f.h);
        EXPECT_EQ(q.at(15000), p.at(15000));
        EXPECT_EQ(q.at(7), p.at(7));
    }
    // A probe far past zero costs a few segments per binade, not one per step.
    obr::detail::Positions far;
    far.reset(0.3, -1e-6);
    EXPECT_LT(far.at(int64_t(1) << 22), 0);
    EXPECT_LT(far.segments(), 10000u);
}

namespace {

//! A synthetic objective that says it cannot change with the parameter.
struct FlatSynthetic : Synthetic {
    bool flat() const { return true; }
};

} // namespace

TEST(Walk, AFlatObjectiveCostsAGallopAndEndsAtTheStepWalksBoundStop)
{
    // Up to the upper bound and down to the refused step at zero, with steps from coarse
    // to ones that make walks of tens of millions of positions.
    struct Case {
        double x0, h, hi;
    } const cases[] = {{0.001, 0.001, 7}, {0.9, -1e-7, 7}, {6.5, 1e-7, 7}, {0.5, -3e-6, 10},
                       {1e-3, 5e-5, 10}};
    for (const Case &c : cases) {
        FlatSynthetic s;
        s.fn = [](double) { return 42.0; };
        Walker<FlatSynthetic> w(s);
        const Plain p = plainSpiral(s.fn, c.x0, c.h, c.hi);
        s.evals = 0;
        const WalkResult r = w.spiral(c.x0, c.h, 42.0, c.hi);
        ASSERT_EQ(r.k, p.k) << c.x0 << " " << c.h;
        EXPECT_EQ(w.pos(r.k - 1), p.x);
        EXPECT_TRUE(r.why == WalkStop::Over || r.why == WalkStop::Refused);
        EXPECT_LE(s.evals, 8) << "a walk of " << p.k << " positions";
    }
}
