// SPDX-License-Identifier: MIT
// The output rules that every mode of obrotk-cli follows, one row per case, each run in the
// failure-file mode, the life-data mode and the cohort mode: no output may be an input however it
// is spelled or linked, nor any file a chart format writes; two options may not name one file;
// devices and pipes are refused; all outputs appear together or none does; a standard output that
// cannot be written ends with status 1 and a message.
#include "support/cli_process.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using obr::test::CliRun;
using obr::test::readAll;
using obr::test::runCli;
using obr::test::Stdout;

enum class Mode { Failures, Life, Cohorts };

//! The input of a mode copied into the folder under \a name (empty: the usual name).
QString inputCopy(Mode m, const QString &dir, const QString &name)
{
    const QString from = m == Mode::Failures ? QStringLiteral(OBROTK_EXAMPLES "/sample.fdt")
                         : m == Mode::Life   ? QStringLiteral(OBROTK_LIFE_DATA "/issue.csv")
                                           : QStringLiteral(OBROTK_EXAMPLES "/cohorts_sample.csv");
    const QString to = dir + u'/' + (name.isEmpty() ? QFileInfo(from).fileName() : name);
    QFile::copy(from, to);
    return to;
}

QStringList command(Mode m, const QString &input)
{
    switch (m) {
    case Mode::Failures:
        return {input};
    case Mode::Life:
        return {QStringLiteral("--life"), input};
    case Mode::Cohorts:
        break;
    }
    return {QStringLiteral("--cohorts"),
            input,
            QStringLiteral("--warranty-periods"),
            QStringLiteral("24"),
            QStringLiteral("--cost"),
            QStringLiteral("150")};
}

struct Case {
    const char *name;
    //! The input's file name in each mode ("" for the usual one).
    const char *failureInput, *lifeInput;
    //! The output options, given the folder and the input's path.
    std::function<QStringList(Mode, const QString &dir, const QString &input)> outputs;
    int exit;
    const char *stderrHas;
    Stdout stdoutMode = Stdout::Normal;
    //! Paths (below the folder) that must exist afterwards; the others named must not.
    std::vector<const char *> present = {}, absent = {};
};

const Case kCases[] = {
    {"json_over_the_input_spelled_with_a_dot", "", "",
     [](Mode, const QString &d, const QString &in) {
         return QStringList{"--json", d + "/./" + QFileInfo(in).fileName()};
     },
     2, "is the input file given as"},
    {"pdf_over_the_input", "", "",
     [](Mode, const QString &, const QString &in) {
         return QStringList{"--pdf", in};
     },
     2, "is the input file given as"},
    {"json_over_the_input_by_a_link", "", "",
     [](Mode, const QString &d, const QString &in) {
         QFile::link(in, d + "/link.json");
         return QStringList{"--json", d + "/link.json"};
     },
     2, "is the input file given as"},
    {"pdf_over_a_hard_link_of_the_input", "", "",
     [](Mode, const QString &d, const QString &in) {
         ::link(QFile::encodeName(in).constData(), QFile::encodeName(d + "/hard.pdf").constData());
         return QStringList{"--pdf", d + "/hard.pdf"};
     },
     2, "is the input file given as"},
    {"a_chart_named_as_the_input", "Form2_Chart1.svg", "Life_ProbabilityPlot.png",
     [](Mode m, const QString &d, const QString &) {
         QStringList a{"--charts", d};
         if (m == Mode::Failures)
             a << "--chart-format"
               << "svg";
         return a;
     },
     2, "is the input file given as"},
    {"an_mle_chart_named_as_the_input", "FormMle_Causes.pdf", "",
     [](Mode m, const QString &d, const QString &) {
         QStringList a{"--charts", d};
         if (m == Mode::Failures)
             a << "--chart-format"
               << "pdf";
         else   // the chart's own name
             a << "--pdf"
               << d + (m == Mode::Life ? "/Life_ProbabilityPlot.png" : "/Cohorts_Cost.png");
         return a;
     },
     2, ""},
    {"json_and_pdf_one_file",
     "",
     "",
     [](Mode, const QString &d, const QString &) {
         return QStringList{"--json", d + "/r.out", "--pdf", d + "/sub/../r.out"};
     },
     2,
     "name the same file",
     Stdout::Normal,
     {},
     {"r.out"}},
    {"json_to_a_device", "", "",
     [](Mode, const QString &, const QString &) {
         return QStringList{"--json", "/dev/zero"};
     },
     2, "is a device"},
    {"pdf_to_a_pipe", "", "",
     [](Mode, const QString &d, const QString &) {
         mkfifo(QFile::encodeName(d + "/pipe.pdf").constData(), 0600);
         return QStringList{"--pdf", d + "/pipe.pdf"};
     },
     2, "is a pipe"},
    {"one_output_unwritable_leaves_none",
     "",
     "",
     [](Mode, const QString &d, const QString &) {
         return QStringList{"--charts",   d + "/charts", "--pdf",
                            d + "/r.pdf", "--json",      d + "/no/such/r.json"};
     },
     1,
     "Не удалось записать файл",
     Stdout::Normal,
     {},
     {"charts", "r.pdf", "no"}},
    {"stdout_full_leaves_no_output",
     "",
     "",
     [](Mode, const QString &d, const QString &) {
         return QStringList{"--pdf", d + "/r.pdf"};
     },
     1,
     "Не удалось вывести результаты в стандартный вывод",
     Stdout::Full,
     {},
     {"r.pdf"}},
    {"every_output_written",
     "",
     "",
     [](Mode, const QString &d, const QString &) {
         return QStringList{"--charts", d + "/c/d", "--pdf", d + "/r.pdf", "--json", d + "/r.json"};
     },
     0,
     "",
     Stdout::Normal,
     {"c/d", "r.pdf", "r.json"},
     {}},
};

