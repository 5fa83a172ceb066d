// SPDX-License-Identifier: MIT
#include "analysis.h"
#include "mleview/plots.h"

#include "calc/driver.h"
#include "fit/fits.h"
#include "fit/genetic.h"
#include "model/errors.h"
#include "model/stopwatch.h"
#include "model/texts.h"
#include "stats/stat2018.h"

#include <QFile>
#include <chrono>
#include <cmath>

namespace obr::cli {

QString modelName(ModelId id)
{
    switch (id) {
    case ModelId::MPirsN:
        return QStringLiteral("MPirsN");
    case ModelId::MPirsS:
        return QStringLiteral("MPirsS");
    case ModelId::MSmirn:
        return QStringLiteral("MSmirn");
    case ModelId::MGenet:
        return QStringLiteral("MGenet");
    case ModelId::MMaxPr:
        return QStringLiteral("MMaxPr");
    }
    return {};
}

namespace {

// The design texts of the genetic tab that no loader rewrites.
const QString kPopulationDesign = QStringLiteral("3000");
const QString kGenerationsDesign = QStringLiteral("1500");

//! The bytes of an input file; the errors name the file.
QByteArray readBytes(const QString &path)
{
    std::optional<QByteArray> bytes = readInputFile(path, kMaxInputBytes);
    if (!bytes)
        throw UserError(path + QStringLiteral(": ") + txt::fileNotFound);
    return std::move(*bytes);
}

//! Runs a loader; its error names the file it came from.
template <class F>
auto withFile(const QString &path, F &&load)
{
    const QByteArray bytes = readBytes(path);
    try {
        return load(bytes);
    } catch (const UserError &e) {
        throw UserError(path + QStringLiteral(": ") + e.message());
    }
}

//! The texts of the main window's boxes as the loaders and the user leave them.
struct Boxes {
    QString meSred, meSKO, LabeledEdit2;
    QString Edit1, Edit6, Edit5;
    QString Edit2, Edit3, NPokoleny;
};

//! The genetic run's reports: log lines into the log, progress to the caller.
class CliGenHost : public GenHost {
public:
    CliGenHost(const LogSink &log, const GenProgress &progress, int32_t generations)
        : m_log(log), m_progress(progress), m_generations(generations)
    {
    }
    void logLine(const QString &line) override { m_log(line); }
    void trackBar1(int) override {}
    void trackBar2(int) override {}
    void generationsText(const QString &) override {}
    void progress(int value) override { m_percent = value; }
    void generationDone(int32_t i) override
    {
        if (m_progress)
            m_progress(i, m_generations, m_percent);
    }

private:
    LogSink m_log;
    GenProgress m_progress;
    int32_t m_generations = 0;
    int m_percent = 0;
};

ModelRun fromStats(const FitStats &st)
{
    ModelRun r;
    r.ran = true;
    r.passes = st.passes;
    r.evaluations = st.evaluations;
    r.seconds = st.seconds;
    r.atBound = st.atBound;
    return r;
}

}   // namespace

void checkOptionNumbers(const Options &o)
{
    const QChar dec = NumLocale::from(o.locale).dec;
    auto real = [&](const std::optional<QString> &v, const char *opt) {
        if (v && !parseBoxReal(numberText(*v, dec), dec))
            throw UsageError(txt::notANumber(*v, QString::fromLatin1(opt)));
    };
    auto integer = [&](const std::optional<QString> &v, const char *opt) {
        if (v && !parseBoxInt(*v))
            throw UsageError(txt::notAnInteger(*v, QString::fromLatin1(opt)));
    };
    auto step = [&](const std::optional<QString> &v, const char *opt, FitKind kind) {
        if (!v)
            return;
        try {
            const double k =
                readStepCoefficient(numberText(*v, dec), dec, QString::fromLatin1(opt));
            checkStepPasses(kind, k, QString::fromLatin1(opt), dec);
        } catch (const UserError &e) {
            throw UsageError(e.message());
        }
    };
    real(o.meSred, "--sred");
    real(o.meSKO, "--sko");
    real(o.LabeledEdit2, "--tgar");
    step(o.Edit1, "--k-spiral", FitKind::Spiral);
    step(o.Edit6, "--k-newton", FitKind::Newton);
    step(o.Edit5, "--k-smirnov", FitKind::Smirnov);
    real(o.Edit2, "--ga-precision");
    integer(o.Edit3, "--ga-population");
    integer(o.NPokoleny, "--ga-generations");
}

Analysis runAnalysis(const Options &o, const TextWidth &width, const GenProgress &progress)
{
    Analysis a;
    State &s = a.s;
    a.nl = NumLocale::from(o.locale);
    const QChar dec = a.nl.dec;
    a.log << txt::logStart;
    const LogSink log = [&a](const QString &line) { a.log << line; };

    // "Путь": the failure data file and the box texts the load writes.
    FailureFile f =
        withFile(o.file, [dec](const QByteArray &b) { return readFailureFile(b, dec); });
    a.log << f.warnings;
    a.header = {f.Sred, f.SKO, f.Kol_Izd_All, f.KolOtk, f.NPrich};
    const LoadBoxTexts loaded = loadBoxTexts(f, dec);
    a.markers = f.markers;
    applyFailureFile(s, std::move(f));
    s.Path = o.file;
    Boxes box{loaded.meSred, loaded.meSKO,      loaded.LabeledEdit2,
              loaded.Edit1,  loaded.Edit6,      loaded.Edit5,
              loaded.Edit2,  kPopulationDesign, generationsFor(s.KolOtk, kGenerationsDesign)};

    // "File": the warranty-times file replaces the mean, the deviation and the comment.
    if (!o.warranty.isEmpty()) {
        WarrantyFile w =
            withFile(o.warranty, [](const QByteArray &b) { return readWarrantyFile(b); });
        const WarrantyTexts t = warrantyTexts(w, o.warranty, dec);
        a.log << w.warnings;
        applyWarrantyFile(s, std::move(w));
        box.meSred = t.meSred;
        box.meSKO = t.meSKO;
    }

    // What the user types over the loaders' texts.
    auto typed = [dec](QString &boxText, const std::optional<QString> &v) {
        if (v)
            boxText = numberText(*v, dec);
    };
    typed(box.meSred, o.meSred);
    typed(box.meSKO, o.meSKO);
    typed(box.LabeledEdit2, o.LabeledEdit2);
    typed(box.Edit1, o.Edit1);
    typed(box.Edit6, o.Edit6);
    typed(box.Edit5, o.Edit5);
    typed(box.Edit2, o.Edit2);
    if (o.Edit3)
        box.Edit3 = o.Edit3->trimmed();
    if (o.NPokoleny)
        box.NPokoleny = o.NPokoleny->trimmed();

    // "Расчет"
    CalcRequest rq;
    rq.path = o.file;
    rq.meSred = box.meSred;
    rq.meSKO = box.meSKO;
    rq.LabeledEdit2 = box.LabeledEdit2;
    rq.meSredName = QStringLiteral("--sred");
    rq.meSKOName = QStringLiteral("--sko");
    rq.LabeledEdit2Name = QStringLiteral("--tgar");
    rq.spiral = o.spiral;
    rq.newton = o.newton;
    rq.smirnov = o.smirnov;
    rq.Edit1 = box.Edit1;
    rq.Edit6 = box.Edit6;
    rq.Edit5 = box.Edit5;
    rq.Edit1Name = QStringLiteral("--k-spiral");
    rq.Edit6Name = QStringLiteral("--k-newton");
    rq.Edit5Name = QStringLiteral("--k-smirnov");
    rq.Sred_flag = o.Sred_flag;
    rq.SKO_Flag = o.SKO_Flag;
    rq.criterion = o.RadioGroup1;
    rq.dec = dec;
    rq.threads = o.threads.value_or(0);
    rq.mle = o.mle;
    rq.mleLevel = o.mleLevel;
    rq.mleEmpirical = o.mleEmpirical;
    if (o.mleFleet)
        rq.mleFleet = double(*o.mleFleet);
    CalcProgress calcProgress;
    const CalcReport report = runCalculation(s, rq, log, calcProgress);
    if (report.outcome == CalcOutcome::NoFailures)
        throw UserError(txt::noFailures);
    a.usedSred = report.figures.Sred;
    a.usedSKO = report.figures.SKO;
    a.usedTGar = report.figures.tGar;
    auto &runs = a.runs;
    auto fromReport = [&](CalcMethod m, ModelId id) {
        const CalcFitRun &f = report.fits[size_t(m)];
        if (!f.ran)
            return;
        ModelRun &r = runs[size_t(id)];
        r = fromStats(f.stats);
        if (std::isfinite(f.objective))
            r.objective = f.objective;
    };
    fromReport(CalcMethod::Spiral, ModelId::MPirsS);
    fromReport(CalcMethod::Newton, ModelId::MPirsN);
    fromReport(CalcMethod::Smirnov, ModelId::MSmirn);
    fromReport(CalcMethod::Mle, ModelId::MMaxPr);
    if (report.mle) {
        a.mle = report.mle;
        a.mleCauses = report.mleCauses;
        ModelRun &r = runs[size_t(ModelId::MMaxPr)];
        r.passes = report.mle->iterations;
        r.evaluations = 0;
        r.objective = -report.mle->loglik;
    }
    // The results window after the calculation; a later refresh keeps changed titles.
    ResultsTitles titles;
    a.results = computeResults(s, a.nl, width, titles);
    a.mleLr = o.mleLr;
    if (a.mle) {
        a.mleProbPlot = mleview::probabilityPlot(s, *a.mle, o.mleLr, a.nl.dec);
        a.mleCausesChart = mleview::causesChart(s, a.mleCauses, a.nl.dec);
    }

    // The genetic tab's start button: Sred_Opt and SKO_Opt as the calculation set them,
    // Sred and SKO as the fits left them.
    if (o.genetic) {
        const GenSettings st = validateGenStart(s, box.Edit2, box.Edit3, box.NPokoleny, dec);
        const int threads = o.threads.value_or(0);
        GenInput in = prepareGenRun(s, st, dec, threads);
        GenControl control;
        CliGenHost host(log, progress, st.generations);
        const SeedSource seeds = o.gaSeed ? fixedSeedSource(*o.gaSeed) : clockSeedSource();
        Stopwatch clock;
        GenResult r;
        {
            GenEngine engine(std::move(in), control, host, seeds);
            r = engine.run();
        }
        const double seconds = clock.seconds();
        if (r.failed)
            throw UserError(txt::exceptional);
        if (!r.ran)
            throw UserError(gentxt::noFeasible);
        if (!publishGenResult(s, r, log, dec))
            throw UserError(gentxt::dataChanged);
        ModelRun &g = runs[size_t(ModelId::MGenet)];
        g.ran = true;
        g.passes = r.generations;
        g.evaluations = r.evaluations;
        g.seconds = seconds;
        g.objective = r.dMinimumAll;
        a.results = computeResults(s, a.nl, width, titles);
    }

    // What the results table showed; its totals and statistics are in a.results.
    for (ModelId id : kModelOrder) {
        const Mod_Weib &M = modelRecord(s, id);
        a.models[size_t(id)] = M;
        if (!M.Executed)
            runs[size_t(id)].ran = false;
    }
    a.Pot08 = s.Pot08;
    a.histogram = s.Hist_Arr;
    for (const Problems &p : s.MasProbl)
        if (p.chey == 0)
            ++a.unknownCauseCount;

    // "Expand" on the results window.
    ExpandMemory memory;
    a.expand = computeExpand(s, a.nl, memory);

    // The nonparametric tab: the boxes are read again, the histogram rebuilt.
    if (o.nonparam) {
        const double sred = boxReal(box.meSred, dec, QStringLiteral("--sred"));
        const double sko = boxReal(box.meSKO, dec, QStringLiteral("--sko"));
        checkWarrantyFigures(s.MasProbl, sred, sko, std::nullopt, dec);
        s.Sred = sred;
        s.SKO = sko;
        hist(s);
        a.nonparam = Histogram_Exp(s, a.nl);
    }
    return a;
}

}   // namespace obr::cli
