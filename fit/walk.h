// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The one-parameter walk of the searches, found without evaluating every step.
 *
 * A walk visits x0, x0 + h, (x0 + h) + h, ... (positions made by repeated addition,
 * exactly as the step-by-step walk makes them) and ends at the first position k where
 * a bound test holds or the objective stops falling against position k - 1. Instead of
 * evaluating every position, the walk gallops (probes at doubling distances) and then
 * bisects, each probe comparing a pair of neighbouring positions. Where the objective
 * along the walk falls and then rises, the first rise is found exactly.
 *
 * Rounding noise could make a comparison come out differently from the smooth trend
 * near the end of a walk. Every probe is therefore classified against a generous bound
 * of the rounding error: a pair whose fall is larger than the noise proves that every
 * earlier pair falls too; a pair within the noise proves nothing, and from the last
 * proven position on the walk goes step by step, as the plain walk would.
 *
 * The evaluator's bound is first order and generous, often fifty times the jitter that
 * neighbouring values really show. After a long step-by-step stretch (kBandSteps steps)
 * the jitter measured along it (the largest change between neighbouring differences,
 * never less than a unit in the last place of the value) stands for the noise for the
 * rest of the walk, kept in proportion to the evaluator's bound as that changes, and the
 * search resumes where the falls stand clear of it by the same margin as before. A
 * step-by-step stretch keeps only its last two values, so a walk of any length needs
 * little memory.
 */
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace obr::detail {

//! How a walk ended.
enum class WalkStop {
    Rise,      //!< the objective did not improve at the stop position
    Limit,     //!< a bound test held at the stop position (strict walks: after evaluation)
    Over,      //!< spiral: the stop position lies above the upper bound (not evaluated)
    Refused,   //!< spiral: the step would make the parameter zero or negative, or not move it
};

struct WalkResult {
    int64_t k = 0;   //!< stop position (>= 1)
    WalkStop why = WalkStop::Rise;
    double fStop = 0;   //!< objective at the stop position when it was evaluated
    bool stopEvaluated = false;
};

/*! \brief The positions x0, x0 + h, (x0 + h) + h, ... of a walk, at any index in constant
 *  time, bit for bit equal to repeated addition.
 *
 *  Inside one binade the doubles are the multiples of one unit u, so adding h to a
 *  position there adds h rounded to a multiple of u, the same for every step, as long
 *  as the exact sum stays strictly inside the binade and h is not halfway between two
 *  multiples (then the rounding depends on the last bit). Such a run of steps is one
 *  segment: its bit patterns grow by a constant. Every other step is made by an actual
 *  addition. */
class Positions {
public:
    void reset(double x0, double h);

    double at(int64_t k)
    {
        while (m_segs.back().k1 < k)
            extend();
        // The last segment whose first index is not past k.
        const auto it = std::upper_bound(m_segs.begin(), m_segs.end(), k,
                                         [](int64_t key, const Seg &s) { return key < s.k0; });
        const Seg &s = *(it - 1);
        return fromBits(s.b0 + uint64_t((k - s.k0) * s.n));
    }

    //! Segments made so far (each binade crossed adds a few).
    size_t segments() const { return m_segs.size(); }

private:
    struct Seg {
        int64_t k0, k1;   // first and last index of the segment
        uint64_t b0;      // bits of the position at k0
        int64_t n;        // bit increment per step
    };

    static uint64_t bits(double x)
    {
        uint64_t b;
        std::memcpy(&b, &x, sizeof b);
        return b;
    }
    static double fromBits(uint64_t b)
    {
        double x;
        std::memcpy(&x, &b, sizeof x);
        return x;
    }

    //! Appends the segment that starts one step after the last one.
    void extend();

    double m_h = 0;
    std::vector<Seg> m_segs;
};

/*! \brief The values evaluated along one walk, by position: an open-addressing table
 *  that keeps its storage from walk to walk (a walk stamp marks the live entries). */
class ValueCache {
public:
    //! Starts a new walk: the entries of earlier walks are gone.
    void clear();
    const double *find(int64_t k) const
    {
        if (m_stamp.empty())
            return nullptr;
        for (size_t i = slot(k);; i = (i + 1) & m_mask) {
            if (m_stamp[i] != m_walk)
                return nullptr;
            if (m_key[i] == k)
                return &m_val[i];
        }
    }
    void insert(int64_t k, double v);

private:
    size_t slot(int64_t k) const
    {
        return size_t((uint64_t(k) * 0x9E3779B97F4A7C15ull) >> 20) & m_mask;
    }
    void grow();

    std::vector<uint32_t> m_stamp;
    std::vector<int64_t> m_key;
    std::vector<double> m_val;
    size_t m_mask = 0, m_count = 0;
    uint32_t m_walk = 1;
};

//! Positions, cached values and the search of one walk; reused from walk to walk.
template <class Engine>
class Walker {
public:
    explicit Walker(Engine &e) : m_e(e) {}

    //! Evaluations along the walk that the plain step-by-step walk would not skip.
    static constexpr int64_t kSteps = 3;
    //! A predicted probe lies at most this many times further than the last proven one.
    static constexpr int64_t kMaxLeap = 64;
    //! Steps walked one by one before the jitter seen along them may stand for the noise.
    static constexpr int64_t kBandSteps = 4096;
    /*! How many times the noise scale a fall must exceed to prove that every earlier pair
     *  falls too. A difference of two values carries at most the sum of their rounding
     *  errors, two noise units; the bound the engine reports is sampled on every other
     *  evaluation and varies slowly along a walk, so the pair's own bounds may exceed the
     *  sampled largest one by a little; the rest of the factor is headroom for the
     *  jitter scale measured along a stretch (kBandSteps steps see the jitter, not its
     *  worst case). With the engines' bounds generous on their own (see noise()), 8
     *  leaves a wide gap: a pair that falls by more cannot be a rise disguised by
     *  rounding. */
    static constexpr double kProofMargin = 8;

    /*! Strict walk (continue while strictly better and inside the bounds): stop at the
     *  first k with x_k + h <= lo or x_k > hi, or f_k >= f_(k-1). The stop position is
     *  evaluated in every case, as the plain walk does. */
    WalkResult strict(double x0, double h, double f0, double lo, double hi)
    {
        m_strict = true;
        m_h = h;
        m_lo = lo;
        m_hi = hi;
        return run(x0, f0);
    }

    /*! Spiral walk (continue while not worse): a step that would make the parameter zero
     *  or negative, or would not move it, is refused; a position above \a hi ends the walk
     *  unevaluated; otherwise stop at the first k with f_k > f_(k-1). */
    WalkResult spiral(double x0, double h, double f0, double hi)
    {
        m_strict = false;
        m_h = h;
        m_lo = 0;
        m_hi = hi;
        return run(x0, f0);
    }

    double pos(int64_t k) { return m_positions.at(k); }
    //! The objective at position k (evaluated now when it was not yet).
    double f(int64_t k) { return value(k); }

private:
    bool rise(double fk, double fprev) const { return m_strict ? !(fk < fprev) : !(fk <= fprev); }

    //! The bound test of position k >= 1; once true it stays true along the walk (the
    //! positions move one way), so the first stop can be found by bisection.
    bool boundStop(int64_t k, WalkStop &why)
    {
        const double x = m_positions.at(k);
        if (m_strict) {
            why = WalkStop::Limit;
            return x + m_h <= m_lo || x > m_hi;
        }
        const double prev = m_positions.at(k - 1);
        if (!(prev + m_h > 0) || x == prev) {
            why = WalkStop::Refused;
            return true;
        }
        why = WalkStop::Over;
        return x > m_hi;
    }

    //! True when position k may be evaluated: strict walks evaluate their bound stop, a
    //! spiral walk does not.
    bool gen(int64_t k)
    {
        if (k <= m_okUpTo)
            return true;
        if (m_limIdx < 0) {
            WalkStop why;
            if (!boundStop(k, why)) {
                m_okUpTo = k;
                return true;
            }
            // The first bound stop lies in (m_okUpTo, k].
            int64_t a = m_okUpTo, b = k;
            WalkStop bw = why;
            while (b - a > 1) {
                const int64_t mid = a + (b - a) / 2;
                WalkStop w;
                if (boundStop(mid, w)) {
                    b = mid;
                    bw = w;
                } else {
                    a = mid;
                }
            }
            m_okUpTo = a;
            m_limIdx = b;
            m_limWhy = bw;
        }
        assert(m_limIdx > m_okUpTo);
        return m_strict ? k <= m_limIdx : k < m_limIdx;
    }

    double evaluate(int64_t k)
    {
        // The bound is sampled on every other evaluation: computing it costs about as
        // much as the evaluation itself. A probe compares two neighbouring positions,
        // mostly evaluated one right after the other, so one of each fresh pair is
        // sampled, and the bound of a neighbour differs from it by far less than the
        // margin kProofMargin leaves. An engine told in advance may compute the bound
        // alongside the value.
        const bool sample = m_trackNoise && (++m_noiseTick & 1);
        double v;
        if constexpr (requires(Engine & e) { e.eval(0.0, true); })
            v = m_e.eval(m_positions.at(k), sample);
        else
            v = m_e.eval(m_positions.at(k));
        if (sample) {
            const double n = m_e.noise();
            if (!(n <= m_noise))
                m_noise = n;
            if (!(n <= m_stretchNoise))
                m_stretchNoise = n;
        }
        return v;
    }

    //! The value at k when it is known already.
    const double *known(int64_t k) const
    {
        for (int i = 0; i < 2; ++i)
            if (m_tailK[i] == k)
                return &m_tailV[i];
        return m_cache.find(k);
    }

    double value(int64_t k)
    {
        if (const double *v = known(k))
            return *v;
        const double v = evaluate(k);
        m_cache.insert(k, v);
        return v;
    }

    //! The value at k of a step-by-step stretch: kept with its predecessor only, so a
    //! long stretch needs no memory.
    double stepValue(int64_t k)
    {
        if (const double *v = known(k))
            return *v;
        const double v = evaluate(k);
        const int i = m_tailK[0] < m_tailK[1] ? 0 : 1;   // replace the older entry
        m_tailK[i] = k;
        m_tailV[i] = v;
        return v;
    }

    //! The fall below which a pair proves that every earlier pair falls too. Once the
    //! jitter has been measured, it stands in the ratio measured to the evaluator's bound,
    //! so noise that grows along the walk raises the level with it.
    double proofLevel() const { return kProofMargin * (m_observed > 0 ? m_observed : 1) * m_noise; }

    //! 1: the pair (k-1, k) rises (a stop); -1: it falls by more than the noise allows to
    //! doubt, so every earlier pair falls too; 0: it falls, but within the noise.
    int classify(int64_t k)
    {
        const double a = value(k - 1);
        const double b = value(k);
        if (rise(b, a))
            return 1;
        const double d = b - a;
        return d < -proofLevel() ? -1 : 0;
    }

    WalkResult finish(int64_t k)
    {
        WalkResult r;
        r.k = k;
        if (k == m_limIdx) {
            r.why = m_limWhy;
            if (m_strict) {
                r.fStop = value(k);
                r.stopEvaluated = true;
            }
        } else {
            r.why = WalkStop::Rise;
            r.fStop = value(k);
            r.stopEvaluated = true;
        }
        return r;
    }

    /*! lo: every pair up to lo falls (proven); u: a pair within the noise; hi: a known stop
     *  (or -1). Narrows the stretch to prove, then walks step by step. Returns true with
     *  \a out when the walk ends in the stretch. A long stretch whose falls stand far above
     *  the rounding jitter seen along it (the bound of the evaluator is generous, often by
     *  a factor of 50) hands the walk back to the search, with that jitter as the noise
     *  scale from then on; \a lo is then the last position walked. */
    bool band(int64_t &lo, int64_t u, int64_t &hi, WalkResult &out)
    {
        // Entry: lo proven, u after it and before any known stop.
        assert(lo >= kSteps && lo < u && (hi < 0 || u < hi));
        while (u - lo > 1) {
            const int64_t mid = lo + (u - lo) / 2;
            const int c = classify(mid);
            if (c > 0) {
                hi = mid;
                u = mid;
            } else if (c < 0) {
                lo = mid;
            } else {
                u = mid;
            }
        }
        assert(u == lo + 1 && (hi < 0 || lo < hi));
        double jitter = 0, dPrev = 0, fBefore = 0;
        bool havePrev = false;
        m_stretchNoise = 0;
        for (int64_t k = lo + 1, n = 1;; ++k, ++n) {
            if (k == hi) {
                out = finish(k);
                return true;
            }
            if (!gen(k)) {
                out = finish(m_limIdx);
                return true;
            }
            if (k == m_limIdx) {
                out = finish(k);
                return true;
            }
            const double fPrev = stepValue(k - 1);
            const double fk = stepValue(k);
            if (rise(fk, fPrev)) {
                out = finish(k);
                return true;
            }
            const double d = fk - fPrev;
            if (havePrev)
                jitter = std::max(jitter, std::fabs(d - dPrev));
            dPrev = d;
            havePrev = true;
            fBefore = fPrev;
            if (n % kBandSteps == 0 && std::isfinite(d) && m_stretchNoise > 0) {
                // The jitter against the bound along this stretch itself: the walk's
                // largest bound may come from a far probe where the noise is larger.
                const double ratio =
                    std::max(std::max(jitter, ulpOf(fk)) / m_stretchNoise, m_observed);
                if (ratio < 1 && d < -kProofMargin * ratio * m_noise) {
                    // Keep the values the search reads around its new start.
                    m_cache.insert(k - 2, fBefore);
                    m_cache.insert(k - 1, fPrev);
                    m_cache.insert(k, fk);
                    m_observed = ratio;
                    lo = k;
                    // The search restarts at a proven position with its two predecessors
                    // known and no stop passed.
                    assert(known(lo) && known(lo - 1) && known(lo - 2));
                    assert(hi < 0 || lo < hi);
                    return false;
                }
            }
        }
    }

    //! True when the engine reports that the moving parameter cannot change its value.
    bool flatObjective() const
    {
        if constexpr (requires(const Engine &e) { e.flat(); })
            return m_e.flat();
        return false;
    }

    static double ulpOf(double v)
    {
        const double a = std::fabs(v);
        return std::nextafter(a, INFINITY) - a;
    }

    WalkResult run(double x0, double f0)
    {
        m_positions.reset(x0, m_h);
        m_cache.clear();
        m_cache.insert(0, f0);
        m_tailK[0] = m_tailK[1] = -1;
        m_okUpTo = 0;
        m_limIdx = -1;
        m_noise = 0;
        m_observed = 0;
        m_trackNoise = false;
        m_noiseTick = 0;

        // The first steps one by one: most walks near the end of a fit are this short.
        for (int64_t k = 1; k <= kSteps; ++k) {
            if (!gen(k))
                return finish(m_limIdx);
            if (k == m_limIdx)
                return finish(k);
            if (k == kSteps)
                m_trackNoise = true;   // the noise scale of the walk, from here on
            if (rise(value(k), value(k - 1)))
                return finish(k);
        }

        // An objective that does not depend on the parameter at all (the engine knows it
        // from its inputs) gives every position the value of the first one: no pair rises,
        // so a spiral walk runs on to its bound stop, which is found without evaluations.
        if (!m_strict && flatObjective()) {
            for (int64_t p = 2 * kSteps;; p = p > INT64_MAX / 2 ? INT64_MAX : 2 * p) {
                if (!gen(p) || p == m_limIdx)
                    return finish(m_limIdx);
            }
        }

        int64_t lo = kSteps, hi = -1;
        for (;;) {
            const int64_t u = search(lo, hi);
            if (u < 0)
                return finish(hi);
            WalkResult out;
            if (band(lo, u, hi, out))
                return out;
        }
    }

    /*! Searches for the first stop after \a lo (every pair up to lo falls, proven; the
     *  values at lo - 2 .. lo are known). Returns -1 when the stop \a hi is found, or a
     *  position whose pair falls within the noise.
     *
     *  The differences of neighbouring values grow nearly linearly along a walk near its
     *  end, so the next probe is where the line through the last two known differences
     *  crosses zero (safeguarded: at most a leap of kMaxLeap while no stop is known,
     *  bisection when the bracket shrinks slowly). A probe right after a predicted one
     *  checks its neighbour, which costs a single evaluation and usually closes the
     *  bracket. */
    int64_t search(int64_t &lo, int64_t &hi)
    {
        assert(lo >= 2 && known(lo) && known(lo - 1) && known(lo - 2));
        assert(hi < 0 || lo < hi);
        int64_t prevK = lo - 1;
        double dlo = value(lo) - value(lo - 1);
        double prevD = value(lo - 1) - value(lo - 2);
        double dhi = 0;
        bool dhiKnown = false;
        int64_t nextP = -1;
        int slow = 0;
        for (;;) {
            // lo only grows, hi only shrinks, and the stop stays in (lo, hi].
            assert(hi < 0 || lo < hi);
            if (hi >= 0 && hi - lo <= 1)
                return -1;
            int64_t p;
            bool predicted = false, neighbour = false;
            if (nextP > lo && (hi < 0 || nextP < hi)) {
                p = nextP;
                neighbour = true;
            } else if (hi < 0) {
                const double slope = (dlo - prevD) / double(lo - prevK);
                int64_t jump = lo;
                if (slope > 0) {
                    const double k0 = double(lo) + (-dlo) / slope;
                    if (k0 < double(kMaxLeap * lo))
                        jump = std::max<int64_t>(1, int64_t(std::ceil(k0)) - lo);
                }
                p = lo + jump;
                predicted = true;
            } else if (dhiKnown && slow < 2 && dhi > dlo) {
                const double k0 = double(lo) + double(hi - lo) * (-dlo) / (dhi - dlo);
                p = std::clamp<int64_t>(int64_t(std::ceil(k0)), lo + 1, hi - 1);
                predicted = true;
            } else {
                p = lo + (hi - lo) / 2;
            }
            nextP = -1;
            const int64_t width = hi < 0 ? -1 : hi - lo;
            if (!gen(p) || p == m_limIdx) {
                hi = m_limIdx;
                dhiKnown = false;
            } else {
                const int c = classify(p);
                const double d = value(p) - value(p - 1);
                if (c > 0) {
                    hi = p;
                    dhi = d;
                    dhiKnown = std::isfinite(d);
                    if (predicted)
                        nextP = p - 1;
                } else if (c < 0) {
                    prevK = lo;
                    prevD = dlo;
                    lo = p;
                    dlo = d;
                    if (predicted && hi >= 0)
                        nextP = p + 1;
                } else {
                    assert(lo < p && (hi < 0 || p < hi));
                    return p;
                }
            }
            if (width > 0 && !neighbour)
                slow = 2 * (hi - lo) > width ? slow + 1 : 0;
        }
    }

    Engine &m_e;
    bool m_strict = true;
    double m_h = 0, m_lo = 0, m_hi = 0;
    Positions m_positions;
    ValueCache m_cache;
    int64_t m_okUpTo = 0;
    int64_t m_limIdx = -1;
    WalkStop m_limWhy = WalkStop::Rise;
    double m_noise = 0;   //!< the evaluator's bound, largest seen along the walk
    //! The rounding jitter seen along long stretches, as a share of the evaluator's
    //! bound (0 until measured).
    double m_observed = 0;
    double m_stretchNoise = 0;   //!< the evaluator's largest bound along the current stretch
    int64_t m_tailK[2] = {-1, -1};
    double m_tailV[2] = {0, 0};
    bool m_trackNoise = false;
    unsigned m_noiseTick = 0;
};

}   // namespace obr::detail
