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
 */
#include <algorithm>
#include <cmath>
#include <cstdint>
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
    int64_t k = 0;         //!< stop position (>= 1)
    WalkStop why = WalkStop::Rise;
    double fStop = 0;      //!< objective at the stop position when it was evaluated
    bool stopEvaluated = false;
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

    double pos(int64_t k) const { return m_pos[size_t(k)]; }
    //! The objective at position k (evaluated now when it was not yet).
    double f(int64_t k) { return value(k); }

    //! Turns galloping off (every walk step by step), for comparisons.
    void setGallop(bool on) { m_gallop = on; }

private:
    bool rise(double fk, double fprev) const
    {
        return m_strict ? !(fk < fprev) : !(fk <= fprev);
    }

    //! Makes positions up to k. Returns false when a bound stops the walk at or before k.
    bool gen(int64_t k)
    {
        while (int64_t(m_pos.size()) <= k) {
            if (m_limIdx >= 0)
                return false;
            const double x = m_pos.back();
            const int64_t idx = int64_t(m_pos.size());
            if (m_strict) {
                const double y = x + m_h;
                m_pos.push_back(y);
                if (y + m_h <= m_lo || y > m_hi) {
                    m_limIdx = idx;
                    m_limWhy = WalkStop::Limit;
                }
            } else {
                if (!(x + m_h > 0)) {
                    m_limIdx = idx;
                    m_limWhy = WalkStop::Refused;
                    return false;
                }
                const double y = x + m_h;
                if (y > m_hi) {
                    m_limIdx = idx;
                    m_limWhy = WalkStop::Over;
                    return false;
                }
                if (y == x) {
                    m_limIdx = idx;
                    m_limWhy = WalkStop::Refused;
                    return false;
                }
                m_pos.push_back(y);
            }
        }
        return m_limIdx < 0 || k <= m_limIdx;
    }

    //! Stop index known from the bounds, -1 when none yet.
    int64_t limIdx() const { return m_limIdx; }

    double value(int64_t k)
    {
        const size_t i = size_t(k);
        if (m_stamp.size() <= i) {
            m_stamp.resize(i + 1 + i / 2, 0);
            m_val.resize(m_stamp.size());
        }
        if (m_stamp[i] != m_walk) {
            m_val[i] = m_e.eval(m_pos[i]);
            m_stamp[i] = m_walk;
            if (m_trackNoise && (++m_noiseTick & 1)) {
                const double n = m_e.noise();
                if (!(n <= m_noise))
                    m_noise = n;
            }
        }
        return m_val[i];
    }

    //! 1: the pair (k-1, k) rises (a stop); -1: it falls by more than the noise allows to
    //! doubt, so every earlier pair falls too; 0: it falls, but within the noise.
    int classify(int64_t k)
    {
        const double a = value(k - 1);
        const double b = value(k);
        if (rise(b, a))
            return 1;
        const double d = b - a;
        return d < -8 * m_noise ? -1 : 0;
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

    //! lo: every pair up to lo falls (proven); u: a pair within the noise; hi: a known stop
    //! (or -1). Narrows the stretch to prove, then walks step by step.
    WalkResult band(int64_t lo, int64_t u, int64_t hi)
    {
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
        for (int64_t k = lo + 1;; ++k) {
            if (k == hi)
                return finish(k);
            if (!gen(k))
                return finish(m_limIdx);
            if (k == m_limIdx)
                return finish(k);
            if (rise(value(k), value(k - 1)))
                return finish(k);
        }
    }

    WalkResult run(double x0, double f0)
    {
        ++m_walk;
        if (m_walk == 0) {   // stamps wrapped: forget every cached value
            std::fill(m_stamp.begin(), m_stamp.end(), 0);
            m_walk = 1;
        }
        m_pos.clear();
        m_pos.push_back(x0);
        m_limIdx = -1;
        m_noise = 0;
        m_trackNoise = false;
        m_noiseTick = 0;
        if (m_stamp.empty()) {
            m_stamp.resize(64, 0);
            m_val.resize(64);
        }
        m_val[0] = f0;
        m_stamp[0] = m_walk;

        // The first steps one by one: most walks near the end of a fit are this short.
        const int64_t steps = m_gallop ? kSteps : INT64_MAX;
        for (int64_t k = 1; k <= steps; ++k) {
            if (!gen(k))
                return finish(m_limIdx);
            if (k == m_limIdx)
                return finish(k);
            if (k == kSteps && m_gallop)
                m_trackNoise = true;   // the noise scale of the walk, from here on
            if (rise(value(k), value(k - 1)))
                return finish(k);
        }

        // Search for the first stop after lo. The differences of neighbouring values grow
        // nearly linearly along a walk near its end, so the next probe is where the line
        // through the last two known differences crosses zero (safeguarded: at most a
        // leap of kMaxLeap while no stop is known, bisection when the bracket shrinks slowly).
        // A probe right after a predicted one checks its neighbour, which costs a single
        // evaluation and usually closes the bracket.
        int64_t lo = kSteps, prevK = kSteps - 1, hi = -1;
        double dlo = value(kSteps) - value(kSteps - 1);
        double prevD = value(kSteps - 1) - value(kSteps - 2);
        double dhi = 0;
        bool dhiKnown = false;
        int64_t nextP = -1;
        int slow = 0;
        for (;;) {
            if (hi >= 0 && hi - lo <= 1)
                return finish(hi);
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
                    return band(lo, p, hi);
                }
            }
            if (width > 0 && !neighbour)
                slow = 2 * (hi - lo) > width ? slow + 1 : 0;
        }
    }

    Engine &m_e;
    bool m_strict = true;
    bool m_gallop = true;
    double m_h = 0, m_lo = 0, m_hi = 0;
    std::vector<double> m_pos;
    std::vector<double> m_val;
    std::vector<uint32_t> m_stamp;
    uint32_t m_walk = 0;
    int64_t m_limIdx = -1;
    WalkStop m_limWhy = WalkStop::Rise;
    double m_noise = 0;
    bool m_trackNoise = false;
    unsigned m_noiseTick = 0;
};

} // namespace obr::detail
