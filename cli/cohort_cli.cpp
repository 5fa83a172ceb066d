// SPDX-License-Identifier: MIT
#include "cli/cohort_cli.h"

#include "cli/options.h"
#include "cli/outputs.h"
#include "cohort/cohort_texts.h"
#include "io/loaders.h"
#include "model/errors.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace obr::cli {

using namespace obr::cohort;

QStringList cohortChartNames()
{
    return {QStringLiteral("Cohorts_Claims.png"), QStringLiteral("Cohorts_Cost.png")};
}

bool isCohortCommand(const QStringList &args)
{
    return args.contains(QStringLiteral("--cohorts")) || args.contains(QStringLiteral("--claims"));
}

QString cohortUsageText()
{
    return QStringLiteral(
        "Usage: obrotk-cli --cohorts TABLE.csv | --claims LIST.csv --sales SALES.csv\n"
        "                  [--period month|week|quarter] [--data-end PERIOD] [--usage X]\n"
        "                  [--usage-law lognormal:MEDIAN:LOGSD|sample:FILE|claims]\n"
        "                  [--warranty-periods N] [--warranty-hours X] [--ages interval|end]\n"
        "                  [--model repeat|first] [--horizon N] [--future-sales "
        "none|last|N,N,...]\n"
        "                  [--cost MEAN[:SD]] [--level X] [--backtest PERIOD] [--draws N] [--seed "
        "N]\n"
        "                  [--json PATH|-] [--charts DIR] [--pdf PATH] [--locale NAME] [--quiet]\n"
        "\n"
        "Fits the claims of units sold period by period and forecasts the claims and their cost.\n"
        "  --cohorts FILE       the Nevada table (CSV, semicolon or tab; UTF-8 or Windows-1251):\n"
        "                       period;units;1;2;...;m (claims by age) or the claim periods\n"
        "                       across; an optional cause column after the units\n"
        "  --claims FILE        a list of claims: sale date, claim date, [cause], [hours]\n"
        "  --sales FILE         with --claims: the sales table, period and units\n"
        "  --period P           the period of the table (default month)\n"
        "  --data-end PERIOD    the last period of data used (label or number; default: the "
        "table's)\n"
        "  --usage X            operating hours per period of every unit (default 1: ages)\n"
        "  --usage-law LAW      a law of usage rates instead: lognormal with median and\n"
        "                       deviation of ln(rate), a file of rates, or the rates of the\n"
        "                       claims list's hours\n"
        "  --warranty-periods N the warranty limit in periods of age\n"
        "  --warranty-hours X   and in operating hours, whichever comes first\n"
        "  --ages A             interval (default) or end-of-period ages\n"
        "  --model M            repeat claims (default) or first failures\n"
        "  --horizon N          periods forecast (default: until the last warranty ends, at "
        "most\n"
        "                       ten years)\n"
        "  --future-sales S     units sold after the data end: none (default), last (as the "
        "last\n"
        "                       period), or a list per period\n"
        "  --cost MEAN[:SD]     the cost of one claim: the cost forecast and the reserve\n"
        "  --level X            level of the bounds, the intervals and the reserve (default 0.9)\n"
        "  --backtest PERIOD    refit on the data up to PERIOD and show the forecast against "
        "what came\n"
        "  --draws N, --seed N  draws of the prediction intervals (default 2000) and their seed\n"
        "  --json PATH|-        one JSON object with the cohorts object\n"
        "  --charts DIR         Cohorts_Claims.png (and Cohorts_Cost.png with --cost)\n"
        "  --pdf PATH           a landscape A4 report: the tables and the charts\n"
        "  --locale NAME        decimal separator of the texts (default: the user's locale)\n"
        "  --quiet              print nothing on stdout\n"
        "Exit status: 0 success, 1 data error, 2 usage error.\n");
}

namespace {

double number(const QString &text, const QString &opt)
{
    QString t = text.trimmed();
    t.replace(u',', u'.');
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        throw UsageError(QStringLiteral("%1: «%2» не является числом").arg(opt, text));
    return v;
}

int whole(const QString &text, const QString &opt)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok)
        throw UsageError(QStringLiteral("%1: «%2» не является целым числом").arg(opt, text));
    return v;
}

