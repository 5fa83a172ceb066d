// SPDX-License-Identifier: MIT
#include "life/fit.h"
#include "life/format.h"
#include "life/ranks.h"
#include "life/reader.h"

#include "model/errors.h"

#include <boost/math/special_functions/digamma.hpp>
#include <gtest/gtest.h>
#include <cmath>

using namespace obr::life;

namespace {
LifeData table(const char *text) { return parseLifeText(QString::fromUtf8(text)); }

QString errorOf(const LifeData &d, LifeOptions o)
{
    try {
        fitLife(d, o);
    } catch (const obr::UserError &e) {
        return e.message();
    }
    return {};
}

LifeOptions opts(Dist d, Estimator e = Estimator::MLE)
{
    LifeOptions o;
    o.dist = d;
    o.estimator = e;
    o.times = {100};
    return o;
}

bool allFinite(const LifeFit &f)
{
    auto ok = [](const std::optional<double> &x) { return !x || std::isfinite(*x); };
    for (const auto *list : {&f.params, &f.bLives, &f.reliability})
        for (const Figure &x : *list) {
            if (!std::isfinite(x.value))
                return false;
            for (const auto &b : {x.fisher, x.lr})
                if (b && (!ok(b->low) || !ok(b->high)))
                    return false;
        }
    return std::isfinite(f.loglik) && std::isfinite(f.bic);
}

const Figure &fig(const std::vector<Figure> &v, const char *key)
{
    for (const Figure &f : v)
        if (f.key == QLatin1String(key))
            return f;
    static Figure none;
    ADD_FAILURE() << "no figure " << key;
    return none;
}
}   // namespace

TEST(LifeRanks, JohnsonAdjustedRanksWithBenard)
{
    // n = 5: increments (n + 1 - prev) / (1 + at or after): 6/6, 5/4, 3.75/3.
    const auto rows = plottingPositions(table("time;state\n30;F\n10;F\n50;S\n20;S\n40;F\n"));
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_DOUBLE_EQ(*rows[0].adjustedRank, 1.0);
    EXPECT_FALSE(rows[1].adjustedRank.has_value());
    EXPECT_DOUBLE_EQ(*rows[2].adjustedRank, 2.25);
    EXPECT_DOUBLE_EQ(*rows[3].adjustedRank, 3.5);
    EXPECT_DOUBLE_EQ(*rows[3].position, (3.5 - 0.3) / 5.4);

    // A count is the same as that many rows; a failure tied with a suspension comes first.
    const auto grouped = plottingPositions(table("time;state;count\n10;F;3\n10;S;1\n20;F;1\n"));
    const auto single = unitPositions(table("time;state\n10;F\n10;F\n10;F\n10;S\n20;F\n"));
    ASSERT_EQ(single.size(), 4u);
    EXPECT_DOUBLE_EQ(*grouped[0].position, single[2].F);
    EXPECT_DOUBLE_EQ(*grouped[2].position, single[3].F);
    EXPECT_DOUBLE_EQ(*grouped[0].adjustedRank, 3.0);
    EXPECT_DOUBLE_EQ(*grouped[2].adjustedRank, 3 + (5 + 1 - 3) / (1 + 1.0));
}

TEST(LifeFit, CompleteDataClosedForms)
{
    const LifeData d = table("t\n12\n15\n19\n23\n31\n40\n44\n58\n");
    double n = 8, s = 0, ss = 0, sl = 0;
    for (double t : {12., 15., 19., 23., 31., 40., 44., 58.})
        s += t, ss += t * t, sl += std::log(t);
    const double mean = s / n;

    // Normal: the mean and the deviation with divisor n.
    LifeFit nf = fitLife(d, opts(Dist::Normal));
    EXPECT_NEAR(fig(nf.params, "mu").value, mean, 1e-9 * mean);
    EXPECT_NEAR(fig(nf.params, "sigma").value, std::sqrt(ss / n - mean * mean), 1e-8);

    // Gamma: ln k - digamma(k) = ln(mean) - mean(ln t), scale = mean / k.
    LifeFit gf = fitLife(d, opts(Dist::Gamma));
    const double k = fig(gf.params, "shape").value;
    EXPECT_NEAR(std::log(k) - boost::math::digamma(k), std::log(mean) - sl / n, 1e-7);
    EXPECT_NEAR(fig(gf.params, "scale").value, mean / k, 1e-6 * mean / k);
    EXPECT_TRUE(allFinite(gf));

    // Exponential: lambda = failures / total time; AICc and BIC by their definitions.
    LifeFit ef = fitLife(d, opts(Dist::Exponential));
    EXPECT_NEAR(fig(ef.params, "lambda").value, n / s, 1e-10);
    EXPECT_NEAR(*ef.aicc, 2 - 2 * ef.loglik + 2.0 * 1 * 2 / (n - 2), 1e-12);
    EXPECT_NEAR(ef.bic, std::log(n) - 2 * ef.loglik, 1e-12);
}

