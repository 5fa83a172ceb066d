// SPDX-License-Identifier: MIT
// obrotk-cli run as a program: its table against the results window's grid, its JSON,
// its exit statuses and messages, and its chart, PDF and log files.
#include "fit/fits.h"
#include "io/loaders.h"
#include "model/numfmt.h"
#include "model/seams.h"
#include "app/dialogs.h"
#include "app/obrotk2015.h"
#include "nonparam/ui/form3.h"
#include "results/ui/expandform.h"
#include "results/ui/form2.h"
#include "stats/stat2018.h"
#include "support/cli_process.h"
#include "support/window_harness.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

using namespace obr;

namespace {

using test::CliRun;
using test::readAll;
using test::runCli;

const QString kSample = QStringLiteral(OBROTK_EXAMPLES "/sample.fdt");
const QString kGarSample = QStringLiteral(OBROTK_EXAMPLES "/gar_sample.txt");
QString data(const char *name) { return QStringLiteral(OBROTK_CLI_DATA "/") + QLatin1String(name); }

QJsonObject parseJson(const QByteArray &bytes)
{
    QJsonParseError e;
    const QJsonDocument d = QJsonDocument::fromJson(bytes, &e);
    EXPECT_EQ(e.error, QJsonParseError::NoError) << e.errorString().toStdString();
    EXPECT_TRUE(d.isObject());
    return d.object();
}

// ----------------------------------------------------------- the window's table

//! One set of choices, given both as window controls and as command-line options.
struct Settings {
    const char *name = "";
    const char *locale = "C";
    bool spiral = true, newton = false, smirnov = false;
    bool fitSred = false, fitSko = false;
    int criterion = 1;
    QString kSpiral{}, kNewton{}, kSmirnov{};   // typed with "."
    QString sred{}, sko{}, tgar{};              // typed with "."
    bool warranty = false;

    QStringList args() const
    {
        QStringList a = {kSample, QStringLiteral("--locale"), QLatin1String(locale)};
        QStringList methods;
        if (spiral)
            methods << QStringLiteral("spiral");
        if (newton)
            methods << QStringLiteral("newton");
        if (smirnov)
            methods << QStringLiteral("smirnov");
        a << QStringLiteral("--methods") << methods.join(u',');
        if (fitSred)
            a << QStringLiteral("--fit-sred");
        if (fitSko)
            a << QStringLiteral("--fit-sko");
        const char *crit[] = {"standard", "spec1", "spec2"};
        a << QStringLiteral("--criterion") << QLatin1String(crit[criterion]);
        auto opt = [&a](const char *name, const QString &v) {
            if (!v.isEmpty())
                a << QLatin1String(name) << v;
        };
        opt("--k-spiral", kSpiral);
        opt("--k-newton", kNewton);
        opt("--k-smirnov", kSmirnov);
        opt("--sred", sred);
        opt("--sko", sko);
        opt("--tgar", tgar);
        if (warranty)
            a << QStringLiteral("--warranty") << kGarSample;
        return a;
    }
};

/*! The main window driven as the user drives it: "Путь", optionally "File", typing into
 *  the boxes, the check boxes and the radio group, "Расчет"; then the cells of the
 *  results window's Result_Grid, padding trimmed. */
std::vector<QStringList> windowTable(const Settings &st, State &s)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLatin1String(st.locale)));
    const QChar dec = NumLocale::from(QLocale()).dec;
    QTemporaryDir cwd;   // the window writes its link file into the working directory
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(cwd.path());

    test::WindowHarness h;
    TForm1 &form1 = h.form1;
    h.load(kSample);
    if (st.warranty)
        h.loadWarranty(kGarSample);
    auto type = [dec](QLineEdit *box, const QString &v) {
        if (!v.isEmpty())
            box->setText(QString(v).replace(u'.', dec));
    };
    type(form1.meSred, st.sred);
    type(form1.meSKO, st.sko);
    type(form1.LabeledEdit2, st.tgar);
    type(form1.Edit1, st.kSpiral);
    type(form1.Edit6, st.kNewton);
    type(form1.Edit5, st.kSmirnov);
    form1.SpirSpusk->setChecked(st.spiral);
    form1.BoxNewton->setChecked(st.newton);
    form1.BoxSmirnow->setChecked(st.smirnov);
    form1.Sred_flag->setChecked(st.fitSred);
    form1.SKO_Flag->setChecked(st.fitSko);
    form1.RadioGroup1Items->button(st.criterion)->setChecked(true);
    h.calculate();
    EXPECT_EQ(h.msgs.total(), 0) << h.msgs.all().join(u'\n').toStdString();

    std::vector<QStringList> rows;
    for (int r = 0; r < h.form2.Result_Grid->rowCount(); ++r) {
        QStringList row;
        for (int col = 0; col <= h.form2.view().table.dataColumn; ++col)
            row << h.form2.Result_Grid->item(r, col)->text().trimmed();
        rows.push_back(row);
    }
    h.form2.hide();
    s = h.state;
    QDir::setCurrent(oldCwd);
    QLocale::setDefault(before);
    return rows;
}

