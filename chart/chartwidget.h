// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Draws a ChartData with Qt Charts: bars side by side on a category axis, lines
 * and areas, a left and a right value axis, value marks and a legend below the chart.
 *
 * The chart content is computed elsewhere; this widget only turns it into Qt Charts
 * objects. Every setChartData rebuilds the whole chart, so nothing of an earlier
 * content survives a refresh.
 */
#include "model/chartdata.h"

#include <QRectF>
#include <QWidget>
#include <vector>

QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QGraphicsSimpleTextItem;
class QAbstractSeries;
QT_END_NAMESPACE

namespace obr {

class ChartLegend;

/*! \brief The legend below a chart: one entry per visible series in list order, laid out
 *  in columns so that the colour swatches of an entry and the one below it touch. */
class ChartLegend : public QWidget {
    Q_OBJECT
public:
    explicit ChartLegend(QWidget *parent = nullptr);
    void setEntries(const ChartData &data);
    //! The height the legend needs at the given width.
    int heightFor(int width) const;
    /*! Chooses the font size for the given width: the design size, or a pixel or two
     *  smaller when that keeps the legend within \a maxHeight; returns the height. */
    int fitTo(int width, int maxHeight);
    //! Texts of the entries, in order (tests).
    QStringList texts() const;
    //! Whether every entry shows its whole text at the current width.
    bool allTextsFit() const;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    struct Entry {
        QString text;
        QColor color;
    };
    struct Layout {
        int cols = 1, rows = 0;
        std::vector<int> colWidths;
        bool fits = true;
    };
    Layout layoutFor(int width) const;
    int entryWidth(const Entry &e) const;
    int swatchWidth() const;

    std::vector<Entry> m_entries;
    bool m_wide = false;
    int m_basePx = 11;
};

/*! \brief A chart with its legend below. setChartData replaces the whole content. */
class ChartWidget : public QWidget {
    Q_OBJECT
public:
    explicit ChartWidget(QWidget *parent = nullptr);
    ~ChartWidget() override;

    void setChartData(const ChartData &data);
    const ChartData &chartData() const { return m_data; }
    QChart *chart() const { return m_chart; }
    QChartView *view() const { return m_view; }
    ChartLegend *legend() const { return m_legend; }
    //! Number of value marks made (tests); a mark with no free place is not shown.
    int markCount() const { return int(m_marks.size()); }
    //! The category labels under the plot, in order (tests).
    const std::vector<QGraphicsSimpleTextItem *> &categoryLabels() const
    {
        return m_categoryLabels;
    }
    //! Where the shown value marks stand, in chart coordinates (tests).
    std::vector<QRectF> shownMarkRects() const;
    //! The area each category's bars fill, in chart coordinates (tests).
    std::vector<QRectF> barAreas() const;

protected:
    void resizeEvent(QResizeEvent *) override;

private:
    void relayout();
    void placeMarks();
    void chooseLabelAngle();
    void placeCategoryLabels();
    void fitAxisTitles();
    void wrapTitle();
    static constexpr int kCornerRoom = 70;

    ChartData m_data;
    QChart *m_chart = nullptr;
    QChartView *m_view = nullptr;
    ChartLegend *m_legend = nullptr;
    struct Mark {
        QGraphicsSimpleTextItem *item;
        QAbstractSeries *series;
        QPointF value;
    };
    std::vector<Mark> m_marks;
    QAbstractSeries *m_bars = nullptr;   //!< the one bar series, if any
    //! The category labels, drawn by the widget: the axis's own labels stay invisible and
    //! only reserve their room, since the axis cuts a label narrower than its padding.
    std::vector<QGraphicsSimpleTextItem *> m_categoryLabels;
    int m_fitPasses = 0;             //!< label and title fits since the last layout
    std::vector<double> m_barTops;   //!< per category: the highest bar value (>= 0)
};

/*! \brief Fills \a chart with the series and axes of \a data, after removing everything
 *  it held. The chart's own legend is hidden (ChartWidget draws its own). Returns, for
 *  each series of \a data, the Qt series that draws it (all bars share one QBarSeries). */
std::vector<QAbstractSeries *> renderChart(QChart *chart, const ChartData &data);

//! The font of chart texts at a pixel size: a sans-serif font with Cyrillic glyphs.
QFont chartFont(int px, bool bold = false);

}   // namespace obr
