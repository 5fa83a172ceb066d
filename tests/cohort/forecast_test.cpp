// SPDX-License-Identifier: MIT
// The forecast against the model's expected remaining claims, the intervals, cost and
// reserve, backtesting, the monitoring flags, and runCohorts as the window calls it.
#include "cohort/cohort.h"
#include "cohort/engine.h"
#include "cohort/simulate.h"

#include "model/errors.h"

#include <QJsonArray>
#include <gtest/gtest.h>

#include <cmath>

using namespace obr::cohort;
using namespace obr::cohort::detail;

namespace {

double weibF(double A, double B, double t) { return -std::expm1(-A * std::pow(t, B)); }

NevadaTable history(uint64_t seed, ModelKind model = ModelKind::Repeat)
{
    SimulationPlan plan;
    plan.units = {300, 350, 400, 420, 380, 500, 450, 420, 460, 480, 400, 390};
    plan.periods = 12;
    plan.A = 2e-4;
    plan.B = 1.4;
    plan.K = model == ModelKind::Repeat ? 1.3 : 1;
    plan.usage.rate = 15;
    plan.warrantyPeriods = 12;
    plan.model = model;
    return simulateHistory(plan, seed);
}

Settings settings(ModelKind model = ModelKind::Repeat)
{
    Settings s;
    s.model = model;
    s.usage.rate = 15;
    s.warrantyPeriods = 12;
    return s;
}

}   // namespace

TEST(CohortForecast, RemainingClaimsEqualTheModelComputedDirectly)
{
    for (ModelKind model : {ModelKind::Repeat, ModelKind::First}) {
        const NevadaTable t = history(21, model);
        const Settings s = settings(model);
        const CohortResult r = runCohorts({t, s});
        const Fit &f = r.fit;
        // Until the warranty of the last cohort (sold in period 11) ends: 11 more periods.
        EXPECT_EQ(r.horizon, 11);
        ASSERT_EQ(r.forecast.rows.size(), 11u);
        const int L = 12;
        double total = 0;
        std::vector<double> byPeriod(11, 0.0);
        for (int i = 0; i < t.rowCount(); ++i) {
            const int m = t.dataEnd - i + 1;   // ages seen
            const double Fm = weibF(f.A, f.B, 15.0 * m);
            double claims = 0;
            for (int a = 1; a <= m; ++a)
                claims += t.cell(i, a);
            // Repeat: N·K·ΔF; first failures: survivors · ΔF / R at the age reached.
            const double w = model == ModelKind::Repeat ? t.units[size_t(i)] * f.K
                                                        : (t.units[size_t(i)] - claims) / (1 - Fm);
            total += w * (weibF(f.A, f.B, 15.0 * L) - Fm);
            for (int a = m + 1; a <= L; ++a)
                byPeriod[size_t(a - m - 1)] +=
                    w * (weibF(f.A, f.B, 15.0 * a) - weibF(f.A, f.B, 15.0 * (a - 1)));
        }
        EXPECT_NEAR(r.forecast.total.expected, total, 1e-9 * total);
        for (size_t h = 0; h < byPeriod.size(); ++h) {
            EXPECT_NEAR(r.forecast.rows[h].expected, byPeriod[h], 1e-9 * total) << h;
            EXPECT_EQ(r.forecast.rows[h].fromSales, 0);
        }
        EXPECT_NEAR(r.forecast.rows.back().cumExpected, total, 1e-9 * total);
    }
}