TEST(LifeFit, EdgeCasesGiveAMessageOrASoundResult)
{
    // One failure among many later suspensions: a fit, with bounds that may stay open.
    LifeFit one =
        fitLife(table("time;state;count\n500;F;1\n800;S;40\n1200;S;30\n"), opts(Dist::Weibull2));
    EXPECT_TRUE(allFinite(one));
    // All units failed; suspensions tied at one time.
    EXPECT_TRUE(allFinite(fitLife(table("t\n5\n8\n9\n14\n20\n"), opts(Dist::Weibull2))));
    EXPECT_TRUE(allFinite(fitLife(table("time;state;count\n50;F;1\n70;F;1\n90;F;1\n100;S;20\n"),
                                  opts(Dist::Lognormal))));

    struct Case {
        const char *text;
        Dist dist;
        const char *part;
    } cases[] = {
        {"time;state\n100;S\n200;S\n", Dist::Weibull2, "нет ни одного отказа"},
        {"time;state\n0;F\n10;F\n20;F\n", Dist::Weibull2, "нулевой наработке (строка 2)"},
        {"time;state\n500;F\n100;S\n200;S\n", Dist::Weibull2, "не существует"},
        {"time;state\n50;F\n50;F\n50;F\n", Dist::Lognormal, "не существует"},
        // One inspection fixes F(100) only: the two parameters are not determined.
        {"start;end;state;count\n0;100;F;2\n100;100;S;8\n", Dist::Weibull2, "не определяют"},
        {"time;state\n50;F\n60;F\n", Dist::Weibull3, "хотя бы при двух разных"},
        {"time;state\n10.1;F\n10.2;F\n10.3;F\n11;F\n15;F\n40;F\n120;F\n600;F\n", Dist::Weibull3,
         "стремится к первому отказу"},
    };
    for (const Case &c : cases) {
        const QString msg = errorOf(table(c.text), opts(c.dist));
        EXPECT_TRUE(msg.contains(QString::fromUtf8(c.part)))
            << c.text << " -> " << msg.toStdString();
    }
    // The normal law accepts failures at time 0.
    EXPECT_TRUE(allFinite(fitLife(table("t\n0\n10\n25\n"), opts(Dist::Normal))));
}

TEST(LifeFit, AProfileThatNeverClosesLeavesAnUnboundedSide)
{
    // Two failures found at inspections among fifty survivors: nothing in the data stops a
    // lognormal law from stretching B99 far out, so its upper likelihood-ratio side stays
    // open while the Fisher bounds, symmetric on ln t, stay finite.
    LifeOptions o = opts(Dist::Lognormal);
    o.bPercents = {99};
    LifeFit f = fitLife(table("start;end;state;count\n0;100;F;1\n100;100;S;30\n"
                              "100;200;F;1\n200;200;S;20\n"),
                        o);
    const Figure &b99 = fig(f.bLives, "99");
    ASSERT_TRUE(b99.lr.has_value() && b99.fisher.has_value());
    EXPECT_TRUE(b99.lr->low.has_value());
    EXPECT_FALSE(b99.lr->high.has_value());
    EXPECT_TRUE(b99.fisher->high.has_value());
    // The note names the figure by its caption in the table, not by an internal key.
    const std::vector<QString> notes = fitNotes(QLocale::c(), f);
    ASSERT_EQ(
        std::count_if(notes.begin(), notes.end(),
                      [](const QString &n) { return n.contains(QStringLiteral("для B99 ")); }),
        1);
    EXPECT_TRUE(allFinite(f));
}

