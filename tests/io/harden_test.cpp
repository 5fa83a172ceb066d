// SPDX-License-Identifier: MIT
// What the readers refuse before reading (not a regular file, too large), what they read
// but warn about (stray bytes in UTF-8, fewer failures declared than listed, very few
// failures, huge censoring weights), and texts shared between records.
#include "io/loaders.h"
#include "io/sample_gen.h"
#include "model/errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace obr;

namespace {

QStringList header(int fleet, int kolOtk, const QStringList &causes)
{
    QStringList l{"Изделие Т",
                  "1000",
                  "250",
                  QString::number(fleet),
                  QString::number(kolOtk),
                  QString::number(causes.size())};
    return l << causes;
}

QString warningsOf(const FailureFile &f) { return f.warnings.join(u'\n'); }

QString errorOf(const QString &path, qint64 maxBytes = kMaxInputBytes)
{
    try {
        readInputFile(path, maxBytes);
    } catch (const UserError &e) {
        return e.message();
    }
    return {};
}

}   // namespace

TEST(InputFile, OnlyRegularFilesUpToTheLimitAreRead)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("a.fdt");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(2000, 'x'));
    f.close();
    EXPECT_EQ(readInputFile(file)->size(), 2000);
    EXPECT_FALSE(readInputFile(dir.filePath("missing.fdt")));
    EXPECT_FALSE(readInputFile(QString()));
    EXPECT_TRUE(errorOf(dir.path()).contains("это папка")) << errorOf(dir.path()).toStdString();
    EXPECT_TRUE(errorOf("/dev/zero").contains("не обычный файл (устройство)"));
    const QString fifo = dir.filePath("pipe.fdt");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_TRUE(errorOf(fifo).contains("не обычный файл (канал)"));   // and does not block
    EXPECT_TRUE(errorOf(file, 1000).contains("слишком велик"));
}

TEST(FailureFile, ReadButWarned)
{
    struct Case {
        const char *name;
        QByteArray bytes;
        const char *warning;   // empty: no warning
    };
    QStringList many = header(2000, 300, {"Насос"});
    for (int i = 0; i < 300; ++i)
        many << QString::number(10 + 3 * i) + "\tНасос";
    QStringList declaredOne = many;
    declaredOne[4] = "1";
    QStringList late = many;
    late.last() = "2250\tНасос";   // five deviations past the mean
    QStringList few = header(2000, 3, {"Насос"}) << "100\tНасос"
                                                 << "200\tНасос"
                                                 << "300\tНасос";
    const Case cases[] = {
        {"sound", encodeLines(many), ""},
        {"fewer_declared_than_listed", encodeLines(declaredOne),
         "указано отказов: 1, а строк отказов в файле больше: 300"},
        {"fewer_than_five", encodeLines(few), "всего 3 строк отказов"},
        {"late_failure", encodeLines(late),
         "Отказ № 300 (наработка 2250 ч): поправка на цензурирование"},
    };
    for (const Case &c : cases) {
        const FailureFile f = readFailureFile(c.bytes);
        if (*c.warning == 0)
            EXPECT_TRUE(f.warnings.isEmpty()) << c.name << ": " << warningsOf(f).toStdString();
        else
            EXPECT_TRUE(warningsOf(f).contains(QString::fromUtf8(c.warning)))
                << c.name << ": " << warningsOf(f).toStdString();
    }
    // The figures stay what they were: only a line is added.
    const FailureFile a = readFailureFile(encodeLines(declaredOne));
    EXPECT_EQ(a.Kol_izw, 300);
    EXPECT_EQ(a.Popravka_Unknow, 300.0);
}