std::vector<QStringList> jsonTable(const QJsonObject &o)
{
    std::vector<QStringList> rows;
    for (const QJsonValue &row : o.value(QStringLiteral("table")).toArray()) {
        QStringList cells;
        for (const QJsonValue &c : row.toArray())
            cells << c.toString();
        rows.push_back(cells);
    }
    return rows;
}

void PrintTo(const Settings &c, std::ostream *os) { *os << c.name; }

class WindowTable : public ::testing::TestWithParam<Settings> {};

TEST_P(WindowTable, CellsEqualTheResultsWindowGrid)
{
    const Settings &st = GetParam();
    State s;
    const std::vector<QStringList> expected = windowTable(st, s);
    ASSERT_EQ(expected.size(), 12u);

    QTemporaryDir dir;
    const QString json = dir.filePath(QStringLiteral("t.json"));
    const CliRun r = runCli(st.args() << QStringLiteral("--json") << json);
    ASSERT_EQ(r.exitCode, 0) << r.errText().toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.errText().toStdString();
    const QJsonObject o = parseJson(readAll(json));
    const std::vector<QStringList> got = jsonTable(o);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i].join(u'|').toStdString(), expected[i].join(u'|').toStdString())
            << "row " << i;

    // The same doubles: the model parameters round-trip through the JSON text exactly.
    const QJsonObject models = o.value(QStringLiteral("models")).toObject();
    if (st.spiral) {
        const QJsonObject m = models.value(QStringLiteral("MPirsS")).toObject();
        EXPECT_EQ(m.value(QStringLiteral("A")).toDouble(), s.MPirsS.A);
        EXPECT_EQ(m.value(QStringLiteral("B")).toDouble(), s.MPirsS.B);
        EXPECT_EQ(m.value(QStringLiteral("K_powtor")).toDouble(), s.MPirsS.K_powtor);
        EXPECT_EQ(m.value(QStringLiteral("SKO_out")).toDouble(), s.MPirsS.SKO_out);
    }

    // The text table on stdout shows the same cells, aligned.
    const QStringList lines = r.outText().split(u'\n');
    ASSERT_GE(lines.size(), 13);
    for (size_t i = 0; i < expected.size(); ++i) {
        const QString line = lines[qsizetype(i) + 1];
        qsizetype from = 0;
        for (const QString &cell : expected[i]) {
            const qsizetype at = line.indexOf(cell, from);
            EXPECT_GE(at, from) << "row " << i << " cell «" << cell.toStdString() << "» in «"
                                << line.toStdString() << "»";
            from = at < 0 ? from : at + cell.size();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, WindowTable,
    ::testing::Values(
        Settings{.name = "default_spiral_period_locale", .locale = "C"},
        Settings{.name = "spiral_smirnov_comma_locale_typed_boxes",
                 .locale = "ru_RU",
                 .smirnov = true,
                 .kSmirnov = QStringLiteral("1.05"),
                 .sred = QStringLiteral("990.5"),
                 .sko = QStringLiteral("240.5"),
                 .tgar = QStringLiteral("800")},
        Settings{.name = "spiral_spec2_fitting_the_mean",
                 .locale = "ru_RU",
                 .fitSred = true,
                 .criterion = 2},
        Settings{.name = "newton_alone", .locale = "C", .spiral = false, .newton = true},
        Settings{.name = "smirnov_after_spiral_fitting_the_deviation_with_warranty_file",
                 .locale = "C",
                 .smirnov = true,
                 .fitSko = true,
                 .kSpiral = QStringLiteral("1.05"),
                 .kSmirnov = QStringLiteral("1.05"),
                 .warranty = true}),
    [](const auto &info) { return std::string(info.param.name); });

// ----------------------------------------------------------- JSON

TEST(Json, HoldsEveryKeyOfTheSchemaWithPlainNumbersInACommaLocale)
{
    QTemporaryDir dir;
    const QString json = dir.filePath(QStringLiteral("out.json"));
    const QString logFile = dir.filePath(QStringLiteral("log.txt"));
    const CliRun r = runCli(
        {kSample, QStringLiteral("--locale"), QStringLiteral("ru_RU"), QStringLiteral("--methods"),
         QStringLiteral("spiral,smirnov,genetic,nonparam"), QStringLiteral("--k-smirnov"),
         QStringLiteral("1,05"), QStringLiteral("--ga-population"), QStringLiteral("30"),
         QStringLiteral("--ga-generations"), QStringLiteral("8"), QStringLiteral("--ga-seed"),
         QStringLiteral("11"), QStringLiteral("--json"), json, QStringLiteral("--log"), logFile});
    ASSERT_EQ(r.exitCode, 0) << r.errText().toStdString();
    const QJsonObject o = parseJson(readAll(json));

    for (const char *k : {"file", "comment", "header", "Kol_izw", "Popravka_Unknow", "Izd_Prived",
                          "derived", "causes", "unknown_cause_count", "warranty", "histogram",
                          "models", "Pot08", "table", "nonparam", "log"})
        EXPECT_TRUE(o.contains(QLatin1String(k))) << k;
    const auto keysOf = [](const QJsonObject &obj, std::initializer_list<const char *> keys) {
        for (const char *k : keys)
            EXPECT_TRUE(obj.contains(QLatin1String(k))) << k;
    };
    keysOf(o[QStringLiteral("header")].toObject(),
           {"Sred", "SKO", "Kol_Izd_All", "KolOtk", "NPrich"});
    keysOf(o[QStringLiteral("derived")].toObject(),
           {"T90expl", "T80expl", "T50expl", "t50zen", "T20expl", "T10expl", "Otk_Izd", "tGar"});
    keysOf(o[QStringLiteral("warranty")].toObject(), {"Sred", "SKO"});
    keysOf(o[QStringLiteral("nonparam")].toObject(), {"t50", "tz50"});

    // The loaded data, exactly as the reader computes them.
    const FailureFile f = readFailureFile(readAll(kSample));
    EXPECT_EQ(o[QStringLiteral("Kol_izw")].toInt(), f.Kol_izw);
    EXPECT_EQ(o[QStringLiteral("Izd_Prived")].toDouble(), f.Izd_Prived);
    EXPECT_EQ(o[QStringLiteral("derived")][QStringLiteral("T90expl")].toDouble(), f.T90expl);
    const QJsonArray causes = o[QStringLiteral("causes")].toArray();
    ASSERT_EQ(causes.size(), f.NPrich);
    int counted = o[QStringLiteral("unknown_cause_count")].toInt();
    for (int k = 0; k < causes.size(); ++k) {
        const QJsonObject c = causes[k].toObject();
        EXPECT_EQ(c[QStringLiteral("index")].toInt(), k + 1);
        EXPECT_EQ(c[QStringLiteral("name")].toString(), f.Vidy_otkazov[size_t(k + 1)].Nazv_Prich);
        EXPECT_EQ(c[QStringLiteral("count")].toInt(), int(f.Vidy_otkazov[size_t(k + 1)].Dolya));
        if (k > 0) {   // sorted by count
            EXPECT_LE(c[QStringLiteral("count")].toInt(),
                      causes[k - 1].toObject()[QStringLiteral("count")].toInt());
        }
    }
    for (const Problems &p : f.MasProbl)
        counted -= p.chey == 0;
    EXPECT_EQ(counted, 0);

    int failures = 0;
    for (const QJsonValue &h : o[QStringLiteral("histogram")].toArray()) {
        const QJsonObject rec = h.toObject();
        keysOf(rec, {"time", "Sum", "Nund", "Npr"});
        EXPECT_EQ(rec[QStringLiteral("Npr")].toArray().size(), kCauseSlots);
        failures += rec[QStringLiteral("Sum")].toInt();
    }
    EXPECT_EQ(failures, f.Kol_izw);

    const QJsonObject models = o[QStringLiteral("models")].toObject();
    EXPECT_EQ(models.keys(), (QStringList{QStringLiteral("MGenet"), QStringLiteral("MPirsS"),
                                          QStringLiteral("MSmirn")}));
    for (const QString &name : models.keys()) {
        const QJsonObject m = models[name].toObject();
        keysOf(m, {"A", "B", "K_powtor", "Sred", "SKO", "SKO_out", "Kol_Nakopl", "Unsens",
                   "KolmCrt", "objective", "passes", "evaluations", "seconds"});
        EXPECT_GT(m[QStringLiteral("passes")].toInt(), 0) << name.toStdString();
        EXPECT_GT(m[QStringLiteral("evaluations")].toInt(), 0) << name.toStdString();
    }
    EXPECT_EQ(models[QStringLiteral("MGenet")][QStringLiteral("passes")].toInt(), 8);
    for (const char *m : {"MPirsS", "MSmirn", "MGenet"})
        EXPECT_GT(models[QLatin1String(m)][QStringLiteral("objective")].toDouble(), 0) << m;

    // Twelve rows of texts in the comma locale; the numbers above stay plain JSON numbers.
    const QJsonArray table = o[QStringLiteral("table")].toArray();
    ASSERT_EQ(table.size(), 12);
    EXPECT_EQ(table[0].toArray().size(), 5);   // captions, three models, data
    EXPECT_TRUE(table[1].toArray()[1].toString().contains(u','));

    // The log: the window's first line, and the saved file holds the same lines.
    const QJsonArray log = o[QStringLiteral("log")].toArray();
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log[0].toString(), QStringLiteral("Ход решения"));
    QStringList lines;
    for (const QJsonValue &l : log)
        lines << l.toString();
    EXPECT_EQ(readAll(logFile), encodeLines(lines));
}