QByteArray readFile(const QString &path)
{
    const std::optional<QByteArray> b = readInputFile(path);
    if (!b)
        throw UserError(QStringLiteral("Указанный файл не существует: %1").arg(path));
    return *b;
}

void put(FILE *to, const QString &text)
{
    const QByteArray b = text.toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), to);
    std::fflush(to);
}

void qtMessages(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        put(stderr, msg + u'\n');
}

// ---------------------------------------------------------------------------------------
// Texts

QString fmt(const QLocale &loc, double v)
{
    if (!std::isfinite(v))
        return QStringLiteral("—");
    const double a = std::fabs(v);
    if (a != 0 && (a < 1e-4 || a >= 1e9))
        return loc.toString(v, 'e', 4);
    return loc.toString(v, 'g', 6);
}
QString fmt(const QLocale &loc, const std::optional<double> &v)
{
    return v ? fmt(loc, *v) : QStringLiteral("—");
}
QString count(const QLocale &loc, double v) { return loc.toString(v, 'f', 0); }
QString fmt1(const QLocale &loc, double v) { return loc.toString(v, 'f', 1); }

QString boundText(const QLocale &loc, const Bound &b, bool any)
{
    if (!any)
        return QStringLiteral("—");
    auto side = [&](const std::optional<double> &x) {
        return x ? fmt(loc, *x) : QStringLiteral("не огр.");
    };
    return QStringLiteral("[%1; %2]").arg(side(b.low), side(b.high));
}
QString intervalText(const QLocale &loc, const Interval &i, bool counts)
{
    return QStringLiteral("[%1; %2]")
        .arg(counts ? count(loc, i.low) : fmt(loc, i.low),
             counts ? count(loc, i.high) : fmt(loc, i.high));
}

QString flagText(Flag f)
{
    return f == Flag::Critical  ? txt::flagCritical
           : f == Flag::Caution ? txt::flagCaution
                                : QString();
}

QString periodName(Period p)
{
    return p == Period::Month  ? QStringLiteral("месяц")
           : p == Period::Week ? QStringLiteral("неделя")
                               : QStringLiteral("квартал");
}

QString fitText(const Fit &f, const QLocale &loc, double level)
{
    QString s;
    s += QStringLiteral("Продано изделий: %1; претензий: %2\n")
             .arg(count(loc, f.units), count(loc, f.claims));
    s += QStringLiteral("Логарифм правдоподобия: %1\n").arg(fmt(loc, f.loglik));
    s += QStringLiteral("Девианс: %1 (p = %2); X² Пирсона: %3 (p = %4); ячеек: %5, "
                        "ст. свободы: %6\n")
             .arg(fmt(loc, f.gof.deviance), fmt(loc, f.gof.devianceP), fmt(loc, f.gof.chi2),
                  fmt(loc, f.gof.chi2P))
             .arg(f.gof.cells)
             .arg(f.gof.df);
    s += u'\n';
    auto row = [&](const QString &a, const QString &b, const QString &c, const QString &d) {
        s += QStringLiteral("%1 %2 %3 %4\n").arg(a, -40).arg(b, -14).arg(c, -30).arg(d);
    };
    const QString pct = fmt(loc, level * 100) + u'%';
    row(QStringLiteral("Показатель"), QStringLiteral("Оценка"),
        QStringLiteral("Границы Фишера, ") + pct, QStringLiteral("Границы отн. правдоп., ") + pct);
    for (const Figure &x : f.figures)
        row(txt::figureTitle(x.key, loc.decimalPoint().at(0), f.model == ModelKind::Repeat),
            fmt(loc, x.estimate), boundText(loc, x.fisher, x.fisher.low || x.fisher.high),
            boundText(loc, x.lr, x.estimate.has_value()));
    if (!f.ridgeMessage.isEmpty())
        s += f.ridgeMessage + u'\n';
    return s;
}

