// SPDX-License-Identifier: MIT
// The edges of the life-data fits: a maximum at the end of the search range is a limit,
// not an estimate; figures the data cannot determine are flagged; the ranking recommends
// only sound fits and says when it compared nothing; a normal B-life bound below zero is
// shown as such. Also the analytic derivatives of the three-parameter Weibull and gamma
// likelihoods, equal rows collapsed into counts, the stop flag and the progress.
#include "life/fit.h"
#include "life/format.h"
#include "life/likelihood.h"
#include "life/reader.h"

#include "model/errors.h"

#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace obr::life;

namespace {

LifeData table(const QString &text) { return parseLifeText(text); }

LifeData issueData()
{
    QFile f(QStringLiteral(OBROTK_LIFE_DATA "/issue.csv"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return readLifeTable(f.readAll());
}

//! One failure at 100 h and 19 later suspensions.
LifeData oneFailure()
{
    QString t = QStringLiteral("time;state\n100;F\n");
    for (int i = 1; i <= 19; ++i)
        t += QStringLiteral("%1;S\n").arg(100 + 50 * i);
    return table(t);
}

//! Weibull-like failures and one failure at 0 h: only the normal law can take it.
LifeData zeroFailure()
{
    return table(QStringLiteral(
        "time;state\n0;F\n150;F\n230;F\n300;F\n410;F\n520;F\n610;F\n700;F\n800;S\n"));
}

bool contains(const std::vector<QString> &notes, const QString &part)
{
    return std::any_of(notes.begin(), notes.end(),
                       [&](const QString &n) { return n.contains(part); });
}

LifeOptions opts(Dist d)
{
    LifeOptions o;
    o.dist = d;
    return o;
}

}   // namespace

TEST(LifeEdges, ALocationAtTheEndOfItsRangeIsALimitNotAnEstimate)
{
    // The profile in gamma still rises at the lowest location searched (-661.1 h = minus the
    // largest time): no maximum, so no estimate and no bounds.
    const LifeFit f = fitLife(issueData(), opts(Dist::Weibull3));
    EXPECT_TRUE(f.limit);
    EXPECT_FALSE(f.sound());
    EXPECT_TRUE(f.limitMessage.contains(QStringLiteral("-661.1"))) << f.limitMessage.toStdString();
    ASSERT_EQ(f.params.size(), 3u);
    for (const Figure &x : f.params) {
        EXPECT_FALSE(x.fisher.has_value()) << x.key.toStdString();
        EXPECT_FALSE(x.lr.has_value()) << x.key.toStdString();
        EXPECT_EQ(x.atLimit, x.key == u"gamma");
    }
    EXPECT_TRUE(f.bLives.empty());
    const std::vector<FigureRow> rows = figureRows(QLocale::c(), f);
    EXPECT_EQ(rows[2].value, QStringLiteral("граница поиска: -661.1"));
    EXPECT_EQ(rows[1].value, QStringLiteral("не оценивается"));
    EXPECT_EQ(fitNotes(QLocale::c(), f).front(), f.limitMessage);
}

TEST(LifeEdges, OneFailureTimeFlagsEveryFigureOfATwoParameterLaw)
{
    for (Dist d : {Dist::Weibull2, Dist::Lognormal, Dist::Normal, Dist::Gamma}) {
        const LifeFit f = fitLife(oneFailure(), opts(d));
        EXPECT_TRUE(f.undetermined) << distKey(d).toStdString();
        for (const auto *list : {&f.params, &f.bLives})
            for (const Figure &x : *list)
                EXPECT_TRUE(x.undetermined)
                    << distKey(d).toStdString() << " " << x.key.toStdString();
        const std::vector<FigureRow> rows = figureRows(QLocale::c(), f);
        EXPECT_TRUE(rows[0].value.endsWith(QStringLiteral("(не определ.)")));
        EXPECT_TRUE(contains(fitNotes(QLocale::c(), f), QStringLiteral("«не определ.»")));
    }
    // One parameter is determined by one failure and the suspensions.
    const LifeFit e = fitLife(oneFailure(), opts(Dist::Exponential));
    EXPECT_FALSE(e.undetermined);
    EXPECT_TRUE(e.sound());
}

TEST(LifeEdges, TheRankingRecommendsOnlySoundFitsAndSaysWhenItComparedNothing)
{
    // One failure time: the exponential law is the only sound fit, the others are listed
    // after it, flagged, however good their AICc.
    const LifeAll one = fitAllLife(oneFailure(), LifeOptions{});
    ASSERT_TRUE(one.recommended);
    EXPECT_EQ(one.ranking.front().dist, Dist::Exponential);
    EXPECT_TRUE(one.ranking.front().only);
    EXPECT_FALSE(one.ranking.front().best);
    EXPECT_EQ(rankMark(one.ranking.front()),
              QStringLiteral("  ← единственное подобранное (сравнивать не с чем)"));
    for (size_t i = 1; i < one.ranking.size(); ++i) {
        EXPECT_FALSE(one.ranking[i].best || one.ranking[i].only);
        if (one.ranking[i].fit) {
            EXPECT_TRUE(rankMark(one.ranking[i]).contains(QStringLiteral("не рекомендуется")));
        }
    }
    EXPECT_EQ(one.best.dist, Dist::Exponential);

    // A failure at 0 h: only the normal law is fitted; nothing was compared.
    const LifeAll zero = fitAllLife(zeroFailure(), LifeOptions{});
    EXPECT_EQ(zero.ranking.front().dist, Dist::Normal);
    EXPECT_TRUE(zero.ranking.front().only);
    EXPECT_FALSE(zero.ranking.front().best);
    EXPECT_FALSE(rankMark(zero.ranking.front()).contains(QStringLiteral("лучшее")));

    // The issue's table: the limit of the three-parameter law is never recommended.
    const LifeAll issue = fitAllLife(issueData(), LifeOptions{});
    EXPECT_TRUE(issue.ranking.front().best);
    for (const RankEntry &e : issue.ranking)
        if (e.dist == Dist::Weibull3) {
            ASSERT_TRUE(e.fit.has_value());
            EXPECT_TRUE(e.fit->limit);
            EXPECT_FALSE(e.best || e.only);
        }
    EXPECT_NE(issue.best.dist, Dist::Weibull3);
}

TEST(LifeEdges, ANormalBLifeBoundBelowZeroIsShownAsSuch)
{
    LifeOptions o = opts(Dist::Normal);
    o.bPercents = {10, 50};
    const LifeFit f = fitLife(zeroFailure(), o);
    const Figure &b10 = f.bLives[0];
    ASSERT_TRUE(b10.lr && b10.lr->low && b10.lr->high);
    // The profile closes below zero: a bound, not an open side.
    EXPECT_LT(*b10.lr->low, 0);
    EXPECT_GT(*b10.lr->high, b10.value);
    // Where it closes: twice the log-likelihood drop is the chi-square quantile there.
    const std::vector<FigureRow> rows = figureRows(QLocale::c(), f);
    const FigureRow &r = rows[2];
    EXPECT_TRUE(r.lr.startsWith(QStringLiteral("[≤ 0 (-"))) << r.lr.toStdString();
    const std::vector<QString> notes = fitNotes(QLocale::c(), f);
    EXPECT_TRUE(contains(notes, QStringLiteral("Граница «≤ 0» для B10")));
    EXPECT_FALSE(contains(notes, QStringLiteral("не замыкается")));
    EXPECT_TRUE(contains(notes, QStringLiteral("по логарифму ресурса")));
    // B50 is the mean: its bounds are those of mu.
    EXPECT_NEAR(*f.bLives[1].lr->low, *f.params[0].lr->low, 1e-6 * f.params[0].value);
}

TEST(LifeEdges, IntervalsFromZeroUnderTheNormalLawSaySoInTheNotes)
{
    const LifeData d = table(QStringLiteral("start;end;state\n0;100;F\n50;150;F\n120;220;F\n"
                                            "90;90;S\n300;300;S\n"));
    const LifeFit n = fitLife(d, opts(Dist::Normal));
    EXPECT_TRUE(contains(fitNotes(QLocale::c(), n), QStringLiteral("(0; конец]")));
    const LifeFit w = fitLife(d, opts(Dist::Weibull2));
    EXPECT_FALSE(contains(fitNotes(QLocale::c(), w), QStringLiteral("(0; конец]")));
}

TEST(LifeEdges, AnalyticDerivativesAgreeWithDifferences)
{
    // Failures, suspensions (one below the location), intervals, one from 0.
    const Prepared p = prepare(table(QStringLiteral(
        "start;end;state;count\n120;120;F;2\n180;180;F;1\n260;260;F;1\n40;40;S;3\n300;300;S;5\n"
        "0;150;F;1\n150;250;F;2\n400;400;S;1\n")));
    struct Point {
        Dist d;
        std::vector<double> x;
    };
    const Point points[] = {
        {Dist::Weibull3, {std::log(200.0), std::log(0.7), 60}},
        {Dist::Weibull3, {std::log(150.0), std::log(1.4), -30}},
        {Dist::Gamma, {std::log(2.5), std::log(90.0)}},
        {Dist::Gamma, {std::log(0.6), std::log(400.0)}},
        {Dist::Gamma, {std::log(30.0), std::log(2.0)}},   // suspensions far in the tail
    };
    for (const Point &pt : points) {
        const int k = int(pt.x.size());
        auto value = [&](std::vector<double> x) { return logLikelihood(pt.d, p, x); };
        std::vector<double> g(k);
        std::vector<std::vector<double>> h(k, std::vector<double>(k));
        double v;
        if (pt.d == Dist::Weibull3) {
            const W3Derivs a = w3Pass(p, pt.x[0], pt.x[1], pt.x[2]);
            v = a.value;
            for (int i = 0; i < k; ++i) {
                g[i] = a.g[i];
                for (int j = 0; j < k; ++j)
                    h[i][j] = a.h[i][j];
            }
        } else {
            const GammaDerivs a = gammaPass(p, pt.x[0], pt.x[1]);
            v = a.value;
            for (int i = 0; i < k; ++i) {
                g[i] = a.g[i];
                for (int j = 0; j < k; ++j)
                    h[i][j] = a.h[i][j];
            }
        }
        ASSERT_TRUE(std::isfinite(v));
        EXPECT_NEAR(v, value(pt.x), 1e-10 * std::abs(v));
        const double e = 1e-5;
        for (int i = 0; i < k; ++i) {
            std::vector<double> a = pt.x, b = pt.x;
            a[i] += e;
            b[i] -= e;
            const double gi = (value(a) - value(b)) / (2 * e);
            EXPECT_NEAR(g[i], gi, 1e-5 * (1 + std::abs(gi))) << distKey(pt.d).toStdString() << i;
            for (int j = 0; j < k; ++j) {
                std::vector<double> a2 = pt.x, b2 = pt.x;
                a2[j] += e;
                b2[j] -= e;
                auto gradAt = [&](const std::vector<double> &x) {
                    if (pt.d == Dist::Weibull3)
                        return w3Pass(p, x[0], x[1], x[2]).g[i];
                    return gammaPass(p, x[0], x[1]).g[i];
                };
                const double hij = (gradAt(a2) - gradAt(b2)) / (2 * e);
                EXPECT_NEAR(h[i][j], hij, 1e-4 * (1 + std::abs(hij)))
                    << distKey(pt.d).toStdString() << i << j;
            }
        }
    }
}

TEST(LifeEdges, EqualRowsCountAsOneRowWithTheirCounts)
{
    QString rows = QStringLiteral("start;end;state;count\n");
    QString counted = rows;
    for (int r = 0; r < 20; ++r) {
        const int a = 100 * r, b = 100 * (r + 1);
        counted += QStringLiteral("%1;%2;F;%3\n").arg(a).arg(b).arg(50 + r);
        for (int i = 0; i < 50 + r; ++i)
            rows += QStringLiteral("%1;%2;F;1\n").arg(a).arg(b);
    }
    counted += QStringLiteral("2000;2000;S;7\n");
    for (int i = 0; i < 7; ++i)
        rows += QStringLiteral("2000;2000;S;1\n");
    const Prepared p = prepare(table(rows));
    EXPECT_EQ(p.ib.size(), 20u);
    EXPECT_EQ(p.st.size(), 1u);
    for (Dist d : {Dist::Weibull2, Dist::Gamma}) {
        const LifeFit a = fitLife(table(rows), opts(d)), b = fitLife(table(counted), opts(d));
        EXPECT_NEAR(a.loglik, b.loglik, 1e-9 * std::abs(b.loglik));
        for (size_t i = 0; i < a.params.size(); ++i)
            EXPECT_NEAR(a.params[i].value, b.params[i].value, 1e-8 * b.params[i].value);
    }
}

TEST(LifeEdges, AStopEndsEveryLawsFitAndProgressReachesTheEnd)
{
    std::atomic<bool> stop{true};
    for (Dist d : allDists()) {
        LifeOptions o = opts(d);
        o.stop = &stop;
        EXPECT_THROW(fitLife(issueData(), o), obr::Cancelled) << distKey(d).toStdString();
    }
    LifeOptions all;
    all.stop = &stop;
    EXPECT_THROW(fitAllLife(issueData(), all), obr::Cancelled);

    // Progress rises to its total.
    std::vector<std::pair<int, int>> seen;
    LifeOptions o = opts(Dist::Weibull2);
    o.progress = [&](int done, int total) { seen.push_back({done, total}); };
    fitAllLife(issueData(), o);
    ASSERT_FALSE(seen.empty());
    for (size_t i = 1; i < seen.size(); ++i)
        EXPECT_GE(seen[i].first, seen[i - 1].first);
    EXPECT_EQ(seen.back().first, seen.back().second);
}