TEST(Json, TheSeedMakesTheGeneticRunReproducibleWhateverTheThreads)
{
    const QStringList base = {kSample,
                              QStringLiteral("--methods"),
                              QStringLiteral("genetic"),
                              QStringLiteral("--ga-population"),
                              QStringLiteral("40"),
                              QStringLiteral("--ga-generations"),
                              QStringLiteral("12"),
                              QStringLiteral("--ga-seed"),
                              QStringLiteral("2024"),
                              QStringLiteral("--json"),
                              QStringLiteral("-")};
    auto genet = [&](const QString &threads) {
        const CliRun r = runCli(QStringList(base) << QStringLiteral("--threads") << threads);
        EXPECT_EQ(r.exitCode, 0) << r.errText().toStdString();
        EXPECT_TRUE(r.err.isEmpty()) << "no progress when stderr is not a terminal";
        QJsonObject m =
            parseJson(r.out)[QStringLiteral("models")][QStringLiteral("MGenet")].toObject();
        m.remove(QStringLiteral("seconds"));
        return m;
    };
    const QJsonObject one = genet(QStringLiteral("1"));
    EXPECT_FALSE(one.isEmpty());
    EXPECT_EQ(one, genet(QStringLiteral("1")));
    EXPECT_EQ(one, genet(QStringLiteral("2")));
}

