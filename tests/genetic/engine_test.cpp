// SPDX-License-Identifier: MIT
// The breeding run, driven without any thread: probabilities and bars, copy steps, the
// stop request, the order of the log lines, errors, reproducibility and the quality of
// the fit.
#include "gen_fixture.h"

#include "fit/fits.h"
#include "fit/genetic_parallel.h"
#include "model/errors.h"
#include "model/texts.h"

#include <gtest/gtest.h>
#include <cmath>
#include <functional>
#include <QStringList>

using namespace obr;
using gentest::CelevFunction;
using gentest::encodeGenes;
using gentest::Pirson_ZFGen;

namespace {

//! Records everything a run sends to the window.
struct RecordingHost : GenHost {
    QStringList lines;
    std::vector<int> bar1, bar2, progressValues;
    QStringList generationsTexts;
    std::function<void(RecordingHost &)> onProgress;
    std::function<void()> onGenerationsText;
    const GenEngine *engine = nullptr;
    std::vector<int32_t> copyAt;   // generations in which "Копирование лучших" was logged

    void logLine(const QString &l) override
    {
        lines << l;
        if (l == gentxt::copyBest && engine)
            copyAt.push_back(engine->currentGeneration());
    }
    void trackBar1(int p) override { bar1.push_back(p); }
    void trackBar2(int p) override { bar2.push_back(p); }
    void generationsText(const QString &t) override
    {
        generationsTexts << t;
        if (onGenerationsText)
            onGenerationsText();
    }
    void progress(int v) override
    {
        progressValues.push_back(v);
        if (onProgress)
            onProgress(*this);
    }
    int count(const QString &prefix) const
    {
        int n = 0;
        for (const auto &l : lines)
            n += l.startsWith(prefix) ? 1 : 0;
        return n;
    }
};

struct GenRun {
    State s = gentest::failureState();
    GenControl ctl;
    RecordingHost host;
    std::unique_ptr<GenEngine> engine;

    GenRun(int32_t population, int32_t generations, int threads = 1, uint32_t seed = 1)
    {
        engine =
            std::make_unique<GenEngine>(gentest::quickInput(s, population, generations, threads),
                                        ctl, host, fixedSeedSource(seed));
        host.engine = engine.get();
    }
};

}   // namespace

TEST(GeneticRun, ManualBarGovernsOneGenerationThenTheScheduleMovesIt)
{
    GenRun r(20, 100);
    r.engine->begin();
    EXPECT_EQ(r.engine->populationSize(), 20u);
    EXPECT_EQ(r.engine->LengthXrome(), 72);

    // First generation: the probabilities are 0, so the bar positions 55 and 15 are
    // taken as manual settings.
    r.engine->generation();
    EXPECT_DOUBLE_EQ(r.engine->fPCrossingOver(), 55 / 101.0);
    EXPECT_DOUBLE_EQ(r.engine->fPMutation(), 15 / 101.0);
    EXPECT_TRUE(r.host.bar1.empty());
    EXPECT_TRUE(r.host.bar2.empty());

    // Second generation: within 0.01 of the bar, so the schedules apply and move the bars.
    r.engine->generation();
    EXPECT_DOUBLE_EQ(r.engine->fPCrossingOver(), crossoverSchedule(2, 100));
    EXPECT_DOUBLE_EQ(r.engine->fPMutation(), mutationSchedule(2, 100));
    ASSERT_EQ(r.host.bar1.size(), 1u);
    EXPECT_EQ(r.host.bar1[0], int(std::nearbyint(crossoverSchedule(2, 100) * 101)));
    EXPECT_EQ(r.ctl.trackBar1.load(), r.host.bar1[0]);   // the run reads its own move
    EXPECT_EQ(r.ctl.trackBar2.load(), r.host.bar2[0]);

    // The user moves the crossover bar: one generation at 80/101, then the schedule.
    r.ctl.trackBar1.store(80);
    r.engine->generation();
    EXPECT_DOUBLE_EQ(r.engine->fPCrossingOver(), 80 / 101.0);
    EXPECT_DOUBLE_EQ(r.engine->fPMutation(), mutationSchedule(3, 100));
    r.engine->generation();
    EXPECT_DOUBLE_EQ(r.engine->fPCrossingOver(), crossoverSchedule(4, 100));
    r.engine->finish();
}

