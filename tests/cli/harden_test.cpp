// SPDX-License-Identifier: MIT
// obrotk-cli over odd and hostile inputs, one row per case: refused with which message,
// or read with a warning, or run as before; the exit status; the inputs unchanged; no
// output left behind on failure; and no NaN or infinity in anything it writes.
#include "io/loaders.h"
#include "support/cli_process.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace obr;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << s.toStdString(); }
inline void PrintTo(const QByteArray &b, std::ostream *os)
{
    *os << b.toHex().left(16).toStdString();
}
QT_END_NAMESPACE

namespace {

using obr::test::CliRun;
using obr::test::readAll;
using obr::test::runCli;
using obr::test::Stdout;

const QString kSample = QStringLiteral(OBROTK_EXAMPLES "/sample.fdt");

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

//! A failure data file: header, causes, failure lines (Windows-1251, CR LF).
QByteArray fdt(int fleet, int kolOtk, const QStringList &failures, const QString &sred = "1000",
               const QString &sko = "250")
{
    QStringList l{QStringLiteral("Испытание"),
                  sred,
                  sko,
                  QString::number(fleet),
                  QString::number(kolOtk),
                  QStringLiteral("1"),
                  QStringLiteral("Насос")};
    return encodeLines(l << failures);
}

QStringList evenFailures(int n, double from, double step, const QString &cause = "Насос")
{
    QStringList l;
    for (int i = 0; i < n; ++i)
        l << QString::number(from + step * i, 'f', 2) + u'\t' + cause;
    return l;
}

//! Every file below \a dir with its digest.
std::map<QString, QByteArray> snapshot(const QString &dir)
{
    std::map<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        const QFileInfo fi(p);
        files[p] = fi.isDir()    ? QByteArray("dir")
                   : fi.isFile() ? QCryptographicHash::hash(readAll(p), QCryptographicHash::Sha1)
                                 : QByteArray("special");   // a pipe is not read
    }
    return files;
}

//! Words that a number which is not finite turns into, in any of the texts written.
const QRegularExpression
    kNotFinite(QStringLiteral("(?<![A-Za-zА-Яа-я])-?(nan|inf|infinity)(?![A-Za-zА-Яа-я])"),
               QRegularExpression::CaseInsensitiveOption);

void expectFinite(const QString &what, const QString &text)
{
    const QRegularExpressionMatch m = kNotFinite.match(text);
    EXPECT_FALSE(m.hasMatch())
        << what.toStdString() << ": «" << m.captured().toStdString() << "» in "
        << text.mid(std::max<qsizetype>(0, m.capturedStart() - 60), 120).toStdString();
}

//! JSON numbers are always finite; a value that was not is written as null, which only
//! "objective" may be (a fit that has none).
void expectNoNull(const QString &where, const QJsonValue &v)
{
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            if (!(it.value().isNull() && it.key() == u"objective"))
                expectNoNull(where + u'.' + it.key(), it.value());
    } else if (v.isArray()) {
        const QJsonArray a = v.toArray();
        for (qsizetype i = 0; i < a.size(); ++i)
            expectNoNull(where + QStringLiteral("[%1]").arg(i), a[i]);
    } else {
        EXPECT_FALSE(v.isNull()) << where.toStdString();
    }
}