TEST(Json, EscapesTheTextsOfTheDataFile)
{
    const CliRun r = runCli({data("quotes.fdt"), QStringLiteral("--json"), QStringLiteral("-")});
    ASSERT_EQ(r.exitCode, 0) << r.errText().toStdString();
    const QJsonObject o = parseJson(r.out);
    EXPECT_EQ(o[QStringLiteral("comment")].toString(), QStringLiteral("Fleet \"A\\B\"\ttab"));
    EXPECT_EQ(o[QStringLiteral("unknown_cause_count")].toInt(), 1);
}

TEST(Json, WarrantyFiguresAreTheNumbersOfTheBoxTexts)
{
    const CliRun r =
        runCli({kSample, QStringLiteral("--warranty"), kGarSample, QStringLiteral("--locale"),
                QStringLiteral("ru_RU"), QStringLiteral("--json"), QStringLiteral("-")});
    ASSERT_EQ(r.exitCode, 0) << r.errText().toStdString();
    const QJsonObject o = parseJson(r.out);
    // The load writes meSred and meSKO with three significant digits; the calculation
    // reads those texts back.
    const WarrantyFile w = readWarrantyFile(readAll(kGarSample));
    const WarrantyTexts t = warrantyTexts(w, kGarSample, u',');
    const QJsonObject used = o[QStringLiteral("warranty")].toObject();
    EXPECT_EQ(used[QStringLiteral("Sred")].toDouble(), boxReal(t.meSred, u','));
    EXPECT_EQ(used[QStringLiteral("SKO")].toDouble(), boxReal(t.meSKO, u','));
    EXPECT_NE(used[QStringLiteral("Sred")].toDouble(), w.Sred);
    EXPECT_EQ(o[QStringLiteral("comment")].toString(), w.Comment);
    // The header keeps the failure file's own figures.
    EXPECT_EQ(o[QStringLiteral("header")][QStringLiteral("Sred")].toDouble(), 1000.0);
}

// ----------------------------------------------------------- exit statuses

struct DataErrorCase {
    const char *name;
    QStringList args;
    const char *message;
};

void PrintTo(const DataErrorCase &c, std::ostream *os) { *os << c.name; }

class DataErrors : public ::testing::TestWithParam<DataErrorCase> {};