TEST(GeneticRun, CopyStepsAndGenerationsBoxOverAWholeRun)
{
    struct Case {
        int32_t N;
        std::vector<int32_t> copies;
        QString lastText;
    } cases[] = {
        {1500, {301, 901, 1201}, QStringLiteral("300")},   // bests stored since 1201
        {7, {}, QStringLiteral("7")},
        {10, {3, 7, 9}, QStringLiteral("2")},
    };
    for (const auto &c : cases) {
        GenRun r(4, c.N);
        const GenResult res = r.engine->run();
        EXPECT_EQ(r.host.copyAt, c.copies) << c.N;
        EXPECT_EQ(r.host.generationsTexts.size(), c.N);
        EXPECT_EQ(r.host.generationsTexts.back(), c.lastText) << c.N;
        EXPECT_EQ(res.generations, c.N);
        EXPECT_EQ(r.host.progressValues.back(), 100);
        EXPECT_TRUE(res.ran);
        // The first generation always improves on 1e306.
        ASSERT_FALSE(r.host.lines.isEmpty());
        EXPECT_TRUE(r.host.lines.first().startsWith(QStringLiteral(" ЦФ=")));
    }
}

TEST(GeneticRun, CopyCountDecidesHowManyStoredBestsReturn)
{
    // N is large so that no scheduled copy empties the stored bests first.
    struct Case {
        std::optional<int32_t> n;
        size_t copied;
        size_t keptAfter;
    } cases[] = {
        {50, 51, 1},     // entries 0..50
        {500, 300, 1},   // all of them
        {300, 300, 1},
        {0, 1, 1},
        {-3, 0, 1},               // none, but the list is emptied
        {std::nullopt, 0, 301},   // the box holds no integer: nothing happens
    };
    for (const auto &c : cases) {
        GenRun r(4, 100000);
        r.engine->begin();
        for (int g = 0; g < 300; ++g)
            r.engine->generation();
        ASSERT_EQ(r.engine->ListBest().size(), 300u);
        r.ctl.setCopyCount(c.n);
        r.ctl.bCopyBest.store(true);
        r.ctl.bCopyBest.store(true);   // pressed twice within one generation: one copy
        r.engine->generation();
        r.engine->generation();
        EXPECT_EQ(r.host.count(gentxt::copyBest), 1);
        EXPECT_EQ(r.engine->lastCopied(), c.copied);
        EXPECT_EQ(r.engine->ListBest().size(), c.keptAfter + 1);
        EXPECT_EQ(r.engine->populationSize(), 4u);
        r.engine->finish();
    }
}

TEST(GeneticRun, StopEndsTheRunAfterTheCurrentGenerationWithResults)
{
    GenRun r(30, 1000);
    r.ctl.Stop_Gen.store(true);   // pressed before the run: cleared at its start
    r.host.onProgress = [&](RecordingHost &h) {
        if (h.progressValues.size() == 3)
            r.ctl.Stop_Gen.store(true);
    };
    const GenResult res = r.engine->run();
    EXPECT_EQ(res.generations, 3);
    EXPECT_EQ(r.host.generationsTexts.size(), 3);
    EXPECT_TRUE(res.ran);
    EXPECT_FALSE(res.failed);
    EXPECT_TRUE(res.MGenet.Executed);
    EXPECT_EQ(res.MGenet.B, res.Aopt[0]);
    EXPECT_EQ(res.MGenet.A, res.Aopt[1]);
    EXPECT_EQ(res.MGenet.K_powtor, res.Aopt[2]);
    EXPECT_EQ(res.MGenet.Kol_F_priv.size(), r.s.Hist_Arr.size());
    EXPECT_EQ(res.Sred, r.s.Sred);   // not a gene: unchanged
    EXPECT_EQ(res.SKO, r.s.SKO);
}

TEST(GeneticRun, LogLinesInTheirOrder)
{
    GenRun r(30, 6);
    r.ctl.showProgress.store(true);
    r.engine->begin();
    r.engine->generation();
    // Generation 1: the improvement, the gene count, then one line per crossover pair.
    const int Nx = int(std::nearbyint(30 * 55 / 101.0));
    ASSERT_EQ(r.host.lines.size(), 2 + Nx);
    EXPECT_TRUE(r.host.lines[0].startsWith(QStringLiteral(" ЦФ=")));
    EXPECT_EQ(r.host.lines[1], QStringLiteral("Создано генов 3"));
    for (int k = 0; k < Nx; ++k) {
        EXPECT_TRUE(r.host.lines[2 + k].startsWith(QStringLiteral("F= ")));
        EXPECT_TRUE(r.host.lines[2 + k].endsWith(QStringLiteral(" S2")));
    }
    // A copy request logs its line first in the next generation.
    r.ctl.bCopyBest.store(true);
    const auto before = r.host.lines.size();
    r.engine->generation();
    EXPECT_EQ(r.host.lines[before], gentxt::copyBest);
    // The best line repeats the best objective with the run's best vector.
    const GenResult res = r.engine->finish();
    int best = 0;
    for (const auto &l : r.host.lines)
        if (l.startsWith(QStringLiteral(" ЦФ=")))
            best++;
    EXPECT_GE(best, 1);
    EXPECT_EQ(r.host.lines.filter(QStringLiteral(" ЦФ=")).last(),
              genBestLine(r.engine->objective(res.Aopt), res.Aopt, u'.'));
}

