// SPDX-License-Identifier: MIT
// The parts of the walk that do not depend on the engine: the positions made by repeated
// addition and the table of values evaluated along one walk.
#include "walk.h"

namespace obr::detail {

void Positions::reset(double x0, double h)
{
    m_h = h;
    m_segs.clear();
    m_segs.push_back({0, 0, bits(x0), 0});
}

void Positions::extend()
{
    const Seg &last = m_segs.back();
    const double x = fromBits(last.b0 + uint64_t((last.k1 - last.k0) * last.n));
    const double y = x + m_h;   // the first step of the new segment, as made
    Seg s{last.k1 + 1, last.k1 + 1, bits(y), 0};
    int exp = 0;
    if (std::isnormal(y) && std::isfinite(m_h)) {
        // Rounding is symmetric under a change of sign: below zero the magnitude takes
        // the steps of -h, and its bits carry the (fixed) sign bit along unchanged.
        const double ay = std::fabs(y);
        const double ah = y > 0 ? m_h : -m_h;
        std::frexp(ay, &exp);                        // |y| in [2^(exp-1), 2^exp)
        const double t = std::ldexp(ah, 53 - exp);   // the step in units of the binade
        const double fl = std::floor(t);
        if (std::fabs(t) < 0x1.0p52 && t - fl != 0.5) {
            const int64_t n = int64_t(t - fl < 0.5 ? fl : fl + 1);
            const double z = std::fabs(y + m_h);
            const uint64_t low = bits(std::ldexp(1.0, exp - 1));
            const uint64_t top = bits(std::ldexp(1.0, exp));
            const uint64_t by = bits(ay);
            int64_t steps = 0;   // further steps of the same increment
            if (n > 0)
                steps = int64_t((top - 1 - by) / uint64_t(n));
            else if (n < 0)
                steps = by > low ? int64_t((by - low - 1) / uint64_t(-n)) : 0;
            else if (ah > 0 || by > low)
                steps = int64_t(1) << 40;   // h rounds away: the position stays put
            // The formula must agree with an actual addition (it always should).
            if (steps > 0 && std::signbit(y + m_h) == std::signbit(y) && int64_t(bits(z) - by) == n)
                s.k1 = s.k0 + steps;
            s.n = n;
        }
    }
    m_segs.push_back(s);
}

void ValueCache::clear()
{
    m_count = 0;
    if (++m_walk == 0) {   // stamps wrapped: forget them all
        std::fill(m_stamp.begin(), m_stamp.end(), 0);
        m_walk = 1;
    }
}

void ValueCache::insert(int64_t k, double v)
{
    if (2 * (m_count + 1) > m_stamp.size())
        grow();
    size_t i = slot(k);
    while (m_stamp[i] == m_walk && m_key[i] != k)
        i = (i + 1) & m_mask;
    if (m_stamp[i] != m_walk)
        ++m_count;
    m_stamp[i] = m_walk;
    m_key[i] = k;
    m_val[i] = v;
}

void ValueCache::grow()
{
    std::vector<uint32_t> st = std::move(m_stamp);
    std::vector<int64_t> ke = std::move(m_key);
    std::vector<double> va = std::move(m_val);
    const size_t n = st.empty() ? 64 : st.size() * 2;
    m_stamp.assign(n, 0);
    m_key.assign(n, 0);
    m_val.assign(n, 0);
    m_mask = n - 1;
    const uint32_t walk = m_walk;
    m_count = 0;
    for (size_t i = 0; i < st.size(); ++i)
        if (st[i] == walk)
            insert(ke[i], va[i]);
}

}   // namespace obr::detail