struct Case {
    const char *name;
    //! Writes the inputs into the folder and returns the arguments before the outputs.
    std::function<QStringList(const QString &dir)> inputs;
    int exit;
    const char *stderrHas;   //!< part of the message on stderr (refusals)
    const char *logHas;      //!< part of a log line (warnings); "" for none expected
    Stdout stdoutMode = Stdout::Normal;
    bool outputs = true;   //!< also ask for JSON, log, charts and PDF
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

QString sampleCopy(const QString &dir)
{
    const QString p = dir + QStringLiteral("/sample.fdt");
    QFile::copy(kSample, p);
    return p;
}

QString fileIn(const QString &dir, const char *name, const QByteArray &bytes)
{
    const QString p = dir + u'/' + QLatin1String(name);
    writeFile(p, bytes);
    return p;
}

const QString kOut = QStringLiteral("out");   // outputs go to dir/out/...

const Case kCases[] = {
    // 1. Warranty figures under which every failure lies past the warranty.
    {"warranty_in_years",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--warranty",
                            fileIn(d, "gar_years.txt", "c\r\n1\r\n2\r\n3\r\n")};
     },
     1, "что все изделия уже выбыли из наблюдения", ""},
    {"mean_and_deviation_of_one_hour",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--sred",       "1", "--sko", "1",
                            "--methods",   "spiral,newton"};
     },
     1, "что все изделия уже выбыли из наблюдения", ""},
    // 2. An exactly flat objective along the shape (all failures below one hour).
    {"failures_below_one_hour",
     [](const QString &d) {
         return QStringList{fileIn(d, "hour.fdt", fdt(1000, 80, evenFailures(80, 0.1, 0.01)))};
     },
     0, "", ""},
    // 3. A step coefficient barely above 1.
    {"step_coefficient_barely_above_one",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--methods", "newton", "--k-newton", "1.000000001"};
     },
     2, "Наименьший допустимый коэффициент: 1.000000185", ""},
    // 4. Genetic settings.
    {"precision_above_its_range",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--methods", "genetic", "--ga-precision",
                            "1,5",         "--locale",  "ru_RU"};
     },
     1, "Точность подбора должна быть в пределах от 0,000000001 до 1", ""},
    {"population_beyond_memory",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--methods", "genetic", "--ga-population", "2000000000"};
     },
     1, "Наибольший допустимый размер популяции", ""},
    {"generations_beyond_memory",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--methods",        "genetic",   "--ga-population",
                            "2",           "--ga-generations", "2147483647"};
     },
     1, "Наибольшее допустимое число поколений", ""},
    // 5. What is not a regular file, and a runaway line.
    {"device_as_data_file", [](const QString &) { return QStringList{"/dev/zero"}; }, 1,
     "не обычный файл", ""},
    {"fifo_as_data_file",
     [](const QString &d) {
         const QString p = d + "/pipe.fdt";
         mkfifo(QFile::encodeName(p).constData(), 0600);
         return QStringList{p};
     },
     1, "не обычный файл", ""},
    {"fifo_as_warranty_file",
     [](const QString &d) {
         const QString p = d + "/gar_pipe.txt";
         mkfifo(QFile::encodeName(p).constData(), 0600);
         return QStringList{sampleCopy(d), "--warranty", p};
     },
     1, "не обычный файл", ""},
    {"folder_as_data_file",
     [](const QString &d) {
         QDir(d).mkdir("folder.fdt");
         return QStringList{d + "/folder.fdt"};
     },
     1, "это папка", ""},
    {"runaway_line",
     [](const QString &d) {
         return QStringList{
             fileIn(d, "long.fdt", fdt(100, 2, {"10\tНасос", "20\t" + QString(5 << 20, u'x')}))};
     },
     1, "Ошибка в данных в строке 9: строка длиннее", ""},
    // 6. An output that is an input, and two outputs that are one file.
    {"json_over_the_data_file",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--json", d + "/./sample.fdt"};
     },
     2, "is the input file given as FILE", "", Stdout::Normal, false},
    {"log_over_the_warranty_file_by_a_link",
     [](const QString &d) {
         const QString gar = fileIn(d, "gar.txt", "c\r\n900\r\n1100\r\n1000\r\n");
         QFile::link(gar, d + "/link.txt");
         return QStringList{sampleCopy(d), "--warranty", gar, "--log", d + "/link.txt"};
     },
     2, "is the input file given as --warranty", "", Stdout::Normal, false},
    {"pdf_over_a_hard_link_of_the_data_file",
     [](const QString &d) {
         const QString s = sampleCopy(d);
         ::link(QFile::encodeName(s).constData(), QFile::encodeName(d + "/hard.pdf").constData());
         return QStringList{s, "--pdf", d + "/hard.pdf"};
     },
     2, "is the input file given as FILE", "", Stdout::Normal, false},
    {"json_and_log_one_file",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--json", d + "/r.txt", "--log", d + "/sub/../r.txt"};
     },
     2, "name the same file", "", Stdout::Normal, false},
    // 7. One output that cannot be written: none appears.
    {"one_output_unwritable",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--log",        d + "/ok.txt",
                            "--json",      d + "/ok.json", "--charts",
                            d + "/charts", "--pdf",        d + "/no/such/dir/r.pdf"};
     },
     1, "Не удалось записать файл", "", Stdout::Normal, false},
    // 8. Standard output that cannot be written.
    {"stdout_full", [](const QString &d) { return QStringList{sampleCopy(d)}; }, 1,
     "Не удалось вывести результаты в стандартный вывод", "", Stdout::Full},
    {"stdout_closed", [](const QString &d) { return QStringList{sampleCopy(d)}; }, 1,
     "Не удалось вывести результаты в стандартный вывод: он закрыт", "", Stdout::Closed},
    {"stdout_closed_but_quiet",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--quiet"};
     },
     0, "", "", Stdout::Closed},
    // 9. Impossible figures in the boxes.
    {"deviation_zero",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--sko", "0"};
     },
     1, "СКО времени гарантии должно быть больше 0, а задано 0", ""},
    {"mean_zero",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--sred", "0"};
     },
     1, "Среднее время гарантии должно быть больше 0, а задано 0", ""},
    {"mean_negative",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--sred", "-500", "--locale", "ru_RU"};
     },
     1, "Среднее время гарантии должно быть больше 0, а задано -500", ""},
    {"deviation_negative",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--sko", "-0.5", "--methods", "nonparam"};
     },
     1, "а задано -0.5", ""},
    {"period_negative",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--tgar", "-1"};
     },
     1, "Гарантийный срок для расчета не может быть отрицательным, а задано -1", ""},
    {"warranty_deviation_rounds_to_zero",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--warranty",
                            fileIn(d, "gar_tight.txt", "c\r\n1000\r\n1000.01\r\n1000.02\r\n")};
     },
     1, "СКО времени гарантии должно быть больше 0, а задано 0", ""},
    // 11.–13., 15. Read and run, with a line in the log.
    {"late_failure",
     [](const QString &d) {
         QStringList f = evenFailures(299, 10, 3);
         f << "2250\tНасос";
         return QStringList{fileIn(d, "late.fdt", fdt(2000, 300, f)), "--methods",
                            "spiral,smirnov,nonparam"};
     },
     0, "", "Отказ № 300 (наработка 2250 ч): поправка на цензурирование"},
    {"fit_ends_at_a_bound",
     [](const QString &d) {
         return QStringList{fileIn(d, "fleet.fdt", fdt(1000000, 300, evenFailures(300, 10, 3)))};
     },
     0, "", "коэффициент повторности остановился на верхней границе диапазона подбора (30)"},
    {"fewer_declared_than_listed",
     [](const QString &d) {
         return QStringList{fileIn(d, "one.fdt", fdt(2000, 1, evenFailures(300, 10, 3)))};
     },
     0, "", "указано отказов: 1, а строк отказов в файле больше: 300"},
    {"fewer_than_five_failures",
     [](const QString &d) {
         return QStringList{fileIn(d, "few.fdt", fdt(2000, 3, evenFailures(3, 100, 100))),
                            "--methods", "spiral,newton,smirnov,nonparam"};
     },
     0, "", "всего 3 строк отказов"},
    {"utf8_with_a_stray_byte",
     [](const QString &d) {
         QStringList l{"Испытание", "1000", "250", "2000", "30", "1", "Насос"};
         l << evenFailures(30, 10, 30, "Насос * заменён");
         QByteArray b = (l.join("\r\n") + "\r\n").toUtf8();
         b[b.indexOf("\r\n100.00\t") - 1] = '\xFF';   // the last byte of line 10
         return QStringList{fileIn(d, "stray.fdt", b)};
     },
     0, "", "Строки: 10"},
    // 16. Negative warranty times, empty output paths.
    {"negative_warranty_time",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--warranty",
                            fileIn(d, "gar_neg.txt", "c\r\n1000\r\n-200\r\n900\r\n")};
     },
     1, "Ошибка в данных в строке 3: отрицательный срок гарантии -200", ""},
    {"empty_json_path",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--json", ""};
     },
     2, "--json: the path is empty", "", Stdout::Normal, false},
    {"empty_log_path",
     [](const QString &d) {
         return QStringList{sampleCopy(d), "--log="};
     },
     2, "--log: the path is empty", "", Stdout::Normal, false},
    // Sound input with every method, for the scan of what is written.
    {"sample_every_method",
     [](const QString &d) {
         return QStringList{sampleCopy(d),
                            "--methods",
                            "spiral,newton,smirnov,genetic,nonparam",
                            "--ga-population",
                            "30",
                            "--ga-generations",
                            "6",
                            "--ga-seed",
                            "2",
                            "--locale",
                            "ru_RU"};
     },
     0, "", ""},
};

