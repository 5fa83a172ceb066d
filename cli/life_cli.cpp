// SPDX-License-Identifier: MIT
#include "cli/life_cli.h"

#include "life/ui/plotpainter.h"
#include "cli/options.h"
#include "cli/outputs.h"
#include "io/loaders.h"
#include "life/format.h"
#include "life/life_texts.h"
#include "life/plot.h"
#include "life/reader.h"
#include "model/errors.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPdfWriter>
#include <QSaveFile>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace obr::cli {

using namespace obr::life;

QStringList lifeChartNames() { return {QStringLiteral("Life_ProbabilityPlot.png")}; }

bool isLifeCommand(const QStringList &args) { return args.contains(QStringLiteral("--life")); }

QString lifeUsageText()
{
    return QStringLiteral(
        "Usage: obrotk-cli --life FILE.csv [--dist "
        "weibull2|weibull3|exponential|lognormal|normal|gamma|all]\n"
        "                  [--estimator mle|rrx|rry] [--level X] [--b-lives 1,10,50]\n"
        "                  [--reliability-at T,...] [--json PATH|-] [--charts DIR] [--pdf PATH]\n"
        "                  [--locale NAME] [--quiet]\n"
        "\n"
        "Fits a life distribution to a table of failures, suspensions and inspection intervals.\n"
        "  --life FILE          the table (CSV, semicolon or tab; UTF-8 or Windows-1251): time\n"
        "                       (or start and end), state (F/S, 1/0, отказ/приост.), optional "
        "count\n"
        "  --dist NAME          the distribution, or all: fit each and rank by AICc (default "
        "weibull2)\n"
        "  --estimator NAME     mle (default), rrx or rry (rank regression on X or Y)\n"
        "  --level X            confidence level of the bounds (default 0.95)\n"
        "  --b-lives LIST       percents for B-lives (default 1,10,50)\n"
        "  --reliability-at LIST  times for R(t)\n"
        "  --json PATH|-        one JSON object with the life object\n"
        "  --charts DIR         Life_ProbabilityPlot.png\n"
        "  --pdf PATH           a landscape A4 report: the table and the probability plot\n"
        "  --locale NAME        decimal separator of the texts (default: the user's locale)\n"
        "  --quiet              print nothing on stdout\n"
        "Exit status: 0 success, 1 data error, 2 usage error.\n");
}

namespace {

double number(const QString &text, const QLocale &loc, const QString &opt)
{
    bool ok = false;
    double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok)
        v = loc.toDouble(text.trimmed(), &ok);
    if (!ok) {
        QString t = text.trimmed();
        v = QLocale::c().toDouble(t.replace(u',', u'.'), &ok);
    }
    if (!ok || !std::isfinite(v))
        throw UsageError(QStringLiteral("%1: «%2» не является числом").arg(opt, text));
    return v;
}

std::vector<double> numberList(const QString &text, const QLocale &loc, const QString &opt)
{
    std::vector<double> out;
    // A list is comma-separated, so its numbers use the decimal point.
    for (const QString &part : text.split(u',', Qt::SkipEmptyParts))
        out.push_back(number(part, loc, opt));
    return out;
}

QString fmt(const QLocale &loc, double v) { return lifeNumber(loc, v); }

QJsonValue side(const std::optional<double> &x) { return x ? QJsonValue(*x) : QJsonValue(); }
QJsonValue boundsJson(const std::optional<Bounds> &b)
{
    if (!b)
        return QJsonValue();
    return QJsonArray{side(b->low), side(b->high)};
}
QJsonObject figureJson(const Figure &f)
{
    QJsonObject o{{"value", f.value}, {"fisher", boundsJson(f.fisher)}, {"lr", boundsJson(f.lr)}};
    if (f.undetermined)
        o["undetermined"] = true;
    if (f.atLimit)
        o["limit"] = true;
    return o;
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

}   // namespace

