// SPDX-License-Identifier: MIT
#include "io/loaders.h"
#include "io/sample_gen.h"
#include "model/errors.h"

#include <QFile>
#include <QStringEncoder>
#include <gtest/gtest.h>

using namespace obr;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << s.toStdString(); }
QT_END_NAMESPACE

namespace {

//! A failure data file in Windows-1251 with CR LF line ends.
QByteArray fdt(const QStringList &lines) { return encodeLines(lines); }

QStringList header(int fleet, int kolOtk, const QStringList &causes, const QString &sred = "1000.0",
                   const QString &sko = "250")
{
    QStringList l{"Изделие Т, 2019",
                  sred,
                  sko,
                  QString::number(fleet),
                  QString::number(kolOtk),
                  QString::number(causes.size())};
    l << causes;
    return l;
}

QString errorOf(const QByteArray &bytes)
{
    try {
        readFailureFile(bytes);
    } catch (const UserError &e) {
        return e.message();
    }
    return {};
}

}   // namespace

TEST(FailureFile, HeaderCausesRecordsAndSorting)
{
    QStringList l = header(100, 8, {"насос", "насос высокого давления", "Фильтр", "Редуктор"});
    l << "5\tФильтр засорен"
      << "3\tНасос высокого давления * заменен"
      << "3,0\tнеизвестно что"
      << "1.5\tредуктор * течь, фильтр"   // the comment takes part in the matching
      << "7\t";                           // a time and an empty cause text
    const FailureFile f = readFailureFile(fdt(l));
    EXPECT_EQ(f.Comment, "Изделие Т, 2019");
    EXPECT_EQ(f.Sred, 1000.0);
    EXPECT_EQ(f.SKO, 250.0);
    EXPECT_EQ(f.Kol_Izd_All, 100);
    EXPECT_EQ(f.KolOtk, 8);
    ASSERT_EQ(f.Kol_izw, 5);
    EXPECT_DOUBLE_EQ(f.Popravka_Unknow, 5.0 / 8);
    EXPECT_DOUBLE_EQ(f.Izd_Prived, 100 * 5.0 / 8);

    // Counts in file order: насос 1, насос высокого давления 1, Фильтр 2, Редуктор 1.
    EXPECT_EQ(f.B_otk[3].Dolya, 2);
    // Sorted by count; equal counts keep their header order; empty entries come last.
    EXPECT_EQ(f.Vidy_otkazov[0].Nazv_Prich, "Не установл.");
    EXPECT_EQ(f.Vidy_otkazov[1].Nazv_Prich, "Фильтр");
    EXPECT_EQ(f.Vidy_otkazov[2].Nazv_Prich, "насос");
    EXPECT_EQ(f.Vidy_otkazov[3].Nazv_Prich, "насос высокого давления");
    EXPECT_EQ(f.Vidy_otkazov[4].Nazv_Prich, "Редуктор");
    EXPECT_TRUE(f.Vidy_otkazov[5].Nazv_Prich.isEmpty());

    // Time order; the two 3 h records keep their file order.
    const auto &m = f.MasProbl;
    EXPECT_EQ(m[0].time, 1.5);
    EXPECT_EQ(m[1].time, 3);
    EXPECT_EQ(m.Pri(1), "Насос высокого давления * заменен");
    EXPECT_EQ(m[2].time, 3);
    EXPECT_EQ(m[4].time, 7);
    // The pump line matched both pump causes; the last one in the sorted table decides.
    EXPECT_EQ(m[1].chey, 3);
    EXPECT_EQ(m.komment(1), "заменен");
    // "редуктор * течь, фильтр" matches Редуктор and Фильтр (in the comment): the last sorted
    // match.
    EXPECT_EQ(m[0].chey, 4);
    EXPECT_EQ(m.komment(0), "течь, фильтр");
    EXPECT_EQ(m[2].chey, 0);
    EXPECT_TRUE(m.Pri(2).isEmpty());
    EXPECT_EQ(m[4].chey, 0);
}