QString forecastText(const Forecast &fc, const QLocale &loc, bool costs, bool observed)
{
    QString s;
    auto row = [&](QStringList cells) {
        static const int widths[] = {-10, 11, 11, 11, 16, 16, 11, 18, 14, 24};
        QString line;
        for (int i = 0; i < cells.size(); ++i)
            line += QStringLiteral("%1 ").arg(cells[i], widths[std::min(i, 9)]);
        s += line.trimmed() + u'\n';
    };
    QStringList head = {QStringLiteral("Период"),      QStringLiteral("Ожидается"),
                        QStringLiteral("Из парка"),    QStringLiteral("Из продаж"),
                        QStringLiteral("Подстановка"), QStringLiteral("Прогноз"),
                        QStringLiteral("Накопл."),     QStringLiteral("Накопл. прогноз")};
    if (observed)
        head << QStringLiteral("Пришло");
    if (costs)
        head << QStringLiteral("Стоимость") << QStringLiteral("Интервал стоимости");
    row(head);
    for (const ForecastRow &r : fc.rows) {
        QStringList c = {r.label,
                         fmt1(loc, r.expected),
                         fmt1(loc, r.fromService),
                         fmt1(loc, r.fromSales),
                         intervalText(loc, r.plugin, true),
                         intervalText(loc, r.predictive, true),
                         fmt1(loc, r.cumExpected),
                         intervalText(loc, r.cumPredictive, true)};
        if (observed)
            c << (r.observed ? count(loc, *r.observed) : QStringLiteral("—"));
        if (costs)
            c << fmt(loc, r.cost)
              << (r.costInterval ? intervalText(loc, *r.costInterval, false) : QStringLiteral("—"));
        row(c);
    }
    s += QStringLiteral("Итого: ожидается %1, подстановка %2, прогноз %3")
             .arg(fmt1(loc, fc.total.expected), intervalText(loc, fc.total.plugin, true),
                  intervalText(loc, fc.total.predictive, true));
    if (fc.total.observed)
        s += QStringLiteral(", пришло %1").arg(count(loc, *fc.total.observed));
    s += u'\n';
    if (costs && fc.total.cost)
        s += QStringLiteral("Стоимость: ожидается %1, интервал %2\n")
                 .arg(fmt(loc, fc.total.cost),
                      fc.total.costInterval ? intervalText(loc, *fc.total.costInterval, false)
                                            : QStringLiteral("—"));
    return s;
}

QString flagsText(const Fit &f, const QLocale &loc)
{
    QString s;
    auto lines = [&](const std::vector<MonitorLine> &v, const QString &title) {
        QString part;
        for (const MonitorLine &l : v)
            if (l.flag != Flag::None)
                part += QStringLiteral("  %1 %2 %3 %4 %5 %6 %7\n")
                            .arg(l.label, -10)
                            .arg(count(loc, l.observed), 8)
                            .arg(fmt1(loc, l.expected), 10)
                            .arg(fmt(loc, l.X2), 10)
                            .arg(l.df, 4)
                            .arg(fmt(loc, l.p), 12)
                            .arg(flagText(l.flag));
        if (part.isEmpty())
            s += title + QStringLiteral(": отмеченных нет\n");
        else
            s += title + QStringLiteral(" (период, пришло, ожидалось, X², ст. св., p):\n") + part;
    };
    lines(f.monitorRows, QStringLiteral("Периоды продаж с отклонениями"));
    lines(f.monitorColumns, QStringLiteral("Периоды претензий с отклонениями"));
    return s;
}

// ---------------------------------------------------------------------------------------
// Charts

