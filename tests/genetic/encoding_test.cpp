// SPDX-License-Identifier: MIT
// Chromosome encoding, the objective, the random stream, the schedules, the log-line
// texts and the checks made before a run.
#include "gen_fixture.h"

#include "model/errors.h"
#include "model/texts.h"

#include <gtest/gtest.h>
#include <cmath>

using namespace obr;
using gentest::CelevFunction;
using gentest::encodeGenes;
using gentest::Pirson_ZFGen;

TEST(GeneticEncoding, BitStringsAndCounts)
{
    EXPECT_EQ(IntToBin(5, 4), "0101");
    EXPECT_EQ(BinToInt("0101"), 5);
    EXPECT_EQ(IntToBin(0, 3), "000");
    EXPECT_EQ(BinToInt(""), 0);
    EXPECT_EQ(IntToBin(13, 2), "01");   // only the low Size bits
    EXPECT_EQ(IntToBin(7, 0), "");

    struct {
        int32_t v;
        int32_t bits;
    } counts[] = {{-5, 0}, {0, 0}, {1, 1}, {2, 2}, {3, 2}, {4, 3}, {10000000, 24}, {INT32_MAX, 31}};
    for (auto c : counts)
        EXPECT_EQ(iGetBits(c.v), c.bits) << c.v;

    // Round trips over the whole 24-bit range, both ends included.
    for (int64_t v :
         {int64_t(0), int64_t(1), int64_t(10000000), int64_t(0xABCDEF), (int64_t(1) << 24) - 1})
        EXPECT_EQ(BinToInt(IntToBin(v, 24)), v);
}

TEST(GeneticEncoding, GeneLengthFromPrecision)
{
    struct {
        double p;
        int32_t L;
    } cases[] = {
        {1e-7, 24},                         // Round(1e7) = 10 000 000 has 24 binary digits
        {1, 1},     {0.5, 2},   {1.5, 1},   // Round(0.667) = 1
        {2, 0},                             // Round(0.5) = 0 (half to even): no gene
        {1e-9, 30}, {1e-10, 0},             // 1e10 does not fit a 32-bit integer
        {0, 0},     {-1e-7, 0},
    };
    for (auto c : cases)
        EXPECT_EQ(geneLength(c.p), c.L) << c.p;
}

TEST(GeneticEncoding, LayoutStepsAndDecoding)
{
    const auto gens = makeListGens(5, 24);
    ASSERT_EQ(gens.size(), 5u);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(gens[size_t(k)].gStart, 1 + 24 * k);
        EXPECT_EQ(gens[size_t(k)].gLength, 24);
    }

    // Gene steps for the default precision.
    const auto NormA = geneSteps(1e-7);
    const double expected[] = {5.00001e-07, 5.00001e-07, 5.1e-07, 5.8e-05, 1.3e-05};
    for (size_t k = 0; k < 5; ++k)
        EXPECT_NEAR(NormA[k], expected[k], 1e-15) << k;

    // The upper end of gene 3 writes Round(1/Precision).
    std::array<double, 5> Ao{1, 1, 5.1, 0, 0};
    const std::string x = encodeGenes(Ao, 3, 24, NormA);
    ASSERT_EQ(x.size(), 72u);
    EXPECT_EQ(BinToInt(std::string_view(x).substr(48, 24)), 10000000);

    // All zeros decode to 0, all ones to (2^L - 1) steps; genes beyond iop stay.
    std::array<double, 5> out{-1, -1, -1, 123, 456};
    XromeToA(std::string(24, '0') + std::string(24, '1') + IntToBin(10000000, 24),
             makeListGens(3, 24), NormA, out);
    EXPECT_EQ(out[0], 0.0);
    EXPECT_EQ(out[1], double((1 << 24) - 1) * NormA[1]);
    EXPECT_DOUBLE_EQ(out[2], 5.1);
    EXPECT_EQ(out[3], 123);
    EXPECT_EQ(out[4], 456);

    // Decoding gives back exactly the integers the encoding wrote, for 3, 4 and 5 genes.
    for (int32_t iop : {3, 4, 5}) {
        std::array<double, 5> v{1.234567, 0.0042, 1.7, 912.5, 77.7};
        const std::string s = encodeGenes(v, iop, 24, NormA);
        EXPECT_EQ(s.size(), size_t(iop) * 24);
        std::array<double, 5> d{};
        XromeToA(s, makeListGens(iop, 24), NormA, d);
        for (int32_t k = 0; k < iop; ++k)
            EXPECT_EQ(d[size_t(k)], std::round(v[size_t(k)] / NormA[size_t(k)]) * NormA[size_t(k)]);
    }
}

