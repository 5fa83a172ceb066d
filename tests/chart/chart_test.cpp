// SPDX-License-Identifier: MIT
// The chart adapter: what a ChartData becomes in Qt Charts.
#include "chart/chartwidget.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QLineSeries>
#include <QPointer>
#include <QValueAxis>
#include <QtTest>

using namespace obr;

namespace {

SeriesData series(SeriesKind kind, const QString &title, std::vector<double> values,
                  AxisSide axis = AxisSide::Left)
{
    SeriesData s;
    s.kind = kind;
    s.title = title;
    s.axis = axis;
    s.color = 0xFF0000;
    for (size_t i = 0; i < values.size(); ++i)
        s.points.push_back({values[i], QString::number(100 * (i + 1)), s.color, {}});
    return s;
}

ChartData sample()
{
    ChartData d;
    d.title = QStringLiteral("Поток");
    d.left.title = QStringLiteral("Слева");
    d.right.title = QStringLiteral("Справа");
    d.right.fixedRange = true;
    d.right.min = 0;
    d.right.max = 100;
    SeriesData area = series(SeriesKind::Area, QStringLiteral("Площадь"), {1, 2, 3});
    area.outline = false;
    area.transparency = 30;
    SeriesData out =
        series(SeriesKind::Line, QStringLiteral("Выбывание"), {10, 50, 90}, AxisSide::Right);
    SeriesData marked =
        series(SeriesKind::Line, QStringLiteral("Накопление"), {5, 7}, AxisSide::Right);
    marked.crossMarkers = true;
    marked.marksVisible = true;
    marked.points[0].mark = QStringLiteral("5");
    marked.points[1].mark = QStringLiteral("7");
    marked.style = LineStyle::Dash;
    d.series = {area, out, marked, series(SeriesKind::Bar, QStringLiteral("А"), {1, 0, 2}),
                series(SeriesKind::Bar, QStringLiteral("Б"), {3, 1})};
    return d;
}

template <class T>
QList<T *> seriesOf(QChart *c)
{
    QList<T *> l;
    for (QAbstractSeries *s : c->series())
        if (auto *t = qobject_cast<T *>(s))
            l << t;
    return l;
}

}   // namespace

class ChartTest : public QObject {
    Q_OBJECT
private slots:
    void rendersTheData()
    {
        ChartWidget w;
        w.resize(649, 491);
        w.setChartData(sample());
        QChart *c = w.chart();
        QCOMPARE(c->title(), QStringLiteral("Поток"));
        // Bars of one chart stand side by side: one QBarSeries with one set per bar series.
        const auto bars = seriesOf<QBarSeries>(c);
        QCOMPARE(bars.size(), 1);
        QCOMPARE(bars[0]->count(), 2);
        QCOMPARE(bars[0]->barSets()[1]->label(), QStringLiteral("Б"));
        QCOMPARE(bars[0]->barSets()[1]->count(), 2);
        // Categories come from the points' labels.
        auto *x = qobject_cast<QBarCategoryAxis *>(c->axes(Qt::Horizontal).first());
        QCOMPARE(x->categories(), QStringList({"100", "200", "300"}));
        // Lines: markers only where asked for, dash style, right axis with its fixed range.
        const auto lines = seriesOf<QLineSeries>(c);
        QCOMPARE(lines.size(), 2);
        QVERIFY(!lines[0]->pointsVisible());
        QVERIFY(lines[1]->pointsVisible());
        QCOMPARE(lines[1]->pen().style(), Qt::DashLine);
        auto *right = qobject_cast<QValueAxis *>(c->axes(Qt::Vertical, lines[0]).last());
        QVERIFY(right);
        QCOMPARE(right->alignment(), Qt::AlignRight);
        QCOMPARE(right->max(), 100.0);
        QCOMPARE(right->titleText(), QStringLiteral("Справа"));
        QCOMPARE(w.markCount(), 2);
        // The area: no outline, 30% transparent.
        const auto areas = seriesOf<QAreaSeries>(c);
        QCOMPARE(areas.size(), 1);
        QCOMPARE(areas[0]->pen().style(), Qt::NoPen);
        QCOMPARE(areas[0]->brush().color().alpha(), 255 * 70 / 100);
        QCOMPARE(w.legend()->texts(),
                 QStringList({"Площадь", "Выбывание", "Накопление", "А", "Б"}));
    }

