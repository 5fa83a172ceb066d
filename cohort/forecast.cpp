// SPDX-License-Identifier: MIT
// The forecast of claims and cost by calendar period from a cohort fit, with plug-in and
// predictive intervals.
#include "engine.h"

#include <Eigen/Dense>
#include <boost/math/distributions/poisson.hpp>

#include <algorithm>
#include <cmath>
#include <random>

namespace obr::cohort::detail {

namespace {

//! The effective warranty in periods: the age limit, or the hours limit at a fixed rate.
std::optional<int> ageLimitOf(const Settings &s)
{
    std::optional<int> L = s.warrantyPeriods;
    if (s.warrantyHours && s.usage.kind == UsageKind::Fixed && s.usage.rate > 0) {
        const double byHours = std::ceil(*s.warrantyHours / s.usage.rate - 1e-9);
        if (byHours < 1e9) {
            const int h = std::max(1, int(byHours));
            L = L ? std::min(*L, h) : h;
        }
    }
    return L;
}

int lastStart(const NevadaTable &t)
{
    int s = 0;
    for (int v : t.start)
        s = std::max(s, v);
    return s;
}

double claimsOfRow(const NevadaTable &t, int cause, int r, int upToAge)
{
    double c = 0;
    for (int a = 1; a <= upToAge; ++a)
        c += cause < 0 ? t.cell(r, a)
                       : (a <= int(t.claims[size_t(cause)][size_t(r)].size())
                              ? t.claims[size_t(cause)][size_t(r)][size_t(a - 1)]
                              : 0.0);
    return c;
}

//! The order statistic at probability p of sorted values.
double quantileOf(const std::vector<double> &sorted, double p)
{
    if (sorted.empty())
        return 0;
    const double n = double(sorted.size());
    long i = long(std::ceil(p * n - 1e-9)) - 1;
    i = std::clamp(i, 0L, long(sorted.size()) - 1);
    return sorted[size_t(i)];
}

//! The order statistics at lo and hi of \a v (reordered in place, not sorted).
Interval interval(std::vector<double> &v, double lo, double hi)
{
    if (v.empty())
        return {0, 0};
    auto at = [&](double p) {
        long i = long(std::ceil(p * double(v.size()) - 1e-9)) - 1;
        i = std::clamp(i, 0L, long(v.size()) - 1);
        std::nth_element(v.begin(), v.begin() + i, v.end());
        return v[size_t(i)];
    };
    const double a = at(lo);
    return {a, at(hi)};
}

Interval poissonInterval(double mean, double level)
{
    if (!(mean > 0))
        return {0, 0};
    using namespace boost::math;
    using Law = poisson_distribution<
        double, policies::policy<policies::discrete_quantile<policies::integer_round_outwards>>>;
    const Law law(mean);
    const double a = (1 - level) / 2;
    return {quantile(law, a), quantile(law, 1 - a)};
}

}   // namespace

int defaultHorizon(const NevadaTable &t, int dataEnd, const Settings &s)
{
    const int cap = maxHorizon(s.period);
    const std::optional<int> L = ageLimitOf(s);
    if (!L)
        return cap;
    int last = std::max(lastStart(t), 0);
    if (s.futureSales == FutureSalesKind::Typed && !s.futureUnits.empty())
        last = std::max(dataEnd, last) + int(s.futureUnits.size());
    const int end = last + *L - 1;
    return std::clamp(end - dataEnd, 1, cap);
}

std::vector<double> futureUnits(const NevadaTable &t, int dataEnd, int horizon, const Settings &s)
{
    // Future sales start after the data end, or after the table's last row if that is later.
    const int base = std::max(dataEnd, lastStart(t));
    const int n = std::max(0, dataEnd + horizon - base);
    std::vector<double> u(size_t(n), 0.0);
    if (s.futureSales == FutureSalesKind::AsLast && !t.units.empty()) {
        std::fill(u.begin(), u.end(), t.units.back());
    } else if (s.futureSales == FutureSalesKind::Typed) {
        for (size_t j = 0; j < u.size() && j < s.futureUnits.size(); ++j)
            u[j] = s.futureUnits[j];
    }
    return u;
}

void expectedClaims(const Reduced &P, const NevadaTable &t, int cause,
                    const std::vector<double> &th, int horizon, const std::vector<double> &future,
                    std::vector<double> &service, std::vector<double> &sales)
{
    service.assign(size_t(horizon), 0.0);
    sales.assign(size_t(horizon), 0.0);
    const bool repeat = P.model == ModelKind::Repeat;
    const double K = repeat ? std::exp(th[2]) : 1.0;
    const int D = P.dataEnd;
    int minStart = D + 1;
    for (int v : t.start)
        minStart = std::min(minStart, v);
    const int amax = std::min<long>(P.ageLimit, long(D) + horizon - minStart + 1);
    if (amax < 1)
        return;
    std::vector<double> G, S;
    cumulative(P, th[0], th[1], amax, G, S);
    std::vector<double> q(size_t(amax + 1), 0.0);
    for (int a = 1; a <= amax; ++a)
        q[size_t(a)] = cellShare(P, G, S, a);
    auto add = [&](std::vector<double> &to, double w, int start) {
        if (!(w > 0))
            return;
        for (int h = 1; h <= horizon; ++h) {
            const int a = D + h - start + 1;
            if (a < 1)
                continue;
            if (a > amax)
                break;
            to[size_t(h - 1)] += w * q[size_t(a)];
        }
    };
    for (int r = 0; r < t.rowCount(); ++r) {
        const int s = t.start[size_t(r)];
        const double N = t.units[size_t(r)];
        if (s > D) {
            add(sales, N * K, s);
            continue;
        }
        double w = N * K;
        if (!repeat) {
            // Units still without a claim, each failing by the law conditional on its age.
            const int m = observedAge(t, r, D, P.ageLimit);
            const double surv = N - claimsOfRow(t, cause, r, D - s + 1);
            const double Sm = m <= amax ? S[size_t(m)] : 0.0;
            w = Sm > 0 ? surv / Sm : 0.0;
        }
        add(service, w, s);
    }
    const int base = std::max(D, lastStart(t));
    for (size_t j = 0; j < future.size(); ++j)
        add(sales, future[j] * K, base + int(j) + 1);
}

Forecast forecastFit(const Fit &f, const Reduced &P, const NevadaTable &t, int cause, int horizon,
                     const std::vector<double> &future, const Settings &s, bool observed,
                     const std::atomic<bool> *cancel)
{
    Forecast out;
    out.firstPeriod = P.dataEnd + 1;
    const std::vector<double> th = theta(f);
    std::vector<double> service, sales;
    expectedClaims(P, t, cause, th, horizon, future, service, sales);
    const double lo = (1 - s.level) / 2, hi = 1 - lo;
    const bool costs = s.cost.has_value();
    const double cm = costs ? s.cost->mean : 0, csd = costs ? s.cost->sd : 0;

    // Draws: parameters from their asymptotic normal law on the log scale, then counts.
    const int n = std::max(1, s.draws);
    const int np = int(th.size());
    Eigen::MatrixXd Lc = Eigen::MatrixXd::Zero(np, np);
    const bool withParams = int(f.covariance.size()) == np * np;
    if (withParams) {
        Eigen::MatrixXd cov(np, np);
        for (int i = 0; i < np; ++i)
            for (int j = 0; j < np; ++j)
                cov(i, j) = f.covariance[size_t(i * np + j)];
        if (np == 3 && (f.limit || f.ridge)) {
            // On the ridge (or with K at its range's end) the data determine K·A and B only:
            // the linearised law of ln K reaches absurd values (K·F of 1e-30 or 1e30), so K
            // is held at its estimate and ln A, ln B are drawn from their law given ln K.
            const Eigen::Matrix2d c11 = cov.topLeftCorner<2, 2>();
            const Eigen::Vector2d c12 = cov.block<2, 1>(0, 2);
            const double c22 = cov(2, 2);
            Eigen::MatrixXd cond = Eigen::MatrixXd::Zero(np, np);
            cond.topLeftCorner<2, 2>() = c22 > 0 ? Eigen::Matrix2d(c11 - c12 * c12.transpose() / c22)
                                                 : c11;
            cov = cond;
            cov(2, 2) = 0;
            Eigen::LLT<Eigen::Matrix2d> llt2(cov.topLeftCorner<2, 2>());
            if (llt2.info() == Eigen::Success)
                Lc.topLeftCorner<2, 2>() = llt2.matrixL();
        } else {
            Eigen::LLT<Eigen::MatrixXd> llt(cov);
            if (llt.info() == Eigen::Success)
                Lc = llt.matrixL();
        }
    }
    std::mt19937_64 gen(s.seed);
    // The costs draw from a stream of their own, so that the counts' draws (and intervals)
    // are the same whatever the cost settings.
    std::mt19937_64 costGen(s.seed ^ 0x9e3779b97f4a7c15ULL);
    std::normal_distribution<double> normal;
    std::vector<double> counts(size_t(n) * size_t(horizon)), cost;
    if (costs)
        cost.resize(counts.size());
    std::vector<double> es, ef;
    for (int d = 0; d < n; ++d) {
        if (d % 64 == 0)
            checkCancel(cancel);
        std::vector<double> thd = th;
        if (withParams) {
            Eigen::VectorXd zv(np);
            for (int i = 0; i < np; ++i)
                zv[i] = normal(gen);
            const Eigen::VectorXd x = Lc * zv;
            for (int i = 0; i < np; ++i)
                thd[size_t(i)] += x[i];
        }
        expectedClaims(P, t, cause, thd, horizon, future, es, ef);
        for (int h = 0; h < horizon; ++h) {
            double e = es[size_t(h)] + ef[size_t(h)];
            if (!std::isfinite(e) || e < 0)
                e = service[size_t(h)] + sales[size_t(h)];
            double x = 0;
            if (e > 0) {
                std::poisson_distribution<long long> pois(e);
                x = double(pois(gen));
            }
            counts[size_t(h) * size_t(n) + size_t(d)] = x;
            if (costs) {
                double c = cm * x;
                if (csd > 0 && x > 0) {
                    // The sum of x claims each gamma with the mean and deviation given.
                    std::gamma_distribution<double> gam(x * cm * cm / (csd * csd), csd * csd / cm);
                    c = gam(costGen);
                }
                cost[size_t(h) * size_t(n) + size_t(d)] = c;
            }
        }
    }

    std::vector<double> cum(size_t(n), 0.0), cumCost(size_t(n), 0.0), col(size_t(n), 0.0);
    double cumExp = 0;
    for (int h = 0; h < horizon; ++h) {
        ForecastRow row;
        row.period = P.dataEnd + 1 + h;
        row.label = periodLabel(t, row.period, s.period);
        row.fromService = service[size_t(h)];
        row.fromSales = sales[size_t(h)];
        row.expected = row.fromService + row.fromSales;
        row.plugin = poissonInterval(row.expected, s.level);
        for (int d = 0; d < n; ++d) {
            col[size_t(d)] = counts[size_t(h) * size_t(n) + size_t(d)];
            cum[size_t(d)] += col[size_t(d)];
        }
        row.predictive = interval(col, lo, hi);
        std::vector<double> sc = cum;
        cumExp += row.expected;
        row.cumExpected = cumExp;
        row.cumPredictive = interval(sc, lo, hi);
        if (costs) {
            for (int d = 0; d < n; ++d) {
                col[size_t(d)] = cost[size_t(h) * size_t(n) + size_t(d)];
                cumCost[size_t(d)] += col[size_t(d)];
            }
            row.cost = cm * row.expected;
            row.costInterval = interval(col, lo, hi);
            std::vector<double> scc = cumCost;
            row.cumCost = cm * cumExp;
            row.cumCostInterval = interval(scc, lo, hi);
        }
        if (observed && row.period <= t.dataEnd) {
            double o = 0;
            for (int r = 0; r < t.rowCount(); ++r) {
                const int a = row.period - t.start[size_t(r)] + 1;
                if (a >= 1)
                    o += cause < 0 ? t.cell(r, a)
                                   : (a <= int(t.claims[size_t(cause)][size_t(r)].size())
                                          ? t.claims[size_t(cause)][size_t(r)][size_t(a - 1)]
                                          : 0.0);
            }
            row.observed = o;
        }
        out.rows.push_back(row);
    }
    out.total.expected = cumExp;
    out.total.plugin = poissonInterval(cumExp, s.level);
    if (!out.rows.empty()) {
        out.total.predictive = out.rows.back().cumPredictive;
        if (costs) {
            out.total.cost = out.rows.back().cumCost;
            out.total.costInterval = out.rows.back().cumCostInterval;
            std::vector<double> scc = cumCost;
            std::sort(scc.begin(), scc.end());
            out.reserve = quantileOf(scc, s.level);
        }
        if (observed) {
            double o = 0;
            bool all = true;
            for (const ForecastRow &r : out.rows) {
                if (r.observed)
                    o += *r.observed;
                else
                    all = false;
            }
            if (all)
                out.total.observed = o;
        }
    } else if (costs) {
        out.total.cost = 0;
        out.total.costInterval = Interval{0, 0};
        out.reserve = 0;
    }
    return out;
}

}   // namespace obr::cohort::detail
