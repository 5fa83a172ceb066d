// SPDX-License-Identifier: MIT
#include "options.h"

#include <QCommandLineParser>

#include <functional>
#include <map>

namespace obr::cli {

QString usageText()
{
    return QStringLiteral(
        "Usage: obrotk-cli FILE.fdt [--warranty FILE] [--methods LIST] [--sred X] [--sko X] "
        "[--tgar X]\n"
        "                  [--fit-sred] [--fit-sko] [--criterion standard|spec1|spec2]\n"
        "                  [--k-spiral X] [--k-newton X] [--k-smirnov X]\n"
        "                  [--ga-population N] [--ga-generations N] [--ga-precision X] [--ga-seed "
        "N]\n"
        "                  [--threads N] [--json PATH|-] [--log PATH] [--charts DIR] [--pdf PATH]\n"
        "                  [--level X] [--warranty-law normal|empirical] [--fleet N]\n"
        "                  [--mle-bounds lr|fisher]\n"
        "                  [--chart-format png|svg|pdf] [--locale NAME] [--quiet] [--version]\n"
        "       obrotk-cli --life FILE.csv ...  life data with suspensions (obrotk-cli --life "
        "--help)\n"
        "       obrotk-cli --cohorts TABLE.csv ...  warranty cohorts (obrotk-cli --cohorts --help)\n"
        "\n"
        "Runs the analysis of a failure data file without a window and prints the results table.\n"
        "  --warranty FILE      take the warranty mean and deviation from a warranty-times file\n"
        "  --methods LIST       comma-separated subset of "
        "spiral,newton,smirnov,genetic,nonparam,mle\n"
        "                       (default spiral; mle is the maximum-likelihood fit)\n"
        "  --sred, --sko, --tgar X   warranty mean, deviation and period, as typed into the boxes\n"
        "  --fit-sred, --fit-sko     let the Pearson fits and the genetic run adjust them\n"
        "  --criterion NAME     Pearson criterion (default spec1)\n"
        "  --k-spiral, --k-newton, --k-smirnov X   step-reduction coefficients (greater than 1)\n"
        "  --ga-population N, --ga-generations N, --ga-precision X   genetic run settings\n"
        "  --ga-seed N          seed of the genetic run's random numbers (reproducible runs)\n"
        "  --threads N          evaluation threads of the fits and the genetic run (0 = all "
        "cores,\n"
        "                       the default; 1 = one thread)\n"
        "  --level X            confidence level of the mle bounds: 0.8, 0.9, 0.95 (default), "
        "0.99\n"
        "  --warranty-law LAW   warranty law of the mle fit: normal (default) or empirical\n"
        "                       (the --warranty file's end times)\n"
        "  --fleet N            fleet of the mle claims forecast (default: the loaded fleet)\n"
        "  --mle-bounds KIND    bounds of the mle table and band in the PDF report and charts:\n"
        "                       lr (likelihood ratio, the default) or fisher; the JSON has both\n"
        "  --json PATH|-        write the results as one JSON object (- for stdout)\n"
        "  --log PATH           save the progress log as the window saves it\n"
        "  --charts DIR         write the charts as PNG files into DIR\n"
        "  --chart-format F     the charts' files as png (the default), svg or pdf (vector)\n"
        "  --pdf PATH           write a PDF report (data set, table, charts, log)\n"
        "  --locale NAME        locale of the number texts, e.g. ru_RU or C (default: the user's)\n"
        "  --quiet              print nothing on stdout and no progress on stderr\n"
        "  --version            print the version and exit\n"
        "Exit status: 0 success, 1 data error, 2 usage error.\n");
}

QString numberText(const QString &typed, QChar dec)
{
    QString t = typed;
    for (QChar &c : t)
        if (c == u'.' || c == u',')
            c = dec;
    return t;
}

namespace {

//! An option's name as Qt knows it: without its dashes.
QString bareName(const QString &name) { return name.mid(name.startsWith(u"--") ? 2 : 1); }

//! The words before "--", where options may stand.
QStringList optionWords(const QStringList &args)
{
    const qsizetype end = args.indexOf(QStringLiteral("--"));
    return end < 0 ? args : args.mid(0, end);
}

/*! Qt also reads a one-letter option as a long name (--h) and repeated (-hh); neither is an
 *  option of the program. Returns the first such word (its name), or an empty text. */
QString letterLookAlike(const QStringList &words, const QStringList &names)
{
    for (const QString &name : names) {
        if (name.size() != 2 || name.startsWith(u"--"))
            continue;
        const QChar letter = name[1];
        for (const QString &a : words) {
            const QString n = a.section(u'=', 0, 0);
            const bool repeated =
                a.size() > 2 && a.startsWith(u'-') && a.count(letter) == a.size() - 1;
            if (n == QStringLiteral("--") + letter || repeated)
                return n;
        }
    }
    return {};
}

}   // namespace

CommandWords readCommandWords(const QStringList &args, const QStringList &valued,
                              const QStringList &flags)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    std::map<QString, QString> named;   // Qt's name -> the name as the program spells it
    for (const QString &name : valued) {
        parser.addOption(QCommandLineOption(bareName(name), QString(), QStringLiteral("value")));
        named[bareName(name)] = name;
    }
    for (const QString &name : flags) {
        parser.addOption(QCommandLineOption(bareName(name)));
        named[bareName(name)] = name;
    }
    CommandWords w;
    const QStringList words = optionWords(args);
    // The program's name is not among the arguments; the parser skips the first word.
    if (!parser.parse(QStringList{QStringLiteral("obrotk-cli")} + args)) {
        if (!parser.unknownOptionNames().isEmpty()) {
            // Qt drops the dashes and splits a single-dash word into letters: the word is
            // given back as it was typed.
            w.problem = CommandWords::Problem::UnknownOption;
            const QString bare = parser.unknownOptionNames().first();
            w.word = QStringLiteral("--") + bare;
            if (bare.size() == 1)
                for (const QString &a : words)
                    if (a.startsWith(u'-') && !a.startsWith(u"--") && a.contains(bare)) {
                        w.word = a;
                        break;
                    }
            return w;
        }
        for (const QString &a : words) {
            const qsizetype eq = a.indexOf(u'=');
            if (a.startsWith(u"--") && eq > 2 && flags.contains(a.left(eq))) {
                w.problem = CommandWords::Problem::FlagWithValue;
                w.word = a.left(eq);
                return w;
            }
        }
        // What is left: the last word is an option that takes a value.
        w.problem = CommandWords::Problem::MissingValue;
        w.word = args.isEmpty() ? QString() : args.last();
        return w;
    }
    if (const QString look = letterLookAlike(words, valued + flags); !look.isEmpty()) {
        w.problem = CommandWords::Problem::UnknownOption;
        w.word = look;
        return w;
    }
    std::map<QString, qsizetype> used;   // values taken so far, by option
    for (const QString &bare : parser.optionNames()) {
        const QString &name = named.at(bare);
        w.options.push_back(
            {name, valued.contains(name) ? parser.values(bare).at(used[bare]++) : QString()});
    }
    w.others = parser.positionalArguments();
    return w;
}