    void noTextIsCut_data()
    {
        QTest::addColumn<int>("categories");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("legend");
        // Chart1 and Chart2 of the results window as designed, at the smallest size the
        // window lays out for, and the enlarged chart.
        for (int n : {14, 23, 31}) {
            QTest::addRow("%d, flow chart", n) << n << QSize(649, 491) << true;
            QTest::addRow("%d, accumulated chart", n) << n << QSize(650, 369) << false;
            QTest::addRow("%d, smallest window", n) << n << QSize(537, 269) << true;
            QTest::addRow("%d, enlarged", n) << n << QSize(1425, 833) << true;
        }
    }
    void noTextIsCut()
    {
        QFETCH(int, categories);
        QFETCH(QSize, size);
        QFETCH(bool, legend);
        ChartData d = sample();
        d.title = QStringLiteral("Изменение потока отказов в течение гарантийного периода");
        d.left.title = QStringLiteral("Отказов за 100 час на 1 изделие");
        d.right.title = QStringLiteral("Выбывание из гарантии, %");
        d.legendVisible = legend;
        std::vector<double> v;
        for (int j = 0; j < categories; ++j)
            v.push_back(0.01 * (j % 7));
        SeriesData bars = series(SeriesKind::Bar, QStringLiteral("А"), v);
        SeriesData out = series(SeriesKind::Line, QStringLiteral("Выбывание"), v, AxisSide::Right);
        for (int j = 0; j < categories; ++j)   // interval ends up to five digits, as on large files
            bars.points[size_t(j)].label = out.points[size_t(j)].label =
                QString::number(j < 10 ? 100 * (j + 1) : 1000 + 500 * (j - 9));
        d.series = {out, bars};
        ChartWidget w;
        w.resize(size);
        w.setChartData(d);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::qWait(20);
        // No title or axis text of the chart is cut (the axis's own category labels are
        // invisible: the widget draws them).
        for (QGraphicsItem *item : w.chart()->scene()->items()) {
            auto *t = dynamic_cast<QGraphicsTextItem *>(item);
            if (!t || !t->isVisible() || t->defaultTextColor().alpha() == 0)
                continue;
            const QString text = t->toPlainText();
            QVERIFY2(!text.contains(QStringLiteral("...")) && !text.contains(QChar(0x2026)),
                     qPrintable(text));
        }
        // Every category label is shown whole, in a readable size, under its category and
        // clear of its neighbours.
        const auto &labels = w.categoryLabels();
        QCOMPARE(int(labels.size()), categories);
        const QRectF plot = w.chart()->plotArea();
        const double step = plot.width() / categories;
        QRectF previous;
        for (int j = 0; j < categories; ++j) {
            const QGraphicsSimpleTextItem *l = labels[size_t(j)];
            QCOMPARE(l->text(), bars.points[size_t(j)].label);
            QVERIFY(l->isVisible());
            QVERIFY(l->font().pixelSize() >= 9);
            const QRectF r = l->mapRectToParent(l->boundingRect());
            QVERIFY(QRectF(QPointF(0, 0), w.view()->size()).contains(r));
            QVERIFY(r.top() > plot.bottom());
            QVERIFY(std::abs(r.center().x() - (plot.left() + step * (j + 0.5))) < 1);
            QVERIFY2(!r.intersects(previous), qPrintable(l->text()));
            previous = r;
        }
    }

