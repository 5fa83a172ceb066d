// SPDX-License-Identifier: MIT
#include "driver.h"
#include "calc_texts.h"

#include "fit/genetic.h"
#include "model/errors.h"
#include "model/numfmt.h"
#include "model/texts.h"
#include "stats/stat2018.h"

#include <algorithm>
#include <chrono>

namespace obr {

QString calcMethodName(CalcMethod m)
{
    switch (m) {
    case CalcMethod::Spiral:
        return QStringLiteral("Спиральный спуск");
    case CalcMethod::Newton:
        return QStringLiteral("Метод Ньютона");
    case CalcMethod::Smirnov:
        return QStringLiteral("Критерий Смирнова");
    case CalcMethod::Mle:
        return QStringLiteral("Макс. правдоподобия");
    }
    return {};
}

namespace {

//! The Pearson objective of a fitted model at its published point.
double pearsonAt(const State &s, const Mod_Weib &M, Criterion c)
{
    Mod_Weib scratch;
    return Pirson(s, M.A, M.B, M.K_powtor, M.Sred, M.SKO, scratch, c);
}

void modelCurve(State &s, Mod_Weib &M, const LogSink &log, QChar dec)
{
    Hist_Made(s, M.A, M.B, M.K_powtor, s.Mas_Out_Like, s.Kol_Nakopl_Like, M.SKO_out, log, dec);
}

}   // namespace

std::vector<QString> undeterminedFigures(const mle::MleResult &r)
{
    std::vector<QString> out;
    for (const mle::Figure &f : r.figures) {
        // On a ridge of the likelihood only K·A and B are known: K, A and the scale that
        // follows from A alone are not.
        const bool ridge = f.key == u"K" || f.key == u"inv_A" || f.key == u"eta";
        if (!f.estimate || (r.ridge && ridge))
            out.push_back(f.key);
    }
    return out;
}

QString mleFigureName(const QString &key)
{
    static const std::pair<const char16_t *, const char16_t *> names[] = {
        {u"B", u"B"},          {u"inv_A", u"1/A"},    {u"eta", u"η"},
        {u"K", u"K"},          {u"KA", u"K·A"},       {u"t_0.5", u"t(0,5)"},
        {u"t_0.2", u"t(0,2)"}, {u"t_0.1", u"t(0,1)"}, {u"M_tGar", u"K·F(tгар)"},
        {u"Sred", u"Sred"},    {u"SKO", u"SKO"}};
    for (const auto &[k, name] : names)
        if (key == QStringView(k))
            return QString::fromUtf16(name);
    return key;
}

MleStep runMleStep(const mle::MleInput &in, const CancelFlag *cancel)
{
    MleStep step;
    step.fit = mle::fitMle(in, cancel);
    double first = 0, last = in.tGar;
    for (const mle::Failure &f : in.failures) {
        first = first > 0 ? std::min(first, f.time) : f.time;
        last = std::max(last, f.time);
    }
    step.fit.band = mle::cumulativeBand(in, step.fit, mle::bandTimes(first, last), cancel);
    step.causes = mle::fitCauses(in, 5, cancel);
    return step;
}

CalcFigures readCalcFigures(const State &s, const CalcRequest &rq)
{
    CalcFigures f;
    f.Sred = boxReal(rq.meSred, rq.dec, rq.meSredName);
    f.SKO = boxReal(rq.meSKO, rq.dec, rq.meSKOName);
    f.tGar = boxReal(rq.LabeledEdit2, rq.dec, rq.LabeledEdit2Name);
    // Figures under which no failure could be recorded, or that make no sense, are refused
    // with the loader's messages.
    checkWarrantyFigures(s.MasProbl, f.Sred, f.SKO, f.tGar, rq.dec);
    return f;
}

CalcReport runCalculation(State &s, const CalcRequest &rq, const LogSink &log,
                          CalcProgress &progress)
{
    CalcReport report;
    const QChar dec = rq.dec;
    // The boxes first: a text that is not a number changes nothing.
    report.figures = readCalcFigures(s, rq);
    const auto [Sred, SKO, tGar] = report.figures;
    s.Sred = Sred;
    s.SKO = SKO;
    s.tGar = tGar;
    // A genetic model of an earlier run keeps its flag and is shown again.
    s.MPirsN.Executed = false;
    s.MPirsS.Executed = false;
    s.MSmirn.Executed = false;
    s.MMaxPr.Executed = false;
    // ... but only beside the data it was fitted to: a genetic model of earlier data is
    // set aside (its flag cleared) rather than shown over the histogram of others.
    if (s.MGenet.Executed && s.MGenet.dataSet != s.dataSet) {
        s.MGenet.Executed = false;
        if (log)
            log(ctxt::genetSetAside);
    }

    s.Path = rq.path;
    if (s.Path.isEmpty()) {
        report.outcome = CalcOutcome::NoPath;
        return report;
    }
    if (!s.uk) {
        report.outcome = CalcOutcome::NotLoaded;
        return report;
    }
    // A successful warranty load also sets uk: failures may still be missing.
    if (s.MasProbl.empty()) {
        report.outcome = CalcOutcome::NoFailures;
        return report;
    }
    s.SKO_Opt = rq.SKO_Flag;
    s.Sred_Opt = rq.Sred_flag;

    hist(s);
    // A genetic model of an earlier run is shown again: its curves must follow the
    // histogram just built, which may have other intervals than the one it was fitted on.
    if (s.MGenet.Executed && s.MGenet.F_Weib.size() != s.Hist_Arr.size()) {
        Mod_Weib &g = s.MGenet;
        const double fittedDeviation = g.SKO_out;
        Pirson_ZFGen(s.Hist_Arr, s.Izd_Prived, s.Kol_izw, g, g.A, g.B, g.K_powtor, g.Sred, g.SKO);
        g.SKO_out = fittedDeviation;
    }

    const Criterion criterion = criterionFromIndex(rq.criterion);
    const int count = int(rq.spiral) + int(rq.newton) + int(rq.smirnov) + int(rq.mle);
    int index = 0;
    const CancelFlag *cancel = progress.flag();
    // One step-search fit: its coefficient read and checked, the fit, its model curve.
    auto stepFit = [&](CalcMethod m, FitKind kind, const QString &text, const QString &name,
                       Mod_Weib &model, const auto &fit) -> CalcFitRun & {
        progress.stage(m, index++, count);
        const double k = readStepCoefficient(text, dec, name);
        checkStepPasses(kind, k, name, dec);
        CalcFitRun &run = report.fits[size_t(m)];
        fit(k, run.stats);
        model.dataSet = s.dataSet;
        modelCurve(s, model, log, dec);
        run.ran = true;
        return run;
    };
    if (rq.spiral) {
        CalcFitRun &run = stepFit(CalcMethod::Spiral, FitKind::Spiral, rq.Edit1, rq.Edit1Name,
                                  s.MPirsS, [&](double k, FitStats &stats) {
                                      SpirSp_Execute(s, k, criterion, log, &stats, dec, cancel);
                                  });
        run.objective = pearsonAt(s, s.MPirsS, criterion);
    }
    if (rq.newton) {
        CalcFitRun &run = stepFit(CalcMethod::Newton, FitKind::Newton, rq.Edit6, rq.Edit6Name,
                                  s.MPirsN, [&](double k, FitStats &stats) {
                                      Podbor_Weib_Pirson(s, s.MPirsN.A, s.MPirsN.B, k, criterion,
                                                         log, &stats, dec, cancel);
                                  });
        run.objective = pearsonAt(s, s.MPirsN, criterion);
    }
    if (rq.smirnov) {
        CalcFitRun &run = stepFit(CalcMethod::Smirnov, FitKind::Smirnov, rq.Edit5, rq.Edit5Name,
                                  s.MSmirn, [&](double k, FitStats &stats) {
                                      Podbor_Weib_Smirnow(s, s.MSmirn.A, s.MSmirn.B, k, log, &stats,
                                                          dec, cancel, rq.threads);
                                  });
        run.objective = run.stats.objective;
    }
    // The maximum-likelihood fit starts from the warranty figures as the boxes give them,
    // so its result does not depend on which other fits ran (they may have adjusted them).
    if (rq.mle) {
        progress.stage(CalcMethod::Mle, index++, count);
        mle::MleInput in = mle::inputFromState(s);
        in.Sred = Sred;
        in.SKO = SKO;
        in.tGar = tGar;
        in.level = rq.mleLevel;
        in.dec = dec;
        in.law = rq.mleEmpirical ? mle::WarrantyLaw::Empirical : mle::WarrantyLaw::Normal;
        if (rq.mleFleet)
            in.fleet = *rq.mleFleet;
        const auto t0 = std::chrono::steady_clock::now();
        MleStep step = runMleStep(in, cancel);
        report.mle = std::move(step.fit);
        report.mleCauses = std::move(step.causes);
        report.mleInput = in;
        mle::publishMaxPr(s, *report.mle, in);
        s.MMaxPr.dataSet = s.dataSet;
        s.MMaxPr.undetermined = undeterminedFigures(*report.mle);
        s.MMaxPr.empiricalLaw = in.law == mle::WarrantyLaw::Empirical;
        CalcFitRun &run = report.fits[size_t(CalcMethod::Mle)];
        run.stats.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        run.stats.passes = report.mle->iterations;
        run.ran = true;
        run.objective = -report.mle->loglik;
        if (log) {
            log(mle::mtxt::done(run.stats.seconds));
            log(ctxt::mleLaw(s.MMaxPr.empiricalLaw, rq.mleLawFile));
            if (!s.MMaxPr.undetermined.empty()) {
                QStringList names;
                for (const QString &key : s.MMaxPr.undetermined)
                    names << mleFigureName(key);
                log(ctxt::mleUndetermined(names));
            }
        }
        // The model curve with the model's own warranty figures.
        const double keepSred = s.Sred, keepSKO = s.SKO;
        s.Sred = s.MMaxPr.Sred;
        s.SKO = s.MMaxPr.SKO;
        modelCurve(s, s.MMaxPr, log, dec);
        s.Sred = keepSred;
        s.SKO = keepSKO;
    }
    return report;
}

}   // namespace obr
