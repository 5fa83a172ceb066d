// SPDX-License-Identifier: MIT
// The fits against the step-by-step reference, their refusals and mends, and the hand-over
// of fitted warranty figures to the Smirnov fit.
#include "fit/fits.h"
#include "gen.h"
#include "io/loaders.h"
#include "model/errors.h"
#include "reference.h"
#include "stats/stat2018.h"

#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <string>

using namespace obr;

namespace {

enum class Fit { Spiral, Newton, Smirnov };

const char *fitName(Fit f)
{
    return f == Fit::Spiral ? "spiral" : f == Fit::Newton ? "newton" : "smirnov";
}

Mod_Weib &model(State &s, Fit f)
{
    return f == Fit::Spiral ? s.MPirsS : f == Fit::Newton ? s.MPirsN : s.MSmirn;
}

QStringList runFast(State &s, Fit f, double k, Criterion c, FitStats *st = nullptr)
{
    QStringList log;
    const LogSink sink = [&](const QString &l) { log << l; };
    if (f == Fit::Spiral)
        SpirSp_Execute(s, k, c, sink, st);
    else if (f == Fit::Newton)
        Podbor_Weib_Pirson(s, s.MPirsN.A, s.MPirsN.B, k, c, sink, st);
    else
        Podbor_Weib_Smirnow(s, s.MSmirn.A, s.MSmirn.B, k, sink, st);
    return log;
}

void runRef(State &s, Fit f, double k, Criterion c, ref::Stats *st = nullptr)
{
    if (f == Fit::Spiral)
        ref::SpirSp_Execute(s, k, c, st);
    else if (f == Fit::Newton)
        ref::Podbor_Weib_Pirson(s, s.MPirsN.A, s.MPirsN.B, k, c, st);
    else
        ref::Podbor_Weib_Smirnow(s, s.MSmirn.A, s.MSmirn.B, k, st);
}

//! Bit-for-bit equality: the fast walk must end exactly where the step-by-step walk ends.
::testing::AssertionResult same(double a, double b, const char *what)
{
    if (a == b || (std::isnan(a) && std::isnan(b)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << std::setprecision(17) << what << ": fast " << a << " vs reference " << b
           << " (differ by " << (a - b) << ")";
}

} // namespace

// ---------------------------------------------------------------------------------------

struct EqualityCase {
    int failures;
    uint64_t seed;
    Fit fit;
    Criterion crit;
    bool sredOpt, skoOpt;
    double k;
};

class FastEqualsReference : public ::testing::TestWithParam<EqualityCase> {};

TEST_P(FastEqualsReference, PublishesTheSamePoint)
{
    const EqualityCase c = GetParam();
    State base = gen::makeState(c.failures, c.seed);
    base.Sred_Opt = c.sredOpt;
    base.SKO_Opt = c.skoOpt;
    State a = base, b = base;
    FitStats fst;
    ref::Stats rst;
    runFast(a, c.fit, c.k, c.crit, &fst);
    runRef(b, c.fit, c.k, c.crit, &rst);
    const Mod_Weib &ma = model(a, c.fit), &mb = model(b, c.fit);
    EXPECT_TRUE(same(ma.A, mb.A, "A"));
    EXPECT_TRUE(same(ma.B, mb.B, "B"));
    EXPECT_TRUE(same(ma.K_powtor, mb.K_powtor, "K_powtor"));
    EXPECT_TRUE(same(a.Sred, b.Sred, "Sred"));
    EXPECT_TRUE(same(a.SKO, b.SKO, "SKO"));
    EXPECT_TRUE(same(ma.Sred, mb.Sred, "model Sred"));
    EXPECT_TRUE(same(ma.SKO, mb.SKO, "model SKO"));
    EXPECT_TRUE(ma.Executed);
    ASSERT_EQ(ma.Kol_F_priv.size(), mb.Kol_F_priv.size());
    ASSERT_EQ(ma.F_norm.size(), mb.F_norm.size());
    for (size_t i = 0; i < ma.Kol_F_priv.size(); ++i) {
        EXPECT_TRUE(same(ma.Kol_F_priv[i], mb.Kol_F_priv[i], "Kol_F_priv"));
        EXPECT_TRUE(same(ma.F_Weib[i], mb.F_Weib[i], "F_Weib"));
    }
    for (size_t i = 0; i < ma.F_norm.size(); ++i)
        EXPECT_TRUE(same(ma.F_norm[i], mb.F_norm[i], "F_norm"));
    // The objective at the published point, evaluated plainly, is the same too.
    if (c.fit != Fit::Smirnov) {
        Mod_Weib wa = ma, wb = mb;
        EXPECT_TRUE(same(ref::Pirson(a, ma.A, ma.B, ma.K_powtor, a.Sred, a.SKO, wa, c.crit),
                         ref::Pirson(b, mb.A, mb.B, mb.K_powtor, b.Sred, b.SKO, wb, c.crit),
                         "objective"));
    } else {
        EXPECT_TRUE(same(ref::Smirnow(a, ma.F_norm, ma.A, ma.B, ma.K_powtor),
                         ref::Smirnow(b, mb.F_norm, mb.A, mb.B, mb.K_powtor), "objective"));
    }
    // Both walk the same passes, and the fast one needs far fewer evaluations.
    EXPECT_EQ(fst.passes, rst.passes);
    EXPECT_EQ(fst.stepEvaluations, rst.evaluations);
    EXPECT_LE(fst.evaluations, rst.evaluations);
}

std::string caseName(const ::testing::TestParamInfo<EqualityCase> &i)
{
    const EqualityCase &c = i.param;
    std::string s = std::string(fitName(c.fit)) + "_n" + std::to_string(c.failures) + "_s" +
                    std::to_string(c.seed) + "_c" + std::to_string(int(c.crit));
    if (c.sredOpt)
        s += "_Sred";
    if (c.skoOpt)
        s += "_SKO";
    s += "_k" + std::to_string(int(std::lround((c.k - 1) * 1e5)));
    return s;
}

constexpr auto S1 = Criterion::Spec1, S2 = Criterion::Spec2, St = Criterion::Standard;

INSTANTIATE_TEST_SUITE_P(
    Spiral, FastEqualsReference,
    ::testing::Values(EqualityCase{30, 1, Fit::Spiral, S1, false, false, 1.005},
                      EqualityCase{30, 2, Fit::Spiral, S2, false, false, 1.005},
                      EqualityCase{30, 3, Fit::Spiral, S1, true, false, 1.01},
                      EqualityCase{30, 4, Fit::Spiral, S2, false, true, 1.01},
                      EqualityCase{30, 5, Fit::Spiral, S1, true, true, 1.01},
                      EqualityCase{300, 1, Fit::Spiral, S1, false, false, 1.005},
                      EqualityCase{300, 2, Fit::Spiral, S2, true, true, 1.1},
                      EqualityCase{300, 3, Fit::Spiral, St, false, false, 1.01},
                      EqualityCase{3000, 1, Fit::Spiral, S1, false, false, 1.01},
                      EqualityCase{3000, 2, Fit::Spiral, S2, true, false, 1.02}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Newton, FastEqualsReference,
    ::testing::Values(EqualityCase{30, 1, Fit::Newton, S1, false, false, 1.00025},
                      EqualityCase{30, 2, Fit::Newton, S2, false, false, 1.005},
                      EqualityCase{30, 3, Fit::Newton, S1, true, false, 1.005},
                      EqualityCase{30, 5, Fit::Newton, S1, true, true, 1.005},
                      EqualityCase{300, 1, Fit::Newton, S1, true, true, 1.01},
                      EqualityCase{300, 2, Fit::Newton, S1, false, true, 1.005},
                      EqualityCase{3000, 1, Fit::Newton, S1, false, false, 1.005},
                      EqualityCase{3000, 2, Fit::Newton, S1, true, true, 1.01}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Smirnov, FastEqualsReference,
    ::testing::Values(EqualityCase{30, 1, Fit::Smirnov, S1, false, false, 1.002},
                      EqualityCase{30, 2, Fit::Smirnov, S1, false, false, 1.005},
                      EqualityCase{300, 1, Fit::Smirnov, S1, false, false, 1.03},
                      EqualityCase{300, 2, Fit::Smirnov, S1, false, false, 1.02},
                      EqualityCase{3000, 1, Fit::Smirnov, S1, false, false, 1.2}),
    caseName);

// ---------------------------------------------------------------------------------------

TEST(Fits, EachConvergesWithASmallCoefficientAndLogsItsLine)
{
    const State base = gen::makeState(30, 9);
    struct Case {
        Fit fit;
        const char *prefix;
    } const cases[] = {
        {Fit::Spiral, "Расчёт модели по Пирсону методом спирального спуска выполнен за "},
        {Fit::Newton, "Расчёт модели по Пирсону методом Ньютона выполнен за "},
        {Fit::Smirnov, "Расчёт модели по Смирнову выполнен за "},
    };
    for (const Case &c : cases) {
        State s = base;
        FitStats st;
        const QStringList log = runFast(s, c.fit, 1.05, Criterion::Spec1, &st);
        const Mod_Weib &M = model(s, c.fit);
        EXPECT_TRUE(M.Executed) << fitName(c.fit);
        // The fit's own line, then only lines of parameters that ended at a bound.
        ASSERT_GE(log.size(), 1) << fitName(c.fit);
        for (qsizetype i = 1; i < log.size(); ++i)
            EXPECT_TRUE(log[i].contains(QStringLiteral("границе диапазона"))) << log[i].toStdString();
        EXPECT_TRUE(log[0].startsWith(QString::fromUtf8(c.prefix))) << log[0].toStdString();
        EXPECT_TRUE(log[0].endsWith(QStringLiteral("ч/мин/с"))) << log[0].toStdString();
        // Steps shrink by 1.05 per pass from at most 10^8 times their tolerance.
        EXPECT_LE(st.passes, 400) << fitName(c.fit);
        EXPECT_GT(M.A, 0);
        EXPECT_GT(M.B, 0);
        EXPECT_EQ(M.Kol_F_priv.size(), s.Hist_Arr.size());
    }
}

TEST(Fits, BundledSampleWithDefaultSettingsGivesPlausibleModels)
{
    // The bundled sample was generated with shape 0.7 and scale 5000 h (1/A = 5000^0.7,
    // about 388), inside the reach of all three searches' tables; each must find a law of
    // the same order.
    const QString dir = qEnvironmentVariable("OBROTK_SOURCE_DIR", QStringLiteral(OBROTK_FIT_SOURCE_DIR));
    QFile f(dir + QStringLiteral("/examples/sample.fdt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << f.fileName().toStdString();
    State base;
    applyFailureFile(base, readFailureFile(f.readAll()));
    hist(base);
    const double invA = std::pow(5000.0, 0.7), shape = 0.7;
    struct Case {
        Fit fit;
        double k;
    } const cases[] = {{Fit::Spiral, 1.00025}, {Fit::Newton, 1.00025}, {Fit::Smirnov, 1.0005}};
    State s = base;
    QStringList log;
    for (const Case &c : cases) {
        log << runFast(s, c.fit, c.k, Criterion::Spec1);
        const Mod_Weib &M = model(s, c.fit);
        EXPECT_TRUE(M.Executed) << fitName(c.fit);
        double total = 0;
        for (double e : M.Kol_F_priv)
            total += e;
        EXPECT_NEAR(total, s.Kol_izw, 0.25 * s.Kol_izw) << fitName(c.fit);
        EXPECT_GT(M.B, shape / 1.5) << fitName(c.fit);
        EXPECT_LT(M.B, shape * 1.5) << fitName(c.fit);
        EXPECT_GT(1 / M.A, invA / 10) << fitName(c.fit);
        EXPECT_LT(1 / M.A, invA * 10) << fitName(c.fit);
    }
    EXPECT_EQ(log.size(), 3);
}

TEST(Fits, FittedWarrantyFiguresReachTheGlobalsAndTheSmirnovFit)
{
    State s = gen::makeState(300, 4);
    const double sred0 = s.Sred, sko0 = s.SKO;
    s.Sred_Opt = true;
    s.SKO_Opt = true;
    runFast(s, Fit::Spiral, 1.01, Criterion::Spec1);
    EXPECT_NE(s.Sred, sred0);
    EXPECT_NE(s.SKO, sko0);
    EXPECT_EQ(s.MPirsS.Sred, s.Sred);
    EXPECT_EQ(s.MPirsS.SKO, s.SKO);
    EXPECT_GT(s.Sred, 0);
    EXPECT_LE(s.Sred, 3000);
    EXPECT_LE(s.SKO, 900);

    // The Smirnov fit takes the rewritten globals: it matches a fit on data whose warranty
    // figures were typed in as those values, and differs from one with the original ones.
    State typed = gen::makeState(300, 4);
    typed.Sred = s.Sred;
    typed.SKO = s.SKO;
    State original = gen::makeState(300, 4);
    runFast(s, Fit::Smirnov, 1.02, Criterion::Spec1);
    runFast(typed, Fit::Smirnov, 1.02, Criterion::Spec1);
    runFast(original, Fit::Smirnov, 1.02, Criterion::Spec1);
    EXPECT_EQ(s.MSmirn.Sred, s.Sred);
    EXPECT_EQ(s.MSmirn.SKO, s.SKO);
    EXPECT_EQ(s.MSmirn.A, typed.MSmirn.A);
    EXPECT_EQ(s.MSmirn.B, typed.MSmirn.B);
    EXPECT_NE(s.MSmirn.A, original.MSmirn.A);
    EXPECT_EQ(s.MSmirn.F_norm[0], CDF_Gauss(s.Sred, s.SKO, s.Hist_Arr[0].time / 2));

    // Only the flagged figure changes; with no flag both stay as typed.
    for (int flags = 0; flags < 3; ++flags) {
        State t = gen::makeState(30, 4);
        t.Sred_Opt = flags == 1;
        t.SKO_Opt = flags == 2;
        runFast(t, Fit::Newton, 1.01, Criterion::Spec1);
        EXPECT_EQ(t.Sred != sred0, flags == 1) << flags;
        EXPECT_EQ(t.SKO != sko0, flags == 2) << flags;
    }
}

// ---------------------------------------------------------------------------------------

TEST(Fits, StepCoefficientBoxes)
{
    const QString cap = QStringLiteral("Коэф-т уменьшения шага модели 1.2");
    EXPECT_DOUBLE_EQ(readStepCoefficient(QStringLiteral("1,00025"), u',', cap), 1.00025);
    EXPECT_DOUBLE_EQ(readStepCoefficient(QStringLiteral(" 1.5 "), u'.', cap), 1.5);
    struct Bad {
        const char *text;
        QChar dec;
        const char *expected;
    } const bad[] = {
        {"1", u'.', "больше 1"},   {"0,5", u',', "больше 1"}, {"-3", u'.', "больше 1"},
        {"abc", u'.', "не является числом"}, {"", u',', "не является числом"},
        {"1.00025", u',', "не является числом"},
    };
    for (const Bad &b : bad) {
        try {
            readStepCoefficient(QString::fromUtf8(b.text), b.dec, cap);
            ADD_FAILURE() << b.text << " accepted";
        } catch (const UserError &e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(b.expected))) << b.text;
            EXPECT_TRUE(e.message().contains(cap)) << b.text << ": the box is named";
        }
    }
}

TEST(Fits, CoefficientOfOneOrLessIsRefusedBeforeAnythingChanges)
{
    const State base = gen::makeState(30, 1);
    for (Fit f : {Fit::Spiral, Fit::Newton, Fit::Smirnov}) {
        for (double k : {1.0, 0.99, 0.0, -2.0, std::nan("")}) {
            State s = base;
            s.Sred_Opt = true;
            EXPECT_THROW(runFast(s, f, k, Criterion::Spec1), UserError) << fitName(f) << " " << k;
            EXPECT_FALSE(model(s, f).Executed);
            EXPECT_EQ(s.Sred, base.Sred);
        }
    }
}

TEST(Fits, StandardCriterionWithZeroModelCountsStopsNewtonWithAClearMessage)
{
    // The Newton start (A = 0.5, B = 1) puts every failure into the first interval, so the
    // later intervals have model count 0; the spiral fit run before keeps its results.
    State s = gen::makeState(300, 2);
    s.Sred_Opt = true;
    runFast(s, Fit::Spiral, 1.01, Criterion::Spec1);
    const Mod_Weib spiral = s.MPirsS;
    const double sred = s.Sred;
    try {
        runFast(s, Fit::Newton, 1.00025, Criterion::Standard);
        FAIL() << "no error";
    } catch (const UserError &e) {
        EXPECT_EQ(e.message(), fittxt::standardZeroCount());
        EXPECT_TRUE(e.message().contains(QStringLiteral("«Спец 1»")));
        EXPECT_TRUE(e.message().contains(QStringLiteral("другой метод")));
    }
    EXPECT_FALSE(s.MPirsN.Executed);
    EXPECT_TRUE(s.MPirsS.Executed);
    EXPECT_EQ(s.MPirsS.A, spiral.A);
    EXPECT_EQ(s.Sred, sred);

    // The plain objective refuses the same way, and the reference fit agrees.
    Mod_Weib M;
    EXPECT_THROW(Pirson(s, 0.5, 1, 1, s.Sred, s.SKO, M, Criterion::Standard), UserError);
    State r = gen::makeState(300, 2);
    EXPECT_THROW(ref::Podbor_Weib_Pirson(r, r.MPirsN.A, r.MPirsN.B, 1.00025,
                                         Criterion::Standard),
                 UserError);
}

TEST(Fits, NonFiniteWarrantyShareIsReportedNotPublished)
{
    // A deviation of 0 with a failure exactly at the mean makes the warranty share 0/0.
    State s = gen::makeState(30, 3);
    s.SKO = 0;
    s.Sred = s.MasProbl[s.MasProbl.size() / 2].time;
    try {
        runFast(s, Fit::Smirnov, 1.05, Criterion::Spec1);
        FAIL() << "no error";
    } catch (const UserError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("по Смирнову"))) << e.what();
    }
    EXPECT_FALSE(s.MSmirn.Executed);
}

TEST(Fits, SmirnovWeightsHoldOneEntryPerIntervalWhenThereAreMoreIntervals)
{
    // One failure at 100.05 h gives two intervals (up to 100 and up to 200).
    State s;
    Problems p;
    p.time = 100.05;
    s.MasProbl = {p};
    s.Kol_Izd_All = 10;
    s.KolOtk = 1;
    s.Kol_izw = 1;
    s.Izd_Prived = 10;
    s.Sred = 500;
    s.SKO = 100;
    hist(s);
    ASSERT_EQ(s.Hist_Arr.size(), 2u);
    runFast(s, Fit::Smirnov, 1.05, Criterion::Spec1);
    ASSERT_EQ(s.MSmirn.F_norm.size(), 2u);
    EXPECT_EQ(s.MSmirn.F_norm[1], CDF_Gauss(500, 100, 150));
    EXPECT_EQ(s.MSmirn.Kol_F_priv.size(), 2u);
    EXPECT_TRUE(s.MSmirn.Executed);
}

TEST(Fits, PirsonMatchesThePlainFormulaAndFillsTheArrays)
{
    const State s = gen::makeState(300, 6);
    for (Criterion c : {Criterion::Standard, Criterion::Spec1, Criterion::Spec2}) {
        Mod_Weib a, b;
        const size_t m = s.Hist_Arr.size();
        b.F_norm.assign(m, 0);
        b.F_Weib.assign(m, 0);
        b.Kol_F_priv.assign(m, 0);
        const double A = std::pow(4000.0, -1.4);
        EXPECT_EQ(Pirson(s, A, 1.4, 1.2, 1000, 300, a, c), ref::Pirson(s, A, 1.4, 1.2, 1000, 300, b, c));
        EXPECT_EQ(a.F_Weib, b.F_Weib);
        EXPECT_EQ(a.F_norm, b.F_norm);
        EXPECT_EQ(a.Kol_F_priv, b.Kol_F_priv);
    }
    EXPECT_EQ(criterionFromIndex(0), Criterion::Standard);
    EXPECT_EQ(criterionFromIndex(1), Criterion::Spec1);
    EXPECT_EQ(criterionFromIndex(-1), Criterion::Spec2);
}

TEST(Fits, SmirnovOnSeveralThreadsPublishesExactlyTheSamePoint)
{
    // Enough failures for the terms to be shared out between the threads.
    const State base = gen::makeState(6000, 11);
    ASSERT_GE(base.MasProbl.size(), size_t(4096));
    State one = base, two = base;
    FitStats s1, s2;
    Podbor_Weib_Smirnow(one, one.MSmirn.A, one.MSmirn.B, 1.02, nullLog(), &s1, u'.', nullptr, 1);
    Podbor_Weib_Smirnow(two, two.MSmirn.A, two.MSmirn.B, 1.02, nullLog(), &s2, u'.', nullptr, 2);
    EXPECT_EQ(one.MSmirn.A, two.MSmirn.A);
    EXPECT_EQ(one.MSmirn.B, two.MSmirn.B);
    EXPECT_EQ(one.MSmirn.K_powtor, two.MSmirn.K_powtor);
    EXPECT_EQ(one.MSmirn.F_Weib, two.MSmirn.F_Weib);
    EXPECT_EQ(one.MSmirn.Kol_F_priv, two.MSmirn.Kol_F_priv);
    EXPECT_EQ(s1.objective, s2.objective);
    EXPECT_EQ(s1.evaluations, s2.evaluations);
}

TEST(Fits, ACancelledFitThrowsAndLeavesItsModelNotExecuted)
{
    State s = gen::makeState(300, 5);
    s.Sred_Opt = true;
    const double sred = s.Sred;
    CancelFlag stop{true};
    EXPECT_THROW(SpirSp_Execute(s, 1.05, Criterion::Spec1, nullLog(), nullptr, u'.', &stop), Cancelled);
    EXPECT_THROW(Podbor_Weib_Pirson(s, s.MPirsN.A, s.MPirsN.B, 1.05, Criterion::Spec1, nullLog(),
                                    nullptr, u'.', &stop),
                 Cancelled);
    EXPECT_THROW(Podbor_Weib_Smirnow(s, s.MSmirn.A, s.MSmirn.B, 1.05, nullLog(), nullptr, u'.', &stop),
                 Cancelled);
    EXPECT_FALSE(s.MPirsS.Executed || s.MPirsN.Executed || s.MSmirn.Executed);
    EXPECT_EQ(s.Sred, sred);
}

// ---------------------------------------------------------------------------------------

namespace {

//! Failures all below one hour: the histogram's only bound is t = 1, where t^B = 1 for
//! every B, so the objective does not change with the shape at all.
State flatShapeState()
{
    QStringList lines = {QStringLiteral("Ниже часа"), QStringLiteral("1000"), QStringLiteral("250"),
                         QStringLiteral("1000"), QStringLiteral("80"), QStringLiteral("1"),
                         QStringLiteral("Насос")};
    for (int i = 0; i < 80; ++i)
        lines << QStringLiteral("0.%1\tНасос").arg(10 + i);
    State s;
    applyFailureFile(s, readFailureFile(encodeLines(lines)));
    hist(s);
    return s;
}

} // namespace

TEST(Fits, AFlatShapeCostsWhatAGallopCostsAndPublishesTheStepByStepPoint)
{
    const State base = flatShapeState();
    ASSERT_EQ(base.Hist_Arr.size(), 1u);
    ASSERT_EQ(base.Hist_Arr[0].time, 1.0);
    // With 1.05 the step-by-step walks make some 400,000 evaluations, few enough for the
    // reference to repeat them.
    State a = base, b = base;
    FitStats fst;
    ref::Stats rst;
    runFast(a, Fit::Spiral, 1.05, Criterion::Spec1, &fst);
    runRef(b, Fit::Spiral, 1.05, Criterion::Spec1, &rst);
    EXPECT_EQ(a.MPirsS.A, b.MPirsS.A);
    EXPECT_EQ(a.MPirsS.B, b.MPirsS.B);
    EXPECT_EQ(a.MPirsS.K_powtor, b.MPirsS.K_powtor);
    EXPECT_GT(fst.stepEvaluations, 100000);
    EXPECT_LT(fst.evaluations, 2000);

    // With the default coefficient the walks along the shape would take some 10^7 to
    // 10^9 steps; a flat walk costs what a galloping walk costs.
    State c = base;
    FitStats st;
    runFast(c, Fit::Spiral, 1.00025, Criterion::Spec1, &st);
    EXPECT_TRUE(c.MPirsS.Executed);
    EXPECT_GT(st.stepEvaluations, 10000000);
    EXPECT_LT(st.evaluations, 200000);
}

TEST(Fits, StepCoefficientsThatNeedTooManyPassesAreRefusedWithTheSmallestAllowed)
{
    // Passes = ceil(ln(first step / tolerance) / ln k) of the widest ratio: 10^8 for the
    // Newton search's shape (0.1 / 1e-9), 10^4 for the other two.
    // The counts the fits' own comments give, within the rounding of the logarithms.
    EXPECT_NEAR(fitPassesNeeded(FitKind::Newton, 1.00025), 73690, 3);
    EXPECT_NEAR(fitPassesNeeded(FitKind::Spiral, 1.00025), 36846, 3);
    EXPECT_NEAR(fitPassesNeeded(FitKind::Smirnov, 1.0005), 18425, 3);
    for (FitKind kind : {FitKind::Spiral, FitKind::Newton, FitKind::Smirnov}) {
        const double k = smallestStepCoefficient(kind);
        EXPECT_LE(fitPassesNeeded(kind, k), double(kMaxFitPasses));
        EXPECT_GT(fitPassesNeeded(kind, k - 1e-9), double(kMaxFitPasses));
        EXPECT_NO_THROW(checkStepPasses(kind, k, QStringLiteral("box"), u','));
    }
    try {
        checkStepPasses(FitKind::Newton, 1.000000001, QStringLiteral("Коэф-т 1.2"), u',');
        ADD_FAILURE() << "accepted";
    } catch (const UserError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("«1,000000001» (поле «Коэф-т 1.2»)")))
            << e.message().toStdString();
        // exp(ln(10^8) / 10^8) = 1.00000018420681, rounded up to 9 decimals.
        EXPECT_TRUE(e.message().contains(QStringLiteral("Наименьший допустимый коэффициент: 1,000000185")))
            << e.message().toStdString();
    }
    // The fits refuse such a coefficient themselves, before any work.
    State s = gen::makeState(30, 1);
    EXPECT_THROW(SpirSp_Execute(s, 1.0000000001, Criterion::Spec1, nullLog()), UserError);
    EXPECT_FALSE(s.MPirsS.Executed);
}
