// SPDX-License-Identifier: MIT
#include "model/numfmt.h"
#include "model/errors.h"
#include "stats/stat2018.h"

#include <gtest/gtest.h>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>

using namespace obr;

// Reference values of erf/erfc come from the C library (correctly rounded to a few ulp);
// the rational approximations are good to about 2e-13 relative below 3.
TEST(ErrorFunction, MatchesTheLibraryAndItsBranches)
{
    for (double x : {-3.0, -1.0, -0.4999, 0.0, 0.1, 0.4999, 0.5, 0.75, 1.0, 2.0, 3.0}) {
        EXPECT_NEAR(Erf(x), std::erf(x), 1e-12) << x;
        EXPECT_NEAR(ErfC(x), std::erfc(x), 1e-12 * std::max(1.0, std::erfc(x))) << x;
        EXPECT_EQ(Erf(-x), -Erf(x));
    }
    EXPECT_EQ(Erf(0), 0.0);
    EXPECT_EQ(ErfC(10), 0.0);
    EXPECT_EQ(Erf(10), 1.0);
    EXPECT_EQ(Erf(10.5), 1.0);
    EXPECT_EQ(Erf(-12), -1.0);
    EXPECT_NEAR(ErfC(-1), 1.8427007929, 1e-10);
}

TEST(NormalLaw, KnownValues)
{
    EXPECT_EQ(NormalDistribution(0), 0.5);
    EXPECT_NEAR(NormalDistribution(1.96), 0.9750021, 1e-7);
    EXPECT_EQ(CDF_Gauss(1000, 200, 1000), 0.5);
    EXPECT_NEAR(CDF_Gauss(1000, 200, 1400), 0.9772499, 1e-7);
    EXPECT_NEAR(CDF_Gauss(1000, 200, 0), 2.87e-7, 0.01e-7);
    EXPECT_EQ(CDF_Gauss(1000, 10, 1200), 1.0);   // beyond 14.14 deviations
}

class RecordingNotifier : public Notifier {
public:
    void error(const QString &caption, const QString &text) override
    {
        captions << caption;
        texts << text;
    }
    QStringList captions, texts;
};

TEST(Weibull, DistributionIntervalsAndQuantile)
{
    EXPECT_EQ(weibCDF(0.5, 1.5, 0), 1e-305);
    EXPECT_NEAR(weibCDF(1, 1, 1), 0.6321206, 1e-7);
    EXPECT_EQ(weibCDF(1, 1, 1e6), 1.0);
    EXPECT_EQ(weibCDF2(0.001, 2, 0, 30), weibCDF(0.001, 2, 30) - 1e-305);
    EXPECT_EQ(weibCDF2(0.001, 2, 30, 30), 0.0);
    EXPECT_NEAR(weibinv(1, 1, 0.5), 0.6931472, 1e-7);
    EXPECT_NEAR(weibinv(0.001, 2, 0.5), 26.32769, 1e-5);
    EXPECT_EQ(weibinv(0.3, 2, 1), 1e10);
    EXPECT_EQ(weibinv(0.3, 2, 1.7), 1e10);
    for (double p : {0.01, 0.3, 0.5, 0.9})
        EXPECT_NEAR(weibCDF(2e-4, 1.3, weibinv(2e-4, 1.3, p)), p, 1e-12);
}

TEST(Weibull, SaturatedExponentsGiveThePlainValueWithoutUnderflow)
{
    // The value from the exponent equals the plain 1 - exp(-x) with its floor, bit for
    // bit, on both sides of the cut-off, in the range where exp's results are subnormal
    // (708 to 745) or 0, and at the edges (0, subnormal, negative, infinite, NaN).
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double xs[] = {0,     4e-320, 0x1p-55, 1e-16, 1,     37,   37.5,  38,
                         39.99, 40,     40.001,  41,    100,   700,  708.5, 720,
                         745.2, 800,    1e300,   inf,   -1e-3, -800, -inf,  nan};
    for (const double x : xs) {
        volatile double vx = x;   // keeps the plain value from being folded at compile time
        const double w = 1 - std::exp(-vx);
        const double plain = w > 0 ? w : kWeibFloor;
        const double v = weibFromExponent(vx);
        EXPECT_EQ(std::memcmp(&v, &plain, sizeof v), 0)
            << "x = " << x << ": " << v << " vs " << plain;
        EXPECT_EQ(weibFromPow(vx, 1.0), v) << x;
    }
    // Past the cut-off nothing underflows, where the plain formula does.
    for (const double x : {41.0, 720.0, 800.0, 1e300}) {
        volatile double vx = x;
        std::feclearexcept(FE_ALL_EXCEPT);
        EXPECT_EQ(weibFromExponent(vx), 1.0);
        EXPECT_FALSE(std::fetestexcept(FE_UNDERFLOW)) << x;
        std::feclearexcept(FE_ALL_EXCEPT);
        volatile double e = std::exp(-vx);
        (void)e;
        EXPECT_EQ(bool(std::fetestexcept(FE_UNDERFLOW)), x > 708) << x;
    }
}

TEST(Weibull, ReversedBoundsAreReportedThroughTheNotifier)
{
    RecordingNotifier n;
    setCoreNotifier(&n);
    EXPECT_EQ(weibCDF2(1, 1, 5, 3), 0.0);
    setCoreNotifier(nullptr);
    ASSERT_EQ(n.texts.size(), 1);
    EXPECT_EQ(n.texts[0], "Параметры должны быть x2>x1");
    EXPECT_EQ(n.captions[0], "ObrOtk");
}

