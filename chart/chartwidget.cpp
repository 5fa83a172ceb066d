// SPDX-License-Identifier: MIT
#include "chartwidget.h"
#include "export.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFontDatabase>
#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QLineSeries>
#include <QLocale>
#include <QPainter>
#include <QCategoryAxis>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

namespace obr {

namespace {

constexpr int kColumnGap = 10;

QColor toColor(Rgb c, int transparency = 0)
{
    QColor q(int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF));
    q.setAlpha(std::clamp(255 * (100 - transparency) / 100, 0, 255));
    return q;
}

QString sansFamily()
{
    static const QString family = [] {
        const QStringList have = QFontDatabase::families();
        for (const char *f : {"DejaVu Sans", "Liberation Sans", "Noto Sans", "FreeSans"})
            if (have.contains(QString::fromLatin1(f)))
                return QString::fromLatin1(f);
        return QString();
    }();
    return family;
}

//! A diagonal cross, the point marker of the accumulated-failures curve.
QImage crossMarker(const QColor &color, int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, 2));
    p.drawLine(QPointF(1, 1), QPointF(size - 1, size - 1));
    p.drawLine(QPointF(1, size - 1), QPointF(size - 1, 1));
    return img;
}

Qt::PenStyle penStyle(LineStyle s)
{
    switch (s) {
    case LineStyle::Dash:
        return Qt::DashLine;
    case LineStyle::DashDot:
        return Qt::DashDotLine;
    case LineStyle::Solid:
        break;
    }
    return Qt::SolidLine;
}

//! Range of an automatic axis over the finite values of its series; 0 is always shown.
void autoRange(QValueAxis *axis, const ChartData &d, AxisSide side)
{
    double lo = 0, hi = 0;
    bool any = false;
    for (const SeriesData &s : d.series) {
        if (s.axis != side && s.kind != SeriesKind::Bar)
            continue;
        if (s.kind == SeriesKind::Bar && side != AxisSide::Left)
            continue;
        for (const ChartPoint &p : s.points) {
            if (!std::isfinite(p.value))
                continue;
            lo = std::min(lo, p.value);
            hi = std::max(hi, p.value);
            any = true;
        }
    }
    if (!any || hi <= lo)
        hi = lo + 1;
    axis->setRange(lo, hi);
    axis->applyNiceNumbers();
}

//! Ticks of a fixed axis range: the largest step of 1, 2, 2.5 or 5 times a power of ten
//! that cuts the range into 4 to 10 equal parts (0..100 in steps of 25, 0..150 of 25).
int niceTickCount(double range)
{
    if (!(range > 0) || !std::isfinite(range))
        return 5;
    for (double p = std::pow(10.0, std::floor(std::log10(range))), k = 0; k < 3; p /= 10, ++k)
        for (double m : {5.0, 2.5, 2.0, 1.0}) {
            const double n = range / (m * p);
            if (n >= 4 - 1e-9 && n <= 10 + 1e-9 && std::abs(n - std::round(n)) < 1e-9)
                return int(std::round(n)) + 1;
        }
    return 5;
}

}   // namespace

QFont chartFont(int px, bool bold)
{
    QFont f(sansFamily());
    f.setPixelSize(px > 0 ? px : 11);
    f.setBold(bold);
    return f;
}

