// SPDX-License-Identifier: MIT
#include "ranks.h"

#include <boost/math/special_functions/erf.hpp>
#include <algorithm>
#include <cmath>

namespace obr::life {

namespace {
struct Sorted {
    std::vector<PositionRow> rows;
    double n = 0;
};

Sorted sortedRows(const LifeData &data)
{
    Sorted s;
    s.rows.reserve(data.units.size());
    for (const Unit &u : data.units) {
        PositionRow r;
        r.unit = u;
        r.plotTime = u.kind == Obs::Interval ? 0.5 * (u.low + u.high) : u.low;
        s.rows.push_back(r);
        s.n += u.count;
    }
    std::stable_sort(s.rows.begin(), s.rows.end(), [](const PositionRow &a, const PositionRow &b) {
        if (a.plotTime != b.plotTime)
            return a.plotTime < b.plotTime;
        const bool fa = a.unit.kind != Obs::Suspension, fb = b.unit.kind != Obs::Suspension;
        return fa && !fb;
    });
    return s;
}

double benard(double rank, double n) { return (rank - 0.3) / (n + 0.4); }
}   // namespace

std::vector<PositionRow> plottingPositions(const LifeData &data)
{
    Sorted s = sortedRows(data);
    double before = 0, prev = 0;
    for (PositionRow &r : s.rows) {
        const double c = r.unit.count;
        if (r.unit.kind != Obs::Suspension) {
            // Johnson's increment (n + 1 - prev) / (1 + at-or-after) for each of the c tied
            // units telescopes: after j units, n + 1 - prev = D0 (m + 1 - j) / (m + 1).
            const double m = s.n - before;
            const double d0 = s.n + 1 - prev;
            prev = s.n + 1 - d0 * (m + 1 - c) / (m + 1);
            r.adjustedRank = prev;
            r.position = benard(prev, s.n);
        }
        before += c;
    }
    return s.rows;
}

std::vector<PlotPoint> unitPositions(const LifeData &data, size_t maxPoints)
{
    Sorted s = sortedRows(data);
    double failures = 0;
    for (const PositionRow &r : s.rows)
        if (r.unit.kind != Obs::Suspension)
            failures += r.unit.count;
    const double every =
        maxPoints > 0 && failures > double(maxPoints) ? failures / double(maxPoints) : 1.0;
    std::vector<PlotPoint> out;
    double before = 0, prev = 0, index = 0, next = 0;
    for (const PositionRow &r : s.rows) {
        const double c = r.unit.count;
        if (r.unit.kind != Obs::Suspension) {
            const double m = s.n - before;
            const double d0 = s.n + 1 - prev;
            // Units index .. index + c - 1 of all failed units; keep those at every-th step.
            while (next < index + c) {
                const double j = std::max(1.0, std::floor(next) - index + 1);
                const double rank = s.n + 1 - d0 * (m + 1 - j) / (m + 1);
                out.push_back({r.plotTime, benard(rank, s.n)});
                next += every;
            }
            index += c;
            prev = s.n + 1 - d0 * (m + 1 - c) / (m + 1);
        }
        before += c;
    }
    return out;
}

Paper paperFor(Dist d)
{
    switch (d) {
    case Dist::Lognormal:
        return Paper::Lognormal;
    case Dist::Normal:
        return Paper::Normal;
    case Dist::Exponential:
        return Paper::Exponential;
    default:
        return Paper::Weibull;
    }
}

bool paperLogTime(Paper p) { return p == Paper::Weibull || p == Paper::Lognormal; }

double paperX(Paper p, double t) { return paperLogTime(p) ? std::log(t) : t; }

double paperY(Paper p, double F)
{
    switch (p) {
    case Paper::Weibull:
        return std::log(-std::log1p(-F));
    case Paper::Exponential:
        return -std::log1p(-F);
    default:
        if (!(F > 0 && F < 1))
            return F <= 0 ? -HUGE_VAL : HUGE_VAL;
        return -std::sqrt(2.0) * boost::math::erfc_inv(2.0 * F);
    }
}

double paperF(Paper p, double y)
{
    switch (p) {
    case Paper::Weibull:
        return -std::expm1(-std::exp(y));
    case Paper::Exponential:
        return -std::expm1(-y);
    default:
        return 0.5 * boost::math::erfc(-y / std::sqrt(2.0));
    }
}

}   // namespace obr::life