LifeCliOptions parseLifeOptions(const QStringList &args, const QLocale &userLocale)
{
    LifeCliOptions o;
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        o.help = true;
        return o;
    }
    // "--life" may also stand alone, with the file among the other words: "--life --locale
    // C in.csv" reads in.csv with the C locale (an option is never taken for the file).
    QStringList words = args;
    for (qsizetype i = 0; i < words.size(); ++i)
        if (words[i] == u"--life" && i + 1 < words.size() && words[i + 1].startsWith(u'-')) {
            words.removeAt(i);
            break;
        }
    const CommandWords w = readCommandWords(
        words,
        {QStringLiteral("--life"), QStringLiteral("--dist"), QStringLiteral("--estimator"),
         QStringLiteral("--level"), QStringLiteral("--b-lives"), QStringLiteral("--reliability-at"),
         QStringLiteral("--json"), QStringLiteral("--charts"), QStringLiteral("--pdf"),
         QStringLiteral("--locale")},
        {QStringLiteral("--quiet")});
    switch (w.problem) {
    case CommandWords::Problem::None:
        break;
    case CommandWords::Problem::MissingValue:
        throw UsageError(QStringLiteral("после %1 нужно значение").arg(w.word));
    case CommandWords::Problem::UnknownOption:
    case CommandWords::Problem::FlagWithValue:
        throw UsageError(QStringLiteral("неизвестный параметр «%1»").arg(w.word));
    }
    if (w.others.size() > 1 || (!w.others.isEmpty() && words.size() == args.size()))
        throw UsageError(QStringLiteral("неизвестный параметр «%1»").arg(w.others.last()));
    if (!w.others.isEmpty())
        o.file = w.others.first();
    for (const auto &[a, v] : w.options) {
        // A value is never an option: "--json --quiet" lacks the path.
        if (a != u"--quiet" && v.startsWith(QStringLiteral("--")))
            throw UsageError(QStringLiteral("после %1 нужно значение").arg(a));
        if (a == u"--life") {
            o.file = v;
        } else if (a == u"--dist") {
            if (v == u"all") {
                o.all = true;
            } else if (auto d = distFromKey(v)) {
                o.fit.dist = *d;
            } else {
                throw UsageError(QStringLiteral("--dist: неизвестное распределение «%1»").arg(v));
            }
        } else if (a == u"--estimator") {
            auto e = estimatorFromKey(v);
            if (!e)
                throw UsageError(QStringLiteral("--estimator: неизвестный метод «%1»").arg(v));
            o.fit.estimator = *e;
        } else if (a == u"--level") {
            o.fit.level = number(v, userLocale, a);
        } else if (a == u"--b-lives") {
            o.fit.bPercents = numberList(v, userLocale, a);
        } else if (a == u"--reliability-at") {
            o.fit.times = numberList(v, userLocale, a);
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
    if (!o.help && o.file.isEmpty())
        throw UsageError(QStringLiteral("не указан файл данных после --life"));
    try {
        checkOptions(o.fit);
    } catch (const UserError &e) {
        throw UsageError(e.message());
    }
    return o;
}

LifeRun runLife(const LifeCliOptions &o, const QByteArray &bytes)
{
    const LifeData data = readLifeTable(bytes);
    LifeRun r;
    r.all = o.all;
    if (o.all) {
        LifeAll all = fitAllLife(data, o.fit);
        r.fit = all.best;
        r.ranking = all.ranking;
        r.recommended = all.recommended;
    } else {
        r.fit = fitLife(data, o.fit);
    }
    return r;
}

QString lifeText(const LifeRun &r, const QLocale &loc)
{
    const LifeFit &f = r.fit;
    QString s;
    const QString pct = fmt(loc, f.level * 100) + u'%';
    s += QStringLiteral("Распределение: %1; метод: %2; доверительная вероятность %3\n")
             .arg(distName(f.dist), estimatorName(f.estimator), pct);
    s += QStringLiteral("Отказов: %1, приостановок: %2, интервалов: %3\n")
             .arg(fmt(loc, f.tally.failures), fmt(loc, f.tally.suspensions),
                  fmt(loc, f.tally.intervals));
    s += QStringLiteral("Логарифм правдоподобия: %1; AICc: %2; BIC: %3\n")
             .arg(fmt(loc, f.loglik), f.aicc ? fmt(loc, *f.aicc) : QStringLiteral("—"),
                  fmt(loc, f.bic));
    if (f.rho)
        s += QStringLiteral("Коэффициент корреляции: %1\n").arg(fmt(loc, *f.rho));
    auto row = [&](const QString &name, const QString &value, const QString &fisher,
                   const QString &lr) {
        s +=
            QStringLiteral("%1 %2 %3 %4\n").arg(name, -28).arg(value, -14).arg(fisher, -28).arg(lr);
    };
    s += u'\n';
    row(QStringLiteral("Показатель"), QStringLiteral("Оценка"), QStringLiteral("Границы (Фишер)"),
        QStringLiteral("Границы (отн. правдоп.)"));
    for (const FigureRow &x : figureRows(loc, f))
        row(x.title, x.value, x.fisher, x.lr);
    if (r.all && !r.recommended)
        s += life::txt::noneRecommended + u'\n';
    for (const QString &n : fitNotes(loc, f))
        s += n + u'\n';
    if (r.all) {
        s += QStringLiteral("\nПодбор всех распределений (по AICc):\n");
        int place = 1;
        for (const RankEntry &e : r.ranking) {
            if (e.fit)
                s += QStringLiteral("%1. %2 %3 AICc %4  BIC %5%6\n")
                         .arg(place++)
                         .arg(distName(e.dist), -20)
                         .arg(QStringLiteral("ln L %1").arg(fmt(loc, e.fit->loglik)), -18)
                         .arg(e.fit->aicc ? fmt(loc, *e.fit->aicc) : QStringLiteral("—"), -12)
                         .arg(fmt(loc, e.fit->bic))
                         .arg(rankMark(e));
            else
                s += QStringLiteral("–  %1 %2\n").arg(distName(e.dist), -20).arg(e.error);
        }
    }
    return s;
}

QByteArray lifeJson(const LifeRun &r, const QString &file)
{
    const LifeFit &f = r.fit;
    QJsonObject life;
    life["dist"] = distKey(f.dist);
    life["estimator"] = estimatorKey(f.estimator);
    life["level"] = f.level;
    life["failures"] = f.tally.failures;
    life["suspensions"] = f.tally.suspensions;
    life["intervals"] = f.tally.intervals;
    life["loglik"] = f.loglik;
    life["AICc"] = f.aicc ? QJsonValue(*f.aicc) : QJsonValue();
    life["BIC"] = f.bic;
    QJsonObject params, blives, rel;
    for (const Figure &x : f.params)
        params[x.key] = figureJson(x);
    for (const Figure &x : f.bLives)
        blives[x.key] = figureJson(x);
    for (const Figure &x : f.reliability)
        rel[x.key] = figureJson(x);
    life["params"] = params;
    life["b_lives"] = blives;
    life["reliability"] = rel;
    if (f.rho)
        life["rho"] = *f.rho;
    life["limit"] = f.limit;
    if (f.limit)
        life["limit_message"] = f.limitMessage;
    life["undetermined"] = f.undetermined;
    QJsonArray notes;
    for (const QString &n : fitNotes(QLocale::c(), f))
        notes.append(n);
    life["notes"] = notes;
    if (r.all) {
        QJsonArray ranking;
        for (const RankEntry &e : r.ranking) {
            QJsonObject o{{"dist", distKey(e.dist)}, {"best", e.best}, {"only", e.only}};
            if (e.fit) {
                o["recommended"] = e.best || e.only;
                o["limit"] = e.fit->limit;
                o["undetermined"] = e.fit->undetermined;
                o["loglik"] = e.fit->loglik;
                o["AICc"] = e.fit->aicc ? QJsonValue(*e.fit->aicc) : QJsonValue();
                o["BIC"] = e.fit->bic;
                QJsonObject p;
                for (const Figure &x : e.fit->params)
                    p[x.key] = x.value;
                o["params"] = p;
            } else {
                o["error"] = e.error;
            }
            ranking.append(o);
        }
        life["ranking"] = ranking;
    }
    QJsonObject root{{"file", file}, {"life", life}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

int lifeMain(const QStringList &args, int argc, char **argv)
{
    LifeCliOptions o;
    try {
        o = parseLifeOptions(args, QLocale::system());
        if (!o.help) {
            // The output rules of every mode, before anything is read or written.
            std::vector<Target> outputs;
            if (!o.json.isEmpty() && o.json != u"-")
                outputs.push_back({QStringLiteral("--json"), o.json});
            if (!o.pdf.isEmpty())
                outputs.push_back({QStringLiteral("--pdf"), o.pdf});
            if (!o.charts.isEmpty())
                outputs.push_back({QStringLiteral("--charts"), o.charts, true, lifeChartNames()});
            checkTargets({{QStringLiteral("--life"), o.file}}, outputs);
        }
    } catch (const UsageError &e) {
        put(stderr, QStringLiteral("obrotk-cli: ") + e.message() + QStringLiteral("\n\n") +
                        lifeUsageText());
        return 2;
    }
    if (o.help)
        return putBytes(stdout, lifeUsageText().toUtf8()) ? 0 : 1;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(qtMessages);
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    (void)argc;
    QLocale loc = o.locale.isEmpty() ? QLocale::system() : QLocale(o.locale);
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    try {
        const std::optional<QByteArray> read = readInputFile(o.file);
        if (!read)
            throw UserError(QStringLiteral("Указанный файл не существует"));
        const QByteArray &bytes = *read;
        const LifeRun r = runLife(o, bytes);
        const LifeData data = readLifeTable(bytes);
        // Every output is made in memory, staged beside its target and put in place only
        // when all of them and the standard output were written.
        OutputSet outputs;
        QByteArray json;
        if (!o.json.isEmpty())
            json = lifeJson(r, o.file);
        const ProbabilityPlot plot = probabilityPlot(data, r.fit);
        if (!o.charts.isEmpty()) {
            QImage img(1000, 750, QImage::Format_RGB32);
            img.fill(Qt::white);
            QPainter p(&img);
            lifeui::paintProbabilityPlot(p, QRectF(0, 0, 1000, 750), plot,
                                         loc.decimalPoint().at(0));
            p.end();
            QByteArray png;
            QBuffer buf(&png);
            buf.open(QIODevice::WriteOnly);
            if (!img.save(&buf, "PNG"))
                throw UserError(QStringLiteral("Не удалось создать рисунок PNG"));
            outputs.addFolder(o.charts, {{lifeChartNames().first(), png}});
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
                font.setPixelSize(16);
                p.setFont(font);
                const QRect page(0, 0, w.width(), w.height());
                p.drawText(page, Qt::AlignLeft | Qt::AlignTop, o.file + u'\n' + lifeText(r, loc));
                w.newPage();
                lifeui::paintProbabilityPlot(p, QRectF(page), plot, loc.decimalPoint().at(0));
            }
            outputs.addFile(o.pdf, pdf);
        }
        if (!o.json.isEmpty() && o.json != u"-")
            outputs.addFile(o.json, json);
        outputs.stage();
        QByteArray shown;
        if (o.json == u"-")
            shown = json;
        else if (!o.quiet)
            shown = lifeText(r, loc).toUtf8();
        showResults(shown);
        outputs.commit();
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