std::vector<QAbstractSeries *> renderChart(QChart *chart, const ChartData &d)
{
    chart->removeAllSeries();
    for (QAbstractAxis *a : chart->axes()) {
        chart->removeAxis(a);
        delete a;
    }
    chart->legend()->hide();
    chart->setTitle(d.title);
    chart->setTitleFont(chartFont(d.titlePx, true));
    chart->setTitleBrush(Qt::black);
    chart->setDropShadowEnabled(false);
    chart->setBackgroundRoundness(0);
    chart->setPlotAreaBackgroundVisible(d.whiteBackWall);
    chart->setPlotAreaBackgroundBrush(Qt::white);
    chart->setLocalizeNumbers(true);
    QLocale loc = d.decimal == u',' ? QLocale(QLocale::Russian, QLocale::Russia) : QLocale::c();
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    chart->setLocale(loc);

    // Categories: the label of position j is the label of any point at j.
    QStringList cats;
    for (const SeriesData &s : d.series)
        for (size_t j = cats.size(); j < s.points.size(); ++j) {
            QString l = s.points[j].label;
            // The category axis drops repeated texts; keep every position distinct.
            while (cats.contains(l))
                l += QChar(0x200B);
            cats << l;
        }

    auto *xAxis = new QBarCategoryAxis;
    xAxis->append(cats);
    xAxis->setLabelsFont(chartFont(d.axisLabelPx));
    xAxis->setTitleText(d.bottom.title);
    xAxis->setTitleFont(chartFont(d.axisTitlePx, true));
    chart->addAxis(xAxis, Qt::AlignBottom);

    auto makeValueAxis = [&](const AxisData &a, AxisSide side, Qt::Alignment al) {
        QValueAxis *ax = nullptr;
        if (!a.ticks.empty()) {
            // Labels at the given values: the grid lines stand at them too.
            auto *cat = new QCategoryAxis;
            cat->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
            cat->setStartValue(a.min);
            for (const AxisData::Tick &t : a.ticks)
                cat->append(t.label, t.value);
            ax = cat;
        } else
            ax = new QValueAxis;
        ax->setTitleText(a.title);
        ax->setTitleFont(chartFont(d.axisTitlePx, true));
        ax->setLabelsFont(chartFont(d.axisLabelPx));
        // "#,##0.#%": up to one decimal and a percent sign after the number
        ax->setLabelFormat(a.percentLabels ? QStringLiteral("%.4g%") : QStringLiteral("%.4g"));
        if (a.fixedRange) {
            ax->setRange(a.min, a.max);
            if (a.ticks.empty())
                ax->setTickCount(niceTickCount(a.max - a.min));
        } else
            autoRange(ax, d, side);
        chart->addAxis(ax, al);
        return ax;
    };
    QValueAxis *left = makeValueAxis(d.left, AxisSide::Left, Qt::AlignLeft);
    QValueAxis *right = nullptr;
    const bool rightUsed =
        d.right.used && std::any_of(d.series.begin(), d.series.end(), [](const SeriesData &s) {
            return s.axis == AxisSide::Right && s.kind != SeriesKind::Bar;
        });
    if (rightUsed)
        right = makeValueAxis(d.right, AxisSide::Right, Qt::AlignRight);

    std::vector<QAbstractSeries *> made(d.series.size(), nullptr);
    QBarSeries *bars = nullptr;
    auto attach = [&](QAbstractSeries *s, AxisSide side) {
        chart->addSeries(s);
        s->attachAxis(xAxis);
        s->attachAxis(side == AxisSide::Right && right ? right : left);
    };

    // Lines and areas first in list order; bars in one series so they stand side by side.
    for (size_t n = 0; n < d.series.size(); ++n) {
        const SeriesData &sd = d.series[n];
        const QColor col = toColor(sd.color, sd.transparency);
        if (sd.kind == SeriesKind::Bar) {
            if (!sd.visible)   // a hidden bar series would still take a slot in every category
                continue;
            if (!bars)
                bars = new QBarSeries;
            auto *set = new QBarSet(sd.title);
            set->setColor(col);
            QColor border = col.darker(160);
            border.setAlpha(col.alpha());
            set->setBorderColor(border);
            for (const ChartPoint &p : sd.points)
                set->append(std::isfinite(p.value) ? p.value : 0.0);
            bars->append(set);
            bars->setLabelsVisible(false);
            made[n] = bars;
            continue;
        }
        auto *line = new QLineSeries;
        line->setName(sd.title);
        for (size_t j = 0; j < sd.points.size(); ++j)
            if (std::isfinite(sd.points[j].value))
                line->append(double(j), sd.points[j].value);
        if (sd.kind == SeriesKind::Area) {
            auto *area = new QAreaSeries(line);
            line->setParent(area);   // the area series does not own its boundary
            area->setName(sd.title);
            area->setBrush(col);
            area->setPen(sd.outline ? QPen(col.darker(), 1) : QPen(Qt::NoPen));
            area->setVisible(sd.visible);
            attach(area, sd.axis);
            made[n] = area;
            continue;
        }
        QPen pen(col, sd.lineWidth, penStyle(sd.style));
        line->setPen(pen);
        line->setVisible(sd.visible);
        if (sd.crossMarkers) {
            line->setLightMarker(crossMarker(toColor(sd.color), 11));
            line->setMarkerSize(11);
            line->setPointsVisible(true);
        }
        attach(line, sd.axis);
        made[n] = line;
    }
    if (bars) {
        bars->setBarWidth(0.8);
        chart->addSeries(bars);
        bars->attachAxis(xAxis);
        bars->attachAxis(left);
    }
    return made;
}