static State withTimes(std::initializer_list<double> times, double izd)
{
    State s;
    std::vector<Problems> recs;
    for (double t : times)
        recs.push_back({t, 0});
    s.MasProbl = std::move(recs);
    s.Kol_izw = int32_t(s.MasProbl.size());
    s.Izd_Prived = izd;
    return s;
}

TEST(Kolmogorov, EmptyDataAndVerdicts)
{
    State empty;
    double k = -1;
    QString v;
    Kolmogor(empty, 1, 0.001, 1, 1000, 200, k, v);
    EXPECT_EQ(k, 0.0);
    EXPECT_EQ(v, " <1.3581(0.05)");

    // A model far from the data gives a large criterion and the other verdict.
    State s = withTimes({10, 20, 30, 40, 50, 60, 70, 80, 90, 100}, 10);
    Kolmogor(s, 1, 1e-9, 1, 1e6, 10, k, v);
    EXPECT_NEAR(k, 1.0 * std::sqrt(10.0), 1e-6);
    EXPECT_EQ(v, " >1.3581(0.05)");
}

TEST(Kolmogorov, EqualTimesStepTheEmpiricalShareOnly)
{
    // Two failures at the same time: the second adds 1/n to the empirical share while the
    // model does not move, so D is reached at the second one.
    State s = withTimes({100, 100}, 2);
    double k = 0;
    QString v;
    const double A = -std::log(0.5) / 100.0;   // F(100) = 0.5 with B = 1
    Kolmogor(s, 1, A, 1, 1e9, 1, k, v);        // nobody leaves warranty
    // model share = 0.5 * 2 * 1 / 2 = 0.5; empirical 0.5 then 1.0 -> D = 0.5
    EXPECT_NEAR(k, 0.5 * std::sqrt(2.0), 1e-12);
}

TEST(ModelCurve, DeviationAndLogLine)
{
    State s;
    s.Hist_Arr.resize(2);
    s.Hist_Arr[0].time = 100;
    s.Hist_Arr[0].Sum = 5;
    s.Hist_Arr[1].time = 200;
    s.Hist_Arr[1].Sum = 3;
    s.Izd_Prived = 100;
    s.Sred = 1000;
    s.SKO = 200;
    std::vector<double> out;
    double sum = 0, dev = 0;
    QStringList log;
    Hist_Made(
        s, 0.001, 1, 1, out, sum, dev, [&](const QString &l) { log << l; }, u'.');
    ASSERT_EQ(out.size(), 2u);
    const double e0 = 100 * weibCDF2(0.001, 1, 0, 100) * (1 - CDF_Gauss(1000, 200, 100));
    EXPECT_DOUBLE_EQ(out[0], e0);
    EXPECT_DOUBLE_EQ(sum, out[0] + out[1]);
    const double d0 = 5 - out[0], d1 = 3 - out[1];
    EXPECT_DOUBLE_EQ(dev, std::sqrt((d0 * d0 + d1 * d1) / 2));
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith("Доверительный 95% интервал модели = "));

    EXPECT_EQ(histMadeLine(2, u'.'), "Доверительный 95% интервал модели = 3.9200,  СКО= 2.0000");
    EXPECT_EQ(histMadeLine(0, u','), "Доверительный 95% интервал модели = 0,0000,  СКО= 0,0000");
}

TEST(WarrantyFigures, TheCalculationsFiguresAreCheckedBeforeUse)
{
    std::vector<obr::Problems> P(3);
    P[0].time = 10;
    P[1].time = 500;
    P[2].time = 2250;
    auto refusal = [&](std::optional<double> m, std::optional<double> d, std::optional<double> t) {
        try {
            obr::checkWarrantyFigures(P, m, d, t, u',');
        } catch (const obr::UserError &e) {
            return e.message();
        }
        return QString();
    };
    EXPECT_TRUE(refusal(1000, 250, 1000).isEmpty());
    EXPECT_TRUE(refusal(1000, 250, 0).isEmpty());
    EXPECT_TRUE(
        refusal(0, 250, 1000)
            .contains(QStringLiteral("Среднее время гарантии должно быть больше 0, а задано 0")));
    EXPECT_TRUE(refusal(-1.5, 250, 1000).contains(QStringLiteral("задано -1,5")));
    EXPECT_TRUE(refusal(1000, 0, 1000)
                    .contains(QStringLiteral("СКО времени гарантии должно быть больше 0")));
    EXPECT_TRUE(refusal(1000, 250, -1)
                    .contains(QStringLiteral("не может быть отрицательным, а задано -1")));
    // The first failure whose products have all left observation is named: 500 h at a
    // mean of 100 h with a deviation of 1 h lies 400 deviations out.
    EXPECT_TRUE(
        refusal(100, 1, std::nullopt).contains(QStringLiteral("Отказ № 2: наработка 500 ч")))
        << refusal(100, 1, std::nullopt).toStdString();
    EXPECT_TRUE(refusal(1000, 10, std::nullopt).contains(QStringLiteral("Отказ № 3")));
    // Figures left out are not checked.
    EXPECT_TRUE(refusal(std::nullopt, 0, std::nullopt).contains(QStringLiteral("СКО")));
    EXPECT_TRUE(refusal(std::nullopt, std::nullopt, std::nullopt).isEmpty());
}