TEST_P(DataErrors, ExitOneWithTheMessageAndLeaveNoJson)
{
    QTemporaryDir dir;
    const QString json = dir.filePath(QStringLiteral("out.json"));
    const QString kept = dir.filePath(QStringLiteral("kept.json"));
    {
        QFile old(kept);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("{\"old\": true}\n");
    }
    for (const QString &target : {json, kept}) {
        const CliRun r = runCli(QStringList(GetParam().args)
                                << QStringLiteral("--json") << target << QStringLiteral("--pdf")
                                << dir.filePath(QStringLiteral("r.pdf")));
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.errText().contains(QString::fromUtf8(GetParam().message)))
            << r.errText().toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(json));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("r.pdf"))));
    EXPECT_EQ(readAll(kept), QByteArray("{\"old\": true}\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DataErrors,
    ::testing::Values(
        DataErrorCase{"bad_time_with_line_number",
                      {data("bad_time.fdt")},
                      "bad_time.fdt: Ошибка в данных в строке 11"},
        DataErrorCase{"missing_file", {data("no_such.fdt")}, "Указанный файл не существует"},
        DataErrorCase{"warranty_file_with_one_value",
                      {kSample, QStringLiteral("--warranty"), data("gar_one.txt")},
                      "gar_one.txt: "},
        DataErrorCase{"mle_empirical_law_without_warranty_file",
                      {kSample, QStringLiteral("--methods"), QStringLiteral("mle"),
                       QStringLiteral("--warranty-law"), QStringLiteral("empirical")},
                      "Эмпирический закон сроков гарантии требует"},
        DataErrorCase{"population_below_two",
                      {kSample, QStringLiteral("--methods"), QStringLiteral("genetic"),
                       QStringLiteral("--ga-population"), QStringLiteral("1")},
                      "Размер популяции"}),
    [](const auto &info) { return std::string(info.param.name); });

struct UsageCase {
    const char *name;
    QStringList args;
    const char *mentions;
};

void PrintTo(const UsageCase &c, std::ostream *os) { *os << c.name; }

class UsageErrors : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrors, ExitTwoWithTheUsageText)
{
    const CliRun r = runCli(GetParam().args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.errText().contains(QStringLiteral("Usage: obrotk-cli")))
        << r.errText().toStdString();
    EXPECT_TRUE(r.errText().contains(QString::fromUtf8(GetParam().mentions)))
        << r.errText().toStdString();
    EXPECT_TRUE(r.out.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsageErrors,
    ::testing::Values(
        UsageCase{"unknown_option", {kSample, QStringLiteral("--colour")}, "--colour"},
        UsageCase{"value_missing", {kSample, QStringLiteral("--json")}, "--json"},
        UsageCase{"no_data_file", {QStringLiteral("--quiet")}, "no failure data file"},
        UsageCase{"two_data_files", {kSample, kSample}, "only one data file"},
        UsageCase{"unknown_method",
                  {kSample, QStringLiteral("--methods"), QStringLiteral("spiral,bayes")},
                  "bayes"},
        UsageCase{"unknown_criterion", {kSample, QStringLiteral("--criterion=spec3")}, "spec3"},
        UsageCase{"unknown_locale",
                  {kSample, QStringLiteral("--locale"), QStringLiteral("xx_YY")},
                  "xx_YY"},
        UsageCase{"mean_not_a_number",
                  {kSample, QStringLiteral("--sred"), QStringLiteral("abc")},
                  "--sred"},
        UsageCase{"step_coefficient_not_above_one",
                  {kSample, QStringLiteral("--k-spiral"), QStringLiteral("1")},
                  "--k-spiral"},
        UsageCase{"negative_seed",
                  {kSample, QStringLiteral("--ga-seed"), QStringLiteral("-4")},
                  "--ga-seed"},
        UsageCase{"level_not_offered",
                  {kSample, QStringLiteral("--level"), QStringLiteral("0.7")},
                  "--level"},
        UsageCase{"unknown_warranty_law",
                  {kSample, QStringLiteral("--warranty-law=weibull")},
                  "--warranty-law"},
        UsageCase{
            "fleet_zero", {kSample, QStringLiteral("--fleet"), QStringLiteral("0")}, "--fleet"},
        UsageCase{
            "unknown_bounds_kind", {kSample, QStringLiteral("--mle-bounds=wald")}, "--mle-bounds"},
        UsageCase{"bounds_kind_missing", {kSample, QStringLiteral("--mle-bounds")}, "--mle-bounds"},
        UsageCase{"flag_with_value", {kSample, QStringLiteral("--quiet=yes")}, "--quiet"},
        // Words the parser would otherwise read as letters or as -h's long name.
        UsageCase{"single_dash_word", {kSample, QStringLiteral("-help")}, "unknown option -help"},
        UsageCase{
            "help_letter_as_long_name", {kSample, QStringLiteral("--h")}, "unknown option --h"},
        UsageCase{"help_letter_twice", {kSample, QStringLiteral("-hh")}, "unknown option -hh"}),
    [](const auto &info) { return std::string(info.param.name); });

// The bundled sample holds a failure at 0.0 h, where the likelihood is undefined; the ML
// tests use a fleet drawn from the model (B = 1.3, η = 1500 h, K = 1.2, 500 products).
TEST(MaximumLikelihood, JsonTableAndIndependenceOfTheOtherFits)
{
    // The ML fit starts from the boxes' warranty figures: a spiral fit that adjusts the
    // mean before it changes nothing of its result.
    const QStringList common = {data("mle_fleet.fdt"),     QStringLiteral("--locale"),
                                QStringLiteral("C"),       QStringLiteral("--fit-sred"),
                                QStringLiteral("--level"), QStringLiteral("0.9"),
                                QStringLiteral("--fleet"), QStringLiteral("5000"),
                                QStringLiteral("--json"),  QStringLiteral("-")};
    const CliRun alone =
        runCli(QStringList(common) << QStringLiteral("--methods") << QStringLiteral("mle"));
    const CliRun after =
        runCli(QStringList(common) << QStringLiteral("--methods") << QStringLiteral("spiral,mle"));
    ASSERT_EQ(alone.exitCode, 0) << alone.errText().toStdString();
    ASSERT_EQ(after.exitCode, 0) << after.errText().toStdString();
    const QJsonObject a = parseJson(alone.out), b = parseJson(after.out);
    const QJsonObject m = a[QStringLiteral("mle")].toObject();
    EXPECT_EQ(m, b[QStringLiteral("mle")].toObject());
    EXPECT_NE(
        b[QStringLiteral("models")][QStringLiteral("MPirsS")][QStringLiteral("Sred")].toDouble(),
        m[QStringLiteral("estimates")][QStringLiteral("Sred")].toDouble());

    EXPECT_EQ(m[QStringLiteral("level")].toDouble(), 0.9);
    EXPECT_EQ(m[QStringLiteral("law")].toString(), QStringLiteral("normal"));
    const QJsonObject est = m[QStringLiteral("estimates")].toObject();
    for (const char *k : {"B", "inv_A", "eta", "K", "KA", "t_0.5", "t_0.2", "t_0.1", "M_tGar",
                          "per_product", "fleet_claims", "Sred"})
        EXPECT_TRUE(est.contains(QLatin1String(k))) << k;
    EXPECT_FALSE(est.contains(QStringLiteral("SKO")));
    EXPECT_DOUBLE_EQ(est[QStringLiteral("fleet_claims")].toDouble(),
                     5000 * est[QStringLiteral("per_product")].toDouble());
    const QJsonArray lrB = m[QStringLiteral("lr")][QStringLiteral("B")].toArray();
    ASSERT_EQ(lrB.size(), 2);
    EXPECT_LT(lrB[0].toDouble(), est[QStringLiteral("B")].toDouble());
    EXPECT_GT(lrB[1].toDouble(), est[QStringLiteral("B")].toDouble());

    // The model record has the common keys; the table gains the column before the data.
    const QJsonObject M = a[QStringLiteral("models")][QStringLiteral("MMaxPr")].toObject();
    EXPECT_EQ(M[QStringLiteral("B")].toDouble(), est[QStringLiteral("B")].toDouble());
    EXPECT_EQ(M[QStringLiteral("Sred")].toDouble(), est[QStringLiteral("Sred")].toDouble());
    const QJsonArray head = a[QStringLiteral("table")].toArray()[0].toArray();
    ASSERT_EQ(head.size(), 3);
    EXPECT_EQ(head[1].toString(), QStringLiteral("Макс.правдоподобия"));
    EXPECT_EQ(head[2].toString(), QStringLiteral("Данные эксплуатации"));
    const QJsonArray log = a[QStringLiteral("log")].toArray();
    bool done = false;
    for (const QJsonValue &l : log)
        done = done || l.toString().startsWith(
                           QStringLiteral("Подбор по методу максимального правдоподобия"));
    EXPECT_TRUE(done);

    // Each cause with at least 5 failures is fitted on its own; the fixture has three
    // texts, two of them named causes and the third counted as not established.
    const QJsonArray causes = m[QStringLiteral("causes")].toArray();
    ASSERT_EQ(causes.size(), 3);
    int total = 0;
    for (const QJsonValue &c : causes) {
        total += c[QStringLiteral("n")].toInt();
        EXPECT_TRUE(c[QStringLiteral("estimates")][QStringLiteral("B")].isDouble());
    }
    EXPECT_EQ(total, a[QStringLiteral("Kol_izw")].toInt());
    EXPECT_EQ(causes[0][QStringLiteral("name")].toString(), QStringLiteral("Не установл."));

    const CliRun text =
        runCli({data("mle_fleet.fdt"), QStringLiteral("--locale"), QStringLiteral("C"),
                QStringLiteral("--methods"), QStringLiteral("spiral,newton,smirnov,mle")});
    ASSERT_EQ(text.exitCode, 0);
    const QString first = text.outText().split(u'\n')[1];
    EXPECT_TRUE(first.contains(QStringLiteral("Смирнова")) &&
                first.contains(QStringLiteral("Макс.правдоподобия")) &&
                first.indexOf(QStringLiteral("Смирнова")) <
                    first.indexOf(QStringLiteral("Макс.правдоподобия")))
        << first.toStdString();
}

TEST(MaximumLikelihood, EmpiricalLawOfTheWarrantyFile)
{
    const CliRun r = runCli({data("mle_fleet.fdt"), QStringLiteral("--warranty"), kGarSample,
                             QStringLiteral("--methods"), QStringLiteral("mle"),
                             QStringLiteral("--warranty-law"), QStringLiteral("empirical"),
                             QStringLiteral("--json"), QStringLiteral("-")});
    ASSERT_EQ(r.exitCode, 0) << r.errText().toStdString();
    const QJsonObject m = parseJson(r.out)[QStringLiteral("mle")].toObject();
    EXPECT_EQ(m[QStringLiteral("law")].toString(), QStringLiteral("empirical"));
    EXPECT_TRUE(m[QStringLiteral("estimates")][QStringLiteral("B")].isDouble());
}

TEST(Streams, TableOnStdoutNothingOnStderrJsonAloneWithDash)
{
    const CliRun plain = runCli({kSample, QStringLiteral("--locale"), QStringLiteral("C")});
    ASSERT_EQ(plain.exitCode, 0);
    EXPECT_TRUE(plain.err.isEmpty()) << plain.errText().toStdString();
    EXPECT_TRUE(plain.outText().startsWith(readFailureFile(readAll(kSample)).Comment));
    EXPECT_TRUE(plain.outText().contains(QStringLiteral("Данные эксплуатации")));

    const CliRun json =
        runCli({kSample, QStringLiteral("--methods"), QStringLiteral("spiral,nonparam"),
                QStringLiteral("--json"), QStringLiteral("-")});
    ASSERT_EQ(json.exitCode, 0);
    const QJsonObject o = parseJson(json.out);   // the whole of stdout is the JSON object
    EXPECT_TRUE(o.contains(QStringLiteral("nonparam")));

    const CliRun quiet = runCli({kSample, QStringLiteral("--quiet")});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_TRUE(quiet.out.isEmpty());
    EXPECT_TRUE(quiet.err.isEmpty());
}

TEST(Streams, TheLastOfARepeatedOptionCountsAndDoubleDashEndsTheOptions)
{
    const CliRun r =
        runCli({QStringLiteral("--locale"), QStringLiteral("ru_RU"), QStringLiteral("--locale=C"),
                QStringLiteral("--json"), QStringLiteral("-"), QStringLiteral("--"), kSample});
    ASSERT_EQ(r.exitCode, 0) << r.errText().toStdString();
    const QJsonArray table = parseJson(r.out)[QStringLiteral("table")].toArray();
    ASSERT_EQ(table.size(), 12);
    EXPECT_TRUE(table[1].toArray()[1].toString().contains(u'.')) << "the C locale's period";
}

TEST(Streams, GeneticProgressGoesToStderrOnlyOnATerminal)
{
    // script(1) gives the program a terminal; stdout goes to /dev/null inside it.
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty())
        GTEST_SKIP() << "script(1) is not installed";
    const QString command =
        QStringLiteral("'%1' '%2' --methods genetic --ga-population 30 --ga-generations 5 "
                       "--ga-seed 1 > /dev/null")
            .arg(test::cliExe(), kSample);
    QProcess p;
    p.start(script, {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0);
    const QString tty = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(tty.contains(QStringLiteral("Генетический алгоритм: поколение 5 из 5, 100%")))
        << tty.toStdString();
}

// ----------------------------------------------------------- drawn outputs

//! Whether an image shows something: several colours and enough ink.
bool nonBlank(const QImage &img)
{
    std::set<QRgb> colours;
    int ink = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            colours.insert(c);
            ink += qGray(c) < 160;
        }
    return colours.size() > 4 && ink > 200;
}

