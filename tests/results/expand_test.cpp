// SPDX-License-Identifier: MIT
// The enlarged failure-flow chart: its series, the accumulated failures and the 50% times.
#include "fixture.h"
#include "results/expand_dia1.h"

#include <gtest/gtest.h>

using namespace obr;
using obr::test::histogram;
using obr::test::model;
using obr::test::smallState;

namespace {

//! Failures at 100, 200, ..., 100 count hours, one each, with a fleet of 100.
State evenFailures(int count)
{
    State s;
    s.Izd_Prived = 100;
    s.Kol_Izd_All = 100;
    s.KolOtk = count;
    s.Kol_izw = count;
    s.Sred = 1e6;   // nobody leaves warranty: every weight is 1
    s.SKO = 1;
    std::vector<Problems> recs;
    for (int i = 1; i <= count; ++i)
        recs.push_back({100.0 * i, 0});
    s.MasProbl = std::move(recs);
    return s;
}

const SeriesData &S(const ChartData &c, const char *name)
{
    const SeriesData *s = c.find(QString::fromLatin1(name));
    EXPECT_NE(s, nullptr) << name;
    return *s;
}

}   // namespace

TEST(ExpandChart, HalfFleetTimes)
{
    struct Case {
        int failures;
        NumLocale nl;
        QString label2;
    };
    const std::vector<Case> cases = {
        {49, NumLocale::period(), QStringLiteral("- данных недостаточно для оценки")},
        // the 50th failure reaches the half with no overshoot: t50 = 5000 h
        {50, NumLocale::period(), QStringLiteral("- без учета цензурирования:  5000.0 ч")},
        {50, NumLocale::comma(), QStringLiteral("- без учета цензурирования:  5000,0 ч")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.failures);
        State s = evenFailures(c.failures);
        const ExpandView v = computeExpand(s, c.nl);
        EXPECT_EQ(v.label2, c.label2);
        if (c.failures < 50)
            EXPECT_TRUE(v.label3.isEmpty());   // first filling: no text yet
        else
            EXPECT_EQ(v.label3, QStringLiteral("- с учетом цензурирования: ") +
                                    (c.nl.dec == u',' ? QStringLiteral("5000,00")
                                                      : QStringLiteral("5000.00")) +
                                    QStringLiteral(" ч"));
        EXPECT_EQ(v.label4,
                  QStringLiteral("50%-я наработка на отказ по документированным случаям:"));
    }
}

TEST(ExpandChart, WeightedHalfComesNoLaterAndLabel3KeepsItsText)
{
    State s = evenFailures(60);
    s.Sred = 3000;
    s.SKO = 1000;
    const HalfFleetTimes t = halfFleetTimes(s);
    EXPECT_GT(t.t50, 0);
    EXPECT_LE(t.tz50, t.t50);

    ExpandMemory mem;
    const ExpandView first = computeExpand(s, NumLocale::period(), mem);
    ASSERT_FALSE(first.label3.isEmpty());
    State few = evenFailures(10);
    const ExpandView second = computeExpand(few, NumLocale::period(), mem);
    EXPECT_EQ(second.label2, QStringLiteral("- данных недостаточно для оценки"));
    EXPECT_EQ(second.label3, first.label3);
}

TEST(ExpandChart, AccumulatedFailuresStopOnceTheyExceedTheFleet)
{
    State s = smallState();
    s.Izd_Prived = 10;
    s.Hist_Arr = histogram({100, 200, 300, 400}, {{1, {4, 4, 4, 0}}}, {1, 0, 0, 0});
    const ExpandView v = computeExpand(s, NumLocale::comma());
    const SeriesData &s7 = S(v.chart, "Series7");
    // 5 and 9 of 10 are within the fleet; 13 of 10 is not, and nothing follows.
    ASSERT_EQ(s7.points.size(), 2u);
    EXPECT_DOUBLE_EQ(s7.points[0].value, 50);
    EXPECT_DOUBLE_EQ(s7.points[1].value, 90);
    EXPECT_EQ(s7.points[1].mark, QStringLiteral("90"));
    EXPECT_TRUE(s7.marksVisible);
    EXPECT_TRUE(s7.crossMarkers);
    EXPECT_EQ(s7.style, LineStyle::Dash);
    EXPECT_EQ(s7.axis, AxisSide::Right);
    EXPECT_EQ(s7.title, QStringLiteral("Накопление отказов, % от машин"));
    EXPECT_EQ(S(v.chart, "Series1").points.size(), 4u);
}