//! Claims per calendar period: observed bars, expected line, forecast with its bands.
void paintClaims(QPainter &p, const QRectF &area, const CohortResult &r, const QLocale &loc,
                 bool cost)
{
    const Fit &f = r.fit;
    const int D = r.settings.dataEnd.value_or(0);
    const int n = D + 1 + int(r.forecast.rows.size());
    std::vector<double> obs(size_t(D + 1), 0.0), exp(size_t(D + 1), 0.0);
    for (const MonitorLine &c : f.monitorColumns)
        if (c.index >= 0 && c.index <= D) {
            obs[size_t(c.index)] = c.observed;
            exp[size_t(c.index)] = c.expected;
        }
    double top = 1;
    if (!cost) {
        for (double v : obs)
            top = std::max(top, v);
        for (double v : exp)
            top = std::max(top, v);
        for (const ForecastRow &x : r.forecast.rows)
            top = std::max({top, x.predictive.high, x.plugin.high});
    } else {
        for (const ForecastRow &x : r.forecast.rows)
            if (x.cumCostInterval)
                top = std::max({top, x.cumCostInterval->high, r.forecast.reserve.value_or(0)});
    }
    p.fillRect(area, Qt::white);
    const QRectF plot = area.adjusted(90, 50, -30, -60);
    p.setPen(Qt::black);
    QFont font = p.font();
    font.setPixelSize(14);
    p.setFont(font);
    p.drawText(QRectF(area.left(), area.top() + 8, area.width(), 30), Qt::AlignCenter,
               cost ? QStringLiteral("Накопленная стоимость претензий и резерв")
                    : QStringLiteral("Претензии по календарным периодам: пришло, ожидается, "
                                     "прогноз"));
    p.drawRect(plot);
    const int first = cost ? D + 1 : 0;
    const int span = std::max(1, n - first);
    auto X = [&](double i) { return plot.left() + (i - first + 0.5) * plot.width() / span; };
    auto Y = [&](double v) { return plot.bottom() - v / top * plot.height(); };
    // Axis marks.
    for (int i = 0; i <= 4; ++i) {
        const double v = top * i / 4;
        p.drawLine(QPointF(plot.left() - 4, Y(v)), QPointF(plot.left(), Y(v)));
        p.drawText(QRectF(area.left(), Y(v) - 10, 84, 20), Qt::AlignRight | Qt::AlignVCenter,
                   fmt(loc, v));
    }
    const int every = std::max(1, span / 12);
    for (int i = first; i < n; i += every)
        p.drawText(QRectF(X(i) - 40, plot.bottom() + 4, 80, 20), Qt::AlignCenter,
                   i < int(r.periodLabels.size()) ? r.periodLabels[size_t(i)] : QString());
    const double w = plot.width() / span * 0.7;
    if (!cost) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(70, 130, 180));
        for (int i = 0; i <= D; ++i)
            p.drawRect(
                QRectF(X(i) - w / 2, Y(obs[size_t(i)]), w, plot.bottom() - Y(obs[size_t(i)])));
    }
    // The predictive band, then the plug-in band dashed, then the expected line.
    QPainterPath band;
    QPolygonF low, high, plug1, plug2, line;
    for (const ForecastRow &x : r.forecast.rows) {
        const Interval in = cost ? x.cumCostInterval.value_or(Interval{}) : x.predictive;
        high << QPointF(X(x.period), Y(in.high));
        low << QPointF(X(x.period), Y(in.low));
        if (!cost) {
            plug1 << QPointF(X(x.period), Y(x.plugin.high));
            plug2 << QPointF(X(x.period), Y(x.plugin.low));
        }
    }
    if (!high.isEmpty()) {
        QPolygonF poly = high;
        for (auto it = low.rbegin(); it != low.rend(); ++it)
            poly << *it;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 140, 0, 70));
        p.drawPolygon(poly);
    }
    p.setBrush(Qt::NoBrush);
    if (!cost) {
        QPen dashed(QColor(200, 90, 0), 1.5, Qt::DashLine);
        p.setPen(dashed);
        p.drawPolyline(plug1);
        p.drawPolyline(plug2);
        for (int i = 0; i <= D; ++i)
            line << QPointF(X(i), Y(exp[size_t(i)]));
    }
    for (const ForecastRow &x : r.forecast.rows)
        line << QPointF(X(x.period), Y(cost ? x.cumCost.value_or(0) : x.expected));
    p.setPen(QPen(QColor(200, 30, 30), 2));
    p.drawPolyline(line);
    if (cost && r.forecast.reserve) {
        p.setPen(QPen(Qt::darkGreen, 1.5, Qt::DashDotLine));
        p.drawLine(QPointF(plot.left(), Y(*r.forecast.reserve)),
                   QPointF(plot.right(), Y(*r.forecast.reserve)));
        p.drawText(QRectF(plot.left() + 6, Y(*r.forecast.reserve) - 22, 400, 20),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Резерв: %1").arg(fmt(loc, *r.forecast.reserve)));
    }
    // Legend.
    p.setPen(Qt::black);
    const QString legend = cost ? QStringLiteral("линия — ожидаемая, полоса — интервал прогноза")
                                : QStringLiteral("столбцы — пришло, линия — ожидается, полоса — "
                                                 "интервал прогноза, пунктир — подстановка");
    p.drawText(QRectF(area.left(), area.bottom() - 28, area.width(), 24), Qt::AlignCenter, legend);
}

