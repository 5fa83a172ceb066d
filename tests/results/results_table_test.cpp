// SPDX-License-Identifier: MIT
// The results table: columns of the fitted models, row texts and formats, the padding of
// the cells, the failure flow after running-in and the model totals.
#include "fixture.h"
#include "results/out_graph2015.h"
#include "results/results_texts.h"
#include "stats/stat2018.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <algorithm>

using namespace obr;
using obr::test::model;
using obr::test::smallState;

namespace {

//! Every character 6 px wide: padding becomes countable.
const TextWidth sixPx = [](const QString &t) { return int(t.size()) * 6; };

QString trimRight(QString s)
{
    while (!s.isEmpty() && s.back() == u' ')
        s.chop(1);
    return s;
}

ResultsView refresh(State &s, const NumLocale &nl = NumLocale::period())
{
    return computeResults(s, nl, sixPx);
}

}   // namespace

TEST(ResultsTable, ColumnsFollowTheModelsThatAreSet)
{
    struct Case {
        const char *what;
        bool pirsN, pirsS, smirn, genet;
        std::vector<QString> captions;   // row 0 of columns 1..
        std::vector<int> widths;         // widths of columns 1.. that the pass sets
    };
    const QString N = QStringLiteral("Пирсона/Ньютона"), S = QStringLiteral("Пирсона/спир.спуск"),
                  M = QStringLiteral("Смирнова "), G = QStringLiteral("Генетическая"),
                  D = QStringLiteral("Данные эксплуатации");
    const std::vector<Case> cases = {
        {"no model", false, false, false, false, {D}, {128}},
        {"only genetic", false, false, false, true, {G, D}, {118, 128}},
        {"Newton and genetic", true, false, false, true, {N, G, D}, {134, 118, 128}},
        {"all four", true, true, true, true, {N, S, M, G, D}, {134, 118, 118, 118, 128}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        State s = smallState();
        const size_t n = s.Hist_Arr.size();
        s.MPirsN = model(250, 1.5, 1, n);
        s.MPirsS = model(260, 1.4, 1, n);
        s.MSmirn = model(270, 1.3, 1, n);
        s.MGenet = model(280, 1.2, 1, n);
        s.MPirsN.Executed = c.pirsN;
        s.MPirsS.Executed = c.pirsS;
        s.MSmirn.Executed = c.smirn;
        s.MGenet.Executed = c.genet;
        const ResultsTable t = refresh(s).table;
        EXPECT_EQ(t.dataColumn, int(c.captions.size()));
        EXPECT_EQ(t.widths[0], 170);
        for (size_t i = 0; i < c.captions.size(); ++i) {
            EXPECT_EQ(t.cell(int(i) + 1, 0), c.captions[i]);
            EXPECT_EQ(t.widths[i + 1], c.widths[i]);
        }
        // Columns right of the data column are empty and keep the width they had.
        for (int col = t.dataColumn + 1; col < ResultsTable::Cols; ++col) {
            EXPECT_EQ(t.widths[size_t(col)], 0);
            for (int r = 0; r < ResultsTable::Rows; ++r)
                EXPECT_TRUE(t.cell(col, r).isEmpty()) << col << "," << r;
        }
        EXPECT_EQ(t.cell(0, 0), QStringLiteral("Параметры для моделей:"));
        EXPECT_EQ(t.cell(0, 11), QStringLiteral("Отказов/изд. за гарант.срок"));
        // Cell (1, 10) continues the row-10 caption unless the data column is column 1.
        if (t.dataColumn == 1)
            EXPECT_TRUE(t.cell(1, 10).startsWith(QStringLiteral(" 0.")));
        else
            EXPECT_EQ(t.cell(1, 10), QStringLiteral("20%...100% гаран.срока"));
    }
}

TEST(ResultsTable, RefitOfOneModelAfterFourLeavesNoGap)
{
    State s = smallState();
    const size_t n = s.Hist_Arr.size();
    s.MPirsN = model(250, 1.5, 1, n);
    s.MPirsS = model(260, 1.4, 1, n);
    s.MSmirn = model(270, 1.3, 1, n);
    s.MGenet = model(280, 1.2, 1, n);
    refresh(s);
    // The next calculation refits only Newton; the genetic model keeps its flag.
    s.MPirsS.Executed = false;
    s.MSmirn.Executed = false;
    const ResultsTable t = refresh(s).table;
    EXPECT_EQ(t.cell(1, 0), QStringLiteral("Пирсона/Ньютона"));
    EXPECT_EQ(t.cell(2, 0), QStringLiteral("Генетическая"));
    EXPECT_EQ(t.cell(3, 0), QStringLiteral("Данные эксплуатации"));
    EXPECT_TRUE(t.cell(4, 0).isEmpty());
    EXPECT_TRUE(t.cell(5, 3).isEmpty());
}

TEST(ResultsTable, ModelColumnTexts)
{
    State s = smallState();
    s.MGenet = model(250, 1.5, 1.2, s.Hist_Arr.size(), 1100.26, 240.04);
    s.MGenet.SKO_out = 2.5;
    const ResultsTable t = refresh(s).table;
    auto row = [&](int r) { return trimRight(t.cell(1, r)); };
    EXPECT_EQ(row(1), QStringLiteral(" 250.00, / 1.50000"));
    EXPECT_EQ(row(2), QStringLiteral("  1.200"));
    // 0.5 / 1.2 < 1: a finite time, (250 ln(1/(1 - 0.41667)))^(1/1.5) = 26.29 -> 26
    EXPECT_EQ(row(3), QStringLiteral(" 26 ч."));
    // 0.2 / 1.2 and 0.1 / 1.2: 12.76 -> 13, 7.79 -> 8
    EXPECT_EQ(row(4), QStringLiteral(" 13 ч., 8 ч."));
    // Kol_Nakopl = 0.5 (1 + ... + 10) = 27.5 -> 28 (half to even), / 0.8 = 34.375 -> 34
    EXPECT_EQ(row(5), QStringLiteral(" 28 /34"));
    EXPECT_EQ(row(6), QStringLiteral("  4.90 /  2.50"));
    EXPECT_EQ(row(7), QStringLiteral(" 1100.3 ч"));
    EXPECT_EQ(row(8), QStringLiteral(" 240.0 ч"));
    EXPECT_TRUE(row(9).endsWith(QStringLiteral("1.3581(0.05)")));
    EXPECT_TRUE(t.cell(1, 10) == QStringLiteral("20%...100% гаран.срока"));
    // 1.2 * (1 - exp(-1000^1.5 / 250)) = 1.2 * (1 - exp(-126.5)) = 1.20
    EXPECT_EQ(row(11), QStringLiteral("   1.20"));

    // The data column.
    auto data = [&](int r) { return trimRight(t.cell(2, r)); };
    EXPECT_EQ(data(3), QStringLiteral(" 900 (набл.)/850 (ценз.)"));
    EXPECT_EQ(data(4), QStringLiteral(" 1201 ч., 1400 ч.(ценз.)"));
    EXPECT_EQ(data(5), QStringLiteral(" 96 /120"));
    EXPECT_EQ(data(11), QStringLiteral(" 0.55"));
    EXPECT_TRUE(data(10).endsWith(QStringLiteral("/издел. на 100 ч.")));
}

TEST(ResultsTable, RepeatCoefficientBelowHalfGivesTheCapTime)
{
    struct Case {
        double K;
        QString row3, row4;
    };
    // K 0.4: 0.5/K >= 1 is capped at 1e10; 0.2/K = 0.5 and 0.1/K = 0.25 are finite.
    // K 0.15: 0.1/0.15 = 0.667 < 1 is finite, 0.2/0.15 >= 1 is capped.
    // With 1/A = 1 and B = 1 the quantile is ln(1/(1 - p)): ln 2 = 0.69 -> 1,
    // ln(4/3) = 0.29 -> 0, ln 3 = 1.10 -> 1. A capped time keeps its text and is marked
    // as undetermined.
    const std::vector<Case> cases = {
        {0.4, QStringLiteral(" 10000000000 ч. (не определ.)"), QStringLiteral(" 1 ч., 0 ч.")},
        {0.15, QStringLiteral(" 10000000000 ч. (не определ.)"),
         QStringLiteral(" 10000000000 ч. (не определ.), 1 ч.")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.K);
        State s = smallState();
        s.MPirsS = model(1, 1, c.K, s.Hist_Arr.size());
        const ResultsTable t = refresh(s).table;
        EXPECT_EQ(trimRight(t.cell(1, 3)), c.row3);
        EXPECT_EQ(trimRight(t.cell(1, 4)), c.row4);
    }
}

TEST(ResultsTable, UndeterminedFiguresOfAModelCarryTheMarkAndTheOthersNot)
{
    // What the maximum-likelihood fit leaves undetermined is marked in its own row only.
    struct Case {
        std::vector<QString> keys;
        std::vector<int> marked;   // rows that carry the mark
    };
    const std::vector<Case> cases = {
        {{}, {}},
        {{QStringLiteral("K"), QStringLiteral("inv_A"), QStringLiteral("eta")}, {1, 2}},
        {{QStringLiteral("t_0.5"), QStringLiteral("M_tGar")}, {3, 11}},
        {{QStringLiteral("t_0.1"), QStringLiteral("SKO")}, {4, 8}},
    };
    for (const Case &c : cases) {
        State s = smallState();
        s.MMaxPr = model(250, 1.5, 1.2, s.Hist_Arr.size());
        s.MMaxPr.undetermined = c.keys;
        const ResultsTable t = refresh(s).table;
        ASSERT_EQ(t.cell(1, 0), rtxt::colMaxPr);
        for (int r = 1; r < ResultsTable::Rows; ++r) {
            const bool marked = std::find(c.marked.begin(), c.marked.end(), r) != c.marked.end();
            EXPECT_EQ(t.cell(1, r).count(rtxt::undeterminedMark), marked ? 1 : 0)
                << r << " " << t.cell(1, r).toStdString();
        }
    }
    // Row 1 holds 1/A and B: the mark stands after the figure it belongs to.
    State s = smallState();
    s.MMaxPr = model(250, 1.5, 1.2, s.Hist_Arr.size());
    s.MMaxPr.undetermined = {QStringLiteral("inv_A")};
    EXPECT_TRUE(refresh(s).table.cell(1, 1).contains(rtxt::undeterminedMark + QStringLiteral(", / ")));
}

TEST(ResultsTable, CommaLocaleInEveryNumberText)
{
    State s = smallState();
    s.MPirsN = model(250, 1.5, 1.2, s.Hist_Arr.size());
    const ResultsTable t = refresh(s, NumLocale::comma()).table;
    EXPECT_EQ(trimRight(t.cell(1, 1)), QStringLiteral(" 250,00, / 1,50000"));
    EXPECT_EQ(trimRight(t.cell(1, 2)), QStringLiteral("  1,200"));
    EXPECT_EQ(trimRight(t.cell(1, 6)), QStringLiteral("  2,94 /  1,50"));
    EXPECT_EQ(trimRight(t.cell(2, 11)), QStringLiteral(" 0,55"));
    EXPECT_TRUE(t.cell(2, 10).startsWith(QStringLiteral(" 0,")));
    // No number written with a period; the fixed verdict text keeps its own.
    const QRegularExpression periodNumber(QStringLiteral("\\d\\.\\d"));
    for (int c = 1; c < ResultsTable::Cols; ++c)
        for (int r = 1; r < ResultsTable::Rows; ++r) {
            QString text = t.cell(c, r);
            text.remove(QStringLiteral("1.3581(0.05)"));
            EXPECT_FALSE(text.contains(periodNumber))
                << c << "," << r << ": " << text.toStdString();
        }
}

TEST(ResultsTable, CellsArePaddedToTheColumnWidthLessSevenPixels)
{
    // 6 px per character: a 128 px column takes texts up to 121 px, i.e. 21 characters.
    EXPECT_EQ(padCell(QStringLiteral("0.55"), 128, sixPx),
              QStringLiteral(" 0.55") + QString(16, u' '));
    const QString longText(30, u'x');
    EXPECT_EQ(padCell(longText, 128, sixPx), QStringLiteral(" ") + longText);
    // A font whose spaces have no width does not hang the padding.
    const TextWidth noSpace = [](const QString &t) { return int(t.trimmed().size()) * 6; };
    EXPECT_LE(padCell(QStringLiteral("a"), 128, noSpace).size(), 130);
}

TEST(ResultsTable, FlowAfterRunningInWeighsEachFailureByTheShareStillUnderWarranty)
{
    State s;
    s.Sred = 1000;
    s.SKO = 1;   // below the mean nearly every product is still under warranty: weight 1
    s.Kol_Izd_All = 10;
    s.KolOtk = 8;
    s.Kol_izw = 4;
    std::vector<Problems> recs;
    for (double t : {100.0, 199.9, 200.0, 300.0, 500.0, 800.0, 1000.0, 1000.1})
        recs.push_back({t, 0});
    s.MasProbl = std::move(recs);
    // Counted: 200, 300, 500, 800 (weight 1 each) and 1000 (half left: weight 2) = 6.
    // 6 * 100 / 800 / 10 * 8 / 4 = 0.15
    EXPECT_DOUBLE_EQ(Potok08(s), 0.15);
    EXPECT_DOUBLE_EQ(s.Pot08, 0.15);
}

TEST(ResultsTable, ModelTotalsAreSummedAfreshOnEveryRefresh)
{
    State s = smallState();
    const size_t n = s.Hist_Arr.size();
    s.MPirsN = model(250, 1.5, 1, n);
    s.MSmirn = model(250, 1.5, 1, n);
    s.MSmirn.Executed = false;
    s.MSmirn.Kol_Nakopl = 55;   // a model not set is still reset
    s.MPirsS.Kol_Nakopl = 77;   // ... except the Pearson models, which keep theirs
    s.MGenet = model(250, 1.5, 1, n);
    const ResultsView first = refresh(s);
    const ResultsView second = refresh(s);
    // The view carries the totals the table showed; the state's records keep them too.
    for (const ResultsView *v : {&first, &second}) {
        EXPECT_DOUBLE_EQ(v->totals[size_t(ModelId::MPirsN)].Kol_Nakopl, 27.5);
        EXPECT_DOUBLE_EQ(v->totals[size_t(ModelId::MPirsN)].Unsens, 0.55);
        EXPECT_DOUBLE_EQ(v->totals[size_t(ModelId::MGenet)].Kol_Nakopl, 27.5);
        EXPECT_DOUBLE_EQ(v->totals[size_t(ModelId::MSmirn)].Kol_Nakopl, 0);
        EXPECT_DOUBLE_EQ(v->totals[size_t(ModelId::MPirsS)].Kol_Nakopl, 0);
    }
    EXPECT_DOUBLE_EQ(s.MPirsN.Kol_Nakopl, 27.5);
    EXPECT_DOUBLE_EQ(s.MPirsN.Unsens, 0.55);
    EXPECT_DOUBLE_EQ(s.MGenet.Kol_Nakopl, 27.5);
    EXPECT_DOUBLE_EQ(s.MSmirn.Kol_Nakopl, 0);
    EXPECT_DOUBLE_EQ(s.MPirsS.Kol_Nakopl, 77);
    EXPECT_EQ(first.table.cells, second.table.cells);
    EXPECT_EQ(first.label10, QStringLiteral("Проба (200 шт.)"));

    s.MSmirn.Executed = true;
    const ResultsView third = refresh(s);
    EXPECT_DOUBLE_EQ(s.MSmirn.Kol_Nakopl, 27.5);
    EXPECT_DOUBLE_EQ(s.MSmirn.Unsens, 0);   // the Smirnov model sums no probabilities
    EXPECT_DOUBLE_EQ(third.totals[size_t(ModelId::MSmirn)].Kol_Nakopl, 27.5);
    EXPECT_DOUBLE_EQ(third.totals[size_t(ModelId::MSmirn)].Unsens, 0);
}

TEST(ResultsTable, ShowsTheTotalsAndStatisticsItIsGivenNotThoseLeftInTheState)
{
    State s = smallState();
    s.MGenet = model(250, 1.5, 1, s.Hist_Arr.size());
    s.MGenet.Kol_Nakopl = 1;   // what an earlier pass may have left
    const ResultsView v = refresh(s);
    const auto kolm = modelKolmogorov(s);
    EXPECT_EQ(v.kolmogorov[size_t(ModelId::MGenet)].value, kolm[size_t(ModelId::MGenet)].value);
    EXPECT_EQ(v.kolmogorov[size_t(ModelId::MPirsN)].value, 0);   // not set
    // The same statistic as Kolmogor over the model's figures, shown in row 9.
    double direct = 0;
    QString verdict;
    Kolmogor(s, s.MGenet.K_powtor, s.MGenet.A, s.MGenet.B, s.MGenet.Sred, s.MGenet.SKO, direct,
             verdict);
    EXPECT_EQ(kolm[size_t(ModelId::MGenet)].value, direct);
    EXPECT_EQ(trimRight(v.table.cell(1, 9)), u' ' + fmtF(direct, 6, 3, u'.') + verdict);

    PerModel totals;
    totals[size_t(ModelId::MGenet)].Kol_Nakopl = 160;   // 160 / 0.8 = 200
    s.MGenet.Kol_Nakopl = 27.5;
    const ResultsTable t = resultsTable(s, NumLocale::period(), sixPx, totals, kolm);
    EXPECT_EQ(trimRight(t.cell(1, 5)), QStringLiteral(" 160 /200"));
    EXPECT_EQ(t.cell(1, 9), v.table.cell(1, 9));
}

TEST(ResultsTable, AModelKeptFromAShorterHistogramIsNotReadPastItsEnd)
{
    State s = smallState();
    s.MGenet = model(250, 1.5, 1, 4);   // fitted on a histogram of 4 intervals
    const ResultsView v = refresh(s);
    EXPECT_DOUBLE_EQ(s.MGenet.Kol_Nakopl, 0.5 * (1 + 2 + 3 + 4));
    EXPECT_EQ(v.chart1.find(QStringLiteral("Series5"))->points.size(), 4u);
    EXPECT_EQ(v.chart2.find(QStringLiteral("Series11"))->points.size(), 10u);
}

TEST(ResultsTable, MaximumLikelihoodColumnComesAfterTheGeneticOne)
{
    const QString X = QStringLiteral("Макс.правдоподобия"),
                  D = QStringLiteral("Данные эксплуатации");
    for (bool others : {false, true}) {
        SCOPED_TRACE(others ? "all five models" : "only the ML model");
        State s = smallState();
        const size_t n = s.Hist_Arr.size();
        s.MPirsN = model(250, 1.5, 1, n);
        s.MPirsS = model(260, 1.4, 1, n);
        s.MSmirn = model(270, 1.3, 1, n);
        s.MGenet = model(280, 1.2, 1, n);
        s.MMaxPr = model(290, 1.1, 1, n);
        s.MPirsN.Executed = s.MPirsS.Executed = s.MSmirn.Executed = s.MGenet.Executed = others;
        s.MMaxPr.Executed = true;
        const ResultsTable t = refresh(s).table;
        const int col = others ? 5 : 1;
        EXPECT_EQ(t.cell(col, 0), X);
        EXPECT_EQ(t.widths[size_t(col)], 118);
        EXPECT_EQ(t.dataColumn, col + 1);
        EXPECT_EQ(t.cell(col + 1, 0), D);
        EXPECT_TRUE(t.cell(col, 2).startsWith(QStringLiteral("  1.000")));
        // The model's totals are summed like those of the other models.
        double total = 0;
        for (double k : s.MMaxPr.Kol_F_priv)
            total += k;
        EXPECT_DOUBLE_EQ(s.MMaxPr.Kol_Nakopl, total);
    }
}
