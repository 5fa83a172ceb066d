// SPDX-License-Identifier: MIT
// The cohort fits: the score equations and K̂ at the maximum, the likelihood-ratio bounds
// as roots of the deviance, the first-failure fit against R's survreg, the ridge.
#include "cohort/cohort.h"
#include "cohort/engine.h"
#include "cohort/simulate.h"

#include "life/fit.h"
#include "model/errors.h"

#include <QFile>
#include <boost/math/distributions/chi_squared.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace obr::cohort;
using namespace obr::cohort::detail;

namespace {

NevadaTable fixture(const char *name)
{
    QFile f(QStringLiteral(OBROTK_COHORT_DATA "/") + QString::fromLatin1(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return readNevada(f.readAll());
}

double weibF(double A, double B, double t) { return -std::expm1(-A * std::pow(t, B)); }

/*! The repeat-claims log-likelihood of a table at a fixed rate u, written out cell by cell
 *  from the model (independent of the library's reduction by age). */
double repeatLoglik(const NevadaTable &t, double u, int L, double A, double B, double K)
{
    double l = 0;
    for (int r = 0; r < t.rowCount(); ++r) {
        const int m = std::min(t.dataEnd - t.start[size_t(r)] + 1, L);
        for (int a = 1; a <= m; ++a) {
            const double mu =
                t.units[size_t(r)] * K * (weibF(A, B, u * a) - weibF(A, B, u * (a - 1)));
            const double c = t.cell(r, a);
            l += c * std::log(mu) - mu - std::lgamma(c + 1);
        }
    }
    return l;
}

//! A small Nelder–Mead maximiser (the tests' own, to profile the likelihood independently).
double maximiseNM(const std::function<double(const std::vector<double> &)> &f,
                  std::vector<double> x, double step = 0.1)
{
    const size_t n = x.size();
    double best = -INFINITY;
    for (int restart = 0; restart < 4; ++restart) {
        std::vector<std::vector<double>> s(n + 1, x);
        for (size_t i = 0; i < n; ++i)
            s[i + 1][i] += step;
        std::vector<double> v(n + 1);
        for (size_t i = 0; i <= n; ++i)
            v[i] = f(s[i]);
        for (int it = 0; it < 4000; ++it) {
            std::vector<size_t> o(n + 1);
            for (size_t i = 0; i <= n; ++i)
                o[i] = i;
            std::sort(o.begin(), o.end(), [&](size_t a, size_t b) { return v[a] > v[b]; });
            if (std::fabs(v[o[0]] - v[o[n]]) < 1e-13)
                break;
            std::vector<double> c(n, 0.0);
            for (size_t i = 0; i < n; ++i)
                for (size_t j = 0; j < n; ++j)
                    c[j] += s[o[i]][j] / double(n);
            auto along = [&](double k) {
                std::vector<double> p(n);
                for (size_t j = 0; j < n; ++j)
                    p[j] = c[j] + k * (s[o[n]][j] - c[j]);
                return p;
            };
            const std::vector<double> xr = along(-1);
            const double fr = f(xr);
            if (fr > v[o[0]]) {
                const std::vector<double> xe = along(-2);
                const double fe = f(xe);
                s[o[n]] = fe > fr ? xe : xr;
                v[o[n]] = std::max(fe, fr);
            } else if (fr > v[o[n - 1]]) {
                s[o[n]] = xr;
                v[o[n]] = fr;
            } else {
                const std::vector<double> xc = along(0.5);
                const double fc = f(xc);
                if (fc > v[o[n]]) {
                    s[o[n]] = xc;
                    v[o[n]] = fc;
                } else {
                    for (size_t i = 1; i <= n; ++i) {
                        for (size_t j = 0; j < n; ++j)
                            s[o[i]][j] = s[o[0]][j] + 0.5 * (s[o[i]][j] - s[o[0]][j]);
                        v[o[i]] = f(s[o[i]]);
                    }
                }
            }
        }
        size_t b = 0;
        for (size_t i = 1; i <= n; ++i)
            if (v[i] > v[b])
                b = i;
        x = s[b];
        best = v[b];
        step *= 0.1;
    }
    return best;
}

Settings fixedRate(double u, int L)
{
    Settings s;
    s.usage.rate = u;
    s.warrantyPeriods = L;
    return s;
}

}   // namespace

TEST(CohortFit, ScoreIsZeroAndKHatAsStated)
{
    SimulationPlan plan;
    plan.units.assign(20, 400);
    plan.A = 3e-5;
    plan.B = 1.6;
    plan.K = 1.4;
    plan.usage.rate = 20;
    plan.warrantyPeriods = 12;
    plan.periods = 20;
    const NevadaTable t = simulateHistory(plan, 11);
    const Settings s = fixedRate(20, 12);
    const Reduced P = reduce(t, -1, t.dataEnd, s);
    const Fit f = fitReduced(P, t, -1, s);
    // The log-likelihood as the test writes it agrees with the fit's.
    EXPECT_NEAR(repeatLoglik(t, 20, 12, f.A, f.B, f.K), f.loglik, 1e-8 * std::fabs(f.loglik));
    // Score by central differences in (ln A, ln B, ln K).
    const double h = 1e-5;
    const double x[3] = {std::log(f.A), std::log(f.B), std::log(f.K)};
    for (int i = 0; i < 3; ++i) {
        double xp[3] = {x[0], x[1], x[2]}, xm[3] = {x[0], x[1], x[2]};
        xp[i] += h;
        xm[i] -= h;
        const double g =
            (repeatLoglik(t, 20, 12, std::exp(xp[0]), std::exp(xp[1]), std::exp(xp[2])) -
             repeatLoglik(t, 20, 12, std::exp(xm[0]), std::exp(xm[1]), std::exp(xm[2]))) /
            (2 * h);
        EXPECT_LT(std::fabs(g), 1e-4) << "score " << i;
    }
    EXPECT_LT(f.gradientNorm, 1e-6);
    // K̂ = Σ claims / Σ expected claims at K = 1.
    double claims = 0, perK = 0;
    for (int r = 0; r < t.rowCount(); ++r)
        for (int a = 1; a <= std::min(t.dataEnd - r + 1, 12); ++a) {
            claims += t.cell(r, a);
            perK +=
                t.units[size_t(r)] * (weibF(f.A, f.B, 20.0 * a) - weibF(f.A, f.B, 20.0 * (a - 1)));
        }
    EXPECT_NEAR(f.K, claims / perK, 1e-9 * f.K);
    // The truth lies inside the likelihood-ratio bounds of the shape (90 %).
    const Figure *B = f.figure("B");
    ASSERT_TRUE(B && B->lr.low && B->lr.high);
    EXPECT_LT(*B->lr.low, 1.6);
    EXPECT_GT(*B->lr.high, 1.6);
}

TEST(CohortFit, ScoreVanishesUnderEveryLawAndConvention)
{
    // The library's own likelihood by central differences, for the laws and conventions
    // that the test does not write out itself.
    SimulationPlan plan;
    plan.units.assign(18, 500);
    plan.A = 1e-5;
    plan.B = 1.8;
    plan.K = 1.2;
    plan.usage.kind = UsageKind::Lognormal;
    plan.usage.median = 30;
    plan.usage.logSd = 0.6;
    plan.periods = 18;
    struct Case {
        const char *what;
        Settings s;
    };
    std::vector<Case> cases;
    Settings ln;
    ln.usage = plan.usage;
    cases.push_back({"lognormal, interval ages", ln});
    Settings end = ln;
    end.ages = AgeConvention::End;
    cases.push_back({"lognormal, end-of-period ages", end});
    Settings hours = ln;
    hours.warrantyHours = 400;
    cases.push_back({"lognormal, hours limit", hours});
    Settings sample;
    sample.usage.kind = UsageKind::Sample;
    sample.usage.sample = {10, 20, 25, 30, 40, 60};
    cases.push_back({"a sample of rates", sample});
    for (const Case &c : cases) {
        // The history drawn under the same warranty limits as the fit assumes.
        SimulationPlan pc = plan;
        pc.warrantyHours = c.s.warrantyHours;
        const NevadaTable t = simulateHistory(pc, 5);
        const Reduced P = reduce(t, -1, t.dataEnd, c.s);
        const Fit f = fitReduced(P, t, -1, c.s);
        EXPECT_FALSE(f.limit) << c.what;
        const double x[3] = {std::log(f.A), std::log(f.B), std::log(f.K)};
        const double h = 1e-5;
        for (int i = 0; i < 3; ++i) {
            double xp[3] = {x[0], x[1], x[2]}, xm[3] = {x[0], x[1], x[2]};
            xp[i] += h;
            xm[i] -= h;
            const double g =
                (loglik<double>(P, xp[0], xp[1], xp[2]) - loglik<double>(P, xm[0], xm[1], xm[2])) /
                (2 * h);
            EXPECT_LT(std::fabs(g), 1e-4) << c.what << ", score " << i;
        }
    }
}

TEST(CohortFit, LikelihoodRatioBoundsAreRootsOfTheDeviance)
{
    SimulationPlan plan;
    plan.units.assign(15, 300);
    plan.A = 1e-3;
    plan.B = 1.3;
    plan.K = 1.5;
    plan.usage.rate = 10;
    plan.periods = 15;
    const NevadaTable t = simulateHistory(plan, 3);
    Settings s = fixedRate(10, 15);
    s.level = 0.95;
    const Reduced P = reduce(t, -1, t.dataEnd, s);
    const Fit f = fitReduced(P, t, -1, s);
    const double q = boost::math::quantile(boost::math::chi_squared(1), 0.95);
    const double u = 10;
    const int L = 15;
    auto l = [&](double a, double b, double k) {
        const double v = repeatLoglik(t, u, L, std::exp(a), std::exp(b), std::exp(k));
        return std::isfinite(v) ? v : -1e300;
    };
    const double a0 = std::log(f.A), b0 = std::log(f.B), k0 = std::log(f.K);
    // Each figure held at a bound, the others maximised by the test's own search.
    struct Case {
        const char *key;
        std::function<double(double psi)> profile;
    };
    const std::vector<Case> cases = {
        {"B",
         [&](double psi) {
             return maximiseNM(
                 [&](const std::vector<double> &y) { return l(y[0], std::log(psi), y[1]); },
                 {a0, k0});
         }},
        {"eta",
         [&](double psi) {
             // ln η = −ln A / B
             return maximiseNM(
                 [&](const std::vector<double> &y) {
                     return l(-std::exp(y[0]) * std::log(psi), y[0], y[1]);
                 },
                 {b0, k0});
         }},
        {"K",
         [&](double psi) {
             return maximiseNM(
                 [&](const std::vector<double> &y) { return l(y[0], y[1], std::log(psi)); },
                 {a0, b0});
         }},
        {"KA",
         [&](double psi) {
             return maximiseNM(
                 [&](const std::vector<double> &y) { return l(y[0], y[1], std::log(psi) - y[0]); },
                 {a0, b0});
         }},
        {"t_0.1",
         [&](double psi) {
             // K·F(t) = 0.1 at t = ψ: A = −ln(1 − 0.1/K)/ψ^B
             return maximiseNM(
                 [&](const std::vector<double> &y) {
                     const double r = 0.1 * std::exp(-y[1]);
                     if (!(r < 1))
                         return -1e300;
                     return l(std::log(-std::log1p(-r)) - std::exp(y[0]) * std::log(psi), y[0],
                              y[1]);
                 },
                 {b0, k0});
         }},
        {"M_tGar",
         [&](double psi) {
             // K·F(u·L) = ψ
             return maximiseNM(
                 [&](const std::vector<double> &y) {
                     return l(y[0], y[1],
                              std::log(psi / weibF(std::exp(y[0]), std::exp(y[1]), u * L)));
                 },
                 {a0, b0});
         }},
    };
    int finite = 0;
    for (const Case &c : cases) {
        const Figure *fig = f.figure(c.key);
        ASSERT_TRUE(fig) << c.key;
        for (const std::optional<double> &side : {fig->lr.low, fig->lr.high}) {
            if (!side)
                continue;
            ++finite;
            const double dev = 2 * (f.loglik - c.profile(*side));
            EXPECT_NEAR(dev, q, 1e-6) << c.key << " at " << *side;
        }
    }
    EXPECT_GE(finite, 10);
}

TEST(CohortFit, FirstFailuresEqualSurvregOnIntervals)
{
    // R 4.2.2, survival 3.5-3 (scripts/cohort_survreg_reference.sh): survreg(Surv(left,
    // right, type = "interval2") ~ 1, weights = w, dist = "weibull") on the claim cells as
    // hour intervals ((a − 1)·u, a·u] and the units without claims right-censored at their
    // age. η and β are printed to 10 digits; survreg stops at a relative change of the
    // log-likelihood below 1e-9, so the estimates agree to about 1e-6.
    struct Case {
        double u;
        int limit;   // 0: none
        double eta, beta, loglik, seLogEta, seLogScale;
    };
    const std::vector<Case> cases = {
        {1, 0, 14.61856832, 1.579133919, -284.8879142, 0.1581121094, 0.1120382916},
        {10, 0, 146.1856832, 1.579133919, -284.8879142, 0.1581121094, 0.1120382916},
        {10, 4, 136.9836945, 1.639668638, -229.4863594, 0.2060520044, 0.1364462503},
    };
    NevadaTable t = fixture("first_failures.csv");
    for (const Case &c : cases) {
        NevadaTable tc = t;
        Settings s;
        s.model = ModelKind::First;
        s.usage.rate = c.u;
        s.level = 0.9;
        if (c.limit) {
            // The reference counts no claim past the limit: the units are suspended there.
            s.warrantyPeriods = c.limit;
            for (auto &row : tc.claims[0])
                for (size_t a = size_t(c.limit); a < row.size(); ++a)
                    row[a] = 0;
        }
        const Reduced P = reduce(tc, -1, tc.dataEnd, s);
        const Fit f = fitReduced(P, tc, -1, s);
        EXPECT_NEAR(f.figure("eta")->estimate.value(), c.eta, 1e-6 * c.eta) << c.u;
        EXPECT_NEAR(f.B, c.beta, 1e-6 * c.beta) << c.u;
        EXPECT_NEAR(f.loglik, c.loglik, 1e-7 * std::fabs(c.loglik)) << c.u;
        // Fisher bounds on the log scale from survreg's covariance (σ = 1/β, so the
        // deviation of ln β is that of ln σ).
        const double z = 1.6448536269514722;
        EXPECT_NEAR(*f.figure("eta")->fisher.low, c.eta * std::exp(-z * c.seLogEta), 1e-5 * c.eta);
        EXPECT_NEAR(*f.figure("B")->fisher.high, c.beta * std::exp(z * c.seLogScale),
                    1e-5 * c.beta);
        EXPECT_FALSE(f.figure("K"));
    }
}

TEST(CohortFit, RidgeWhenKAndACannotBeToldApart)
{
    // F stays far below 1 over the warranty: only K·A and B are determined.
    SimulationPlan plan;
    plan.units.assign(24, 2000);
    plan.A = 1e-7;
    plan.B = 1.5;
    plan.K = 2;
    plan.usage.rate = 10;
    plan.warrantyPeriods = 24;
    const NevadaTable t = simulateHistory(plan, 9);
    const Settings s = fixedRate(10, 24);
    const Reduced P = reduce(t, -1, t.dataEnd, s);
    const Fit f = fitReduced(P, t, -1, s);
    EXPECT_TRUE(f.ridge);
    EXPECT_FALSE(f.ridgeMessage.isEmpty());
    EXPECT_FALSE(f.figure("K")->lr.high);
    // K·A, B and the claims per unit stay bounded on both sides.
    for (const char *key : {"KA", "B", "per_product"}) {
        EXPECT_TRUE(f.figure(key)->lr.low && f.figure(key)->lr.high) << key;
    }
}

TEST(CohortFit, RefusesWhatTheModelCannotHold)
{
    const NevadaTable t = fixture("first_failures.csv");
    auto msg = [&](const Settings &s) {
        try {
            const Reduced P = reduce(t, -1, t.dataEnd, s);
            fitReduced(P, t, -1, s);
        } catch (const obr::UserError &e) {
            return e.message();
        }
        return QString();
    };
    Settings limit;
    limit.warrantyPeriods = 4;
    EXPECT_TRUE(msg(limit).contains("строка 2 («2024-01»), столбец 7 («5»): претензии после "
                                    "окончания гарантии (возраст 5 при гарантии 4 периодов)"))
        << msg(limit).toStdString();
    Settings hours;
    hours.usage.rate = 10;
    hours.warrantyHours = 35;
    EXPECT_TRUE(msg(hours).contains("строка 2 («2024-01»), столбец 7 («5»): претензии после "
                                    "окончания гарантии по наработке: возраст 5 начинается с 40 ч, "
                                    "а гарантия — 35 ч"))
        << msg(hours).toStdString();
    NevadaTable none = t;
    for (auto &row : none.claims[0])
        std::fill(row.begin(), row.end(), 0.0);
    try {
        const Reduced P = reduce(none, -1, none.dataEnd, Settings{});
        fitReduced(P, none, -1, Settings{});
        ADD_FAILURE() << "a table without claims was fitted";
    } catch (const obr::UserError &e) {
        EXPECT_TRUE(e.message().contains("нет ни одной претензии"));
    }
}

TEST(CohortFit, EndOfPeriodFirstFailuresEqualTheLifeDataFit)
{
    // End-of-period ages turn the table into exact failures at a·u hours and suspensions
    // at the age reached, which the life-data fit (itself checked against survreg) fits.
    const NevadaTable t = fixture("first_failures.csv");
    const double u = 10;
    obr::life::LifeData d;
    for (int r = 0; r < t.rowCount(); ++r) {
        const int m = t.dataEnd - t.start[size_t(r)] + 1;
        double claims = 0;
        for (int a = 1; a <= m; ++a) {
            const double c = t.cell(r, a);
            if (c > 0)
                d.units.push_back({obr::life::Obs::Failure, u * a, u * a, c});
            claims += c;
        }
        d.units.push_back({obr::life::Obs::Suspension, u * m, u * m, t.units[size_t(r)] - claims});
    }
    obr::life::LifeOptions lo;
    lo.lrBounds = false;
    const obr::life::LifeFit ref = obr::life::fitLife(d, lo);
    Settings s;
    s.model = ModelKind::First;
    s.ages = AgeConvention::End;
    s.usage.rate = u;
    s.lrBounds = false;
    const Reduced P = reduce(t, -1, t.dataEnd, s);
    const Fit f = fitReduced(P, t, -1, s);
    double eta = 0, beta = 0;
    for (const obr::life::Figure &x : ref.params) {
        if (x.key == "eta")
            eta = x.value;
        if (x.key == "beta")
            beta = x.value;
    }
    EXPECT_NEAR(f.figure("eta")->estimate.value(), eta, 1e-6 * eta);
    EXPECT_NEAR(f.B, beta, 1e-6 * beta);
    // The cohort density is per period of age, the life-data one per hour: they differ
    // by ln u for every claim.
    EXPECT_NEAR(f.loglik - f.claims * std::log(u), ref.loglik, 1e-7 * std::fabs(ref.loglik));
}