TEST(FailureFile, LineEndsBlankLinesAndEncodings)
{
    QStringList l = header(10, 2, {"Насос"});
    l << "10\tНасос"
      << "20\tНасос";
    const QByteArray crlf = fdt(l);
    QByteArray lf = crlf;
    lf.replace("\r\n", "\n");
    QByteArray cr = crlf;
    cr.replace("\r\n", "\r");
    QByteArray utf8 = "\xEF\xBB\xBF" + l.join("\r\n").toUtf8() + "\r\n\r\n\r\n";
    QByteArray blanks = crlf;
    blanks.replace("1000.0\r\n",
                   "\r\n  \r\n1000.0   ignored text\r\n");   // blank lines before a number
    for (const QByteArray &b : {crlf, lf, cr, utf8, blanks}) {
        const FailureFile f = readFailureFile(b);
        EXPECT_EQ(f.Kol_izw, 2);
        EXPECT_EQ(f.Vidy_otkazov[1].Nazv_Prich, "Насос");
        EXPECT_EQ(f.MasProbl[1].chey, 1);
        EXPECT_EQ(f.Sred, 1000.0);
    }
}

TEST(FailureFile, BadInputIsRefusedWithTheLineNumber)
{
    const QStringList ok = header(10, 2, {"Насос"});
    struct Case {
        QStringList lines;
        QString expected;
    } cases[] = {
        {{"c", "1000,5", "250", "10", "2", "0"}, "строке 2"},
        {{"c", "1000", "abc", "10", "2", "0"}, "строке 3"},
        {{"c", "1000", "250", "10.5", "2", "0"}, "строке 4"},
        {{"c", "1000", "250", "10", "2", "19"}, "строке 6"},
        {{"c", "1000", "250", "10", "2", "3", "A"}, "строке 8"},
        {ok + QStringList{"10 Насос"}, "строке 8: нет символа табуляции"},
        {ok + QStringList{"1x0\tНасос"}, "строке 8: наработка «1x0»"},
        {ok + QStringList{"-5\tНасос"}, "строке 8: отрицательная"},
        {ok + QStringList{"NaN\tНасос"}, "строке 8"},
        {ok + QStringList{"inf\tНасос"}, "строке 8"},
        {ok + QStringList{"2e12\tНасос"}, "строке 8"},
        {ok + QStringList{"10\tНасос", "", "20\tНасос"}, "строке 9: пустая строка"},
        {ok + QStringList{"1e9\tНасос"},
         "строке 8: наработка 1000000000"},   // warranty law reaches 1
        {header(10, 0, {"A"}) + QStringList{"10\tA"}, "Количество отказов"},
        {header(10, 2, {"A"}, "1000", "0") + QStringList{"10\tA"}, "СКО"},
        {header(10, 2, {"A"}, "1000", "-3") + QStringList{"10\tA"}, "СКО"},
        {header(0, 2, {"A"}) + QStringList{"10\tA"}, "Количество изделий"},
        {header(100, 5, {"A"}), "нет ни одной строки отказа"},
        {header(100, 5, {"A"}) + QStringList{"", "  "}, "нет ни одной строки отказа"},
        // A runaway token is quoted by its start only.
        {ok + QStringList{QString(1 << 20, u'x') + "\tНасос"},
         "строке 8: наработка «xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx…» не является числом"},
    };
    for (const auto &c : cases) {
        const QString msg = errorOf(fdt(c.lines));
        EXPECT_TRUE(msg.contains(c.expected))
            << c.lines.join('|').toStdString() << " -> " << msg.toStdString();
    }
    EXPECT_FALSE(errorOf(QByteArray()).isEmpty());
    QByteArray nul = fdt(ok + QStringList{"10\tНасос"});
    nul.insert(nul.size() - 3, '\0');
    EXPECT_TRUE(errorOf(nul).contains("строке 8")) << errorOf(nul).toStdString();
}

TEST(FailureFile, CommaAndPeriodTimesAreTheSame)
{
    QStringList l = header(10, 2, {});
    l << "1520.5\tx"
      << "1520,5\ty";
    const FailureFile f = readFailureFile(fdt(l));
    EXPECT_EQ(f.MasProbl[0].time, 1520.5);
    EXPECT_EQ(f.MasProbl[1].time, 1520.5);
}

