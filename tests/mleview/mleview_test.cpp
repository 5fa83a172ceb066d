// SPDX-License-Identifier: MIT
// The texts of the maximum-likelihood window: numbers, open sides, the ridge, the
// character of a cause; the band of the probability plot.
#include "mleview/mleview.h"
#include "mleview/mleview_texts.h"
#include "mleview/plots.h"

#include <gtest/gtest.h>
#include <limits>

using namespace obr;
using namespace obr::mleview;

namespace {

mle::Figure figure(const char *key, std::optional<double> est, mle::Bound fisher, mle::Bound lr)
{
    mle::Figure f;
    f.key = QString::fromLatin1(key);
    f.estimate = est;
    f.fisher = fisher;
    f.lr = lr;
    return f;
}

mle::MleResult sampleFit()
{
    mle::MleResult r;
    r.n = 120;
    r.level = 0.95;
    r.loglik = -812.25;
    r.AIC = 1630.5;
    r.BIC = 1638.9;
    r.gof.chi2 = 7.5;
    r.gof.df = 6;
    r.gof.chi2P = 0.277;
    r.gof.deviance = 8.25;
    r.gof.kolmogorov = 0.61;
    r.gof.kolmogorovVerdict = QStringLiteral(" <1.3581(0.05)");
    r.figures = {
        figure("B", 1.6, {1.3, 1.9}, {1.31, 1.95}),
        figure("inv_A", 123456.7, {90000, 170000}, {91000, {}}),
        figure("K", 1.25, {{}, 2.5}, {0.9, {}}),
        figure("t_0.5", std::nullopt, {}, {}),
    };
    return r;
}

}   // namespace