TEST(GeneticRun, AnErrorInTheLoopIsLoggedAndTheRunEndsWithResults)
{
    GenRun r(30, 50);
    int texts = 0;
    r.host.onGenerationsText = [&] {
        if (++texts == 3)
            throw std::runtime_error("window gone");
    };
    const GenResult res = r.engine->run();
    EXPECT_TRUE(res.failed);
    EXPECT_TRUE(res.ran);
    EXPECT_EQ(res.generations, 2);
    EXPECT_EQ(r.host.lines.last(), txt::exceptional);
    EXPECT_TRUE(res.MGenet.Executed);
}

TEST(GeneticRun, FixedSeedsReproduceTheRunWhateverTheThreadCount)
{
    // 200 individuals: the evaluation batches are split between the threads.
    GenRun a(200, 40, 1, 99), b(200, 40, 1, 99), c(200, 40, 2, 99), d(200, 40, 3, 99);
    const GenResult ra = a.engine->run(), rb = b.engine->run(), rc = c.engine->run(),
                    rd = d.engine->run();
    EXPECT_EQ(ra.Aopt, rb.Aopt);
    EXPECT_EQ(a.host.lines, b.host.lines);
    EXPECT_EQ(ra.evaluations, rb.evaluations);
    for (const GenResult *r : {&rc, &rd}) {
        EXPECT_NEAR(r->dMinimumAll, ra.dMinimumAll, 1e-9 * ra.dMinimumAll);
        EXPECT_EQ(r->Aopt, ra.Aopt);
    }
    EXPECT_EQ(a.host.lines, c.host.lines);
    // A different seed gives a different run.
    GenRun e(200, 40, 1, 1234);
    const GenResult re = e.engine->run();
    EXPECT_NE(re.Aopt, ra.Aopt);
}

TEST(GeneticRun, ReachesTheSpiralDescentModelsObjective)
{
    // 150 generations of 1000: the smallest run that gets there for each of the seeds
    // tried (1, 5, 9); 300 individuals are too few to find the small A of this data.
    GenRun r(1000, 150, 2, 5);
    const GenResult res = r.engine->run();
    ASSERT_TRUE(res.ran);

    // The spiral-descent fit of the same data, valued by the genetic objective.
    State s = gentest::failureState();
    SpirSp_Execute(s, 1.0025, Criterion::Standard, nullLog());
    ASSERT_TRUE(s.MPirsS.Executed);
    const double spiral = Pirson_ZFGen(s, s.MPirsS.A, s.MPirsS.B, s.MPirsS.K_powtor, s.Sred, s.SKO);
    EXPECT_LE(res.dMinimumAll, 1.10 * spiral)
        << "genetic " << res.dMinimumAll << ", spiral " << spiral;
    // The published model accounts for the recorded failures (the criterion contains
    // the squared difference of the totals).
    EXPECT_NEAR(res.MGenet.Kol_Nakopl, s.Kol_izw, 0.05 * s.Kol_izw);
    EXPECT_NEAR(Pirson_ZFGen(s, res.MGenet.A, res.MGenet.B, res.MGenet.K_powtor, s.Sred, s.SKO),
                res.dMinimumAll, 1e-9 * res.dMinimumAll);
}

TEST(GeneticRun, WarrantyGenesReplaceMeanAndDeviation)
{
    GenRun r(60, 20);
    r.s.Sred_Opt = true;
    r.s.SKO_Opt = true;
    GenEngine e(gentest::quickInput(r.s, 60, 20), r.ctl, r.host, fixedSeedSource(3));
    EXPECT_EQ(r.s.iop, 5);
    const GenResult res = e.run();
    ASSERT_TRUE(res.ran);
    EXPECT_EQ(res.Sred, res.Aopt[3]);
    EXPECT_EQ(res.SKO, res.Aopt[4]);
    EXPECT_EQ(res.MGenet.Sred, res.Sred);
    EXPECT_EQ(res.MGenet.SKO, res.SKO);

    r.s.Sred_Opt = false;   // the deviation alone is gene 4
    GenEngine e2(gentest::quickInput(r.s, 60, 20), r.ctl, r.host, fixedSeedSource(3));
    EXPECT_EQ(r.s.iop, 4);
    const GenResult res2 = e2.run();
    EXPECT_EQ(res2.Sred, r.s.Sred);
    EXPECT_EQ(res2.SKO, res2.Aopt[3]);
}