TEST(LifeFit, RankRegressionAndOptions)
{
    const LifeData d =
        table("time;state\n175;F\n368.6;F\n383.6;F\n420.3;F\n263.3;S\n423.2;F\n426;F\n509.3;F\n");
    LifeFit x = fitLife(d, opts(Dist::Weibull2, Estimator::RRX));
    LifeFit y = fitLife(d, opts(Dist::Weibull2, Estimator::RRY));
    ASSERT_TRUE(x.rho && y.rho);
    EXPECT_GT(*x.rho, 0.8);
    EXPECT_DOUBLE_EQ(*x.rho, *y.rho);
    // The two regressions' scales differ by the square of the correlation.
    const double bx = fig(x.params, "beta").value, by = fig(y.params, "beta").value;
    EXPECT_NEAR(by / bx, *x.rho * *x.rho, 1e-12);
    EXPECT_FALSE(fig(x.params, "eta").lr.has_value());   // no likelihood-ratio bounds

    EXPECT_TRUE(errorOf(table("start;end;state\n0;10;F\n10;20;F\n30;30;F\n"),
                        opts(Dist::Weibull2, Estimator::RRX))
                    .contains(QStringLiteral("интервалами")));
    EXPECT_TRUE(errorOf(d, opts(Dist::Gamma, Estimator::RRY)).contains(QStringLiteral("Гамма")));
    LifeOptions bad = opts(Dist::Weibull2);
    bad.level = 1;
    EXPECT_TRUE(errorOf(d, bad).contains(QStringLiteral("Доверительная")));
    bad = opts(Dist::Weibull2);
    bad.bPercents = {100};
    EXPECT_TRUE(errorOf(d, bad).contains(QStringLiteral("ресурса B")));

    // A lower level gives narrower bounds of both kinds.
    LifeOptions o90 = opts(Dist::Weibull2);
    o90.level = 0.90;
    const LifeFit f95 = fitLife(d, opts(Dist::Weibull2)), f90 = fitLife(d, o90);
    const Figure &b95 = fig(f95.bLives, "10"), &b90 = fig(f90.bLives, "10");
    EXPECT_GT(*b90.fisher->low, *b95.fisher->low);
    EXPECT_GT(*b90.lr->low, *b95.lr->low);
}

TEST(LifeFit, ThreeParameterWeibullAndFitAll)
{
    // Failures from a Weibull law shifted by 100 h.
    const LifeData d =
        table("t\n168.9\n200.4\n223.7\n244.0\n263.2\n282.4\n302.7\n325.4\n353.6\n397.5\n");
    LifeFit w3 = fitLife(d, opts(Dist::Weibull3));
    LifeFit w2 = fitLife(d, opts(Dist::Weibull2));
    EXPECT_GE(w3.loglik, w2.loglik - 1e-9);
    const double gamma = fig(w3.params, "gamma").value;
    EXPECT_LT(gamma, 168.9);
    EXPECT_TRUE(allFinite(w3));

    LifeAll all = fitAllLife(d, opts(Dist::Weibull2));
    ASSERT_EQ(all.ranking.size(), allDists().size());
    EXPECT_TRUE(all.ranking.front().best);
    for (size_t i = 1; i < all.ranking.size(); ++i) {
        EXPECT_FALSE(all.ranking[i].best);
        if (all.ranking[i].fit && all.ranking[i - 1].fit) {
            EXPECT_LE(*all.ranking[i - 1].fit->aicc, *all.ranking[i].fit->aicc);
        }
    }
    EXPECT_EQ(all.best.dist, all.ranking.front().dist);
    EXPECT_FALSE(all.best.bLives.empty());
}

TEST(LifeFormat, LocaleSeparatorsWithoutGrouping)
{
    const QLocale en(QLocale::English, QLocale::UnitedStates),
        ru(QLocale::Russian, QLocale::Russia);
    EXPECT_EQ(lifeNumber(en, 5468.858241), QStringLiteral("5468.858"));
    EXPECT_EQ(lifeNumber(ru, 5468.858241), QStringLiteral("5468,858"));
    EXPECT_EQ(lifeNumber(ru, 0.0001431229), QStringLiteral("1,43123E-04"));
    EXPECT_EQ(lifeNumber(en, std::nan("")), QStringLiteral("—"));
    Bounds open{2.5, std::nullopt};
    EXPECT_EQ(boundsText(ru, open), QStringLiteral("[2,5; не огр.]"));
    EXPECT_EQ(boundsText(ru, std::nullopt), QStringLiteral("—"));
}