TEST(GeneticObjective, PenaltyOnTheRepeatCoefficient)
{
    // Doubling the fleet and halving K leaves every expected count, and so the unpenalised
    // criterion, unchanged: the factor of the penalty shows directly.
    State s = gentest::failureState();
    Mod_Weib M;
    const double A = std::pow(gentest::kTrueEta, -gentest::kTrueB);
    auto R = [&](double fleet, double k) {
        return Pirson_ZFGen(s.Hist_Arr, fleet, s.Kol_izw, M, A, gentest::kTrueB, k, s.Sred, s.SKO);
    };
    const double N = s.Izd_Prived;
    EXPECT_NEAR(R(N, 5.1), R(2 * N, 2.55), 1e-9 * R(N, 5.1));        // 5.1 is not penalised
    EXPECT_NEAR(R(N, 10.2), 4 * R(2 * N, 5.1), 1e-9 * R(N, 10.2));   // 10.2 gives factor 4
}

TEST(GeneticObjective, ArraysAndSumsOfTheModel)
{
    State s = gentest::failureState();
    const double A = std::pow(gentest::kTrueEta, -gentest::kTrueB);
    Pirson_ZFGen(s, A, gentest::kTrueB, gentest::kTrueK, s.Sred, s.SKO);
    const size_t m = s.Hist_Arr.size();
    ASSERT_EQ(s.MGenet.F_Weib.size(), m);
    ASSERT_EQ(s.MGenet.F_norm.size(), m);
    ASSERT_EQ(s.MGenet.Kol_F_priv.size(), m);
    double sum = 0, sq = 0, t1 = 0;
    for (size_t i = 0; i < m; ++i) {
        const double t2 = s.Hist_Arr[i].time;
        EXPECT_DOUBLE_EQ(s.MGenet.F_norm[i], CDF_Gauss(s.Sred, s.SKO, (t1 + t2) / 2));
        EXPECT_DOUBLE_EQ(s.MGenet.F_Weib[i], weibCDF2(A, gentest::kTrueB, t1, t2));
        sum += s.MGenet.Kol_F_priv[i];
        sq += std::pow(s.Hist_Arr[i].Sum - s.MGenet.Kol_F_priv[i], 2);
        t1 = t2;
    }
    EXPECT_NEAR(s.MGenet.Kol_Nakopl, sum, 1e-9);
    EXPECT_NEAR(s.MGenet.SKO_out, std::sqrt(sq) / s.Kol_izw, 1e-12);
    // The true model explains the data: expected total near the recorded failures.
    EXPECT_NEAR(s.MGenet.Kol_Nakopl, s.Kol_izw, 0.15 * s.Kol_izw);
}

TEST(GeneticObjective, CandidatesOutsideTheDomainAreWorst)
{
    State s = gentest::failureState();
    struct {
        double A, B, Sig;
    } cases[] = {{0, 1.2, 250},   {-1e-3, 1.2, 250}, {1e-3, 0, 250},
                 {1e-3, -1, 250}, {1e-3, 1.2, 0},    {1e-3, 1.2, -5}};
    for (auto c : cases) {
        EXPECT_EQ(Pirson_ZFGen(s, c.A, c.B, 1.2, 1000, c.Sig), kWorstObjective)
            << c.A << " " << c.B << " " << c.Sig;
        EXPECT_EQ(s.MGenet.Kol_F_priv.size(), s.Hist_Arr.size());
    }
    // A standard-deviation gene that decodes to 0 is valued, not an error.
    s.Sred_Opt = true;
    s.SKO_Opt = true;
    s.Ao = {1.2, 1e-3, 1.2, 1000, 0};
    EXPECT_EQ(CelevFunction(s), kWorstObjective);
}

TEST(GeneticObjective, FlagsChooseTheWarrantyParameters)
{
    State s = gentest::failureState();
    const std::array<double, 5> Ao{1.1, 7e-4, 1.3, 900, 200};
    auto ref = [&](double Mu, double Sig) {
        Mod_Weib M;
        return Pirson_ZFGen(s.Hist_Arr, s.Izd_Prived, s.Kol_izw, M, Ao[1], Ao[0], Ao[2], Mu, Sig);
    };
    struct {
        bool sred, sko;
        double Mu, Sig;
    } cases[] = {{false, false, 1000, 250},
                 {true, false, 900, 250},
                 {false, true, 1000, 900},
                 {true, true, 900, 200}};
    for (auto c : cases) {
        s.Sred_Opt = c.sred;
        s.SKO_Opt = c.sko;
        s.Ao = Ao;
        EXPECT_EQ(CelevFunction(s), ref(c.Mu, c.Sig)) << c.sred << c.sko;

        // The run's objective (invariants computed once per run) gives the same values.
        GenInput in = gentest::quickInput(s, 4, 1);
        GenControl ctl;
        NullGenHost host;
        GenEngine e(in, ctl, host, fixedSeedSource(1));
        const double r = ref(c.Mu, c.Sig);
        EXPECT_NEAR(e.objective(Ao), r, 1e-11 * r) << c.sred << c.sko;
        EXPECT_EQ(e.objective({1.1, 0, 1.3, 900, 200}), kWorstObjective);
    }
}

