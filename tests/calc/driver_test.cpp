// SPDX-License-Identifier: MIT
// The calculation driver: the same steps, results and log as calling the fits one by one;
// its refusals; and a stop from another thread.
#include "calc/driver.h"
#include "calc/calc_texts.h"
#include "io/loaders.h"
#include "mle/simulate.h"
#include "results/out_graph2015.h"
#include "results/results_texts.h"
#include "fit/genetic.h"
#include "gen.h"
#include "model/errors.h"
#include "model/numfmt.h"
#include "stats/stat2018.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

using namespace obr;

namespace {

State loaded(int failures = 200, uint64_t seed = 3)
{
    State s = gen::makeState(failures, seed);
    s.uk = true;
    return s;
}

CalcRequest request(bool spiral, bool newton, bool smirnov)
{
    CalcRequest rq;
    rq.path = QStringLiteral("data.fdt");
    rq.meSred = QStringLiteral("1000");
    rq.meSKO = QStringLiteral("300");
    rq.LabeledEdit2 = QStringLiteral("1000");
    rq.spiral = spiral;
    rq.newton = newton;
    rq.smirnov = smirnov;
    rq.Edit1 = rq.Edit6 = rq.Edit5 = QStringLiteral("1.05");
    rq.criterion = 1;
    return rq;
}

struct Log {
    QStringList lines;
    LogSink sink()
    {
        return [this](const QString &l) { lines << l; };
    }
};

//! The log line of a fit carries its duration: compare what stands before it.
QStringList withoutDurations(QStringList lines)
{
    for (QString &l : lines) {
        const qsizetype at = l.indexOf(QStringLiteral(" выполнен за "));
        if (at >= 0)
            l.truncate(at);
    }
    return lines;
}

}   // namespace

TEST(Driver, RunsTheTickedFitsInOrderLikeTheirDirectCalls)
{
    State viaDriver = loaded(), direct = loaded();
    Log a, b;
    CalcProgress progress;
    const CalcReport r = runCalculation(viaDriver, request(true, true, true), a.sink(), progress);
    EXPECT_EQ(r.outcome, CalcOutcome::Done);
    for (CalcMethod m : {CalcMethod::Spiral, CalcMethod::Newton, CalcMethod::Smirnov})
        EXPECT_TRUE(r.fits[size_t(m)].ran);
    EXPECT_FALSE(r.fits[size_t(CalcMethod::Mle)].ran);
    EXPECT_FALSE(r.mle);

    // The same steps by hand: the boxes, the histogram, each fit and its model curve.
    direct.Sred = 1000;
    direct.SKO = 300;
    direct.tGar = 1000;
    hist(direct);
    const LogSink log = b.sink();
    SpirSp_Execute(direct, 1.05, Criterion::Spec1, log);
    Hist_Made(direct, direct.MPirsS.A, direct.MPirsS.B, direct.MPirsS.K_powtor, direct.Mas_Out_Like,
              direct.Kol_Nakopl_Like, direct.MPirsS.SKO_out, log, QLatin1Char('.'));
    Podbor_Weib_Pirson(direct, direct.MPirsN.A, direct.MPirsN.B, 1.05, Criterion::Spec1, log);
    Hist_Made(direct, direct.MPirsN.A, direct.MPirsN.B, direct.MPirsN.K_powtor, direct.Mas_Out_Like,
              direct.Kol_Nakopl_Like, direct.MPirsN.SKO_out, log, QLatin1Char('.'));
    Podbor_Weib_Smirnow(direct, direct.MSmirn.A, direct.MSmirn.B, 1.05, log);
    Hist_Made(direct, direct.MSmirn.A, direct.MSmirn.B, direct.MSmirn.K_powtor, direct.Mas_Out_Like,
              direct.Kol_Nakopl_Like, direct.MSmirn.SKO_out, log, QLatin1Char('.'));

    EXPECT_EQ(withoutDurations(a.lines), withoutDurations(b.lines));
    for (auto m : {&State::MPirsS, &State::MPirsN, &State::MSmirn}) {
        EXPECT_TRUE((viaDriver.*m).Executed);
        EXPECT_EQ((viaDriver.*m).A, (direct.*m).A);
        EXPECT_EQ((viaDriver.*m).B, (direct.*m).B);
        EXPECT_EQ((viaDriver.*m).K_powtor, (direct.*m).K_powtor);
        EXPECT_EQ((viaDriver.*m).SKO_out, (direct.*m).SKO_out);
    }
    EXPECT_EQ(viaDriver.Sred, direct.Sred);
    EXPECT_EQ(r.fits[size_t(CalcMethod::Smirnov)].objective,
              r.fits[size_t(CalcMethod::Smirnov)].stats.objective);
}