// ---------------------------------------------------------------------------------------

ChartLegend::ChartLegend(QWidget *parent) : QWidget(parent)
{
    setFont(chartFont(11));
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void ChartLegend::setEntries(const ChartData &d)
{
    m_entries.clear();
    m_wide = d.wideSwatches;
    m_basePx = d.legendPx > 0 ? d.legendPx : 11;
    setFont(chartFont(m_basePx));
    if (d.legendVisible)
        for (const SeriesData &s : d.series)
            // A series without a title (the second line of a band) takes no entry; a
            // series of points only shows the colour of its crosses.
            if (s.visible && !s.title.isEmpty())
                m_entries.push_back(
                    {s.title,
                     toColor(s.color,
                             s.crossMarkers && s.transparency >= 100 ? 0 : s.transparency)});
    update();
}

QStringList ChartLegend::texts() const
{
    QStringList l;
    for (const Entry &e : m_entries)
        l << e.text;
    return l;
}

int ChartLegend::swatchWidth() const
{
    const int h = fontMetrics().height();
    return m_wide ? 3 * h : h;
}

int ChartLegend::entryWidth(const Entry &e) const
{
    // 2 px beyond the advance: the painter's eliding must never cut a text that fits.
    return swatchWidth() + 4 + fontMetrics().horizontalAdvance(e.text) + 2;
}

ChartLegend::Layout ChartLegend::layoutFor(int width) const
{
    Layout L;
    const int n = int(m_entries.size());
    if (n == 0) {
        L.rows = 0;
        return L;
    }
    const int avail = width - 8;
    constexpr int gap = kColumnGap;
    // The most columns whose widest entries fit side by side; column-major order keeps
    // the list order readable top to bottom.
    for (int cols = n; cols >= 1; --cols) {
        const int rows = (n + cols - 1) / cols;
        if ((cols - 1) * rows >= n && cols > 1)
            continue;
        std::vector<int> w(size_t(cols), 0);
        for (int i = 0; i < n; ++i)
            w[size_t(i / rows)] = std::max(w[size_t(i / rows)], entryWidth(m_entries[size_t(i)]));
        int total = 0;
        for (int x : w)
            total += x;
        total += (cols - 1) * gap;
        if (total <= avail || cols == 1) {
            L.cols = cols;
            L.rows = rows;
            L.colWidths = w;
            L.fits = total <= avail;
            if (cols == 1)
                L.colWidths[0] = std::min(w[0], avail);
            return L;
        }
    }
    return L;
}

int ChartLegend::heightFor(int width) const
{
    const Layout L = layoutFor(width);
    return L.rows == 0 ? 0 : L.rows * fontMetrics().height() + 8;
}

int ChartLegend::fitTo(int width, int maxHeight)
{
    int h = 0;
    for (int px = m_basePx; px >= m_basePx - 2 && px >= 9; --px) {
        setFont(chartFont(px));
        h = heightFor(width);
        if (h <= maxHeight && layoutFor(width).fits)
            return h;
    }
    setFont(chartFont(m_basePx));   // no smaller size helps: keep the design size
    return heightFor(width);
}

bool ChartLegend::allTextsFit() const { return layoutFor(width()).fits; }

void ChartLegend::paintEvent(QPaintEvent *)
{
    const Layout L = layoutFor(width());
    if (L.rows == 0)
        return;
    QPainter p(this);
    const int rh = fontMetrics().height();
    const int sw = swatchWidth();
    int x = 4;
    for (int c = 0; c < L.cols; ++c) {
        for (int r = 0; r < L.rows; ++r) {
            const size_t i = size_t(c * L.rows + r);
            if (i >= m_entries.size())
                break;
            const Entry &e = m_entries[i];
            const QRect sw_r(x, 4 + r * rh, sw, rh);
            p.fillRect(sw_r, e.color);
            const QRect tr(x + sw + 4, 4 + r * rh, L.colWidths[size_t(c)] - sw - 4, rh);
            p.setPen(Qt::black);
            p.drawText(tr, Qt::AlignLeft | Qt::AlignVCenter,
                       fontMetrics().elidedText(e.text, Qt::ElideRight, tr.width()));
        }
        // The swatches of one column form one band; a thin frame keeps pale colours visible.
        const int used = std::min(L.rows, int(m_entries.size()) - c * L.rows);
        p.setPen(QColor(0x80, 0x80, 0x80));
        p.drawRect(QRect(x, 4, sw, used * rh).adjusted(0, 0, -1, -1));
        x += L.colWidths[size_t(c)] + kColumnGap;
    }
}

// ---------------------------------------------------------------------------------------

ChartWidget::ChartWidget(QWidget *parent) : QWidget(parent)
{
    m_chart = new QChart;
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_chart->setBackgroundRoundness(0);
    m_chart->legend()->hide();
    m_view = new QChartView(m_chart, this);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setFrameShape(QFrame::NoFrame);
    m_legend = new ChartLegend(this);
    connect(m_chart, &QChart::plotAreaChanged, this, [this] {
        // The plot's width decides the room of the category labels and its height that of
        // the axis titles; fitting them changes the plot again, which settles after a pass
        // or two. A few passes per layout at most, so that two fits can never keep undoing
        // each other.
        if (m_fitPasses < 4) {
            ++m_fitPasses;
            chooseLabelAngle();
            fitAxisTitles();
        }
        placeCategoryLabels();
        placeMarks();
    });
    installChartImageMenu(this);
}

ChartWidget::~ChartWidget() = default;

void ChartWidget::setChartData(const ChartData &data)
{
    for (Mark &m : m_marks)
        delete m.item;
    m_marks.clear();
    m_data = data;
    const auto made = renderChart(m_chart, m_data);
    m_bars = nullptr;
    m_barTops.clear();
    for (size_t n = 0; n < m_data.series.size(); ++n) {
        const SeriesData &s = m_data.series[n];
        if (s.kind != SeriesKind::Bar || !s.visible || !made[n])
            continue;
        m_bars = made[n];
        if (m_barTops.size() < s.points.size())
            m_barTops.resize(s.points.size(), 0.0);
        for (size_t j = 0; j < s.points.size(); ++j)
            if (std::isfinite(s.points[j].value))
                m_barTops[j] = std::max(m_barTops[j], s.points[j].value);
    }
    for (size_t n = 0; n < m_data.series.size(); ++n) {
        const SeriesData &s = m_data.series[n];
        if (!s.marksVisible || !made[n])
            continue;
        for (size_t j = 0; j < s.points.size(); ++j) {
            if (s.points[j].mark.isEmpty() || !std::isfinite(s.points[j].value))
                continue;
            auto *item = new QGraphicsSimpleTextItem(s.points[j].mark, m_chart);
            item->setFont(chartFont(s.marksPx, s.marksBold));
            item->setBrush(Qt::black);
            item->setZValue(100);
            m_marks.push_back({item, made[n], QPointF(double(j), s.points[j].value)});
        }
    }
    for (QGraphicsSimpleTextItem *l : m_categoryLabels)
        delete l;
    m_categoryLabels.clear();
    const auto xs = m_chart->axes(Qt::Horizontal);
    if (auto *x = xs.isEmpty() ? nullptr : qobject_cast<QBarCategoryAxis *>(xs.first())) {
        x->setLabelsColor(Qt::transparent);
        for (const QString &c : x->categories()) {
            auto *l = new QGraphicsSimpleTextItem(c, m_chart);
            l->setBrush(Qt::black);
            l->setZValue(90);
            m_categoryLabels.push_back(l);
        }
    }
    m_legend->setEntries(m_data);
    relayout();
}

void ChartWidget::resizeEvent(QResizeEvent *) { relayout(); }

void ChartWidget::relayout()
{
    // The legend may take up to a quarter of the height before its font gets smaller.
    m_fitPasses = 0;
    const int lh = m_legend->fitTo(width(), height() / 4);
    // A legend that would leave the plot less than two thirds of the chart (a short chart
    // with many causes on a laptop screen) goes beside the plot, in a third of the width.
    const int lw = width() / 3;
    if (lh > height() / 3 && lw > 0) {
        const int sideH = m_legend->fitTo(lw, height());
        if (sideH <= height()) {
            m_legend->setGeometry(width() - lw, 0, lw, sideH);
            m_legend->setVisible(sideH > 0);
            m_view->setGeometry(0, 0, width() - lw, height());
        } else {
            // Not even beside it: the plot keeps two thirds, the legend is cut.
            m_legend->setGeometry(0, height() - height() / 3, width(), height() / 3);
            m_legend->setVisible(true);
            m_view->setGeometry(0, 0, width(), height() - height() / 3);
        }
    } else {
        m_legend->setGeometry(0, height() - lh, width(), lh);
        m_legend->setVisible(lh > 0);
        m_view->setGeometry(0, 0, width(), height() - lh);
    }
    wrapTitle();
    chooseLabelAngle();
    placeCategoryLabels();
    placeMarks();
}

void ChartWidget::wrapTitle()
{
    // A title wider than the chart less room for a button in either top corner is broken
    // into two lines at the space nearest its middle, rather than cut off.
    const QString &t = m_data.title;
    const QFontMetrics fm(m_chart->titleFont());
    if (fm.horizontalAdvance(t) <= m_view->width() - 2 * kCornerRoom) {
        m_chart->setTitle(t);
        return;
    }
    qsizetype best = -1;
    for (qsizetype i = 0; i < t.size(); ++i)
        if (t[i] == u' ' &&
            (best < 0 || std::abs(i - t.size() / 2) < std::abs(best - t.size() / 2)))
            best = i;
    if (best < 0) {
        m_chart->setTitle(t);
        return;
    }
    m_chart->setTitle(t.left(best).toHtmlEscaped() + QStringLiteral("<br>") +
                      t.mid(best + 1).toHtmlEscaped());
}

void ChartWidget::chooseLabelAngle()
{
    const auto axes = m_chart->axes(Qt::Horizontal);
    if (axes.isEmpty())
        return;
    auto *x = qobject_cast<QBarCategoryAxis *>(axes.first());
    if (!x || x->count() == 0)
        return;
    // Each label has its category's width. Upright labels are kept where they fit, turned
    // ones otherwise, and only when neither fits is the label font made smaller.
    const double plotWidth = m_chart->plotArea().width() > 0 ? m_chart->plotArea().width()
                                                             : double(m_view->width() - 140);
    const double room = plotWidth / double(x->count()) - 2;
    const QFont design = chartFont(m_data.axisLabelPx);
    QFont f = design;
    int angle = -90;
    for (int px = design.pixelSize(); px >= 7; --px) {
        f.setPixelSize(px);
        const QFontMetrics fm(f);
        int wide = 0;
        for (const QString &c : x->categories())
            wide = std::max(wide, fm.horizontalAdvance(c));
        if (px == design.pixelSize() && wide <= room) {
            angle = 0;
            break;
        }
        if (fm.height() <= room)
            break;
    }
    // The axis keeps the same font and angle, so that it reserves the labels' room.
    if (x->labelsFont() != f)
        x->setLabelsFont(f);
    if (x->labelsAngle() != angle)
        x->setLabelsAngle(angle);
    for (QGraphicsSimpleTextItem *l : m_categoryLabels) {
        l->setFont(f);
        l->setRotation(angle);
    }
}

void ChartWidget::placeCategoryLabels()
{
    const QRectF plot = m_chart->plotArea();
    const size_t n = m_categoryLabels.size();
    if (n == 0 || !(plot.width() > 0))
        return;
    const double step = plot.width() / double(n);
    for (size_t j = 0; j < n; ++j) {
        QGraphicsSimpleTextItem *l = m_categoryLabels[j];
        const QRectF r = l->boundingRect();
        const double cx = plot.left() + step * (double(j) + 0.5);
        const double top = plot.bottom() + 5;   // below the axis line and its tick
        if (l->rotation() == 0)
            l->setPos(cx - r.width() / 2, top);
        else   // turned a quarter to the left about its top-left corner: it reads upwards
            l->setPos(cx - r.height() / 2, top + r.width());
    }
}

void ChartWidget::fitAxisTitles()
{
    // A value axis title longer than the plot is tall goes on two lines, and only if that
    // is not enough is it set a few pixels smaller, rather than cut (a low window).
    const double room = m_chart->plotArea().height() - 8;
    if (!(room > 0))
        return;
    for (QAbstractAxis *a : m_chart->axes(Qt::Vertical)) {
        const QString &text =
            a->alignment() == Qt::AlignRight ? m_data.right.title : m_data.left.title;
        QString shown = text.toHtmlEscaped();
        QFont f = chartFont(m_data.axisTitlePx, true);
        qsizetype cut = -1;   // the blank nearest the middle
        for (qsizetype i = 0; i < text.size(); ++i)
            if (text[i] == u' ' &&
                (cut < 0 || std::abs(i - text.size() / 2) < std::abs(cut - text.size() / 2)))
                cut = i;
        for (int px = f.pixelSize(); px >= 9; --px) {
            f.setPixelSize(px);
            const QFontMetrics fm(f);
            if (fm.horizontalAdvance(text) <= room) {
                shown = text.toHtmlEscaped();
                break;
            }
            if (cut > 0 && std::max(fm.horizontalAdvance(text.left(cut)),
                                    fm.horizontalAdvance(text.mid(cut + 1))) <= room) {
                shown = text.left(cut).toHtmlEscaped() + QStringLiteral("<br>") +
                        text.mid(cut + 1).toHtmlEscaped();
                break;
            }
        }
        if (a->titleFont() != f)
            a->setTitleFont(f);
        if (a->titleText() != shown)
            a->setTitleText(shown);
    }
}

std::vector<QRectF> ChartWidget::barAreas() const
{
    std::vector<QRectF> areas;
    if (!m_bars)
        return areas;
    // The bars of a category stand side by side within 0.8 of its width (renderChart).
    for (size_t j = 0; j < m_barTops.size(); ++j) {
        if (!(m_barTops[j] > 0))
            continue;
        const QPointF a = m_chart->mapToPosition(QPointF(double(j) - 0.4, 0), m_bars);
        const QPointF b = m_chart->mapToPosition(QPointF(double(j) + 0.4, m_barTops[j]), m_bars);
        areas.push_back(QRectF(a, b).normalized().intersected(m_chart->plotArea()));
    }
    return areas;
}

std::vector<QRectF> ChartWidget::shownMarkRects() const
{
    std::vector<QRectF> rects;
    for (const Mark &m : m_marks)
        if (m.item->isVisible())
            rects.push_back(m.item->mapRectToParent(m.item->boundingRect()));
    return rects;
}

void ChartWidget::placeMarks()
{
    // A mark stands above its point, or below it when that place is taken; a mark that
    // finds no free place inside the plot (clear of the bars and of the marks already
    // placed) is left out, so that no two texts and no text and bar overlap. Marks are
    // placed from left to right: in a crowded stretch every other one is shown.
    const QRectF plot = m_chart->plotArea();
    const std::vector<QRectF> bars = barAreas();
    std::vector<size_t> order(m_marks.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
        return m_marks[a].value.x() < m_marks[b].value.x();
    });
    std::vector<QRectF> placed;
    for (size_t i : order) {
        Mark &m = m_marks[i];
        const QPointF p = m_chart->mapToPosition(m.value, m.series);
        const QSizeF size = m.item->boundingRect().size();
        const QPointF places[2] = {{p.x() - size.width() / 2, p.y() - size.height() - 3},
                                   {p.x() - size.width() / 2, p.y() + 3}};
        bool shown = false;
        if (plot.adjusted(-1, -1, 1, 1).contains(p)) {
            for (const QPointF &at : places) {
                const QRectF r(at, size);
                if (!plot.contains(r))
                    continue;
                auto hits = [&r](const QRectF &o) { return o.intersects(r); };
                if (std::any_of(placed.begin(), placed.end(), hits) ||
                    std::any_of(bars.begin(), bars.end(), hits))
                    continue;
                m.item->setPos(at);
                placed.push_back(r.adjusted(-2, -1, 2, 1));   // a little air between texts
                shown = true;
                break;
            }
        }
        m.item->setVisible(shown);
    }
}

}   // namespace obr