    void valueMarksNeverOverlap_data()
    {
        QTest::addColumn<int>("categories");
        QTest::addColumn<QSize>("size");
        QTest::newRow("8 categories") << 8 << QSize(777, 491);
        QTest::newRow("31 categories, crowded") << 31 << QSize(777, 491);
        QTest::newRow("31 categories, maximised") << 31 << QSize(1900, 900);
    }
    void valueMarksNeverOverlap()
    {
        // Two marked lines a little apart on the right axis (18.7 % and 18.6 %, the
        // crowded case of the nonparametric chart) over bars of the left axis.
        QFETCH(int, categories);
        QFETCH(QSize, size);
        ChartData d = sample();
        d.series.clear();
        auto marked = [&](const QString &title, double shift) {
            std::vector<double> v;
            for (int j = 0; j < categories; ++j)
                v.push_back(std::min(100.0, 3.0 * j + shift));
            SeriesData s = series(SeriesKind::Line, title, v, AxisSide::Right);
            s.marksVisible = true;
            for (ChartPoint &p : s.points)
                p.mark = QString::number(p.value, 'f', 1);
            return s;
        };
        std::vector<double> bars;
        for (int j = 0; j < categories; ++j)
            bars.push_back(j % 3 == 0 ? 0.0 : 4.0 + (j % 5));
        d.series = {series(SeriesKind::Bar, QStringLiteral("А"), bars), marked("s1", 0),
                    marked("s2", 0.1)};
        ChartWidget w;
        w.resize(size);
        w.setChartData(d);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.markCount(), 2 * categories);
        const std::vector<QRectF> marks = w.shownMarkRects();
        const std::vector<QRectF> areas = w.barAreas();
        QVERIFY(!marks.empty());
        QVERIFY(!areas.empty());
        const QRectF plot = w.chart()->plotArea();
        for (size_t i = 0; i < marks.size(); ++i) {
            QVERIFY(plot.contains(marks[i]));
            for (size_t j = i + 1; j < marks.size(); ++j)
                QVERIFY2(!marks[i].intersects(marks[j]),
                         qPrintable(QStringLiteral("marks %1 and %2").arg(i).arg(j)));
            for (const QRectF &a : areas)
                QVERIFY(!marks[i].intersects(a));
        }
    }

    void aRefreshReplacesEverything()
    {
        ChartWidget w;
        w.resize(649, 491);
        w.setChartData(sample());
        QPointer<QAbstractSeries> oldArea = seriesOf<QAreaSeries>(w.chart()).first();
        QPointer<QLineSeries> oldUpper = seriesOf<QAreaSeries>(w.chart()).first()->upperSeries();
        ChartData d = sample();
        d.series.pop_back();   // one bar series fewer
        d.series[2].marksVisible = false;
        w.setChartData(d);
        QVERIFY(oldArea.isNull());
        QVERIFY(oldUpper.isNull());   // the area's boundary goes with it
        QCOMPARE(w.chart()->series().size(), 4);
        QCOMPARE(seriesOf<QBarSeries>(w.chart()).first()->count(), 1);
        QCOMPARE(w.chart()->axes().size(), 3);
        QCOMPARE(w.markCount(), 0);
        w.setChartData(d);
        QCOMPARE(w.chart()->series().size(), 4);
    }

    // What is on screen after a refresh that changes the axes (other titles, other tick
    // labels) is exactly what a new widget shows for the new content: no text of the
    // earlier axes stays behind.
    void aRefreshLooksLikeANewChart()
    {
        auto ticked = [](const QString &title, std::vector<AxisData::Tick> ticks) {
            ChartData d;
            d.title = title;
            d.left.title = title + QStringLiteral(" слева");
            d.left.fixedRange = true;
            d.left.min = ticks.front().value;
            d.left.max = ticks.back().value;
            d.left.ticks = std::move(ticks);
            d.right.used = false;
            d.bottom.title = title + QStringLiteral(" внизу");
            d.series = {series(SeriesKind::Line, title, {0.2, 0.5, 0.9})};
            return d;
        };
        const ChartData before = ticked(QStringLiteral("Первая"), {{0, QStringLiteral("0.001")},
                                                                   {0.5, QStringLiteral("0.01")},
                                                                   {1, QStringLiteral("0.1")}});
        const ChartData after = ticked(
            QStringLiteral("Вторая"),
            {{0, QStringLiteral("1%")}, {0.3, QStringLiteral("20%")}, {1, QStringLiteral("90%")}});
        ChartWidget refreshed;
        refreshed.resize(549, 451);
        refreshed.show();
        QVERIFY(QTest::qWaitForWindowExposed(&refreshed));
        refreshed.setChartData(before);
        QCoreApplication::processEvents();
        (void)refreshed.grab();
        // Refreshed while its window is closed and the widget disabled, as a result window
        // is while a calculation runs.
        refreshed.hide();
        refreshed.setEnabled(false);
        refreshed.setChartData(before);
        refreshed.setChartData(after);
        refreshed.setEnabled(true);
        refreshed.show();
        QVERIFY(QTest::qWaitForWindowExposed(&refreshed));
        QCoreApplication::processEvents();

        ChartWidget fresh;
        fresh.resize(549, 451);
        fresh.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fresh));
        fresh.setChartData(after);
        QCoreApplication::processEvents();
        QCOMPARE(refreshed.grab().toImage(), fresh.grab().toImage());
    }

    void hiddenSeriesAndUnusedRightAxis()
    {
        ChartData d;
        d.right.used = false;
        SeriesData hidden = series(SeriesKind::Bar, QStringLiteral("Скрыт"), {1});
        hidden.visible = false;
        d.series = {hidden, series(SeriesKind::Bar, QStringLiteral("Видим"), {2})};
        d.legendVisible = true;
        ChartWidget w;
        w.resize(400, 300);
        w.setChartData(d);
        QCOMPARE(w.legend()->texts(), QStringList({"Видим"}));
        QCOMPARE(seriesOf<QBarSeries>(w.chart()).first()->count(), 1);
        QCOMPARE(w.chart()->axes(Qt::Vertical).size(), 1);
        d.legendVisible = false;
        w.setChartData(d);
        QVERIFY(w.legend()->texts().isEmpty());
    }

    void nonFiniteValuesAreNotDrawn()
    {
        ChartData d;
        d.series = {series(SeriesKind::Line, QStringLiteral("л"), {1, qQNaN(), qInf(), 4})};
        ChartWidget w;
        w.resize(400, 300);
        w.setChartData(d);
        const auto lines = seriesOf<QLineSeries>(w.chart());
        QCOMPARE(lines.first()->count(), 2);
        auto *left = qobject_cast<QValueAxis *>(w.chart()->axes(Qt::Vertical).first());
        QVERIFY(qIsFinite(left->max()) && left->max() >= 4);
    }
};

QTEST_MAIN(ChartTest)
#include "chart_test.moc"