TEST(GeneticRun, PublishingWritesTheStateAndRunsHistMade)
{
    GenRun r(40, 10);
    const GenResult res = r.engine->run();
    State &s = r.s;
    QStringList log;
    ASSERT_TRUE(publishGenResult(
        s, res, [&](const QString &l) { log << l; }, u'.'));
    EXPECT_TRUE(s.MGenet.Executed);
    EXPECT_EQ(s.Aopt, res.Aopt);
    EXPECT_EQ(s.Ao, res.Aopt);
    EXPECT_EQ(s.Mas_Out_Like.size(), s.Hist_Arr.size());
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("Доверительный 95% интервал модели =")));
    EXPECT_EQ(log[0], histMadeLine(s.MGenet.SKO_out, u'.'));

    // A histogram rebuilt from other data meanwhile: the result is not published.
    State other = gentest::failureState(200, 11);
    QStringList log2;
    EXPECT_FALSE(publishGenResult(
        other, res, [&](const QString &l) { log2 << l; }, u'.'));
    EXPECT_FALSE(other.MGenet.Executed);
    EXPECT_EQ(log2, QStringList{gentxt::dataChanged});

    GenResult none;
    EXPECT_FALSE(publishGenResult(s, none, nullLog(), u'.'));
}

TEST(GeneticRun, UnusableSettingsAreRefusedByTheEngine)
{
    State s = gentest::failureState();
    GenControl ctl;
    NullGenHost host;
    for (auto [pop, gens, prec] :
         {std::tuple{1, 10, 1e-7}, std::tuple{10, 0, 1e-7}, std::tuple{10, 10, 2.0}}) {
        GenInput in = gentest::quickInput(s, pop, gens);
        in.Precision = prec;
        EXPECT_THROW(GenEngine e(in, ctl, host, fixedSeedSource(1)), UserError);
    }
}

TEST(GeneticParallel, EveryIndexOnceAndErrorsReachTheCaller)
{
    for (int threads : {1, 2, 4}) {
        GenParallel par(threads);
        EXPECT_EQ(par.threads(), threads);
        for (size_t n : {size_t(0), size_t(5), size_t(64), size_t(1000), size_t(4097)}) {
            for (int round = 0; round < 20; ++round) {
                std::vector<std::atomic<int>> hits(n);
                par.run(n, [&](size_t b, size_t e) {
                    for (size_t k = b; k < e; ++k)
                        hits[k].fetch_add(1);
                });
                for (size_t k = 0; k < n; ++k)
                    ASSERT_EQ(hits[k].load(), 1) << threads << " " << n << " " << k;
            }
        }
        EXPECT_THROW(par.run(1000,
                             [](size_t b, size_t e) {
                                 if (b <= 700 && 700 < e)
                                     throw std::runtime_error("bad value");
                             }),
                     std::runtime_error);
        // The set stays usable after an error.
        std::atomic<size_t> sum{0};
        par.run(1000, [&](size_t b, size_t e) { sum += e - b; });
        EXPECT_EQ(sum.load(), 1000u);
    }
}

TEST(GeneticSort, MarkedEntriesMergeIntoTheOrderOfAStableSort)
{
    // Few distinct keys, so that ties are everywhere; some entries sorted, some changed,
    // some appended.
    std::mt19937 g(3);
    for (int round = 0; round < 200; ++round) {
        struct E {
            double f;
            int id;
        };
        std::vector<E> v(size_t(g() % 60));
        for (size_t k = 0; k < v.size(); ++k)
            v[k] = {double(g() % 7), int(k)};
        std::stable_sort(v.begin(), v.end(), [](const E &a, const E &b) { return a.f < b.f; });
        std::vector<uint8_t> dirty(v.size(), 0);
        for (size_t k = 0; k < v.size(); ++k)
            if (g() % 3 == 0) {
                v[k].f = double(g() % 7);
                dirty[k] = 1;
            }
        const size_t extra = g() % 10;
        for (size_t k = 0; k < extra; ++k)
            v.push_back({double(g() % 7), 1000 + int(k)});

        std::vector<E> expected = v;
        std::stable_sort(expected.begin(), expected.end(),
                         [](const E &a, const E &b) { return a.f < b.f; });
        MarkedSortScratch<E> scratch;
        sortMarked(
            v, dirty, [](const E &e) { return e.f; }, scratch);
        ASSERT_EQ(v.size(), expected.size());
        for (size_t k = 0; k < v.size(); ++k)
            ASSERT_EQ(v[k].id, expected[k].id) << round << " " << k;
        EXPECT_EQ(dirty, std::vector<uint8_t>(v.size(), 0));
    }
}
