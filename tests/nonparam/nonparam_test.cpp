// SPDX-License-Identifier: MIT
// The nonparametric analysis core: half-fleet times, per-cause bars, the factor per
// 100 hours, the corrected line where everyone has left observation, and the texts.
#include "model/errors.h"
#include "model/texts.h"
#include "nonparam/out_graph_2_2015.h"
#include "stats/stat2018.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <utility>

using namespace obr;

// Readable failure output for texts.
void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// A warranty law so far beyond the failures that nobody leaves observation (G = 0).
constexpr double kFarSred = 1e6;
constexpr double kFarSko = 1;

struct Rec {
    double time;
    int cause;
};

std::vector<Problems> records(std::initializer_list<Rec> recs)
{
    std::vector<Problems> p;
    for (const Rec &r : recs)
        p.push_back(Problems{r.time, r.cause});
    return p;
}

std::vector<Problems> tenRecords()
{
    std::vector<Problems> p;
    for (int k = 1; k <= 10; ++k)
        p.push_back(Problems{100.0 * k, 1});
    return p;
}

State makeState(std::vector<Problems> recs, double N, double Sred = kFarSred, double SKO = kFarSko)
{
    State s;
    s.MasProbl = std::move(recs);
    for (int j = 1; j <= kMaxCauses; ++j)
        s.Vidy_otkazov[j].Nazv_Prich = QStringLiteral("Причина %1").arg(j);
    s.Izd_Prived = N;
    s.Kol_Izd_All = int32_t(N);
    s.KolOtk = int32_t(s.MasProbl.size());
    s.Sred = Sred;
    s.SKO = SKO;
    s.Comment = QStringLiteral("Изделие Б, 2019");
    hist(s);
    return s;
}

std::vector<QString> barTitles(const NonparamResult &r)
{
    std::vector<QString> t;
    for (const SeriesData &s : r.chart.series)
        if (s.kind == SeriesKind::Bar && s.visible)
            t.push_back(s.title);
    return t;
}

const SeriesData &bar(const NonparamResult &r, const QString &title)
{
    for (const SeriesData &s : r.chart.series)
        if (s.kind == SeriesKind::Bar && s.title == title)
            return s;
    throw std::runtime_error("no bar series");
}

std::vector<double> values(const SeriesData &s)
{
    std::vector<double> v;
    for (const ChartPoint &p : s.points)
        v.push_back(p.value);
    return v;
}

}   // namespace

TEST(HalfFleetTimes, TenRecordsAtWholeAndHalfFleet)
{
    // Failures at 100, 200, ..., 1000 h, nobody out of observation: with N = 10 the
    // fifth failure is exactly half the fleet; with N = 9 half lies between the fourth
    // and the fifth.
    const auto p = tenRecords();
    const HalfFleetTimes n10 = halfFleetTimes(p, 10, kFarSred, kFarSko);
    EXPECT_DOUBLE_EQ(n10.t50, 500);
    EXPECT_DOUBLE_EQ(n10.tz50, 500);
    const HalfFleetTimes n9 = halfFleetTimes(p, 9, kFarSred, kFarSko);
    EXPECT_DOUBLE_EQ(n9.t50, 450);
    EXPECT_DOUBLE_EQ(n9.tz50, 450);
    // Half of 30 products is never reached by 10 failures.
    const HalfFleetTimes n30 = halfFleetTimes(p, 30, kFarSred, kFarSko);
    EXPECT_EQ(n30.t50, 0);
    EXPECT_EQ(n30.tz50, 0);
}

TEST(HalfFleetTimes, CorrectionUsesOnlyFailuresWithFiniteWeight)
{
    // Warranty ends at 300 +- 10 h: the failure at 300 h weighs 2, those at 100 and
    // 200 h weigh 1, and from 400 h on everybody has left observation (G == 1).
    const auto p = tenRecords();
    ASSERT_EQ(CDF_Gauss(300, 10, 400), 1.0);
    // N = 7: corrected count 1, 2, 4 -> 4/7 reaches the half at 300 h; the count above
    // the half is 4 - 3.5 = 0.5, so tz50 is half-way back to 200 h.
    const HalfFleetTimes n7 = halfFleetTimes(p, 7, 300, 10);
    EXPECT_DOUBLE_EQ(n7.tz50, 250);
    EXPECT_DOUBLE_EQ(n7.t50, 400 - 100 * 0.5);
    // N = 10: the finite part of the count (4) never reaches 5, so tz50 stays 0 instead
    // of becoming a number computed from an infinite weight.
    const HalfFleetTimes n10 = halfFleetTimes(p, 10, 300, 10);
    EXPECT_EQ(n10.tz50, 0);
    EXPECT_TRUE(std::isfinite(n10.tz50));
    EXPECT_DOUBLE_EQ(n10.t50, 500);
}