namespace {

uint32_t parseUnsigned(const QString &opt, const QString &v, uint64_t max)
{
    bool ok = false;
    const qulonglong n = v.trimmed().toULongLong(&ok, 10);
    if (!ok || n > max)
        throw UsageError(
            QStringLiteral("%1: «%2» is not an integer from 0 to %3").arg(opt, v).arg(max));
    return uint32_t(n);
}

//! A path given to an option: an empty one names no file at all.
QString nonEmptyPath(const QString &opt, const QString &v)
{
    if (v.isEmpty())
        throw UsageError(QStringLiteral("%1: the path is empty").arg(opt));
    return v;
}

void setMethods(Options &o, const QString &list)
{
    o.spiral = o.newton = o.smirnov = o.genetic = o.nonparam = o.mle = false;
    const QStringList items = list.split(u',', Qt::SkipEmptyParts);
    if (items.isEmpty())
        throw UsageError(QStringLiteral("--methods: the list is empty"));
    for (const QString &raw : items) {
        const QString m = raw.trimmed().toLower();
        if (m == u"spiral")
            o.spiral = true;
        else if (m == u"newton")
            o.newton = true;
        else if (m == u"smirnov")
            o.smirnov = true;
        else if (m == u"genetic")
            o.genetic = true;
        else if (m == u"nonparam")
            o.nonparam = true;
        else if (m == u"mle")
            o.mle = true;
        else
            throw UsageError(QStringLiteral("--methods: unknown method «%1»").arg(raw));
    }
}

QLocale parseLocale(const QString &name)
{
    const QString n = name.trimmed();
    if (n.compare(u"C", Qt::CaseInsensitive) == 0 || n.compare(u"POSIX", Qt::CaseInsensitive) == 0)
        return QLocale::c();
    const QLocale l(n);
    if (n.isEmpty() || l.language() == QLocale::C)
        throw UsageError(QStringLiteral("--locale: unknown locale «%1»").arg(name));
    return l;
}

}   // namespace