QByteArray pngOf(const CohortResult &r, const QLocale &loc, bool cost)
{
    QImage img(1200, 700, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        paintClaims(p, QRectF(0, 0, 1200, 700), r, loc, cost);
    }
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return png;
}

}   // namespace

CohortCliOptions parseCohortOptions(const QStringList &args, const QLocale &userLocale)
{
    (void)userLocale;
    CohortCliOptions o;
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        o.help = true;
        return o;
    }
    const QStringList valued = {QStringLiteral("--cohorts"),
                                QStringLiteral("--claims"),
                                QStringLiteral("--sales"),
                                QStringLiteral("--period"),
                                QStringLiteral("--data-end"),
                                QStringLiteral("--usage"),
                                QStringLiteral("--usage-law"),
                                QStringLiteral("--warranty-periods"),
                                QStringLiteral("--warranty-hours"),
                                QStringLiteral("--ages"),
                                QStringLiteral("--model"),
                                QStringLiteral("--horizon"),
                                QStringLiteral("--future-sales"),
                                QStringLiteral("--cost"),
                                QStringLiteral("--level"),
                                QStringLiteral("--backtest"),
                                QStringLiteral("--draws"),
                                QStringLiteral("--seed"),
                                QStringLiteral("--json"),
                                QStringLiteral("--charts"),
                                QStringLiteral("--pdf"),
                                QStringLiteral("--locale")};
    const CommandWords w = readCommandWords(args, valued, {QStringLiteral("--quiet")});
    switch (w.problem) {
    case CommandWords::Problem::None:
        break;
    case CommandWords::Problem::MissingValue:
        throw UsageError(QStringLiteral("после %1 нужно значение").arg(w.word));
    case CommandWords::Problem::UnknownOption:
    case CommandWords::Problem::FlagWithValue:
        throw UsageError(QStringLiteral("неизвестный параметр «%1»").arg(w.word));
    }
    if (!w.others.isEmpty())
        throw UsageError(QStringLiteral("неизвестный параметр «%1»").arg(w.others.first()));
    Settings &s = o.settings;
    for (const auto &[a, v] : w.options) {
        if (a != u"--quiet" && v.startsWith(QStringLiteral("--")))
            throw UsageError(QStringLiteral("после %1 нужно значение").arg(a));
        if (a == u"--cohorts") {
            o.table = v;
        } else if (a == u"--claims") {
            o.claims = v;
        } else if (a == u"--sales") {
            o.sales = v;
        } else if (a == u"--period") {
            if (v == u"month")
                s.period = Period::Month;
            else if (v == u"week")
                s.period = Period::Week;
            else if (v == u"quarter")
                s.period = Period::Quarter;
            else
                throw UsageError(
                    QStringLiteral("--period: month, week или quarter, а не «%1»").arg(v));
        } else if (a == u"--data-end") {
            o.dataEnd = v;
        } else if (a == u"--usage") {
            s.usage.kind = UsageKind::Fixed;
            s.usage.rate = number(v, a);
            o.usageLaw.clear();
        } else if (a == u"--usage-law") {
            o.usageLaw = v;
        } else if (a == u"--warranty-periods") {
            s.warrantyPeriods = whole(v, a);
        } else if (a == u"--warranty-hours") {
            s.warrantyHours = number(v, a);
        } else if (a == u"--ages") {
            if (v == u"interval")
                s.ages = AgeConvention::Interval;
            else if (v == u"end")
                s.ages = AgeConvention::End;
            else
                throw UsageError(QStringLiteral("--ages: interval или end, а не «%1»").arg(v));
        } else if (a == u"--model") {
            if (v == u"repeat")
                s.model = ModelKind::Repeat;
            else if (v == u"first")
                s.model = ModelKind::First;
            else
                throw UsageError(QStringLiteral("--model: repeat или first, а не «%1»").arg(v));
        } else if (a == u"--horizon") {
            s.horizon = whole(v, a);
        } else if (a == u"--future-sales") {
            s.futureUnits.clear();
            if (v == u"none") {
                s.futureSales = FutureSalesKind::None;
            } else if (v == u"last") {
                s.futureSales = FutureSalesKind::AsLast;
            } else {
                s.futureSales = FutureSalesKind::Typed;
                for (const QString &part :
                     v.split(QRegularExpression(QStringLiteral("[,;]")), Qt::SkipEmptyParts))
                    s.futureUnits.push_back(number(part, a));
            }
        } else if (a == u"--cost") {
            const QStringList parts = v.split(u':');
            Cost c;
            c.mean = number(parts.value(0), a);
            if (parts.size() > 1)
                c.sd = number(parts.value(1), a);
            s.cost = c;
        } else if (a == u"--level") {
            s.level = number(v, a);
        } else if (a == u"--backtest") {
            o.backtest = v;
        } else if (a == u"--draws") {
            s.draws = whole(v, a);
        } else if (a == u"--seed") {
            bool ok = false;
            s.seed = v.toULongLong(&ok);
            if (!ok)
                throw UsageError(QStringLiteral("%1: «%2» не является целым числом").arg(a, v));
        } else if (a == u"--json") {
            o.json = v;
        } else if (a == u"--charts") {
            o.charts = v;
        } else if (a == u"--pdf") {
            o.pdf = v;
        } else if (a == u"--locale") {
            o.locale = v;
        } else if (a == u"--quiet") {
            o.quiet = true;
        }
    }
    if (o.table.isEmpty() && o.claims.isEmpty())
        throw UsageError(QStringLiteral("не указана таблица после --cohorts"));
    if (!o.table.isEmpty() && !o.claims.isEmpty())
        throw UsageError(QStringLiteral("укажите либо --cohorts, либо --claims с --sales"));
    if (!o.claims.isEmpty() && o.sales.isEmpty())
        throw UsageError(
            QStringLiteral("к списку претензий --claims нужна таблица продаж --sales"));
    if (!o.usageLaw.isEmpty()) {
        const QStringList parts = o.usageLaw.split(u':');
        if (parts.value(0) == u"lognormal" && parts.size() == 3) {
            s.usage.kind = UsageKind::Lognormal;
            s.usage.median = number(parts[1], QStringLiteral("--usage-law"));
            s.usage.logSd = number(parts[2], QStringLiteral("--usage-law"));
        } else if (parts.value(0) == u"sample" && parts.size() >= 2) {
            s.usage.kind = UsageKind::Sample;
        } else if (parts.value(0) == u"claims" && parts.size() == 1) {
            s.usage.kind = UsageKind::Sample;
        } else {
            throw UsageError(QStringLiteral("--usage-law: lognormal:МЕДИАНА:ОТКЛ, sample:ФАЙЛ или "
                                            "claims, а не «%1»")
                                 .arg(o.usageLaw));
        }
    }
    return o;
}

