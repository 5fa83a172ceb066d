// SPDX-License-Identifier: MIT
// The content of the three charts of the results window, as data.
#include "fixture.h"
#include "results/out_graph2015.h"

#include <gtest/gtest.h>

using namespace obr;
using obr::test::histogram;
using obr::test::model;
using obr::test::smallState;

namespace {

const TextWidth sixPx = [](const QString &t) { return int(t.size()) * 6; };

std::array<ChartData, 3> charts(State &s, const NumLocale &nl = NumLocale::period())
{
    ResultsTitles titles;
    return resultsCharts(s, nl, titles).charts;
}

std::vector<QString> titlesOf(const ChartData &c)
{
    std::vector<QString> t;
    for (const SeriesData &s : c.series)
        t.push_back(s.title);
    return t;
}

std::vector<QString> labelsOf(const SeriesData &s)
{
    std::vector<QString> l;
    for (const ChartPoint &p : s.points)
        l.push_back(p.label);
    return l;
}

const SeriesData &S(const ChartData &c, const char *name)
{
    const SeriesData *s = c.find(QString::fromLatin1(name));
    EXPECT_NE(s, nullptr) << name;
    return *s;
}

}   // namespace

TEST(ResultsCharts, OneSeriesPerCauseWithFailuresInEachChart)
{
    State s = smallState();   // cause 2 is listed but has no failures
    const auto c = charts(s);
    const QString pump = QStringLiteral("Насос"), starter = QStringLiteral("Стартер");
    // Designed series first, then the causes in index order.
    EXPECT_EQ(titlesOf(c[0]).size(), 6u + 2u);
    EXPECT_EQ(c[0].series[6].title, QStringLiteral("Насос, всего 12 (12.5%) случаев"));
    EXPECT_EQ(c[0].series[7].title, QStringLiteral("Стартер, всего 84 (87.5%) случаев"));
    EXPECT_EQ(c[1].series.size(), 7u + 2u);
    EXPECT_EQ(c[1].series[7].title, pump);
    EXPECT_EQ(c[1].series[8].title, starter);
    ASSERT_EQ(c[2].series.size(), 4u);
    EXPECT_EQ(titlesOf(c[2]), (std::vector<QString>{
                                  pump, pump + QStringLiteral(" с учетом цензурирования"), starter,
                                  starter + QStringLiteral(" с учетом цензурирования")}));
    for (const ChartData &ch : c)
        for (const SeriesData &ser : ch.series)
            EXPECT_FALSE(ser.title.startsWith(QStringLiteral("Радиатор")));

    // A cause's colour is the palette entry of its index; transparency per chart.
    EXPECT_EQ(c[0].series[6].color, 0x00FF00u);
    EXPECT_EQ(c[0].series[7].color, 0xFF0000u);
    EXPECT_EQ(c[1].series[8].color, 0xFF0000u);
    EXPECT_EQ(c[1].series[8].transparency, 30);
    EXPECT_EQ(c[2].series[3].transparency, 60);
    for (const SeriesData &b : c[2].series) {
        EXPECT_EQ(b.kind, SeriesKind::Bar);
        EXPECT_FALSE(b.marksVisible);
    }

    // Values: flow per 100 h per product; accumulated per product scaled to all failures.
    const double Izd = s.Izd_Prived;   // 160
    EXPECT_DOUBLE_EQ(c[0].series[7].points[6].value, 9 * 100.0 / 100 / Izd);
    EXPECT_DOUBLE_EQ(c[1].series[7].points[4].value, 6 / Izd * 120 / 96);
    EXPECT_EQ(s.Sum_PrichRow[1], 12);
    EXPECT_EQ(s.Sum_PrichCol[3], 84);
}

TEST(ResultsCharts, CauseLegendFollowsTheLocale)
{
    State s = smallState();
    EXPECT_EQ(charts(s, NumLocale::period())[0].series[6].title,
              QStringLiteral("Насос, всего 12 (12.5%) случаев"));
    EXPECT_EQ(charts(s, NumLocale::comma())[0].series[6].title,
              QStringLiteral("Насос, всего 12 (12,5%) случаев"));
    EXPECT_EQ(charts(s, NumLocale::comma())[0].decimal, u',');
}

TEST(ResultsCharts, UnidentifiedCausesOnly)
{
    State s = smallState();
    s.Hist_Arr = histogram({100, 250, 400}, {}, {2, 3, 1});
    const auto c = charts(s);
    ASSERT_EQ(c[0].series.size(), 7u);
    EXPECT_EQ(c[0].series[6].title, QStringLiteral("Не идент."));
    EXPECT_EQ(c[0].series[6].color, 0x808000u);
    EXPECT_TRUE(c[0].series[6].points.empty());
    EXPECT_EQ(c[1].series.size(), 7u);   // no bar series in the accumulated chart
    ASSERT_EQ(c[2].series.size(), 2u);
    EXPECT_EQ(c[2].series[0].title, QStringLiteral("Не идент."));
    EXPECT_EQ(c[2].series[1].title, QStringLiteral("Не идент. с учетом цензурирования"));
    EXPECT_EQ(c[2].series[1].color, 0x040000u);
    EXPECT_EQ(c[2].series[1].transparency, 50);
    EXPECT_TRUE(c[2].series[0].points.empty() && c[2].series[1].points.empty());
    // The other series still carry every interval's end time.
    const std::vector<QString> ends{QStringLiteral("100"), QStringLiteral("250"),
                                    QStringLiteral("400")};
    EXPECT_EQ(labelsOf(S(c[0], "Series1")), ends);
    EXPECT_EQ(labelsOf(S(c[1], "Series7")), ends);
    EXPECT_EQ(labelsOf(S(c[1], "Series15")), ends);
    EXPECT_DOUBLE_EQ(s.SumNund, 6);
}