Options parseOptions(const QStringList &args, const QLocale &userLocale)
{
    Options o;
    o.locale = userLocale;
    using Setter = std::function<void(const QString &)>;
    const std::map<QString, Setter> withValue = {
        {QStringLiteral("--warranty"),
         [&](const QString &v) { o.warranty = nonEmptyPath(QStringLiteral("--warranty"), v); }},
        {QStringLiteral("--methods"), [&](const QString &v) { setMethods(o, v); }},
        {QStringLiteral("--sred"), [&](const QString &v) { o.meSred = v; }},
        {QStringLiteral("--sko"), [&](const QString &v) { o.meSKO = v; }},
        {QStringLiteral("--tgar"), [&](const QString &v) { o.LabeledEdit2 = v; }},
        {QStringLiteral("--criterion"),
         [&](const QString &v) {
             const QString c = v.trimmed().toLower();
             if (c == u"standard")
                 o.RadioGroup1 = 0;
             else if (c == u"spec1")
                 o.RadioGroup1 = 1;
             else if (c == u"spec2")
                 o.RadioGroup1 = 2;
             else
                 throw UsageError(
                     QStringLiteral("--criterion: «%1» is not standard, spec1 or spec2").arg(v));
         }},
        {QStringLiteral("--k-spiral"), [&](const QString &v) { o.Edit1 = v; }},
        {QStringLiteral("--k-newton"), [&](const QString &v) { o.Edit6 = v; }},
        {QStringLiteral("--k-smirnov"), [&](const QString &v) { o.Edit5 = v; }},
        {QStringLiteral("--ga-population"), [&](const QString &v) { o.Edit3 = v; }},
        {QStringLiteral("--ga-generations"), [&](const QString &v) { o.NPokoleny = v; }},
        {QStringLiteral("--ga-precision"), [&](const QString &v) { o.Edit2 = v; }},
        {QStringLiteral("--ga-seed"),
         [&](const QString &v) {
             o.gaSeed = parseUnsigned(QStringLiteral("--ga-seed"), v, 0xFFFFFFFFu);
         }},
        {QStringLiteral("--threads"),
         [&](const QString &v) {
             o.threads = int(parseUnsigned(QStringLiteral("--threads"), v, 1024));
         }},
        {QStringLiteral("--level"),
         [&](const QString &v) {
             const QString t = v.trimmed();
             const std::map<QString, double> offered = {{QStringLiteral("0.8"), 0.8},
                                                        {QStringLiteral("0.9"), 0.9},
                                                        {QStringLiteral("0.95"), 0.95},
                                                        {QStringLiteral("0.99"), 0.99}};
             auto it = offered.find(QString(t).replace(u',', u'.'));
             if (it == offered.end())
                 throw UsageError(
                     QStringLiteral("--level: «%1» is not 0.8, 0.9, 0.95 or 0.99").arg(v));
             o.mleLevel = it->second;
         }},
        {QStringLiteral("--warranty-law"),
         [&](const QString &v) {
             const QString c = v.trimmed().toLower();
             if (c == u"normal")
                 o.mleEmpirical = false;
             else if (c == u"empirical")
                 o.mleEmpirical = true;
             else
                 throw UsageError(
                     QStringLiteral("--warranty-law: «%1» is not normal or empirical").arg(v));
         }},
        {QStringLiteral("--fleet"),
         [&](const QString &v) {
             const uint32_t n = parseUnsigned(QStringLiteral("--fleet"), v, 0x7FFFFFFF);
             if (n == 0)
                 throw UsageError(QStringLiteral("--fleet: the fleet must be at least 1"));
             o.mleFleet = n;
         }},
        {QStringLiteral("--mle-bounds"),
         [&](const QString &v) {
             const QString c = v.trimmed().toLower();
             if (c == u"lr")
                 o.mleLr = true;
             else if (c == u"fisher")
                 o.mleLr = false;
             else
                 throw UsageError(QStringLiteral("--mle-bounds: «%1» is not lr or fisher").arg(v));
         }},
        {QStringLiteral("--json"),
         [&](const QString &v) { o.json = nonEmptyPath(QStringLiteral("--json"), v); }},
        {QStringLiteral("--log"),
         [&](const QString &v) { o.log = nonEmptyPath(QStringLiteral("--log"), v); }},
        {QStringLiteral("--charts"),
         [&](const QString &v) { o.charts = nonEmptyPath(QStringLiteral("--charts"), v); }},
        {QStringLiteral("--chart-format"),
         [&](const QString &v) {
             const QString f = v.trimmed().toLower();
             if (f != u"png" && f != u"svg" && f != u"pdf")
                 throw UsageError(
                     QStringLiteral("--chart-format: «%1» is not png, svg or pdf").arg(v));
             o.chartFormat = f;
         }},
        {QStringLiteral("--pdf"),
         [&](const QString &v) { o.pdf = nonEmptyPath(QStringLiteral("--pdf"), v); }},
        {QStringLiteral("--locale"), [&](const QString &v) { o.locale = parseLocale(v); }},
    };
    const std::map<QString, std::function<void()>> flags = {
        {QStringLiteral("--fit-sred"), [&] { o.Sred_flag = true; }},
        {QStringLiteral("--fit-sko"), [&] { o.SKO_Flag = true; }},
        {QStringLiteral("--quiet"), [&] { o.quiet = true; }},
        {QStringLiteral("--help"), [&] { o.help = true; }},
        {QStringLiteral("--version"), [&] { o.version = true; }},
        {QStringLiteral("-h"), [&] { o.help = true; }},
    };

    QStringList valued, flagNames;
    for (const auto &[name, set] : withValue)
        valued << name;
    for (const auto &[name, set] : flags)
        flagNames << name;
    const CommandWords w = readCommandWords(args, valued, flagNames);
    switch (w.problem) {
    case CommandWords::Problem::None:
        break;
    case CommandWords::Problem::UnknownOption:
        throw UsageError(QStringLiteral("unknown option %1").arg(w.word));
    case CommandWords::Problem::MissingValue:
        throw UsageError(QStringLiteral("%1 needs a value").arg(w.word));
    case CommandWords::Problem::FlagWithValue:
        throw UsageError(QStringLiteral("%1 takes no value").arg(w.word));
    }
    // In the order given: the last of a repeated option counts, the first bad value is reported.
    for (const auto &[name, value] : w.options) {
        if (auto f = flags.find(name); f != flags.end())
            f->second();
        else
            withValue.at(name)(value);
    }
    if (w.others.size() > 1)
        throw UsageError(QStringLiteral("only one data file can be given (%1, %2)")
                             .arg(w.others[0], w.others[1]));
    if (!w.others.isEmpty())
        o.file = w.others[0];
    if (o.file.isEmpty() && !o.help && !o.version)
        throw UsageError(QStringLiteral("no failure data file given"));
    return o;
}

}   // namespace obr::cli