TEST(Driver, RefusalsAndEarlyEnds)
{
    CalcProgress progress;
    Log log;
    {
        // A box that is not a number: nothing changes, not even the model flags.
        State s = loaded();
        s.MPirsS.Executed = true;
        const double sred = s.Sred;
        CalcRequest rq = request(true, false, false);
        rq.meSKO = QStringLiteral("abc");
        rq.meSKOName = QStringLiteral("СКО");
        EXPECT_THROW(runCalculation(s, rq, log.sink(), progress), UserError);
        EXPECT_TRUE(s.MPirsS.Executed);
        EXPECT_EQ(s.Sred, sred);
    }
    struct Case {
        const char *what;
        QString path;
        bool uk;
        bool failures;
        CalcOutcome outcome;
    } cases[] = {
        {"empty path", QString(), true, true, CalcOutcome::NoPath},
        {"nothing opened", QStringLiteral("x.fdt"), false, true, CalcOutcome::NotLoaded},
        {"warranty file only", QStringLiteral("x.fdt"), true, false, CalcOutcome::NoFailures},
    };
    for (const Case &c : cases) {
        State s = loaded();
        s.uk = c.uk;
        if (!c.failures)
            s.MasProbl.clear();
        s.MPirsS.Executed = s.MGenet.Executed = true;
        CalcRequest rq = request(true, false, false);
        rq.path = c.path;
        const CalcReport r = runCalculation(s, rq, log.sink(), progress);
        EXPECT_EQ(r.outcome, c.outcome) << c.what;
        // The flags of the three models are cleared before the check; the genetic one stays.
        EXPECT_FALSE(s.MPirsS.Executed) << c.what;
        EXPECT_TRUE(s.MGenet.Executed) << c.what;
        EXPECT_FALSE(r.fits[0].ran) << c.what;
    }
    // A bad step coefficient stops at its fit; the fits before it keep their models.
    State s = loaded();
    CalcRequest rq = request(true, true, false);
    rq.Edit6 = QStringLiteral("0.5");
    EXPECT_THROW(runCalculation(s, rq, log.sink(), progress), UserError);
    EXPECT_TRUE(s.MPirsS.Executed);
    EXPECT_FALSE(s.MPirsN.Executed);
}

TEST(Driver, StopsFromAnotherThreadBetweenPasses)
{
    State s = loaded(300, 9);
    CalcRequest rq = request(false, true, false);
    rq.Edit6 = QStringLiteral("1.000001");   // millions of passes
    struct Watch : CalcProgress {
        std::atomic<int> stages{0};
        void stage(CalcMethod m, int index, int count) override
        {
            EXPECT_EQ(m, CalcMethod::Newton);
            EXPECT_EQ(index, 0);
            EXPECT_EQ(count, 1);
            ++stages;
        }
    } progress;
    std::thread stopper([&] {
        while (progress.stages.load() == 0)
            std::this_thread::yield();
        progress.cancel();
    });
    Log log;
    EXPECT_THROW(runCalculation(s, rq, log.sink(), progress), Cancelled);
    stopper.join();
    EXPECT_FALSE(s.MPirsN.Executed);
}

TEST(Driver, TwentyStartsAndStopsOnWorkerThreads)
{
    // As the window does it: each run works on its own copy, another thread stops it at
    // some point of its work, and the original is never touched.
    const State original = loaded(3000, 4);
    CalcRequest rq = request(true, false, true);
    rq.Edit1 = rq.Edit5 = QStringLiteral("1.00001");
    rq.threads = 2;
    for (int i = 0; i < 20; ++i) {
        auto copy = std::make_unique<State>(original);
        CalcProgress progress;
        std::atomic<bool> cancelled{false};
        std::thread worker([&] {
            try {
                runCalculation(*copy, rq, nullLog(), progress);
            } catch (const Cancelled &) {
                cancelled = true;
            }
        });
        if (i % 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(i));
        progress.cancel();
        worker.join();
        EXPECT_TRUE(cancelled.load()) << "run " << i;
    }
    EXPECT_FALSE(original.MPirsS.Executed);
}