TEST(NonparamBars, OneBarPerNamedCauseWithFailures)
{
    // Cause 1 fails in every interval, cause 2 never, cause 3 only in the third interval;
    // failures of cause 0 (not established) get no bar.
    State s = makeState(records({{100, 1}, {150, 0}, {200, 1}, {300, 1}, {300, 3}, {400, 1}}), 4);
    ASSERT_EQ(s.Hist_Arr.size(), 4u);
    const NonparamResult r = Histogram_Exp(s, NumLocale::period());

    EXPECT_EQ(barTitles(r), (std::vector<QString>{"Причина 1", "Причина 3"}));
    EXPECT_EQ(r.barCauses, (std::vector<int>{1, 3}));
    // The bars follow the four designed series, the first of them the hidden one.
    ASSERT_EQ(r.chart.series.size(), 6u);
    EXPECT_EQ(r.chart.series[0].name, "Series4");
    EXPECT_FALSE(r.chart.series[0].visible);
    EXPECT_TRUE(r.chart.series[0].points.empty());

    const SeriesData &c1 = bar(r, "Причина 1");
    const SeriesData &c3 = bar(r, "Причина 3");
    EXPECT_EQ(values(c1), (std::vector<double>{0.25, 0.25, 0.25, 0.25}));
    EXPECT_EQ(values(c3), (std::vector<double>{0, 0, 0.25, 0}));
    for (const SeriesData *b : {&c1, &c3}) {
        EXPECT_EQ(b->transparency, 30);
        EXPECT_EQ(b->axis, AxisSide::Left);
        EXPECT_FALSE(b->marksVisible);
        for (const ChartPoint &pt : b->points)
            EXPECT_EQ(pt.color, b->color);
    }
    EXPECT_EQ(c1.color, paletteColor(1));
    EXPECT_EQ(c3.color, paletteColor(3));
    EXPECT_NE(c1.color, c3.color);

    EXPECT_EQ(s.Sum_PrichRow[0], 0);   // failures of no established cause are counted apart
    EXPECT_EQ(s.Sum_PrichRow[1], 4);
    EXPECT_EQ(s.Sum_PrichRow[2], 0);
    EXPECT_EQ(s.Sum_PrichRow[3], 1);
    EXPECT_EQ(s.F_OutGar.size(), s.Hist_Arr.size());
}

TEST(NonparamBars, SecondAnalysisReplacesTheFirst)
{
    State s = makeState(records({{100, 1}, {200, 2}, {300, 2}}), 10);
    const NonparamResult first = Histogram_Exp(s, NumLocale::period());
    EXPECT_EQ(barTitles(first), (std::vector<QString>{"Причина 1", "Причина 2"}));

    // The same data again: the same series, not twice as many.
    const NonparamResult again = Histogram_Exp(s, NumLocale::period());
    EXPECT_EQ(again.chart.series.size(), first.chart.series.size());
    EXPECT_EQ(barTitles(again), barTitles(first));
    EXPECT_EQ(values(bar(again, "Причина 2")), values(bar(first, "Причина 2")));

    // New data where cause 2 has no failures left: its bar and its total are gone, and
    // the arrays follow the new histogram's length.
    State other = makeState(records({{100, 1}, {200, 1}}), 10);
    s.MasProbl = other.MasProbl;
    hist(s);
    const NonparamResult second = Histogram_Exp(s, NumLocale::period());
    EXPECT_EQ(barTitles(second), (std::vector<QString>{"Причина 1"}));
    EXPECT_EQ(s.Sum_PrichRow[2], 0);
    EXPECT_EQ(s.F_OutGar.size(), 2u);
    for (const SeriesData &ser : second.chart.series)
        if (ser.visible) {
            EXPECT_EQ(ser.points.size(), 2u) << ser.title.toStdString();
        }
}