TEST(CohortForecast, FutureSalesAddTheirOwnClaims)
{
    const NevadaTable t = history(4);
    Settings s = settings();
    s.horizon = 3;
    s.futureSales = FutureSalesKind::Typed;
    s.futureUnits = {1000, 2000};
    const CohortResult r = runCohorts({t, s});
    const Fit &f = r.fit;
    auto q = [&](int a) { return weibF(f.A, f.B, 15.0 * a) - weibF(f.A, f.B, 15.0 * (a - 1)); };
    ASSERT_EQ(r.forecast.rows.size(), 3u);
    EXPECT_NEAR(r.forecast.rows[0].fromSales, 1000 * f.K * q(1), 1e-9);
    EXPECT_NEAR(r.forecast.rows[1].fromSales, f.K * (1000 * q(2) + 2000 * q(1)), 1e-9);
    EXPECT_NEAR(r.forecast.rows[2].fromSales, f.K * (1000 * q(3) + 2000 * q(2)), 1e-9);
    EXPECT_EQ(r.forecast.rows[0].label, "13");   // the labels continue the table's
    // "As the last period": every future period sells the last row's units.
    s.futureSales = FutureSalesKind::AsLast;
    const CohortResult last = runCohorts({t, s});
    EXPECT_NEAR(last.forecast.rows[1].fromSales, t.units.back() * f.K * (q(2) + q(1)), 1e-9);
}

TEST(CohortForecast, IntervalsCostAndReserve)
{
    const NevadaTable t = history(8);
    Settings s = settings();
    s.cost = Cost{200, 0};
    const CohortResult a = runCohorts({t, s});
    const CohortResult b = runCohorts({t, s});
    const Total &tot = a.forecast.total;
    // A fixed seed gives the same draws.
    EXPECT_EQ(tot.predictive.low, b.forecast.total.predictive.low);
    EXPECT_EQ(tot.predictive.high, b.forecast.total.predictive.high);
    // The parameters' uncertainty widens the interval of the total beyond the plug-in one.
    EXPECT_LT(tot.predictive.low, tot.plugin.low);
    EXPECT_GT(tot.predictive.high, tot.plugin.high);
    EXPECT_LT(tot.predictive.low, tot.expected);
    EXPECT_GT(tot.predictive.high, tot.expected);
    for (const ForecastRow &r : a.forecast.rows) {
        EXPECT_LE(r.plugin.low, r.expected);
        EXPECT_GE(r.plugin.high, r.expected);
        EXPECT_LE(r.predictive.low, r.predictive.high);
        // A fixed cost is the count's multiple.
        EXPECT_DOUBLE_EQ(r.costInterval->low, 200 * r.predictive.low);
        EXPECT_DOUBLE_EQ(*r.cost, 200 * r.expected);
    }
    EXPECT_DOUBLE_EQ(*tot.cost, 200 * tot.expected);
    // The reserve: the level's quantile of the total cost, between the mean and the top.
    ASSERT_TRUE(a.forecast.reserve);
    EXPECT_GT(*a.forecast.reserve, *tot.cost);
    EXPECT_LE(*a.forecast.reserve, tot.costInterval->high);
    // A deviation of the cost per claim widens the cost interval, not the count's.
    s.cost = Cost{200, 150};
    const CohortResult c = runCohorts({t, s});
    EXPECT_EQ(c.forecast.total.predictive.low, tot.predictive.low);
    EXPECT_GT(c.forecast.total.costInterval->high - c.forecast.total.costInterval->low,
              tot.costInterval->high - tot.costInterval->low);
}

TEST(CohortForecast, BacktestShowsWhatCame)
{
    const NevadaTable t = history(13);
    Settings s = settings();
    s.backtest = 8;
    const CohortResult r = runCohorts({t, s});
    ASSERT_TRUE(r.backtest);
    const Backtest &b = *r.backtest;
    ASSERT_EQ(b.forecast.rows.size(), 3u);   // periods 9, 10, 11
    int covered = 0;
    double total = 0;
    for (const ForecastRow &row : b.forecast.rows) {
        double came = 0;
        for (int i = 0; i < t.rowCount(); ++i)
            came += t.cell(i, row.period - i + 1);
        ASSERT_TRUE(row.observed);
        EXPECT_EQ(*row.observed, came);
        total += came;
        covered += came >= row.predictive.low && came <= row.predictive.high;
        // Rows sold after the earlier end count as known sales.
        EXPECT_GT(row.fromSales, 0);
    }
    EXPECT_EQ(b.covered, covered);
    EXPECT_EQ(*b.forecast.total.observed, total);
    // The refit used only the data up to period 8.
    EXPECT_LT(b.fit.claims, r.fit.claims);
}