TEST(Drawn, ChartsArePngFilesAndThePdfHasAPageForEachPart)
{
    QTemporaryDir dir;
    const QString charts = dir.filePath(QStringLiteral("charts/sub"));
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    const CliRun r = runCli({kSample, QStringLiteral("--methods"),
                             QStringLiteral("spiral,nonparam"), QStringLiteral("--charts"), charts,
                             QStringLiteral("--pdf"), pdf, QStringLiteral("--quiet")});
    ASSERT_EQ(r.exitCode, 0) << r.errText().toStdString();

    const QStringList expected = {
        QStringLiteral("ExpandForm_Chart1.png"), QStringLiteral("Form2_Chart1.png"),
        QStringLiteral("Form2_Chart2.png"), QStringLiteral("Form2_Chart3.png"),
        QStringLiteral("Form3_Chart3.png")};
    EXPECT_EQ(QDir(charts).entryList(QDir::Files, QDir::Name), expected);
    for (const QString &name : expected) {
        const QImage img(QDir(charts).filePath(name));
        ASSERT_FALSE(img.isNull()) << name.toStdString();
        EXPECT_GT(img.width(), 600) << name.toStdString();
        EXPECT_TRUE(nonBlank(img)) << name.toStdString();
    }

    const QByteArray bytes = readAll(pdf);
    ASSERT_TRUE(bytes.startsWith("%PDF-"));
    // data set, table, five charts, log
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty())
        GTEST_SKIP() << "pdftoppm is not installed: pages not drawn";
    QProcess p;
    p.start(pdftoppm, {QStringLiteral("-r"), QStringLiteral("40"), QStringLiteral("-png"), pdf,
                       dir.filePath(QStringLiteral("page"))});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0);
    const QStringList pages =
        QDir(dir.path()).entryList({QStringLiteral("page*.png")}, QDir::Files, QDir::Name);
    EXPECT_GE(pages.size(), 8);
    for (const QString &page : pages)
        EXPECT_TRUE(nonBlank(QImage(dir.filePath(page)))) << page.toStdString();
}