TEST(FailureFile, Utf8WithAStrayByteIsReadAsUtf8WithTheLineNamed)
{
    QStringList l = header(2000, 30, {"Насос"});
    for (int i = 0; i < 30; ++i)
        l << QString::number(10 + 30 * i) + "\tНасос * заменён";
    QByteArray bytes = (l.join("\r\n") + "\r\n").toUtf8();
    const QByteArray good = QStringLiteral("заменён").toUtf8();
    const qsizetype at = bytes.indexOf(good, bytes.indexOf("100\t"));   // line 11
    bytes[at + good.size() - 1] = '\xFF';   // the last byte of "н" in that line
    const FailureFile f = readFailureFile(bytes);
    EXPECT_EQ(f.B_otk[1].Nazv_Prich, "Насос");
    EXPECT_EQ(f.B_otk[1].Dolya, 30);
    EXPECT_TRUE(warningsOf(f).contains("Строки: 11")) << warningsOf(f).toStdString();
    // Windows-1251 text is not taken for UTF-8 with stray bytes.
    const FailureFile w = readFailureFile(encodeLines(l));
    EXPECT_EQ(w.B_otk[1].Nazv_Prich, "Насос");
    EXPECT_TRUE(w.warnings.isEmpty());
}

TEST(FailureFile, RecordsWithTheSameTextShareIt)
{
    SampleParams p;
    p.fleet = 3000;
    p.seed = 5;
    const FailureFile f = readFailureFile(generateFailureFile(p));
    ASSERT_GT(f.MasProbl.size(), 200u);
    size_t shared = 0, equal = 0;
    for (size_t i = 0; i < f.MasProbl.size(); ++i)
        for (size_t j = i + 1; j < std::min(f.MasProbl.size(), i + 20); ++j) {
            const QString &a = f.MasProbl.Pri(i), &b = f.MasProbl.Pri(j);
            if (!a.isEmpty() && a == b) {
                ++equal;
                shared += a.constData() == b.constData();
            }
        }
    ASSERT_GT(equal, 0u);
    EXPECT_EQ(shared, equal);
}

TEST(FailureFile, EveryRecordKeepsItsOwnTextsPastTheSharedTable)
{
    // More distinct cause texts than the reader looks up (it stops sharing after 65,536):
    // each record must still carry its own cause text and comment, in time order. Lines
    // are written in falling time, so the sort moves every record. Kinds of line: a cause
    // with a comment, no cause but a comment, no cause and no comment. Times stay below the
    // warranty mean.
    constexpr int n = 70000;
    QStringList l = header(200000, n, {"Насос"});
    auto kind = [](int i) { return i % 7 == 0 ? 2 : i % 2; };
    for (int i = 0; i < n; ++i) {
        const QString no = QString::number(i);
        const QString time = QString::number(n - i) + QStringLiteral("e-2");
        switch (kind(i)) {
        case 0:
            l << time + "\tнасос №" + no + " * ремонт " + no;
            break;
        case 1:
            l << time + "\tпрочее №" + no + " * осмотр " + no;
            break;
        default:
            l << time + "\tпрочее №" + no;
            break;
        }
    }
    const FailureFile f = readFailureFile(encodeLines(l));
    ASSERT_EQ(f.MasProbl.size(), size_t(n));
    int wrong = 0;
    for (size_t r = 0; r < f.MasProbl.size(); ++r) {
        const int i = n - 1 - int(r);   // the line of the r-th smallest time
        const QString no = QString::number(i);
        const Problems &p = f.MasProbl[r];
        const QString &pri = f.MasProbl.Pri(r), &komment = f.MasProbl.komment(r);
        bool ok = p.time == (n - i) / 100.0;
        switch (kind(i)) {
        case 0:
            ok = ok && p.chey == 1 && pri == "насос №" + no + " * ремонт " + no &&
                 komment == "ремонт " + no;
            break;
        case 1:
            ok = ok && p.chey == 0 && pri.isEmpty() && komment == "осмотр " + no;
            break;
        default:
            ok = ok && p.chey == 0 && pri.isEmpty() && komment.isEmpty();
            break;
        }
        wrong += !ok;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(f.B_otk[1].Dolya, 30000);   // the even lines but every 14th
}

TEST(WarrantyFile, Utf8WithAStrayByteIsWarned)
{
    QByteArray b = QStringLiteral("Сроки гарантии, партия №1\r\n100\r\n200\r\n300\r\n").toUtf8();
    b[3] = '\xFF';
    const WarrantyFile w = readWarrantyFile(b);
    EXPECT_EQ(w.Sred, 200);
    ASSERT_EQ(w.warnings.size(), 1);
    EXPECT_TRUE(w.warnings[0].contains("Строки: 1"));
}