TEST(ExpandChart, MarksUseTheLocaleAndNoLeadingZero)
{
    State s = smallState();
    s.Izd_Prived = 1000;
    s.Hist_Arr = histogram({100, 200}, {{1, {5, 7}}});
    const ExpandView p = computeExpand(s, NumLocale::period());
    const ExpandView c = computeExpand(s, NumLocale::comma());
    EXPECT_EQ(S(p.chart, "Series7").points[0].mark, QStringLiteral(".5"));
    EXPECT_EQ(S(c.chart, "Series7").points[1].mark, QStringLiteral("1,2"));
}

TEST(ExpandChart, UnidentifiedOnlyKeepsTheDesignedTitle)
{
    State s = smallState();
    s.Hist_Arr = histogram({100, 200}, {}, {3, 2});
    const ExpandView v = computeExpand(s, NumLocale::period());
    EXPECT_EQ(S(v.chart, "Series7").title, QStringLiteral("Выбывание из гарантии эксп."));
    ASSERT_EQ(v.chart.series.size(), 8u);
    EXPECT_EQ(v.chart.series.back().title, QStringLiteral("Не идент."));
    EXPECT_TRUE(v.chart.series.back().points.empty());
}

TEST(ExpandChart, EighteenCausesRepeatThePalette)
{
    State s = smallState();
    std::vector<std::pair<int, std::vector<int>>> causes;
    for (int k = 1; k <= 18; ++k) {
        s.Vidy_otkazov[size_t(k)] = {QStringLiteral("П%1").arg(k), double(k)};
        causes.push_back({k, {k}});
    }
    s.Hist_Arr = histogram({100}, causes);
    const ExpandView v = computeExpand(s, NumLocale::period());
    ASSERT_EQ(v.chart.series.size(), 7u + 18u);
    for (int k = 1; k <= 18; ++k)
        EXPECT_EQ(v.chart.series[size_t(6 + k)].color, kCausePalette[k % 12]) << k;
    EXPECT_EQ(v.chart.series[7 + 12].title, QStringLiteral("П13, всего 13 (13.5%) случаев"));
    EXPECT_EQ(s.Sum_PrichCol[18], 18);
}

TEST(ExpandChart, ModelCurvesTitlesAndTotals)
{
    State s = smallState();
    const size_t n = s.Hist_Arr.size();
    s.MGenet = model(250, 1.5, 1.2, n);
    s.MSmirn = model(250, 1.5, 1.0, n);
    const ExpandView a = computeExpand(s, NumLocale::period());
    EXPECT_EQ(S(a.chart, "Series5").title,
              QStringLiteral("Модель генетическая с учетом цензурирования"));
    EXPECT_EQ(S(a.chart, "Series6").title, QStringLiteral("Модель \"генетическая\""));
    EXPECT_DOUBLE_EQ(S(a.chart, "Series5").points[0].value, 0.01 * 1.2 * 1.0);
    EXPECT_DOUBLE_EQ(S(a.chart, "Series4").points[1].value, 1.0 * 1.0 / s.Izd_Prived);
    EXPECT_TRUE(S(a.chart, "Series2").points.empty());
    EXPECT_DOUBLE_EQ(s.MGenet.Kol_Nakopl, 27.5);
    EXPECT_EQ(a.label1, QStringLiteral("Проба (200 шт.,120 отказов)"));

    // Expand twice: the same chart.
    const ExpandView b = computeExpand(s, NumLocale::period());
    ASSERT_EQ(a.chart.series.size(), b.chart.series.size());
    for (size_t i = 0; i < a.chart.series.size(); ++i)
        EXPECT_EQ(a.chart.series[i].points.size(), b.chart.series[i].points.size());
    EXPECT_DOUBLE_EQ(s.MGenet.Kol_Nakopl, 27.5);
}