TEST(CohortMonitor, BadBatchAndFieldEventAreFlagged)
{
    SimulationPlan plan;
    plan.units.assign(20, 2000);
    plan.periods = 20;
    plan.A = 1e-4;
    plan.B = 1.5;
    plan.K = 1.2;
    plan.usage.rate = 20;
    Settings s;
    s.usage.rate = 20;
    // A batch, row 6, claims twice as often.
    NevadaTable batch = simulateHistory(plan, 17);
    for (double &c : batch.claims[0][6])
        c *= 2;
    const Fit f = runCohorts({batch, s}).fit;
    ASSERT_EQ(f.monitorRows.size(), 20u);
    EXPECT_EQ(f.monitorRows[6].flag, Flag::Critical);
    EXPECT_LT(*f.monitorRows[6].p, 0.01);
    int quiet = 0;
    for (const MonitorLine &l : f.monitorRows)
        quiet += l.flag == Flag::None;
    EXPECT_GE(quiet, 13);   // of the 19 good rows; 10 % caution flags by chance
    // A field event: calendar period 15 brings half as much again from every row.
    NevadaTable event = simulateHistory(plan, 17);
    for (int i = 0; i <= 15; ++i) {
        double &c = event.claims[0][size_t(i)][size_t(15 - i)];
        c = std::round(1.5 * c);
    }
    const Fit fe = runCohorts({event, s}).fit;
    const auto col = std::find_if(fe.monitorColumns.begin(), fe.monitorColumns.end(),
                                  [](const MonitorLine &l) { return l.index == 15; });
    ASSERT_NE(col, fe.monitorColumns.end());
    EXPECT_EQ(col->flag, Flag::Critical);
    EXPECT_EQ(col->df, 16);
    int quietColumns = 0;
    for (const MonitorLine &l : fe.monitorColumns)
        quietColumns += l.flag == Flag::None;
    EXPECT_GE(quietColumns, 14);
    // Residuals are standardised: (o − e)/√e.
    for (const Cell &c : f.cells) {
        if (c.expected > 0) {
            EXPECT_NEAR(c.residual, (c.observed - c.expected) / std::sqrt(c.expected), 1e-12);
        }
    }
    EXPECT_EQ(f.cells.size(), 210u);
}

TEST(CohortRun, ProgressCancelCausesAndJson)
{
    NevadaTable t = history(2);
    // Two causes: split the claims unevenly.
    t.causes = {"насос", "клапан"};
    t.claims.push_back(t.claims[0]);
    for (size_t r = 0; r < t.claims[0].size(); ++r)
        for (size_t a = 0; a < t.claims[0][r].size(); ++a) {
            const double c = t.claims[0][r][a];
            t.claims[0][r][a] = std::floor(c * 0.7);
            t.claims[1][r][a] = c - std::floor(c * 0.7);
        }
    Settings s = settings();
    s.backtest = 9;
    s.cost = Cost{100, 20};
    std::vector<int> seen;
    const CohortResult r = runCohorts({t, s}, nullptr, [&](int p) { seen.push_back(p); });
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    ASSERT_EQ(r.causes.size(), 2u);
    for (const CauseResult &c : r.causes) {
        ASSERT_TRUE(c.fit) << c.error.toStdString();
        EXPECT_TRUE(c.forecast);
    }
    EXPECT_EQ(r.causes[0].fit->claims + r.causes[1].fit->claims, r.fit.claims);

    const QJsonObject j = cohortsJson(r, t);
    for (const char *k : {"settings", "estimates", "fisher", "lr", "loglik", "gof", "cells",
                          "monitor", "forecast", "total", "reserve", "backtest", "causes"})
        EXPECT_TRUE(j.contains(k)) << k;
    // Figures keyed as in the failure-file fit's object.
    const QStringList keys = {"B",     "inv_A", "eta",   "K",      "KA",
                              "t_0.5", "t_0.2", "t_0.1", "M_tGar", "per_product"};
    EXPECT_EQ(j["estimates"].toObject().keys().size(), keys.size());
    for (const QString &k : keys) {
        EXPECT_TRUE(j["estimates"].toObject()[k].isDouble()) << k.toStdString();
        EXPECT_EQ(j["fisher"].toObject()[k].toArray().size(), 2);
        EXPECT_EQ(j["lr"].toObject()[k].toArray().size(), 2);
    }
    const QJsonObject row0 = j["monitor"].toObject()["rows"].toArray()[0].toObject();
    for (const char *k : {"X2", "df", "p", "flag"})
        EXPECT_TRUE(row0.contains(k)) << k;
    const QJsonObject fc0 = j["forecast"].toArray()[0].toObject();
    for (const char *k : {"expected", "plugin", "predictive", "cost"})
        EXPECT_TRUE(fc0.contains(k)) << k;
    EXPECT_EQ(j["settings"].toObject()["model"].toString(), "repeat");
    EXPECT_EQ(j["settings"].toObject()["ages"].toString(), "interval");
    EXPECT_TRUE(j["reserve"].isDouble());

    // A stop request ends the run with Cancelled.
    std::atomic<bool> stop{true};
    EXPECT_THROW(runCohorts({t, s}, &stop), obr::Cancelled);
}