TEST(ResultsCharts, CorrectedChartEndsWhereNinetyPercentHaveLeftWarranty)
{
    State s = smallState();
    s.Sred = 1000;
    s.SKO = 100;   // share out by 1100 h: 0.84, by 1200 h: 0.98
    std::vector<double> ends;
    for (int i = 1; i <= 15; ++i)
        ends.push_back(100.0 * i);
    s.Hist_Arr = histogram(ends, {{1, std::vector<int>(15, 2)}});
    const auto c = charts(s);
    ASSERT_EQ(c[2].series.size(), 2u);
    for (const SeriesData &b : c[2].series) {
        ASSERT_EQ(b.points.size(), 11u);
        EXPECT_EQ(b.points.back().label, QStringLiteral("1100"));
    }
    // Corrected bars divide by the share still under warranty.
    const double out = s.F_OutGar[10];
    EXPECT_NEAR(out, 0.8413, 1e-4);
    EXPECT_DOUBLE_EQ(c[2].series[1].points[10].value, 2 * 1.0 / s.Izd_Prived / (1 - out));
    // The flow chart keeps every interval.
    EXPECT_EQ(c[0].series[6].points.size(), 15u);
}

TEST(ResultsCharts, ModelCurves)
{
    State s = smallState();
    const size_t n = s.Hist_Arr.size();
    s.MPirsS = model(250, 1.5, 1.2, n);
    auto c = charts(s);
    // Only the spiral-descent model: it is the Pearson model shown, with the run-time titles.
    EXPECT_EQ(S(c[0], "Series2").title,
              QStringLiteral("Модель по Пирсону с учетом цензурирования"));
    EXPECT_EQ(S(c[0], "Series3").title, QStringLiteral("Модель по Пирсону"));
    ASSERT_EQ(S(c[0], "Series2").points.size(), n);
    EXPECT_DOUBLE_EQ(S(c[0], "Series2").points[2].value, 0.03 * 1.0 * 1.2);
    EXPECT_DOUBLE_EQ(S(c[0], "Series3").points[2].value, 1.5 * 1.0 / s.Izd_Prived);
    // Accumulated curves use the running totals after each interval.
    EXPECT_DOUBLE_EQ(S(c[1], "Series8").points[1].value, (0.01 + 0.02) * 1.2);
    EXPECT_DOUBLE_EQ(S(c[1], "Series9").points[1].value, 1.5 / s.Izd_Prived);
    EXPECT_TRUE(S(c[0], "Series4").points.empty());
    EXPECT_TRUE(S(c[1], "Series12").points.empty());

    // Newton wins over spiral descent when both are set.
    s.MPirsN = model(250, 1.5, 2.0, n);
    c = charts(s);
    EXPECT_DOUBLE_EQ(S(c[0], "Series2").points[2].value, 0.03 * 2.0);
}

TEST(ResultsCharts, NoModelLeavesTheModelSeriesEmpty)
{
    State s = smallState();
    const auto c = charts(s);
    for (const char *name : {"Series2", "Series3", "Series4", "Series5", "Series6"})
        EXPECT_TRUE(S(c[0], name).points.empty()) << name;
    for (const char *name : {"Series8", "Series9", "Series10", "Series11", "Series12"})
        EXPECT_TRUE(S(c[1], name).points.empty()) << name;
    EXPECT_EQ(S(c[0], "Series1").points.size(), 10u);
    EXPECT_EQ(S(c[1], "Series7").points.size(), 10u);
    ASSERT_EQ(S(c[1], "Series15").points.size(), 10u);
    // Observed failures per product, scaled to all declared failures: 96 / 0.8 / 160.
    EXPECT_DOUBLE_EQ(S(c[1], "Series15").points.back().value, 96 / 0.8 / 160);
    EXPECT_EQ(S(c[0], "Series2").title,
              QStringLiteral("Модель по Пирсону с влиянием цензурирования"));
    EXPECT_TRUE(c[2].series.size() == 4u);
    EXPECT_FALSE(c[1].legendVisible);
    EXPECT_TRUE(c[1].right.fixedRange);
    EXPECT_FALSE(c[2].right.used);
}

TEST(ResultsCharts, TwoRefreshesGiveTheSameSeries)
{
    State s = smallState();
    s.MPirsN = model(250, 1.5, 1.2, s.Hist_Arr.size());
    ResultsTitles titles;
    const ResultsView a = computeResults(s, NumLocale::period(), sixPx, titles);
    const ResultsView b = computeResults(s, NumLocale::period(), sixPx, titles);
    for (auto [x, y] :
         {std::pair{&a.chart1, &b.chart1}, {&a.chart2, &b.chart2}, {&a.chart3, &b.chart3}}) {
        ASSERT_EQ(x->series.size(), y->series.size());
        for (size_t i = 0; i < x->series.size(); ++i) {
            EXPECT_EQ(x->series[i].title, y->series[i].title);
            ASSERT_EQ(x->series[i].points.size(), y->series[i].points.size());
            for (size_t j = 0; j < x->series[i].points.size(); ++j)
                EXPECT_DOUBLE_EQ(x->series[i].points[j].value, y->series[i].points[j].value);
        }
    }
    // A retitled Pearson curve keeps its title when a later refresh has no Pearson model.
    s.MPirsN.Executed = false;
    const ResultsView c = computeResults(s, NumLocale::period(), sixPx, titles);
    EXPECT_EQ(S(c.chart1, "Series2").title,
              QStringLiteral("Модель по Пирсону с учетом цензурирования"));
    EXPECT_TRUE(S(c.chart1, "Series2").points.empty());
}