TEST(FailureFile, DerivedTimesAndMarkers)
{
    // 10 failures, fleet 10, warranty far away: weights are 1, so the corrected and the
    // plain shares are equal: 10% at the first record, 20% at the second, 50% at the fifth.
    QStringList l = header(10, 10, {"A"}, "100000", "10");
    for (int i = 1; i <= 10; ++i)
        l << QString::number(i * 100) + "\tA";
    const FailureFile f = readFailureFile(fdt(l));
    EXPECT_DOUBLE_EQ(f.T90expl, 100);
    EXPECT_DOUBLE_EQ(f.T80expl, 200);
    EXPECT_DOUBLE_EQ(f.T50expl, 500);
    EXPECT_DOUBLE_EQ(f.t50zen, 500);
    EXPECT_DOUBLE_EQ(f.T20expl, 800);
    EXPECT_DOUBLE_EQ(f.T10expl, 900);
    EXPECT_EQ(f.markers[0], Marker::T90);
    EXPECT_EQ(f.markers[1], Marker::T80);
    EXPECT_EQ(f.markers[4], Marker::T50z);   // both 50% figures on one row: the later marker stays
    EXPECT_EQ(f.markers[2], Marker::None);

    State s;
    FailureFile copy = f;
    applyFailureFile(s, std::move(copy));
    EXPECT_TRUE(s.uk);
    const GridRow r = gridRow(s, f.markers, 4, u',');
    EXPECT_EQ(r.number, "5");
    EXPECT_EQ(r.time, "500");
    EXPECT_EQ(r.cause, "A, отказов 50% от парка с учетом цензурирования");
}

TEST(FailureFile, TenPercentAndTwentyPercentOnOneRow)
{
    // Fleet 5: the first record reaches 20% at once; the row shows the 20% marker.
    QStringList l = header(5, 2, {"A"}, "100000", "10");
    l << "100\tA"
      << "300\tA";
    const FailureFile f = readFailureFile(fdt(l));
    EXPECT_EQ(f.markers[0], Marker::T80);
    EXPECT_DOUBLE_EQ(f.T90expl, 100 - 100 * 0.5);   // frac(1 - 0.5)
    EXPECT_DOUBLE_EQ(f.T80expl, 100);
}

TEST(FailureFile, BoxTextsFollowTheLocale)
{
    QStringList l = header(10, 2, {"A"}, "1520.5", "250");
    l << "10\tA";
    const FailureFile f = readFailureFile(fdt(l));
    const LoadBoxTexts ru = loadBoxTexts(f, u',');
    EXPECT_EQ(ru.meSred, "1520,5");
    EXPECT_EQ(ru.LabeledEdit2, "1520,5");
    EXPECT_EQ(ru.meSKO, "250");
    EXPECT_EQ(ru.Edit1, "1,00025");
    EXPECT_EQ(ru.Edit5, "1,0005");
    EXPECT_EQ(ru.Edit2, "0,0000002");
    EXPECT_EQ(loadBoxTexts(f, u'.').Edit6, "1.00025");

    for (auto [k, expected] :
         {std::pair{300, "1200"}, {501, "1800"}, {1000, "2500"}, {100000, "prev"}})
        EXPECT_EQ(generationsFor(k, "prev"), expected);
}

TEST(FailureFile, BundledSampleLoads)
{
    QFile file(QStringLiteral(OBROTK_SOURCE_DIR "/examples/sample.fdt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const FailureFile f = readFailureFile(file.readAll());
    EXPECT_GT(f.Kol_izw, 200);
    EXPECT_EQ(f.NPrich, 7);
    EXPECT_EQ(f.Vidy_otkazov[1].Nazv_Prich, "Насос");
    // A cause with no failures sorts behind the others.
    EXPECT_EQ(f.Vidy_otkazov[7].Nazv_Prich, "Радиатор");
    EXPECT_EQ(f.Vidy_otkazov[7].Dolya, 0);
    for (size_t i = 1; i < f.MasProbl.size(); ++i)
        ASSERT_LE(f.MasProbl[i - 1].time, f.MasProbl[i].time);
    // The generator reproduces the bundled file byte for byte.
    file.seek(0);
    EXPECT_EQ(generateFailureFile(SampleParams{}), file.readAll());
}