TEST(MleViewTexts, NumbersFollowTheSeparatorAndNeverShowNaN)
{
    struct Case {
        double v;
        QChar dec;
        const char *text;
    };
    const Case cases[] = {
        {1.23456, u'.', "1.235"}, {1.23456, u',', "1,235"},         {123456.7, u',', "123457"},
        {-2500.4, u'.', "-2500"}, {0.000123456, u',', "0,0001235"}, {0, u'.', "0"},
        {999.96, u'.', "1000"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(fmtNumber(c.v, c.dec), QString::fromUtf8(c.text)) << c.v;
    EXPECT_EQ(fmtNumber(std::numeric_limits<double>::quiet_NaN(), u'.'), mtv::undetermined);
    EXPECT_EQ(fmtNumber(std::numeric_limits<double>::infinity(), u'.'), mtv::undetermined);
    EXPECT_EQ(fmtBound(std::nullopt, u'.'), mtv::unbounded);
    EXPECT_EQ(fmtLevel(0.95, u','), QStringLiteral("95"));
    EXPECT_EQ(fmtLevel(0.995, u','), QStringLiteral("99,5"));
}

TEST(MleViewTexts, BoundsTableShowsTheChosenKindAndOpenSides)
{
    const mle::MleResult r = sampleFit();
    const BoundsView lr = boundsView(r, true, u',');
    ASSERT_GE(lr.table.rows.size(), 4u);
    EXPECT_EQ(lr.table.rows[0],
              (std::vector<QString>{mtv::figB, QStringLiteral("1,6"), QStringLiteral("1,31"),
                                    QStringLiteral("1,95")}));
    EXPECT_EQ(lr.table.rows[1][3], mtv::unbounded);
    EXPECT_EQ(lr.table.rows[2][2], QStringLiteral("0,9"));
    EXPECT_EQ(lr.table.rows[3][1], mtv::undetermined);
    EXPECT_TRUE(lr.heading.contains(mtv::kindLr));
    EXPECT_TRUE(lr.heading.contains(QStringLiteral("95%")));
    EXPECT_TRUE(lr.message.isEmpty());

    const BoundsView fi = boundsView(r, false, u'.');
    EXPECT_EQ(fi.table.rows[0][2], QStringLiteral("1.3"));
    EXPECT_EQ(fi.table.rows[2][2], mtv::unbounded);
    EXPECT_EQ(fi.table.rows[2][3], QStringLiteral("2.5"));
    EXPECT_TRUE(fi.heading.contains(mtv::kindFisher));
    // The goodness-of-fit rows follow the figures; the X² row carries its p-value.
    const auto &chi = fi.table.rows[r.figures.size() + 3];
    EXPECT_EQ(chi[0], mtv::figChi2(6));
    EXPECT_EQ(chi[2], mtv::pValue(QStringLiteral("0.277")));
    for (const auto &row : fi.table.rows)
        for (const QString &cell : row) {
            EXPECT_FALSE(cell.contains(QStringLiteral("nan"), Qt::CaseInsensitive))
                << cell.toStdString();
            EXPECT_FALSE(cell.contains(QStringLiteral("inf"), Qt::CaseInsensitive))
                << cell.toStdString();
        }
}

TEST(MleViewTexts, RidgeLeavesKAndInverseAUndetermined)
{
    mle::MleResult r = sampleFit();
    r.ridge = true;
    r.ridgeMessage = QStringLiteral("Данные определяют только K·A и Beta");
    const BoundsView v = boundsView(r, true, u'.');
    EXPECT_EQ(v.message, r.ridgeMessage);
    EXPECT_EQ(v.table.rows[0][1], QStringLiteral("1.6"));   // B stays determined
    for (int row : {1, 2})
        for (int col : {1, 2, 3})
            EXPECT_EQ(v.table.rows[size_t(row)][size_t(col)], mtv::undetermined);
    EXPECT_EQ(withBounds(r, QStringLiteral("K"), true, u'.'), mtv::undetermined);
}

TEST(MleViewTexts, UndeterminedBoundsAndTheFitsMessages)
{
    // Fisher bounds at a range limit are not determined (never "unbounded"); an LR side not
    // settled likewise; the limit, effort and 0 h messages all reach the heading's lines.
    mle::MleResult r = sampleFit();
    for (mle::Figure &f : r.figures) {
        f.fisher = {};
        f.fisherDetermined = false;
    }
    r.figures[0].lr.high.reset();
    r.figures[0].lrDetermined = false;
    r.ridgeMessage = QStringLiteral("предел K");
    r.effortMessage = QStringLiteral("усилие");
    r.zeroMessage = mle::mtxt::zeroHours(3, u',');
    const BoundsView fisher = boundsView(r, false, u',');
    EXPECT_EQ(fisher.table.rows[0][2], mtv::undetermined);
    EXPECT_EQ(fisher.table.rows[0][3], mtv::undetermined);
    const BoundsView lr = boundsView(r, true, u',');
    EXPECT_EQ(lr.table.rows[0][3], mtv::undetermined);
    EXPECT_NE(lr.table.rows[0][2], mtv::undetermined);
    EXPECT_EQ(lr.message, QStringLiteral("предел K\nусилие\n") + r.zeroMessage);
    EXPECT_TRUE(r.zeroMessage.contains(QStringLiteral("(0; 0,1] ч")));
    // The command line's table: both kinds side by side, then the fit's statistics.
    const BoundsView both = bothBoundsView(r, u',');
    ASSERT_EQ(both.table.header.size(), 6u);
    EXPECT_EQ(both.table.rows[0][2], mtv::undetermined);
    EXPECT_EQ(both.table.rows[0][4], lr.table.rows[0][2]);
    EXPECT_EQ(both.table.rows.size(), lr.table.rows.size());
}

TEST(MleViewTexts, CauseCharacterFromTheBoundsOfB)
{
    struct Case {
        mle::Bound b;
        const QString &kind;
    };
    const Case cases[] = {
        {{0.4, 0.9}, mtv::earlyFailure},  {{{}, 0.99}, mtv::earlyFailure},
        {{1.2, 2.0}, mtv::wearOut},       {{1.01, {}}, mtv::wearOut},
        {{0.8, 1.3}, mtv::randomFailure}, {{{}, {}}, mtv::randomFailure},
        {{0.5, 1.0}, mtv::randomFailure}, {{1.0, 2.0}, mtv::randomFailure},
    };
    for (const Case &c : cases)
        EXPECT_EQ(causeKind(c.b), c.kind);
}

TEST(MleViewTexts, CausesTableNamesEveryCauseAndKeepsRefusals)
{
    mle::CauseFit unknown;
    unknown.cause = 0;
    unknown.n = 7;
    unknown.result = sampleFit();
    mle::CauseFit pump;
    pump.cause = 2;
    pump.n = 5;
    pump.error = QStringLiteral("отказ");
    const std::vector<QString> names = {QString(), QStringLiteral("Насос"),
                                        QStringLiteral("Клапан")};
    const TextTable t = causesTable({unknown, pump}, names, true, u',');
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[0][0], mtv::unknownCause);
    EXPECT_EQ(t.rows[0][1], QStringLiteral("7"));
    EXPECT_EQ(t.rows[0][2], QStringLiteral("1,6 [1,31; 1,95]"));
    EXPECT_EQ(t.rows[0][3], mtv::undetermined);   // t_0.1 is not in the fit
    EXPECT_EQ(t.rows[0][5], mtv::wearOut);
    EXPECT_EQ(t.rows[1][0], QStringLiteral("Клапан"));
    EXPECT_EQ(t.rows[1][5], mtv::notFitted);
    EXPECT_EQ(t.rows[1].size(), t.header.size());
}

namespace {

//! A fleet of 100 products with failures from 20 to 900 h, and a fit with a band over the
//! plot's times whose sides are given by \a side (time index -> Fisher and LR bounds).
struct PlotCase {
    State s;
    mle::MleResult r;
    PlotCase()
    {
        std::vector<Problems> failures;
        for (int i = 1; i <= 45; ++i)
            failures.push_back({20.0 * i, 0});
        s.MasProbl = FailureRecords(std::move(failures));
        s.Izd_Prived = 100;
        s.tGar = 1000;
        r.A = 1e-4;
        r.B = 1.2;
        r.K = 1.5;
        r.Sred = 1000;
        r.SKO = 250;
        r.level = 0.9;
        for (double t : mle::bandTimes(20, 1000)) {
            mle::BandPoint b;
            b.t = t;
            const double M = r.K * -std::expm1(-r.A * std::pow(t, r.B));
            b.estimate = M;
            b.fisher = {0.8 * M, 1.2 * M};
            b.lr = {0.7 * M, 1.3 * M};
            r.band.push_back(b);
        }
    }
};

}   // namespace

TEST(MleViewPlot, BandOfTheChosenKindWithOpenSidesAtTheEdges)
{
    PlotCase c;
    // Late times: the Fisher side passes K (beyond the paper), the LR side is open.
    c.r.band.back().fisher.high = 2 * c.r.K;
    c.r.band.back().lr.high.reset();
    c.r.band.front().lr.low.reset();
    for (bool lr : {true, false}) {
        const ChartData d = mleview::probabilityPlot(c.s, c.r, lr, u',');
        const SeriesData *model = d.find(QStringLiteral("Model"));
        const SeriesData *low = d.find(QStringLiteral("BandLow"));
        const SeriesData *high = d.find(QStringLiteral("BandHigh"));
        ASSERT_TRUE(model && low && high);
        EXPECT_EQ(low->title, mtv::probBand(QStringLiteral("90"), lr));
        EXPECT_TRUE(high->title.isEmpty());   // one legend entry for the band
        ASSERT_EQ(low->points.size(), c.r.band.size());
        ASSERT_EQ(high->points.size(), c.r.band.size());
        for (size_t j = 0; j < low->points.size(); ++j) {
            const double lo = low->points[j].value, hi = high->points[j].value;
            ASSERT_TRUE(std::isfinite(lo) && std::isfinite(hi)) << j;
            EXPECT_GE(lo, d.left.min);
            EXPECT_LE(hi, d.left.max);
            EXPECT_LT(lo, model->points[j].value) << j;
            EXPECT_GT(hi, model->points[j].value) << j;
            // The chosen kind's bound at an ordinary time, on the paper of the estimated K.
            if (j > 0 && j + 1 < low->points.size()) {
                const mle::Bound &b = lr ? c.r.band[j].lr : c.r.band[j].fisher;
                EXPECT_NEAR(lo, std::log(-std::log1p(-*b.low / c.r.K)), 1e-12);
                EXPECT_NEAR(hi, std::log(-std::log1p(-*b.high / c.r.K)), 1e-12);
            }
        }
        EXPECT_EQ(high->points.back().value, d.left.max);
        if (lr) {
            EXPECT_EQ(low->points.front().value, d.left.min);
        }
    }
    // Without a band the plot has the model and the points only.
    c.r.band.clear();
    const ChartData d = mleview::probabilityPlot(c.s, c.r, true, u'.');
    EXPECT_TRUE(d.find(QStringLiteral("Model")));
    EXPECT_FALSE(d.find(QStringLiteral("BandLow")) || d.find(QStringLiteral("BandHigh")));
}