//! The pages of a PDF drawn as images (empty when pdftoppm is missing).
QStringList pdfPages(const QString &pdf, const QString &prefix)
{
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty())
        return {};
    QProcess p;
    p.start(pdftoppm,
            {QStringLiteral("-r"), QStringLiteral("40"), QStringLiteral("-png"), pdf, prefix});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    const QFileInfo fi(prefix);
    QStringList out;
    for (const QString &n : QDir(fi.path()).entryList({fi.fileName() + QStringLiteral("*.png")},
                                                      QDir::Files, QDir::Name))
        out << QDir(fi.path()).filePath(n);
    return out;
}

TEST(Drawn, MaximumLikelihoodChartsAndReportPage)
{
    QTemporaryDir dir;
    const QString charts = dir.filePath(QStringLiteral("charts"));
    const QString withMle = dir.filePath(QStringLiteral("mle.pdf"));
    const QString without = dir.filePath(QStringLiteral("plain.pdf"));
    const CliRun r =
        runCli({data("mle_fleet.fdt"), QStringLiteral("--methods"), QStringLiteral("spiral,mle"),
                QStringLiteral("--k-spiral"), QStringLiteral("1.05"), QStringLiteral("--charts"),
                charts, QStringLiteral("--pdf"), withMle, QStringLiteral("--quiet")});
    ASSERT_EQ(r.exitCode, 0) << r.errText().toStdString();
    for (const char *name : {"FormMle_ProbPlot.png", "FormMle_Causes.png"}) {
        const QImage img(QDir(charts).filePath(QLatin1String(name)));
        ASSERT_FALSE(img.isNull()) << name;
        EXPECT_TRUE(nonBlank(img)) << name;
    }
    const CliRun plain =
        runCli({data("mle_fleet.fdt"), QStringLiteral("--methods"), QStringLiteral("spiral"),
                QStringLiteral("--k-spiral"), QStringLiteral("1.05"), QStringLiteral("--pdf"),
                without, QStringLiteral("--quiet")});
    ASSERT_EQ(plain.exitCode, 0) << plain.errText().toStdString();
    const QStringList a = pdfPages(withMle, dir.filePath(QStringLiteral("m"))),
                      b = pdfPages(without, dir.filePath(QStringLiteral("p")));
    if (a.isEmpty())
        GTEST_SKIP() << "pdftoppm is not installed: pages not drawn";
    // One more page: the bounds table beside the two charts.
    EXPECT_EQ(a.size(), b.size() + 1);
    EXPECT_TRUE(nonBlank(QImage(a[a.size() - 2])));
}