TEST(Driver, SharesTheFailureRecordsWithTheWorkersCopies)
{
    // As the window does it: two runs at once, each over its own copy of the state, read
    // the records the window's state holds while the window reads them too. The copies
    // hold the very same records, and no one writes them.
    const State original = loaded(3000, 6);
    const std::vector<Problems> before(original.MasProbl.begin(), original.MasProbl.end());
    CalcRequest rq = request(true, false, true);
    rq.mle = true;
    rq.threads = 2;
    std::unique_ptr<State> copies[2] = {std::make_unique<State>(original),
                                        std::make_unique<State>(original)};
    std::atomic<int> running{2};
    std::vector<std::thread> workers;
    for (auto &copy : copies)
        workers.emplace_back([&] {
            CalcProgress progress;
            runCalculation(*copy, rq, nullLog(), progress);
            --running;
        });
    double sum = 0;
    do {   // the window's grid reading its rows meanwhile
        for (size_t i = 0; i < original.MasProbl.size(); ++i)
            sum += original.MasProbl[i].time + double(original.MasProbl.komment(i).size());
    } while (running.load() > 0);
    for (std::thread &w : workers)
        w.join();
    EXPECT_GT(sum, 0);
    for (const auto &copy : copies) {
        EXPECT_TRUE(copy->MSmirn.Executed);
        EXPECT_TRUE(copy->MMaxPr.Executed);
        EXPECT_EQ(copy->MasProbl.data(), original.MasProbl.data());
    }
    ASSERT_EQ(original.MasProbl.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i)
        ASSERT_TRUE(original.MasProbl[i].time == before[i].time &&
                    original.MasProbl[i].chey == before[i].chey)
            << i;
}

TEST(Driver, MaximumLikelihoodStartsFromTheBoxesWhateverRanBefore)
{
    // A spiral descent that fits the mean first moves s.Sred; the ML fit must not see that.
    State alone = loaded(400, 8), after = loaded(400, 8);
    CalcProgress progress;
    Log a, b;
    CalcRequest rq = request(false, false, false);
    rq.mle = true;
    rq.Sred_flag = true;   // the ML fit then estimates the mean too, from the box's value
    const CalcReport ra = runCalculation(alone, rq, a.sink(), progress);
    rq.spiral = true;
    const CalcReport rb = runCalculation(after, rq, b.sink(), progress);
    ASSERT_TRUE(ra.mle && rb.mle);
    EXPECT_NE(after.Sred, 1000.0);   // the spiral fit did adjust the mean
    EXPECT_EQ(ra.mle->loglik, rb.mle->loglik);
    EXPECT_EQ(alone.MMaxPr.A, after.MMaxPr.A);
    EXPECT_EQ(alone.MMaxPr.B, after.MMaxPr.B);
    EXPECT_TRUE(alone.MMaxPr.Executed && after.MMaxPr.Executed);
    EXPECT_TRUE(ra.fits[size_t(CalcMethod::Mle)].ran);
    // Its log: the fit's own line, then the model curve's line, as for every fit.
    ASSERT_GE(a.lines.size(), 2);
    EXPECT_EQ(withoutDurations({a.lines[0]}), withoutDurations({mle::mtxt::done(0)}));
    // A calculation without it clears the model as it does the other three.
    rq.mle = false;
    runCalculation(after, rq, b.sink(), progress);
    EXPECT_FALSE(after.MMaxPr.Executed);
}

namespace {

//! A large fleet whose failures all lie early on the Weibull curve: the likelihood has a
//! ridge, only K·A and B are determined.
State ridgeState()
{
    mle::SimParams p;
    p.B = 1.5;
    p.A = 0.0151 / std::pow(1500.0, 1.5);
    p.K = 2;
    p.Nprived = 20000;
    p.seed = 3;
    p.resolution = 0.1;
    const std::vector<double> t = mle::simulateFailures(p);
    QStringList lines = {QStringLiteral("Гребень"), QStringLiteral("1000.0"),
                         QStringLiteral("250.0"),   QStringLiteral("20000"),
                         QString::number(t.size()), QStringLiteral("1"),
                         QStringLiteral("Насос")};
    for (size_t i = 0; i < t.size(); ++i)
        lines << QString::number(t[i], 'f', 1) + QStringLiteral("\tНасос");
    State s;
    applyFailureFile(s, readFailureFile(lines.join(QStringLiteral("\r\n")).toUtf8()));
    s.uk = true;
    return s;
}

}   // namespace