class Hostile : public ::testing::TestWithParam<Case> {};

TEST_P(Hostile, RefusedOrWarnedWithInputsKeptAndNothingHalfWritten)
{
    const Case &c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QStringList args = c.inputs(dir.path());
    const QString out = dir.filePath(kOut);
    const QString json = out + "/r.json", log = out + "/log.txt", pdf = out + "/r.pdf",
                  charts = out + "/charts/png";
    if (c.outputs) {
        QDir(dir.path()).mkdir(kOut);
        args << "--json" << json << "--log" << log << "--pdf" << pdf << "--charts" << charts;
    }
    const auto before = snapshot(dir.path());
    const CliRun r = runCli(args, c.stdoutMode);
    const QString err = QString::fromUtf8(r.err);

    EXPECT_EQ(r.exitCode, c.exit) << err.toStdString();
    if (*c.stderrHas) {
        EXPECT_TRUE(err.contains(QString::fromUtf8(c.stderrHas))) << err.toStdString();
    }
    auto after = snapshot(dir.path());
    if (r.exitCode != 0 || c.exit != 0) {
        // Nothing written: the folder holds what it held, byte for byte.
        EXPECT_EQ(after, before);
        return;
    }
    // The inputs are as they were; the outputs are all there.
    for (const auto &[path, digest] : before)
        EXPECT_EQ(after[path], digest) << path.toStdString();
    if (!c.outputs)
        return;
    for (const QString &p : {json, log, pdf})
        EXPECT_TRUE(QFileInfo::exists(p)) << p.toStdString();
    EXPECT_FALSE(QDir(charts).entryList(QDir::Files).isEmpty());

    const QString logText = decodeText(readAll(log));
    if (*c.logHas) {
        EXPECT_TRUE(logText.contains(QString::fromUtf8(c.logHas))) << logText.toStdString();
    }

    // 10. No number that is not finite in anything written.
    expectFinite("stdout", QString::fromUtf8(r.out));
    expectFinite("stderr", err);
    expectFinite("log", logText);
    const QByteArray jsonBytes = readAll(json);
    expectFinite("json", QString::fromUtf8(jsonBytes));
    const QJsonDocument doc = QJsonDocument::fromJson(jsonBytes);
    ASSERT_TRUE(doc.isObject());
    expectNoNull("json", doc.object());
    // A fit that ended at a bound is flagged in its model; sound fits flag nothing.
    const QJsonObject models = doc.object()[QStringLiteral("models")].toObject();
    for (auto it = models.begin(); it != models.end(); ++it) {
        const QJsonArray bounds = it.value().toObject()[QStringLiteral("atBound")].toArray();
        if (QByteArray(c.name) == "fit_ends_at_a_bound" && it.key() == u"MPirsS") {
            ASSERT_EQ(bounds.size(), 2);
            EXPECT_EQ(bounds[0].toObject()[QStringLiteral("bound")].toDouble(), 10);
            EXPECT_EQ(bounds[1].toObject()[QStringLiteral("bound")].toDouble(), 30);
            EXPECT_EQ(bounds[1].toObject()[QStringLiteral("side")].toString(),
                      QStringLiteral("upper"));
        } else if (QByteArray(c.name) == "sample_every_method") {
            EXPECT_TRUE(bounds.isEmpty()) << it.key().toStdString();
        }
    }
    if (!QStandardPaths::findExecutable("pdftotext").isEmpty()) {
        QProcess t;
        t.start("pdftotext", {pdf, "-"});
        ASSERT_TRUE(t.waitForFinished(60000));
        expectFinite("pdf", QString::fromUtf8(t.readAllStandardOutput()));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Hostile, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(HostileOutputs, AMissingChartsFolderAppearsOnlyWithTheOtherOutputs)
{
    QTemporaryDir dir;
    QFile::copy(kSample, dir.filePath("s.fdt"));
    const auto before = snapshot(dir.path());
    // The charts could be written, the PDF could not: neither the folders nor the log appear.
    CliRun r =
        runCli({dir.filePath("s.fdt"), "--quiet", "--log", dir.filePath("ok.txt"), "--charts",
                dir.filePath("new/deeper/charts"), "--pdf", dir.filePath("missing/r.pdf")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(snapshot(dir.path()), before);
    // All writable: the folders are made, the files are complete.
    r = runCli({dir.filePath("s.fdt"), "--quiet", "--log", dir.filePath("ok.txt"), "--charts",
                dir.filePath("new/deeper/charts"), "--pdf", dir.filePath("r.pdf")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QDir(dir.filePath("new/deeper/charts")).entryList(QDir::Files).size(), 4);
    EXPECT_TRUE(readAll(dir.filePath("r.pdf")).startsWith("%PDF"));
    EXPECT_TRUE(readAll(dir.filePath("ok.txt")).startsWith(encodeLines({"Ход решения"})));
    // Nothing temporary is left beside them.
    for (const auto &[path, digest] : snapshot(dir.path()))
        EXPECT_FALSE(QFileInfo(path).fileName().startsWith(u'.')) << path.toStdString();
}

}   // namespace