struct Row {
    const Case *c;
    Mode mode;
};
void PrintTo(const Row &r, std::ostream *os)
{
    *os << r.c->name
        << (r.mode == Mode::Failures ? "/failures"
            : r.mode == Mode::Life   ? "/life"
                                     : "/cohorts");
}

std::vector<Row> rows()
{
    std::vector<Row> out;
    for (const Case &c : kCases)
        for (Mode m : {Mode::Failures, Mode::Life, Mode::Cohorts})
            out.push_back({&c, m});
    return out;
}

class OutputRules : public ::testing::TestWithParam<Row> {};

TEST_P(OutputRules, RefusedOrWrittenWholeWithTheInputKept)
{
    const Case &c = *GetParam().c;
    const Mode m = GetParam().mode;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The cohort mode's input takes the name of its own chart where the life input does.
    const QString name = QString::fromUtf8(m == Mode::Failures ? c.failureInput : c.lifeInput);
    const QString in = inputCopy(
        m, dir.path(),
        m == Mode::Cohorts && !name.isEmpty() ? QStringLiteral("Cohorts_Claims.png") : name);
    const QByteArray before = QCryptographicHash::hash(readAll(in), QCryptographicHash::Sha1);
    const QStringList args = command(m, in) + c.outputs(m, dir.path(), in);
    const CliRun r = runCli(args, c.stdoutMode);
    EXPECT_EQ(r.exitCode, c.exit) << args.join(u' ').toStdString() << "\n"
                                  << r.errText().toStdString();
    EXPECT_TRUE(r.errText().contains(QString::fromUtf8(c.stderrHas))) << r.errText().toStdString();
    EXPECT_EQ(QCryptographicHash::hash(readAll(in), QCryptographicHash::Sha1), before);
    for (const char *p : c.present)
        EXPECT_TRUE(QFileInfo::exists(dir.filePath(QString::fromUtf8(p)))) << p;
    for (const char *p : c.absent)
        EXPECT_FALSE(QFileInfo::exists(dir.filePath(QString::fromUtf8(p)))) << p;
    // Nothing staged is left behind beside the targets.
    for (const QString &e :
         QDir(dir.path())
             .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System))
        EXPECT_FALSE(e.startsWith(u'.') || e.contains(QStringLiteral(".tmp")) ||
                     e.contains(QStringLiteral("XXXX")))
            << e.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputRules, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row> &i) {
                             return std::string(i.param.c->name) +
                                    (i.param.mode == Mode::Failures ? "_failures"
                                     : i.param.mode == Mode::Life   ? "_life"
                                                                    : "_cohorts");
                         });

TEST(OutputRules, VersionToAFullDiskSaysSo)
{
    const CliRun r = runCli({"--version"}, Stdout::Full);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.errText().contains(QStringLiteral("cannot write to standard output")))
        << r.errText().toStdString();
}

TEST(OutputRules, OptionsGivenWhereUnusedAreWarned)
{
    struct W {
        QStringList extra;
        const char *warning;   //!< "" for none
    };
    const W cases[] = {
        {{"--level", "0.9"}, "--level is not used"},
        {{"--mle-bounds=fisher", "--methods", "spiral,mle"}, "--mle-bounds is not used"},
        {{"--chart-format", "svg"}, "--chart-format is not used"},
        {{"--level", "0.9", "--methods", "spiral,mle"}, ""},
    };
    for (const W &w : cases) {
        const CliRun r =
            runCli(QStringList{QStringLiteral(OBROTK_EXAMPLES "/sample.fdt"), "--quiet"} + w.extra);
        // A warning is no refusal (the sample's 0 h failure may still stop the mle fit).
        EXPECT_NE(r.exitCode, 2) << r.errText().toStdString();
        if (*w.warning)
            EXPECT_TRUE(r.errText().contains(QString::fromUtf8(w.warning)))
                << w.extra.join(u' ').toStdString() << ": " << r.errText().toStdString();
        else
            EXPECT_FALSE(r.errText().contains(QStringLiteral("warning")))
                << r.errText().toStdString();
    }
}

}   // namespace