TEST(CohortRun, ImpossibleSettingsAreRefused)
{
    const NevadaTable t = history(2);
    struct Case {
        const char *what;
        std::function<void(Settings &)> change;
        const char *expected;
    };
    const std::vector<Case> cases = {
        {"level", [](Settings &s) { s.level = 1; }, "Доверительная вероятность"},
        {"data end", [](Settings &s) { s.dataEnd = 40; }, "Конец данных"},
        {"backtest", [](Settings &s) { s.backtest = 11; }, "Период проверки прогноза"},
        {"warranty", [](Settings &s) { s.warrantyPeriods = 0; }, "Гарантийный срок"},
        {"usage", [](Settings &s) { s.usage.rate = -1; }, "Интенсивность использования"},
        {"horizon", [](Settings &s) { s.horizon = 500; }, "Горизонт прогноза"},
        {"cost",
         [](Settings &s) {
             s.cost = Cost{0, 0};
         },
         "Стоимость претензии"},
    };
    for (const Case &c : cases) {
        Settings s = settings();
        c.change(s);
        try {
            runCohorts({t, s});
            ADD_FAILURE() << c.what << " was accepted";
        } catch (const obr::UserError &e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.expected))) << c.what;
        }
    }
}

// Where F stays small over the warranty the data determine K·A and B only, and the
// linearised law of ln K spans dozens of decades: drawing it gave forecasts of no claims
// at all, a predictive interval from 0 on a table with hundreds of claims a period.
TEST(CohortForecast, OnTheRidgeThePredictiveIntervalHoldsKAndStaysNearThePlugIn)
{
    SimulationPlan plan;
    plan.units.assign(12, 200000);
    plan.periods = 12;
    plan.A = 2e-6;
    plan.B = 1.2;
    plan.K = 2;
    plan.usage.rate = 15;
    plan.warrantyPeriods = 24;
    const NevadaTable t = simulateHistory(plan, 29);
    Settings s = settings();
    s.warrantyPeriods = 24;
    s.horizon = 6;
    const CohortResult r = runCohorts({t, s});
    ASSERT_TRUE(r.fit.ridge || r.fit.limit) << "the fleet was meant to lie on the ridge";
    ASSERT_FALSE(r.forecast.rows.empty());
    for (const ForecastRow &row : r.forecast.rows) {
        ASSERT_GT(row.expected, 50);
        EXPECT_GT(row.predictive.low, 0.5 * row.plugin.low) << row.label.toStdString();
        EXPECT_LT(row.predictive.high, 2 * row.plugin.high) << row.label.toStdString();
        EXPECT_LE(row.predictive.low, row.expected);
        EXPECT_GE(row.predictive.high, row.expected);
    }
}