//! The text of a PDF (empty when pdftotext is missing).
QString pdfText(const QString &pdf)
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        return {};
    QProcess p;
    p.start(pdftotext, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

TEST(Drawn, BoundsKindOfTheReportPage)
{
    // The report's bounds table shows the kind asked for; the JSON keeps both either way.
    QTemporaryDir dir;
    QJsonObject kept[2];
    const char *kinds[2] = {"lr", "fisher"};
    for (int i = 0; i < 2; ++i) {
        const QString pdf = dir.filePath(QStringLiteral("%1.pdf").arg(QLatin1String(kinds[i])));
        const QString json = dir.filePath(QStringLiteral("%1.json").arg(QLatin1String(kinds[i])));
        QStringList args = {data("mle_fleet.fdt"),
                            QStringLiteral("--methods"),
                            QStringLiteral("mle"),
                            QStringLiteral("--locale"),
                            QStringLiteral("C"),
                            QStringLiteral("--pdf"),
                            pdf,
                            QStringLiteral("--json"),
                            json,
                            QStringLiteral("--quiet")};
        if (i == 1)
            args << QStringLiteral("--mle-bounds") << QStringLiteral("fisher");
        const CliRun r = runCli(args);
        ASSERT_EQ(r.exitCode, 0) << r.errText().toStdString();
        kept[i] = parseJson(readAll(json))[QStringLiteral("mle")].toObject();
        const QString text = pdfText(pdf);
        if (text.isEmpty())
            continue;   // no pdftotext: the JSON is still compared below
        const bool lr = i == 0;
        EXPECT_TRUE(text.contains(lr ? QStringLiteral("по отношению правдоподобия")
                                     : QStringLiteral("по информации Фишера")));
        EXPECT_FALSE(text.contains(lr ? QStringLiteral("по информации Фишера")
                                      : QStringLiteral("по отношению правдоподобия")));
        // The shape's bounds of that kind, as the table formats them (4 significant digits).
        const QJsonArray b = kept[i][lr ? QStringLiteral("lr") : QStringLiteral("fisher")]
                                 .toObject()[QStringLiteral("B")]
                                 .toArray();
        ASSERT_EQ(b.size(), 2);
        for (const QJsonValue &v : b)
            EXPECT_TRUE(text.contains(QString::number(v.toDouble(), 'g', 4))) << v.toDouble();
    }
    EXPECT_EQ(kept[0], kept[1]);
    EXPECT_NE(kept[0][QStringLiteral("lr")], kept[0][QStringLiteral("fisher")]);
}

}   // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

TEST(Streams, FiguresOutsideAnySensibleRangeAreKeptAndWarnedOnStderr)
{
    // The formulas' figures stay as they are; stderr says which cannot be trusted and why.
    const struct {
        const char *file;
        const char *warning;   // a piece of the warning
    } cases[] = {
        // One failure: the table's mean time to failure passes the fit test.
        {"one_failure.fdt", "по 1 отказ(ам) параметры модели не определяются"},
        // A failure 8 deviations beyond the warranty mean weighs more than the fleet.
        {"far_failure.fdt", "лежит на 8.0 СКО за средним сроком гарантии"},
        // Every failure at 0 h.
        {"all_zero.fdt", "все 5 отказ(ов) на наработке 0 ч"},
    };
    for (const auto &c : cases) {
        const CliRun r = runCli({data(c.file), QStringLiteral("--locale"), QStringLiteral("C")});
        EXPECT_EQ(r.exitCode, 0) << c.file << r.errText().toStdString();
        EXPECT_TRUE(r.errText().contains(QStringLiteral("Предупреждение: ")))
            << c.file << r.errText().toStdString();
        EXPECT_TRUE(r.errText().contains(QString::fromUtf8(c.warning)))
            << c.file << r.errText().toStdString();
        EXPECT_TRUE(r.outText().contains(QStringLiteral("Данные эксплуатации"))) << c.file;
    }
}
