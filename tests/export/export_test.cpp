// SPDX-License-Identifier: MIT
// Cells as tab-separated text and the CSV file of a calculation.
#include "export/csv.h"
#include "export/tsv.h"
#include "io/loaders.h"
#include "results/results_texts.h"
#include "stats/stat2018.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace obr;

namespace {

State sampleState()
{
    QFile f(QStringLiteral(OBROTK_EXAMPLES "/sample.fdt"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    State s;
    applyFailureFile(s, readFailureFile(f.readAll()));
    s.tGar = s.Sred;
    hist(s);
    return s;
}

//! The lines of a CSV section, from its heading to the next empty line.
QStringList section(const QString &csv, const QString &heading)
{
    const QStringList lines = csv.split(QStringLiteral("\r\n"));
    QStringList out;
    bool in = false;
    for (const QString &l : lines) {
        if (!in && (l.startsWith(heading) || l.startsWith(u'"' + heading)))
            in = true;
        else if (in && l.isEmpty())
            break;
        if (in)
            out << l;
    }
    return out;
}

//! The cells of one CSV line, quotes undone.
QStringList cellsOf(const QString &line, QChar sep)
{
    QStringList out{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
            out.last() += u'"';
            ++i;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (c == sep && !quoted) {
            out << QString();
        } else {
            out.last() += c;
        }
    }
    return out;
}

}   // namespace

TEST(Tsv, CellsLoseTheirPaddingAndStayOneCell)
{
    const struct {
        const char *in, *out;
    } cases[] = {
        {" 628.83, / 0.65407          ", "628.83, / 0.65407"},
        {"  11.50 /  5.87", "11.50 /  5.87"},   // the blanks inside a text are its own
        {"a\tb", "a b"},
        {"line\r\nbreak", "line  break"},
        {"   ", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(exportCell(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(Tsv, EmptyEdgesAreDroppedButInnerGapsKept)
{
    const CellRows rows = {{" a ", "", " b ", "  ", ""},
                           {"", "", "", "", ""},
                           {"c", "", "", "", ""},
                           {"   ", "", "", "", ""}};
    EXPECT_EQ(tsvText(trimEmptyEdges(rows)), QStringLiteral("a\t\tb\n\t\t\nc\t\t\n"));
    EXPECT_TRUE(trimEmptyEdges({{" ", ""}, {}}).empty());
}

TEST(Csv, QuotesOnlyWhereNeeded)
{
    EXPECT_EQ(csvText({{"1,5", "a;b", "say \"x\"", " 2 "}}, u';'),
              QStringLiteral("1,5;\"a;b\";\"say \"\"x\"\"\";2\r\n"));
    EXPECT_EQ(csvText({{"1,5", "a;b"}}, u','), QStringLiteral("\"1,5\",a;b\r\n"));
    EXPECT_EQ(csvSeparator(NumLocale::comma()), u';');
    EXPECT_EQ(csvSeparator(NumLocale::period()), u',');
    EXPECT_EQ(csvNumber(1520.5, NumLocale::comma()), QStringLiteral("1520,5"));
    EXPECT_EQ(csvNumber(2000, NumLocale::comma()), QStringLiteral("2000"));
    EXPECT_EQ(csvNumber(std::numeric_limits<double>::quiet_NaN(), NumLocale::period()), QString());
    EXPECT_EQ(csvNumber(std::numeric_limits<double>::infinity(), NumLocale::period()), QString());
}

TEST(Csv, ResultsFileHasTheTableTheHistogramWithModelsAndTheNonparametricSeries)
{
    State s = sampleState();
    ASSERT_FALSE(s.Hist_Arr.empty());
    // Two models with known expected counts: the file shows them in table order (the
    // Newton column first) whatever order they were set in.
    s.MPirsS.Executed = true;
    s.MPirsS.Kol_F_priv.assign(s.Hist_Arr.size(), 2.5);
    s.MPirsN.Executed = true;
    s.MPirsN.Kol_F_priv.assign(s.Hist_Arr.size(), 0.125);

    for (const NumLocale nl : {NumLocale::period(), NumLocale::comma()}) {
        const QChar sep = csvSeparator(nl);
        ResultsTable t;
        t.dataColumn = 1;
        t.cells[0][0] = rtxt::rowCaptions[0];
        t.cells[1][0] = rtxt::colData;
        t.cells[0][3] = rtxt::rowCaptions[3];
        t.cells[1][3] = QStringLiteral(" 441 (набл.)/0 (ценз.)      ");
        s.F_OutGar = {7, 8};
        s.Sum_PrichRow.fill(-1);
        const std::optional<NonparamResult> np = nonparamOf(s, nl);
        ASSERT_TRUE(np.has_value());
        // The state is left as it was.
        EXPECT_EQ(s.F_OutGar, std::vector<double>({7, 8}));
        EXPECT_EQ(s.Sum_PrichRow[1], -1);
        const QByteArray bytes = resultsCsv(s, t, &*np, nl);
        ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));   // the byte order mark
        const QString csv = QString::fromUtf8(bytes.mid(3));

        const QStringList table = section(csv, QStringLiteral("Результаты расчета: "));
        ASSERT_EQ(table.size(), 5);   // heading and rows 0..3, the empty rows after them dropped
        EXPECT_EQ(cellsOf(table[0], sep).size(), 1);
        EXPECT_EQ(cellsOf(table[1], sep), QStringList({rtxt::rowCaptions[0], rtxt::colData}));
        EXPECT_EQ(cellsOf(table[4], sep),
                  QStringList({rtxt::rowCaptions[3], QStringLiteral("441 (набл.)/0 (ценз.)")}));

        const QStringList hist = section(csv, QStringLiteral("Гистограмма отказов"));
        ASSERT_EQ(hist.size(), qsizetype(s.Hist_Arr.size()) + 2);
        EXPECT_EQ(cellsOf(hist[1], sep),
                  QStringList({QStringLiteral("Конец интервала, ч"),
                               QStringLiteral("Отказов наблюдаемых"),
                               QStringLiteral("Пирсона/Ньютона: ожидаемое число отказов"),
                               QStringLiteral("Пирсона/спир.спуск: ожидаемое число отказов")}));
        int observed = 0;
        for (size_t i = 0; i < s.Hist_Arr.size(); ++i) {
            const QStringList cells = cellsOf(hist[qsizetype(i) + 2], sep);
            ASSERT_EQ(cells.size(), 4);
            EXPECT_EQ(cells[0], csvNumber(s.Hist_Arr[i].time, nl));
            EXPECT_EQ(cells[2], QStringLiteral("0") + nl.dec + QStringLiteral("125"));
            EXPECT_EQ(cells[3], QStringLiteral("2") + nl.dec + QStringLiteral("5"));
            observed += cells[1].toInt();
        }
        EXPECT_EQ(observed, s.Kol_izw);

        const QStringList npLines = section(csv, QStringLiteral("Непараметрический анализ"));
        ASSERT_GE(npLines.size(), 3);
        const QStringList head = cellsOf(npLines[1], sep);
        EXPECT_TRUE(head.contains(QStringLiteral("Отказов / количество изделий с цензур-м,%")));
        EXPECT_TRUE(head.contains(s.Vidy_otkazov[1].Nazv_Prich));   // the most frequent cause
        EXPECT_EQ(npLines.size() - 2, qsizetype(s.Hist_Arr.size()));
        // Every interval row begins with the interval's end in whole hours.
        EXPECT_EQ(cellsOf(npLines[2], sep).first(),
                  QString::number(qint64(roundEven(s.Hist_Arr[0].time))));
        EXPECT_FALSE(csv.contains(QStringLiteral("nan"), Qt::CaseInsensitive));
        EXPECT_FALSE(csv.contains(QStringLiteral("inf"), Qt::CaseInsensitive));
    }
}

TEST(Csv, NoNonparametricSectionWithoutAHistogram)
{
    State s;
    EXPECT_FALSE(nonparamOf(s, NumLocale::period()).has_value());
    const QString csv =
        QString::fromUtf8(resultsCsv(s, ResultsTable{}, nullptr, NumLocale::period()));
    EXPECT_TRUE(csv.contains(QStringLiteral("Гистограмма отказов")));
    EXPECT_FALSE(csv.contains(QStringLiteral("Непараметрический анализ")));
}

TEST(Csv, AllFiveModelsGiveEveryTableColumnAndEveryModelsExpectedCounts)
{
    // The four models of the designed table and the maximum-likelihood model fill seven
    // columns: the operational data stand in the seventh, past the designed six.
    State s = sampleState();
    double v = 1;
    for (Mod_Weib *m : {&s.MPirsN, &s.MPirsS, &s.MSmirn, &s.MGenet, &s.MMaxPr}) {
        m->Executed = true;
        m->Kol_F_priv.assign(s.Hist_Arr.size(), v++);
    }
    const NumLocale nl = NumLocale::period();
    ResultsView view = computeResults(s, nl, [](const QString &t) { return int(t.size()) * 7; });
    ASSERT_EQ(view.table.dataColumn, 6);
    const QString csv = QString::fromUtf8(resultsCsv(s, view.table, nullptr, nl).mid(3));
    const QStringList table = section(csv, QStringLiteral("Результаты расчета: "));
    ASSERT_GE(table.size(), 2);
    const QStringList head = cellsOf(table[1], u',');
    ASSERT_EQ(head.size(), 7);
    EXPECT_EQ(head[5], rtxt::colMaxPr);
    EXPECT_EQ(head[6], rtxt::colData);

    const QStringList hist = section(csv, QStringLiteral("Гистограмма отказов"));
    const QStringList hh = cellsOf(hist[1], u',');
    ASSERT_EQ(hh.size(), 7);
    EXPECT_EQ(hh[6], rtxt::colMaxPr + QStringLiteral(": ожидаемое число отказов"));
    EXPECT_EQ(cellsOf(hist[2], u',')[6], QStringLiteral("5"));
}

TEST(Csv, ModelsOfEarlierDataAreLeftOut)
{
    // A model fitted before another failure file was loaded is not exported beside it.
    State s = sampleState();
    s.dataSet = 2;
    s.MPirsN.Executed = true;
    s.MPirsN.dataSet = 2;
    s.MPirsN.Kol_F_priv.assign(s.Hist_Arr.size(), 1);
    s.MGenet.Executed = true;
    s.MGenet.dataSet = 1;
    s.MGenet.Kol_F_priv.assign(s.Hist_Arr.size(), 9);
    const NumLocale nl = NumLocale::period();
    const QString csv = QString::fromUtf8(resultsCsv(s, ResultsTable{}, nullptr, nl).mid(3));
    const QStringList hist = section(csv, QStringLiteral("Гистограмма отказов"));
    EXPECT_EQ(cellsOf(hist[1], u',').size(), 3);
    EXPECT_FALSE(csv.contains(rtxt::colGenet));
}