CohortInput readCohortInput(const CohortCliOptions &o)
{
    CohortInput in;
    in.settings = o.settings;
    const bool first = o.settings.model == ModelKind::First;
    if (!o.table.isEmpty()) {
        in.table = readNevada(readFile(o.table), first);
        in.source = o.table;
    } else {
        in.table =
            buildFromClaims(readFile(o.claims), readFile(o.sales), o.settings.period, QString());
        in.source = o.claims + QStringLiteral(" + ") + o.sales;
        if (first)
            for (int r = 0; r < in.table.rowCount(); ++r) {
                double sum = 0;
                for (int a = 1; a <= in.table.dataEnd - in.table.start[size_t(r)] + 1; ++a)
                    sum += in.table.cell(r, a);
                if (sum > in.table.units[size_t(r)])
                    throw UserError(txt::rowError.arg(r + 1).arg(
                        in.table.rows[size_t(r)],
                        txt::overUnits.arg(sum).arg(in.table.units[size_t(r)])));
            }
    }
    Settings &s = in.settings;
    auto resolve = [&](const QString &text) -> std::optional<int> {
        if (text.isEmpty())
            return std::nullopt;
        const auto k = periodIndex(in.table, text, s.period);
        if (!k)
            throw UserError(txt::unknownDataEnd.arg(text));
        return k;
    };
    s.dataEnd = resolve(o.dataEnd);
    s.backtest = resolve(o.backtest);
    if (!o.usageLaw.isEmpty()) {
        const QStringList parts = o.usageLaw.split(u':');
        if (parts.value(0) == u"sample") {
            const QString path = parts.mid(1).join(u':');
            for (const QString &line : splitLines(decodeText(readFile(path)))) {
                QString t = line.trimmed();
                if (t.isEmpty())
                    continue;
                t.replace(u',', u'.');
                bool ok = false;
                const double v = QLocale::c().toDouble(t, &ok);
                if (ok)
                    s.usage.sample.push_back(v);
            }
        } else if (parts.value(0) == u"claims") {
            s.usage.sample = in.table.claimRates;
        }
    }
    return in;
}