TEST(Driver, UndeterminedFiguresOfTheMaximumLikelihoodFitAreMarkedWhereverShown)
{
    State s = ridgeState();
    CalcRequest rq = request(false, false, false);
    rq.meSKO = QStringLiteral("250");
    rq.mle = true;
    Log log;
    CalcProgress progress;
    const CalcReport r = runCalculation(s, rq, log.sink(), progress);
    ASSERT_TRUE(r.mle.has_value());
    ASSERT_TRUE(r.mle->ridge);
    const std::vector<QString> &u = s.MMaxPr.undetermined;
    for (const char16_t *key : {u"K", u"inv_A", u"eta"})
        EXPECT_NE(std::find(u.begin(), u.end(), QStringView(key)), u.end())
            << QString::fromUtf16(key).toStdString();
    EXPECT_EQ(std::find(u.begin(), u.end(), QStringView(u"B")), u.end());
    // The log says it, with the mark.
    EXPECT_EQ(log.lines.filter(rtxt::undeterminedMark).size(), 1)
        << log.lines.join(u'\n').toStdString();
    EXPECT_EQ(log.lines.filter(QStringLiteral("нормальный закон гарантии")).size(), 1);

    // The table: 1/A and K marked, B not; the legend of the curve marked.
    const ResultsView v =
        computeResults(s, NumLocale::period(), [](const QString &t) { return int(t.size()) * 7; });
    ASSERT_EQ(v.table.cell(1, 0), rtxt::colMaxPr);
    const QString row1 = v.table.cell(1, 1).trimmed();
    EXPECT_TRUE(row1.contains(rtxt::undeterminedMark + QStringLiteral(", / ")))
        << row1.toStdString();
    EXPECT_FALSE(row1.endsWith(rtxt::undeterminedMark)) << row1.toStdString();
    EXPECT_TRUE(v.table.cell(1, 2).trimmed().endsWith(rtxt::undeterminedMark));
    const SeriesData *curve = v.chart1.find(QStringLiteral("SeriesMaxPr"));
    ASSERT_NE(curve, nullptr);
    EXPECT_EQ(curve->title, rtxt::sMaxPr + rtxt::undeterminedMark);
}

TEST(Driver, AGeneticModelOfEarlierDataIsSetAsideNotShownAgain)
{
    // The genetic model keeps its flag across a load, but only the data it was fitted to
    // show it again: after another load the next calculation sets it aside and says so.
    State s = loaded();
    s.dataSet = 1;
    s.MGenet.Executed = true;
    s.MGenet.dataSet = 1;
    s.MGenet.A = 1e-4;
    s.MGenet.B = 1.2;
    s.MGenet.K_powtor = 1;
    s.MGenet.Sred = 1000;
    s.MGenet.SKO = 300;
    {
        State same = s;
        Log log;
        CalcProgress progress;
        runCalculation(same, request(false, false, false), log.sink(), progress);
        EXPECT_TRUE(same.MGenet.Executed);
        EXPECT_FALSE(log.lines.contains(ctxt::genetSetAside));
    }
    s.dataSet = 2;   // another file loaded
    Log log;
    CalcProgress progress;
    runCalculation(s, request(true, false, false), log.sink(), progress);
    EXPECT_FALSE(s.MGenet.Executed);
    EXPECT_TRUE(log.lines.contains(ctxt::genetSetAside));
    EXPECT_TRUE(s.MPirsS.Executed);
    EXPECT_EQ(s.MPirsS.dataSet, 2u);
    // Models of earlier data are not shown, the others are.
    s.MSmirn.Executed = true;
    s.MSmirn.dataSet = 1;
    const ResultsView v =
        computeResults(s, NumLocale::period(), [](const QString &t) { return int(t.size()) * 7; });
    EXPECT_EQ(v.setAside, std::vector<ModelId>{ModelId::MSmirn});
    EXPECT_EQ(v.table.dataColumn, 2);
    EXPECT_EQ(v.table.cell(1, 0), rtxt::colPirsS);
    EXPECT_TRUE(v.chart1.find(QStringLiteral("Series4"))->points.empty());
}
