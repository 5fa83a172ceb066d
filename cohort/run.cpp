// SPDX-License-Identifier: MIT
// runCohorts: the stages in order, and the JSON of the result.
#include "cohort_texts.h"
#include "engine.h"

#include "model/errors.h"

#include <QJsonArray>

#include <cmath>

namespace obr::cohort {

using namespace detail;

const Figure *Fit::figure(const QString &key) const
{
    for (const Figure &f : figures)
        if (f.key == key)
            return &f;
    return nullptr;
}

int maxHorizon(Period p)
{
    switch (p) {
    case Period::Month:
        return 120;
    case Period::Quarter:
        return 40;
    case Period::Week:
        return 522;
    }
    return 120;
}

void checkSettings(const NevadaTable &t, const Settings &s)
{
    if (!(s.level > 0 && s.level < 1))
        throw UserError(txt::badLevel);
    if (t.rowCount() < 1)
        throw UserError(txt::noRows);
    if (s.dataEnd && (*s.dataEnd < 0 || *s.dataEnd > t.dataEnd))
        throw UserError(txt::badDataEnd);
    const int D = s.dataEnd.value_or(t.dataEnd);
    if (s.backtest && (*s.backtest < t.start.front() || *s.backtest >= D))
        throw UserError(txt::badBacktest);
    if ((s.warrantyPeriods && *s.warrantyPeriods < 1) ||
        (s.warrantyHours && !(*s.warrantyHours > 0 && std::isfinite(*s.warrantyHours))))
        throw UserError(txt::badWarranty);
    const Usage &u = s.usage;
    bool usageOk = true;
    switch (u.kind) {
    case UsageKind::Fixed:
        usageOk = u.rate > 0 && std::isfinite(u.rate);
        break;
    case UsageKind::Lognormal:
        usageOk = u.median > 0 && std::isfinite(u.median) && u.logSd > 0 &&
                  std::isfinite(u.logSd) && u.logSd < 5;
        break;
    case UsageKind::Sample:
        usageOk = !u.sample.empty();
        for (double v : u.sample)
            usageOk = usageOk && v > 0 && std::isfinite(v);
        break;
    }
    if (!usageOk)
        throw UserError(txt::badUsage);
    if (s.horizon && (*s.horizon < 1 || *s.horizon > maxHorizon(s.period)))
        throw UserError(txt::badHorizon.arg(maxHorizon(s.period)));
    for (double v : s.futureUnits)
        if (!(v >= 0 && std::isfinite(v)))
            throw UserError(txt::badFuture);
    if (s.cost && !(s.cost->mean > 0 && std::isfinite(s.cost->mean) && s.cost->sd >= 0 &&
                    std::isfinite(s.cost->sd)))
        throw UserError(txt::badCost);
    if (s.draws < 100 || s.draws > 1000000)
        throw UserError(txt::badDraws);
}

CohortResult runCohorts(const CohortRequest &request, const std::atomic<bool> *cancel,
                        const Progress &progress)
{
    const NevadaTable &t = request.table;
    const Settings &s = request.settings;
    checkSettings(t, s);
    auto report = [&](double share) {
        if (progress)
            progress(std::clamp(int(std::lround(share * 100)), 0, 100));
    };
    CohortResult out;
    out.settings = s;
    const int D = s.dataEnd.value_or(t.dataEnd);
    out.settings.dataEnd = D;
    const bool causes = s.perCause && t.causeCount() > 1;
    const double fitShare = s.backtest ? 0.45 : 0.6;
    const double causeShare = causes ? 0.25 : 0.0;
    report(0);

    const Reduced P = reduce(t, -1, D, s);
    out.fit =
        fitReduced(P, t, -1, s, cancel, [&](double x) { report(x * fitShare * (1 - causeShare)); });
    if (!out.fit.ridgeMessage.isEmpty())
        out.notes.push_back(out.fit.ridgeMessage);
    if (out.fit.covariance.empty())
        out.notes.push_back(txt::notPositiveDefinite);
    if (s.model == ModelKind::First && s.usage.kind != UsageKind::Fixed && s.lrBounds &&
        (s.warrantyPeriods || s.warrantyHours))
        out.notes.push_back(txt::lawPerProduct);

    out.horizon = s.horizon.value_or(defaultHorizon(t, D, s));
    out.settings.horizon = out.horizon;
    const std::vector<double> fut = futureUnits(t, D, out.horizon, s);
    out.forecast = forecastFit(out.fit, P, t, -1, out.horizon, fut, s, false, cancel);
    double done = fitShare + 0.15;
    report(done * (1 - causeShare));

    if (s.backtest) {
        Backtest b;
        b.dataEnd = *s.backtest;
        const Reduced Pb = reduce(t, -1, b.dataEnd, s);
        b.fit = fitReduced(Pb, t, -1, s, cancel,
                           [&](double x) { report((done + x * 0.3) * (1 - causeShare)); });
        // What came after the earlier end: the rows sold since then are known sales.
        b.forecast = forecastFit(b.fit, Pb, t, -1, D - b.dataEnd, {}, s, true, cancel);
        for (const ForecastRow &r : b.forecast.rows)
            if (r.observed && *r.observed >= r.predictive.low && *r.observed <= r.predictive.high)
                ++b.covered;
        out.backtest = std::move(b);
    }
    report(1 - causeShare);

    if (causes) {
        Settings cs = s;
        for (int c = 0; c < t.causeCount(); ++c) {
            checkCancel(cancel);
            CauseResult cr;
            cr.cause = c < int(t.causes.size()) ? t.causes[size_t(c)] : QString::number(c + 1);
            try {
                const Reduced Pc = reduce(t, c, D, cs);
                cr.fit = fitReduced(Pc, t, c, cs, cancel);
                cr.forecast = forecastFit(*cr.fit, Pc, t, c, out.horizon, fut, cs, false, cancel);
            } catch (const UserError &e) {
                cr.fit.reset();
                cr.forecast.reset();
                cr.error = e.message();
            }
            out.causes.push_back(std::move(cr));
            report(1 - causeShare + causeShare * double(c + 1) / t.causeCount());
        }
    }
    for (int k = 0; k <= D + out.horizon; ++k)
        out.periodLabels.push_back(periodLabel(t, k, s.period));
    report(1);
    return out;
}

// ---------------------------------------------------------------------------------------
// JSON

namespace {

QJsonValue num(const std::optional<double> &v)
{
    return v && std::isfinite(*v) ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}
QJsonValue num(double v) { return num(std::optional<double>(v)); }
QJsonValue pair(const Interval &i) { return QJsonArray{num(i.low), num(i.high)}; }
QJsonValue pair(const std::optional<Interval> &i) { return i ? pair(*i) : QJsonValue(); }
QJsonValue pair(const Bound &b) { return QJsonArray{num(b.low), num(b.high)}; }

QJsonArray lines(const std::vector<MonitorLine> &v)
{
    QJsonArray a;
    for (const MonitorLine &l : v)
        a.append(QJsonObject{
            {QStringLiteral("index"), l.index},
            {QStringLiteral("label"), l.label},
            {QStringLiteral("observed"), num(l.observed)},
            {QStringLiteral("expected"), num(l.expected)},
            {QStringLiteral("X2"), num(l.X2)},
            {QStringLiteral("df"), l.df},
            {QStringLiteral("p"), num(l.p)},
            {QStringLiteral("flag"),
             l.flag == Flag::None ? QJsonValue() : QJsonValue(flagKey(l.flag))},
        });
    return a;
}

QJsonObject fitJson(const Fit &f, const NevadaTable &t, bool withCells)
{
    QJsonObject est, fisher, lr;
    for (const Figure &x : f.figures) {
        est.insert(x.key, num(x.estimate));
        fisher.insert(x.key, pair(x.fisher));
        lr.insert(x.key, pair(x.lr));
    }
    QJsonObject o{
        {QStringLiteral("model"), modelKey(f.model)},
        {QStringLiteral("estimates"), est},
        {QStringLiteral("fisher"), fisher},
        {QStringLiteral("lr"), lr},
        {QStringLiteral("A"), num(f.A)},
        {QStringLiteral("loglik"), num(f.loglik)},
        {QStringLiteral("parameters"), f.parameters},
        {QStringLiteral("gradient_norm"), num(f.gradientNorm)},
        {QStringLiteral("claims"), num(f.claims)},
        {QStringLiteral("units"), num(f.units)},
        {QStringLiteral("ridge"), f.ridge},
        {QStringLiteral("limit"), f.limit},
        {QStringLiteral("ridge_message"), f.ridgeMessage},
        {QStringLiteral("gof"),
         QJsonObject{
             {QStringLiteral("deviance"), num(f.gof.deviance)},
             {QStringLiteral("deviance_p"), num(f.gof.devianceP)},
             {QStringLiteral("chi2"), num(f.gof.chi2)},
             {QStringLiteral("chi2_p"), num(f.gof.chi2P)},
             {QStringLiteral("cells"), f.gof.cells},
             {QStringLiteral("df"), f.gof.df},
         }},
    };
    if (withCells) {
        QJsonArray cells;
        for (const Cell &c : f.cells)
            cells.append(QJsonObject{
                {QStringLiteral("row"), c.row},
                {QStringLiteral("label"), t.rows[size_t(c.row)]},
                {QStringLiteral("age"), c.age},
                {QStringLiteral("period"), c.period},
                {QStringLiteral("observed"), num(c.observed)},
                {QStringLiteral("expected"), num(c.expected)},
                {QStringLiteral("residual"), num(c.residual)},
            });
        o.insert(QStringLiteral("cells"), cells);
        o.insert(QStringLiteral("monitor"),
                 QJsonObject{{QStringLiteral("rows"), lines(f.monitorRows)},
                             {QStringLiteral("columns"), lines(f.monitorColumns)}});
    }
    return o;
}

QJsonArray forecastJson(const Forecast &fc)
{
    QJsonArray a;
    for (const ForecastRow &r : fc.rows) {
        QJsonObject o{
            {QStringLiteral("period"), r.period},
            {QStringLiteral("label"), r.label},
            {QStringLiteral("from_service"), num(r.fromService)},
            {QStringLiteral("from_sales"), num(r.fromSales)},
            {QStringLiteral("expected"), num(r.expected)},
            {QStringLiteral("plugin"), pair(r.plugin)},
            {QStringLiteral("predictive"), pair(r.predictive)},
            {QStringLiteral("cost"), num(r.cost)},
            {QStringLiteral("cost_interval"), pair(r.costInterval)},
            {QStringLiteral("cum_expected"), num(r.cumExpected)},
            {QStringLiteral("cum_predictive"), pair(r.cumPredictive)},
            {QStringLiteral("cum_cost"), num(r.cumCost)},
            {QStringLiteral("cum_cost_interval"), pair(r.cumCostInterval)},
        };
        if (r.observed)
            o.insert(QStringLiteral("observed"), num(r.observed));
        a.append(o);
    }
    return a;
}

QJsonObject totalJson(const Total &t)
{
    QJsonObject o{
        {QStringLiteral("expected"), num(t.expected)},
        {QStringLiteral("plugin"), pair(t.plugin)},
        {QStringLiteral("predictive"), pair(t.predictive)},
        {QStringLiteral("cost"), num(t.cost)},
        {QStringLiteral("cost_interval"), pair(t.costInterval)},
    };
    if (t.observed)
        o.insert(QStringLiteral("observed"), num(t.observed));
    return o;
}

QJsonObject settingsJson(const CohortResult &r, const NevadaTable &t)
{
    const Settings &s = r.settings;
    QJsonObject usage{{QStringLiteral("kind"),
                       s.usage.kind == UsageKind::Fixed       ? QStringLiteral("fixed")
                       : s.usage.kind == UsageKind::Lognormal ? QStringLiteral("lognormal")
                                                              : QStringLiteral("sample")}};
    if (s.usage.kind == UsageKind::Fixed)
        usage.insert(QStringLiteral("rate"), num(s.usage.rate));
    else if (s.usage.kind == UsageKind::Lognormal) {
        usage.insert(QStringLiteral("median"), num(s.usage.median));
        usage.insert(QStringLiteral("log_sd"), num(s.usage.logSd));
    } else {
        usage.insert(QStringLiteral("sample_size"), int(s.usage.sample.size()));
    }
    QJsonArray fut;
    for (double v : s.futureUnits)
        fut.append(v);
    const int D = s.dataEnd.value_or(t.dataEnd);
    return QJsonObject{
        {QStringLiteral("period"), periodKey(s.period)},
        {QStringLiteral("data_end"), periodLabel(t, D, s.period)},
        {QStringLiteral("data_end_index"), D},
        {QStringLiteral("usage"), usage},
        {QStringLiteral("warranty_periods"),
         s.warrantyPeriods ? QJsonValue(*s.warrantyPeriods) : QJsonValue()},
        {QStringLiteral("warranty_hours"), num(s.warrantyHours)},
        {QStringLiteral("ages"), agesKey(s.ages)},
        {QStringLiteral("model"), modelKey(s.model)},
        {QStringLiteral("level"), num(s.level)},
        {QStringLiteral("horizon"), r.horizon},
        {QStringLiteral("future_sales"),
         s.futureSales == FutureSalesKind::None     ? QStringLiteral("none")
         : s.futureSales == FutureSalesKind::AsLast ? QStringLiteral("last")
                                                    : QStringLiteral("typed")},
        {QStringLiteral("future_units"), fut},
        {QStringLiteral("cost"),
         s.cost ? QJsonValue(QJsonObject{{QStringLiteral("mean"), num(s.cost->mean)},
                                         {QStringLiteral("sd"), num(s.cost->sd)}})
                : QJsonValue()},
        {QStringLiteral("backtest"),
         s.backtest ? QJsonValue(periodLabel(t, *s.backtest, s.period)) : QJsonValue()},
        {QStringLiteral("draws"), s.draws},
        {QStringLiteral("seed"), QString::number(s.seed)},
        {QStringLiteral("rows"), t.rowCount()},
        {QStringLiteral("causes"), t.causeCount()},
    };
}

}   // namespace

QJsonObject cohortsJson(const CohortResult &r, const NevadaTable &t)
{
    QJsonObject o = fitJson(r.fit, t, true);
    o.insert(QStringLiteral("settings"), settingsJson(r, t));
    o.insert(QStringLiteral("forecast"), forecastJson(r.forecast));
    o.insert(QStringLiteral("total"), totalJson(r.forecast.total));
    o.insert(QStringLiteral("reserve"), num(r.forecast.reserve));
    if (r.backtest) {
        QJsonObject b = fitJson(r.backtest->fit, t, false);
        b.insert(QStringLiteral("data_end"),
                 periodLabel(t, r.backtest->dataEnd, r.settings.period));
        b.insert(QStringLiteral("data_end_index"), r.backtest->dataEnd);
        b.insert(QStringLiteral("forecast"), forecastJson(r.backtest->forecast));
        b.insert(QStringLiteral("total"), totalJson(r.backtest->forecast.total));
        b.insert(QStringLiteral("covered"), r.backtest->covered);
        b.insert(QStringLiteral("periods"), int(r.backtest->forecast.rows.size()));
        o.insert(QStringLiteral("backtest"), b);
    } else {
        o.insert(QStringLiteral("backtest"), QJsonValue());
    }
    QJsonArray causes;
    for (const CauseResult &c : r.causes) {
        QJsonObject co = c.fit ? fitJson(*c.fit, t, false) : QJsonObject();
        co.insert(QStringLiteral("cause"), c.cause);
        if (c.forecast) {
            co.insert(QStringLiteral("forecast"), forecastJson(*c.forecast));
            co.insert(QStringLiteral("total"), totalJson(c.forecast->total));
        }
        if (!c.fit)
            co.insert(QStringLiteral("error"), c.error);
        causes.append(co);
    }
    o.insert(QStringLiteral("causes"), causes);
    QJsonArray notes;
    for (const QString &n : r.notes)
        notes.append(n);
    o.insert(QStringLiteral("notes"), notes);
    return o;
}

QString modelKey(ModelKind m)
{
    return m == ModelKind::Repeat ? QStringLiteral("repeat") : QStringLiteral("first");
}
QString agesKey(AgeConvention a)
{
    return a == AgeConvention::Interval ? QStringLiteral("interval") : QStringLiteral("end");
}
QString periodKey(Period p)
{
    return p == Period::Month  ? QStringLiteral("month")
           : p == Period::Week ? QStringLiteral("week")
                               : QStringLiteral("quarter");
}
QString flagKey(Flag f)
{
    return f == Flag::None      ? QString()
           : f == Flag::Caution ? QStringLiteral("caution")
                                : QStringLiteral("critical");
}

namespace txt {
QString figureTitle(const QString &key, QChar dec, bool repeat)
{
    if (key == u"B")
        return QStringLiteral("Параметр формы B");
    if (key == u"inv_A")
        return QStringLiteral("1/A");
    if (key == u"eta")
        return QStringLiteral("Параметр масштаба η, ч");
    if (key == u"K")
        return QStringLiteral("Коэффициент повторности K");
    if (key == u"KA")
        return QStringLiteral("Произведение K·A");
    if (key.startsWith(QStringLiteral("t_")))
        return QStringLiteral("Наработка, при которой %1 = %2, ч")
            .arg(repeat ? QStringLiteral("K·F") : QStringLiteral("F"),
                 key.mid(2).replace(u'.', dec));
    if (key == u"M_tGar")
        return repeat ? QStringLiteral("K·F за гарантийный срок")
                      : QStringLiteral("F за гарантийный срок");
    if (key == u"per_product")
        return QStringLiteral("Претензий на изделие за гарантию");
    return key;
}
}   // namespace txt

}   // namespace obr::cohort