TEST(GeneticRandom, LinearCongruentialStream)
{
    GenRandom r(0);
    // seed 0 -> 1 -> 134775814 -> 3698175007 (mod 2^32)
    EXPECT_EQ(r.next(), 1 / 4294967296.0);
    EXPECT_EQ(r.next(), 134775814 / 4294967296.0);
    EXPECT_EQ(r.next(), 3698175007.0 / 4294967296.0);
    EXPECT_EQ(r.seed(), 3698175007u);

    auto seeds = fixedSeedSource(41);
    EXPECT_EQ(seeds(), 41u);
    EXPECT_EQ(seeds(), 42u);
}

TEST(GeneticSchedule, CopyGenerationsAndProbabilities)
{
    auto due = [](int32_t N) {
        std::vector<int32_t> v;
        for (int32_t i = 1; i <= N; ++i)
            if (copyDue(i, N))
                v.push_back(i);
        return v;
    };
    EXPECT_EQ(due(1500), (std::vector<int32_t>{300, 900, 1200}));
    EXPECT_TRUE(due(7).empty());
    EXPECT_EQ(due(10), (std::vector<int32_t>{2, 6, 8}));

    EXPECT_NEAR(crossoverSchedule(0, 1500), 0.45 * std::sin(1.0), 1e-15);   // about 0.379
    EXPECT_LT(crossoverSchedule(100, 800), 1e-12);                          // zero at N/8
    EXPECT_LT(mutationSchedule(3, 1500), 0.01);                             // zero near 0.002N
    EXPECT_NEAR(mutationSchedule(375, 1500), 0.5 * std::fabs(std::sin(3 - 0.025)), 1e-15);
}

TEST(GeneticTexts, LogLines)
{
    const std::array<double, 5> Aopt{1.2, 0.0004, 1.15, 0, 0};
    EXPECT_EQ(genBestLine(12.3456789, Aopt, u'.'),
              QStringLiteral(" ЦФ=12.34568   Beta=1.200000  A=2500.000    Кповт=1.150000 "));
    EXPECT_EQ(genBestLine(123456.5, Aopt, u','),
              QStringLiteral(" ЦФ=123456,50000  Beta=1,200000  A=2500,000    Кповт=1,150000 "));
    EXPECT_EQ(genChildLine(3.14159, u'.'), QStringLiteral("F= 3.142    S2"));
    EXPECT_EQ(genChildLine(123456.789, u','), QStringLiteral("F= 123456,789 S2"));
    EXPECT_EQ(genUpdMainLine(3), QStringLiteral("Создано генов 3"));
}

TEST(GeneticSettings, RefusedBeforeTheStart)
{
    State s = gentest::failureState();
    State empty;
    auto message = [](const State &st, const char *p, const char *pop, const char *gen,
                      QChar dec = u'.') -> QString {
        try {
            validateGenStart(st, QString::fromUtf8(p), QString::fromUtf8(pop),
                             QString::fromUtf8(gen), dec);
        } catch (const UserError &e) {
            return e.message();
        }
        return {};
    };
    EXPECT_EQ(message(empty, "0.0000001", "3000", "1500"), txt::noFailures);

    struct {
        const char *p, *pop, *gen;
        const char *contains;
    } cases[] = {
        {"abc", "3000", "1500", "«abc»"},
        {"abc", "3000", "1500", "Точность подбора"},
        {"2", "3000", "1500", "от 1 до 31"},
        {"0.0000000001", "3000", "1500", "от 1 до 31"},
        {"-1", "3000", "1500", "от 1 до 31"},
        {"0.0000001", "много", "1500", "Размер популяции"},
        {"0.0000001", "1", "1500", "не меньше 2"},
        {"0.0000001", "3000", "", "Число поколений"},
        {"0.0000001", "3000", "0", "не меньше 1"},
    };
    for (const auto &c : cases) {
        const QString m = message(s, c.p, c.pop, c.gen);
        EXPECT_TRUE(m.contains(QString::fromUtf8(c.contains)))
            << c.p << " " << c.pop << " " << c.gen << " -> " << m.toStdString();
    }
    // The locale's decimal separator is the one the precision box takes.
    EXPECT_TRUE(message(s, "0.0000001", "3000", "1500", u',').contains(u"Точность подбора"));
    const GenSettings st = validateGenStart(s, QStringLiteral("0,0000001"), QStringLiteral("3000"),
                                            QStringLiteral("1500"), u',');
    EXPECT_EQ(st.L, 24);
    EXPECT_EQ(st.population, 3000);
    EXPECT_EQ(st.generations, 1500);

    // A fixed deviation of 0 gives no usable model.
    s.SKO = 0;
    EXPECT_TRUE(message(s, "0.0000001", "3000", "1500").contains(u"отклонение"));
    s.SKO_Opt = true;
    EXPECT_TRUE(message(s, "0.0000001", "3000", "1500").isEmpty());
}