TEST(NonparamChart, CountsPerHundredHoursAndLabels)
{
    // Intervals ending at 100, 200 and 400 h: K is 1, 1 and 0.5.
    State s = makeState(records({{50, 1}}), 2);
    s.Hist_Arr.assign(3, Hist_Rec{});
    const double ends[3] = {100, 200, 400};
    for (int i = 0; i < 3; ++i) {
        s.Hist_Arr[i].time = ends[i];
        s.Hist_Arr[i].Npr[1] = 2;
        s.Hist_Arr[i].Sum = 2;
    }
    const NonparamResult r = Histogram_Exp(s, NumLocale::period());
    const SeriesData &b = bar(r, "Причина 1");
    EXPECT_EQ(values(b), (std::vector<double>{1, 1, 0.5}));
    std::vector<QString> labels;
    for (const ChartPoint &p : b.points)
        labels.push_back(p.label);
    EXPECT_EQ(labels, (std::vector<QString>{"100", "200", "400"}));
    // Accumulated failures per fleet in percent: 2, 4, 6 of 2 products.
    EXPECT_EQ(values(*r.chart.find("Series1")), (std::vector<double>{100, 200, 300}));
}

TEST(NonparamChart, IntervalEndsAreRoundedHalfToEven)
{
    State s = makeState(records({{50, 1}}), 1);
    s.Hist_Arr.assign(2, Hist_Rec{});
    s.Hist_Arr[0].time = 100.5;   // -> 100
    s.Hist_Arr[1].time = 301.5;   // -> 302, so K = 100 / 202
    s.Hist_Arr[1].Npr[1] = 1;
    s.Hist_Arr[1].Sum = 1;
    const NonparamResult r = Histogram_Exp(s, NumLocale::period());
    const SeriesData &b = bar(r, "Причина 1");
    EXPECT_EQ(b.points[0].label, "100");
    EXPECT_EQ(b.points[1].label, "302");
    EXPECT_DOUBLE_EQ(b.points[1].value, 100.0 / 202);
}

TEST(NonparamChart, CorrectedLineEndsWhereEveryoneHasLeftObservation)
{
    // Warranty ends at 250 +- 10 h: at 200 h almost nobody has left, at 300 h nearly
    // everybody (finite), from 400 h on everybody (no finite correction). The fleet is so
    // large that the corrected share at 300 h (about 10 %) stays on its axis.
    const double N = 1e8;
    State s = makeState(records({{100, 1}, {200, 1}, {300, 1}, {400, 1}, {500, 1}}), N, 250, 10);
    const NonparamResult r = Histogram_Exp(s, NumLocale::period());
    const SeriesData &s1 = *r.chart.find("Series1");
    const SeriesData &s2 = *r.chart.find("Series2");
    const SeriesData &s3 = *r.chart.find("Series3");
    ASSERT_EQ(s1.points.size(), 5u);
    ASSERT_EQ(s3.points.size(), 5u);
    ASSERT_EQ(s2.points.size(), 3u);
    for (size_t i = 0; i < s2.points.size(); ++i) {
        EXPECT_EQ(s2.points[i].label, s1.points[i].label);
        EXPECT_TRUE(std::isfinite(s2.points[i].value));
        const double G = s.F_OutGar[i];
        EXPECT_DOUBLE_EQ(s2.points[i].value, double(i + 1) / (1 - G) * 100 / N);
    }
    EXPECT_EQ(s.F_OutGar[3], 1.0);
    EXPECT_DOUBLE_EQ(s3.points[4].value, 100);
    EXPECT_DOUBLE_EQ(s3.points[0].value, s.F_OutGar[0] * 100);
}

TEST(NonparamChart, NoLineLeavesTheShareAxis)
{
    // Fleet of 10, warranty 250 +- 100 h, one failure every 100 h. The corrected share
    // passes 100 % at 400 h (4 / (1 - 0.933) * 10 = 599 %): its line ends at 300 h
    // (3 / (1 - 0.69) * 10 = 97 %), while the other two lines go on.
    struct Case {
        int failures;
        double top;         // the share axis ends here
        size_t corrected;   // points of the corrected line
    } const cases[] = {
        {5, 100, 3},
        // 14 failures of 10 products: the plain share reaches 140 %, the axis 150 %, and the
        // corrected line keeps its 300 h point (97 %) but not 400 h.
        {14, 150, 3},
        // 123 failures: the axis goes to 1500 % and holds the corrected 400 h point (599 %).
        {123, 1500, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.failures);
        State s =
            makeState(records({{100, 1}, {200, 1}, {300, 1}, {400, 1}, {500, 1}}), 10, 250, 100);
        s.Hist_Arr.back().Sum += c.failures - 5;
        const NonparamResult r = Histogram_Exp(s, NumLocale::period());
        EXPECT_EQ(r.chart.right.max, c.top);
        EXPECT_TRUE(r.chart.right.fixedRange);
        EXPECT_EQ(r.chart.find("Series2")->points.size(), c.corrected);
        for (const char *name : {"Series1", "Series2", "Series3"}) {
            const SeriesData &line = *r.chart.find(QString::fromLatin1(name));
            for (const ChartPoint &p : line.points)
                EXPECT_LE(p.value, r.chart.right.max) << name << " at " << p.label.toStdString();
        }
        EXPECT_EQ(r.chart.find("Series1")->points.size(), s.Hist_Arr.size());
    }
}