QString cohortText(const CohortResult &r, const NevadaTable &t, const QLocale &loc)
{
    const Settings &s = r.settings;
    QString out;
    const int D = s.dataEnd.value_or(t.dataEnd);
    out += QStringLiteral("Модель: %1; %2; период: %3; конец данных: %4; доверительная "
                          "вероятность %5%\n")
               .arg(s.model == ModelKind::Repeat ? txt::modelRepeat : txt::modelFirst,
                    s.ages == AgeConvention::Interval ? txt::agesInterval : txt::agesEnd,
                    periodName(s.period), periodLabel(t, D, s.period), fmt(loc, s.level * 100));
    out += fitText(r.fit, loc, s.level);
    for (const QString &n : r.notes)
        if (n != r.fit.ridgeMessage)
            out += n + u'\n';
    out += u'\n';
    out += QStringLiteral("Прогноз претензий на %1 периодов после конца данных:\n").arg(r.horizon);
    out += forecastText(r.forecast, loc, s.cost.has_value(), false);
    if (r.forecast.reserve)
        out += QStringLiteral("Резерв (квантиль %1% общей стоимости): %2\n")
                   .arg(fmt(loc, s.level * 100), fmt(loc, *r.forecast.reserve));
    out += u'\n';
    out += flagsText(r.fit, loc);
    if (r.backtest) {
        out += u'\n';
        out += QStringLiteral("Проверка прогноза: подбор по данным до %1, прогноз против "
                              "пришедшего (в интервале прогноза %2 из %3 периодов)\n")
                   .arg(periodLabel(t, r.backtest->dataEnd, s.period))
                   .arg(r.backtest->covered)
                   .arg(r.backtest->forecast.rows.size());
        out += forecastText(r.backtest->forecast, loc, false, true);
    }
    for (const CauseResult &c : r.causes) {
        out += u'\n';
        if (!c.fit) {
            out += txt::causeFailed.arg(c.cause, c.error) + u'\n';
            continue;
        }
        out += QStringLiteral("Причина «%1»\n").arg(c.cause);
        out += fitText(*c.fit, loc, s.level);
        if (c.forecast)
            out += QStringLiteral("Прогноз: ожидается %1, интервал %2\n")
                       .arg(fmt1(loc, c.forecast->total.expected),
                            intervalText(loc, c.forecast->total.predictive, true));
    }
    return out;
}