TEST(NonparamTexts, LabelsAndMarksInBothLocales)
{
    struct Case {
        NumLocale nl;
        QString label2, label3, label5, label6, markS1;
    };
    // Failures at 100..1000 h, N = 9, nobody out of observation: t50 = tz50 = 450.
    // 1234 failures of 9 products is 13711.1% -- a mark with a group separator.
    const QString nb(QChar(0x00A0));
    const Case cases[] = {
        {NumLocale::period(), "- без учета цензурирования:  450.0 ч",
         "- с учетом цензурирования:   450.00 ч", "Среднее время цензурирования:  1520.5 ч",
         "СКО времени цензурирования:      300.3 ч", "13,711.1"},
        {NumLocale::comma(), "- без учета цензурирования:  450,0 ч",
         "- с учетом цензурирования:   450,00 ч", "Среднее время цензурирования:  1520,5 ч",
         "СКО времени цензурирования:      300,3 ч", "13" + nb + "711,1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QString(c.nl.dec).toStdString());
        State s = makeState(tenRecords(), 9);
        s.Sred = 1520.5;
        s.SKO = 300.3;
        s.Kol_Izd_All = 12;
        s.KolOtk = 1234;
        const NonparamResult r = Histogram_Exp(s, c.nl);
        // Sred = 1520.5 puts a few products out of observation by 1000 h, which moves
        // the corrected time slightly; pin the texts of the plain law separately below.
        EXPECT_EQ(r.texts.Label2, c.label2);
        EXPECT_EQ(r.texts.Label5, c.label5);
        EXPECT_EQ(r.texts.Label6, c.label6);
        EXPECT_EQ(r.texts.Label7, "Кол-во контролируемых изделий:12 шт.");
        EXPECT_EQ(r.texts.Label8, "Общее кол-во отказов изделий: 1234 шт.");
        EXPECT_EQ(r.texts.Label10, "Изделие Б, 2019");

        s.Sred = kFarSred;
        s.SKO = kFarSko;
        const NonparamResult far = Histogram_Exp(s, c.nl);
        EXPECT_EQ(far.texts.Label3, c.label3);

        // A mark in the picture "#,##0.#": group separator, one decimal at most.
        s.Hist_Arr.back().Sum += 1234 - 10;
        const NonparamResult big = Histogram_Exp(s, c.nl);
        EXPECT_EQ(big.chart.find("Series1")->points.back().mark, c.markS1);
    }
}

TEST(NonparamTexts, MarksDropTrailingZeros)
{
    State s = makeState(records({{100, 1}, {200, 1}}), 4);
    const NonparamResult r = Histogram_Exp(s, NumLocale::comma());
    const SeriesData &s1 = *r.chart.find("Series1");
    EXPECT_EQ(s1.points[0].mark, "25");
    EXPECT_EQ(s1.points[1].mark, "50");
    EXPECT_EQ(r.chart.find("Series3")->points[0].mark, "0");
}

TEST(NonparamTexts, UnreachedHalfShowsZeroWithAnExplanation)
{
    // Two failures among ten products: half the fleet is never reached.
    State s = makeState(records({{100, 1}, {200, 1}}), 10);
    const NonparamResult r = Histogram_Exp(s, NumLocale::period());
    EXPECT_EQ(r.texts.Label2, "- без учета цензурирования:    0.0 ч");
    EXPECT_EQ(r.texts.Label3, "- с учетом цензурирования:     0.00 ч");
    EXPECT_FALSE(r.texts.hint2.isEmpty());
    EXPECT_FALSE(r.texts.hint3.isEmpty());
    // Among four products the second failure is the half: no explanation needed.
    s.Izd_Prived = 4;
    const NonparamResult half = Histogram_Exp(s, NumLocale::period());
    EXPECT_EQ(half.texts.Label2, "- без учета цензурирования:  200.0 ч");
    EXPECT_TRUE(half.texts.hint2.isEmpty());
    EXPECT_TRUE(half.texts.hint3.isEmpty());
}

TEST(NonparamRefusal, BadInputsLeaveTheStateAsItWas)
{
    State loaded = makeState(records({{100, 1}, {200, 1}}), 4);
    loaded.Sum_PrichRow.fill(7);
    loaded.F_OutGar = {0.5};

    struct Case {
        const char *what;
        void (*spoil)(State &);
        QString message;
    };
    const Case cases[] = {
        {"no failures loaded",
         [](State &s) {
             s.MasProbl.clear();
             s.Hist_Arr.clear();
         },
         txt::noFailures},
        {"zero fleet", [](State &s) { s.Izd_Prived = 0; }, {}},
        {"zero deviation", [](State &s) { s.SKO = 0; }, {}},
        {"negative deviation", [](State &s) { s.SKO = -5; }, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        State s = loaded;
        c.spoil(s);
        try {
            Histogram_Exp(s, NumLocale::period());
            ADD_FAILURE() << "accepted";
        } catch (const UserError &e) {
            EXPECT_FALSE(e.message().isEmpty());
            if (!c.message.isEmpty()) {
                EXPECT_EQ(e.message(), c.message);
            }
        }
        EXPECT_EQ(s.Sum_PrichRow[1], 7);
        EXPECT_EQ(s.F_OutGar, std::vector<double>{0.5});
    }
    // Without any failure loaded the histogram itself refuses with the same message.
    State empty;
    try {
        hist(empty);
        ADD_FAILURE() << "accepted";
    } catch (const UserError &e) {
        EXPECT_EQ(e.message(), txt::noFailures);
    }
}

TEST(NonparamDesign, Chart3SeriesAxesAndTitles)
{
    const ChartData c = chart3Design();
    EXPECT_EQ(c.title, "Изменение потока отказов за время наблюдения (обследования)");
    EXPECT_EQ(c.bottom.title, "Наработка, моточас.");
    EXPECT_EQ(c.left.title, "Отказов за 100 часов на 1 изделие");
    EXPECT_FALSE(c.left.fixedRange);
    EXPECT_EQ(c.right.title, "Доля от количества изделий, %");
    EXPECT_TRUE(c.right.fixedRange);
    EXPECT_EQ(c.right.min, 0);
    EXPECT_EQ(c.right.max, 100);
    EXPECT_TRUE(c.right.percentLabels);

    struct Want {
        const char *name, *title;
        SeriesKind kind;
        AxisSide axis;
        Rgb color;
        double width;
        LineStyle style;
        bool marks, bold;
    };
    const Want want[] = {
        {"Series4", "Неизвестные", SeriesKind::Bar, AxisSide::Left, 0, 1, LineStyle::Solid, false,
         false},
        {"Series3", "Выбытие из наблюдения,%", SeriesKind::Line, AxisSide::Right, 0xCACA00, 4,
         LineStyle::Solid, false, false},
        {"Series1", "Число отказов / количество изделий,%", SeriesKind::Line, AxisSide::Right,
         0xFF0000, 3, LineStyle::DashDot, true, false},
        {"Series2", "Отказов / количество изделий с цензур-м,%", SeriesKind::Line, AxisSide::Right,
         0x0000FF, 3, LineStyle::DashDot, true, true},
    };
    ASSERT_EQ(c.series.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(want[i].name);
        const SeriesData &s = c.series[i];
        EXPECT_EQ(s.name, want[i].name);
        EXPECT_EQ(s.title, want[i].title);
        EXPECT_EQ(s.kind, want[i].kind);
        EXPECT_EQ(s.axis, want[i].axis);
        if (s.kind == SeriesKind::Line) {
            EXPECT_EQ(s.color, want[i].color);
            EXPECT_EQ(s.lineWidth, want[i].width);
            EXPECT_EQ(s.style, want[i].style);
        }
        EXPECT_EQ(s.marksVisible, want[i].marks);
        EXPECT_EQ(s.marksBold, want[i].bold);
    }
}