QByteArray cohortJson(const CohortResult &r, const NevadaTable &t, const QString &file)
{
    const QJsonObject root{{QStringLiteral("file"), file},
                           {QStringLiteral("cohorts"), cohortsJson(r, t)}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

int cohortMain(const QStringList &args, int argc, char **argv)
{
    CohortCliOptions o;
    try {
        o = parseCohortOptions(args, QLocale::system());
        if (!o.help) {
            // The output rules of every mode, before anything is read or written.
            std::vector<Target> inputs, outputs;
            if (!o.table.isEmpty())
                inputs.push_back({QStringLiteral("--cohorts"), o.table});
            if (!o.claims.isEmpty())
                inputs.push_back({QStringLiteral("--claims"), o.claims});
            if (!o.sales.isEmpty())
                inputs.push_back({QStringLiteral("--sales"), o.sales});
            if (o.usageLaw.startsWith(QStringLiteral("sample:")))
                inputs.push_back({QStringLiteral("--usage-law"), o.usageLaw.mid(7)});
            if (!o.json.isEmpty() && o.json != u"-")
                outputs.push_back({QStringLiteral("--json"), o.json});
            if (!o.pdf.isEmpty())
                outputs.push_back({QStringLiteral("--pdf"), o.pdf});
            if (!o.charts.isEmpty())
                outputs.push_back({QStringLiteral("--charts"), o.charts, true, cohortChartNames()});
            checkTargets(inputs, outputs);
        }
    } catch (const UsageError &e) {
        put(stderr, QStringLiteral("obrotk-cli: ") + e.message() + QStringLiteral("\n\n") +
                        cohortUsageText());
        return 2;
    }
    if (o.help) {
        put(stdout, cohortUsageText());
        return 0;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(qtMessages);
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    (void)argc;
    QLocale loc = o.locale.isEmpty() ? QLocale::system() : QLocale(o.locale);
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    try {
        CohortInput in = readCohortInput(o);
        in.settings.dec = loc.decimalPoint().at(0);
        const CohortResult r = runCohorts(CohortRequest{in.table, in.settings});
        OutputSet files;
        QByteArray json;
        if (!o.json.isEmpty())
            json = cohortJson(r, in.table, in.source);
        if (!o.charts.isEmpty()) {
            const QStringList names = cohortChartNames();
            std::vector<OutputFile> charts{{names[0], pngOf(r, loc, false)}};
            if (r.settings.cost)
                charts.push_back({names[1], pngOf(r, loc, true)});
            files.addFolder(o.charts, std::move(charts));
        }
        if (!o.pdf.isEmpty()) {
            QByteArray pdf;
            {
                QBuffer buf(&pdf);
                buf.open(QIODevice::WriteOnly);
                QPdfWriter w(&buf);
                w.setPageOrientation(QPageLayout::Landscape);
                w.setPageSize(QPageSize(QPageSize::A4));
                w.setResolution(150);
                QPainter p(&w);
                QFont font(QStringLiteral("DejaVu Sans Mono"));
                font.setPixelSize(11);
                p.setFont(font);
                const QRect page(0, 0, w.width(), w.height());
                // The text on as many pages as it needs.
                const QStringList lines =
                    (in.source + u'\n' + cohortText(r, in.table, loc)).split(u'\n');
                const int perPage = std::max(10, page.height() / 15);
                for (int i = 0; i < lines.size(); i += perPage) {
                    if (i > 0)
                        w.newPage();
                    p.drawText(page, Qt::AlignLeft | Qt::AlignTop,
                               lines.mid(i, perPage).join(u'\n'));
                }
                w.newPage();
                paintClaims(p, QRectF(page), r, loc, false);
                if (r.settings.cost) {
                    w.newPage();
                    paintClaims(p, QRectF(page), r, loc, true);
                }
            }
            files.addFile(o.pdf, pdf);
        }
        if (!o.json.isEmpty() && o.json != u"-")
            files.addFile(o.json, json);
        // Every file is staged, the text shown, and only then are the files put in place.
        files.stage();
        QByteArray shown;
        if (o.json == u"-")
            shown = json;
        else if (!o.quiet)
            shown = cohortText(r, in.table, loc).toUtf8();
        showResults(shown);
        files.commit();
    } catch (const UserError &e) {
        put(stderr, e.message() + u'\n');
        return 1;
    } catch (const std::exception &e) {
        put(stderr, userMessage(e) + u'\n');
        return 1;
    }
    return 0;
}

}   // namespace obr::cli
