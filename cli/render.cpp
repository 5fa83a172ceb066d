// SPDX-License-Identifier: MIT
#include "render.h"
#include "mleview/mleview.h"
#include "mleview/mleview_texts.h"

#include "chart/chartwidget.h"
#include "chart/export.h"
#include "model/errors.h"
#include "chart/fonts.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QBuffer>
#include <memory>

namespace obr::cli {

namespace {

// Sizes of the charts in their windows.
constexpr QSize kForm2Chart1(649, 491);
constexpr QSize kForm2Chart2(650, 369);
constexpr QSize kForm2Chart3(777, 491);
constexpr QSize kExpandChart(1425, 833);
constexpr QSize kForm3Chart3(814, 470);
constexpr QSize kMleChart(640, 440);   // the charts of the maximum-likelihood window

QString cannotWrite(const QString &path, const QString &why)
{
    return QStringLiteral("Не удалось записать файл %1: %2")
        .arg(QDir::toNativeSeparators(path), why);
}

//! A chart widget laid out offscreen at the given size, ready to be drawn.
std::unique_ptr<ChartWidget> layoutChart(const NamedChart &c)
{
    auto w = std::make_unique<ChartWidget>();
    w->setAttribute(Qt::WA_DontShowOnScreen);
    w->resize(c.size);
    w->setChartData(*c.data);
    w->show();
    // Let the chart lay out its plot area and place the value marks.
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    return w;
}

// ------------------------------------------------------------------ the PDF report

QFont textFont(double pt, bool bold = false)
{
    QFont f = chartFont(12, bold);
    f.setPointSizeF(pt);
    return f;
}

//! Lines of text flowing over the pages of the report.
class Pages {
public:
    Pages(QPdfWriter &w, QPainter &p) : m_w(w), m_p(p) { m_area = QRect(QPoint(0, 0), pageSize()); }

    QSize pageSize() const { return QSize(m_w.width(), m_w.height()); }
    QRect area() const { return m_area; }
    int y() const { return m_y; }
    void skip(int dy) { m_y += dy; }

    void newPage()
    {
        if (m_used) {
            m_w.newPage();
        }
        m_used = true;
        m_y = 0;
    }
    void heading(const QString &text)
    {
        line(text, textFont(15, true));
        skip(6);
    }
    void line(const QString &text, const QFont &font = textFont(10))
    {
        const QFontMetrics fm(font, &m_w);
        if (m_y + fm.height() > m_area.height())
            newPage();
        m_p.setFont(font);
        m_p.drawText(QRect(0, m_y, m_area.width(), fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     text);
        m_y += fm.height();
    }

    /*! A grid of texts, the first row a header that is repeated after a page break.
     *  \a widths are relative; they are scaled to fill at most the page width. */
    void grid(const std::vector<QStringList> &rows, const std::vector<int> &widths, double maxScale,
              double pt = 8.5, int padding = 8)
    {
        int total = 0;
        for (int w : widths)
            total += w;
        if (rows.empty() || total <= 0)
            return;
        const double scale = std::min(maxScale, double(m_area.width()) / total);
        const QFont font = textFont(pt);
        const QFontMetrics fm(font, &m_w);
        const int rowH = fm.height() + padding;
        auto drawRow = [&](const QStringList &row, bool header) {
            if (m_y + rowH > m_area.height())
                newPage();
            m_p.setFont(font);
            int x = 0;
            for (size_t c = 0; c < widths.size(); ++c) {
                const int cw = int(widths[c] * scale);
                const QRect cell(x, m_y, cw, rowH);
                if (header)
                    m_p.fillRect(cell, QColor(0xF0, 0xF0, 0xF0));
                m_p.setPen(QColor(0xA0, 0xA0, 0xA0));
                m_p.drawRect(cell);
                m_p.setPen(Qt::black);
                if (qsizetype(c) < row.size())
                    m_p.drawText(cell.adjusted(4, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                                 row[qsizetype(c)]);
                x += cw;
            }
            m_y += rowH;
        };
        for (size_t r = 0; r < rows.size(); ++r) {
            if (r > 0 && m_y + rowH > m_area.height()) {
                newPage();
                drawRow(rows.front(), true);
            }
            drawRow(rows[r], r == 0);
        }
        m_y += 12;
    }

private:
    QPdfWriter &m_w;
    QPainter &m_p;
    QRect m_area;
    int m_y = 0;
    bool m_used = false;
};

//! Hours and counts with one decimal, shares with four.
QString num(double v, const NumLocale &nl) { return fmtF(v, 1, 1, nl.dec); }
QString share(double v, const NumLocale &nl) { return fmtF(v, 1, 4, nl.dec); }

void dataSetPage(Pages &pg, const Analysis &a, const QString &file)
{
    const State &s = a.s;
    const NumLocale &nl = a.nl;
    pg.newPage();
    pg.heading(QStringLiteral("Исходные данные"));
    pg.line(a.results.label10, textFont(12, true));
    pg.line(QStringLiteral("Файл данных: ") + QDir::toNativeSeparators(file));
    pg.skip(8);
    const QStringList lines = {
        QStringLiteral("Средний срок гарантии (заголовок файла): %1 ч").arg(num(a.header.Sred, nl)),
        QStringLiteral("СКО срока гарантии (заголовок файла): %1 ч").arg(num(a.header.SKO, nl)),
        QStringLiteral("Количество изделий в эксплуатации: %1 шт.").arg(a.header.Kol_Izd_All),
        QStringLiteral("Общее число отказов: %1").arg(a.header.KolOtk),
        QStringLiteral("Число документированных отказов: %1").arg(s.Kol_izw),
        QStringLiteral("Доля документированных отказов: %1").arg(share(s.Popravka_Unknow, nl)),
        QStringLiteral("Приведённый парк изделий: %1").arg(num(s.Izd_Prived, nl)),
        QStringLiteral("Срок гарантии в расчёте: среднее %1 ч, СКО %2 ч, гарантийный срок %3 ч")
            .arg(num(a.usedSred, nl), num(a.usedSKO, nl), num(a.usedTGar, nl)),
        QStringLiteral("Наработка до отказа 10%/20%/80%/90% парка: %1 / %2 / %3 / %4 ч")
            .arg(num(s.T90expl, nl), num(s.T80expl, nl), num(s.T20expl, nl), num(s.T10expl, nl)),
        QStringLiteral(
            "Наработка до отказа 50% наблюдаемого парка: %1 ч, с учетом цензурирования: %2 ч")
            .arg(num(s.T50expl, nl), num(s.t50zen, nl)),
        QStringLiteral("Отказов на изделие за гарантийный срок: %1").arg(share(s.Otk_Izd, nl)),
    };
    for (const QString &l : lines)
        pg.line(l);
    pg.skip(8);
    pg.line(QStringLiteral("Причины отказов"), textFont(11, true));
    for (int k = 1; k <= a.header.NPrich && k < kCauseSlots; ++k)
        pg.line(QStringLiteral("%1. %2 — %3")
                    .arg(k)
                    .arg(s.Vidy_otkazov[size_t(k)].Nazv_Prich)
                    .arg(qlonglong(std::llround(s.Vidy_otkazov[size_t(k)].Dolya))));
    pg.line(QStringLiteral("%1 — %2").arg(s.Vidy_otkazov[0].Nazv_Prich).arg(a.unknownCauseCount));
    pg.skip(8);

    // The failure histogram: recorded failures per interval, by cause.
    pg.line(QStringLiteral("Гистограмма отказов (число отказов в интервале наработки)"),
            textFont(11, true));
    const int causes = std::min(a.header.NPrich, kMaxCauses);
    QStringList head = {QStringLiteral("До, ч"), QStringLiteral("Всего"),
                        s.Vidy_otkazov[0].Nazv_Prich};
    for (int k = 1; k <= causes; ++k)
        head << QString::number(k);
    std::vector<QStringList> rows = {head};
    for (const Hist_Rec &h : a.histogram) {
        QStringList row = {fmtRound(h.time), QString::number(h.Sum), QString::number(h.Nund)};
        for (int k = 1; k <= causes; ++k)
            row << QString::number(h.Npr[size_t(k)]);
        rows.push_back(row);
    }
    std::vector<int> widths = {70, 60, 90};
    widths.resize(size_t(3 + causes), 40);
    pg.grid(rows, widths, 1.0, 7.5, 3);
}

void tablePage(Pages &pg, const Analysis &a)
{
    pg.newPage();
    pg.heading(QStringLiteral("Таблица результатов"));
    pg.line(a.results.label10, textFont(12, true));
    pg.skip(8);
    const ResultsTable &t = a.results.table;
    // Column widths as in the window, scaled to the page when wider.
    std::vector<int> widths;
    std::vector<QStringList> rows(ResultsTable::Rows);
    for (int c = 0; c <= t.dataColumn; ++c) {
        widths.push_back(t.widths[size_t(c)] > 0 ? t.widths[size_t(c)]
                                                 : ResultsTable::DefaultWidth);
        for (int r = 0; r < ResultsTable::Rows; ++r)
            rows[size_t(r)] << t.cell(c, r).trimmed();
    }
    pg.grid(rows, widths, 1.6);
    if (a.nonparam) {
        const NonparamTexts &n = a.nonparam->texts;
        pg.line(QStringLiteral("Непараметрический анализ"), textFont(11, true));
        for (const QString &l :
             {QStringLiteral("Средняя наработка на отказ по гарантийным изделиям"), n.Label2,
              n.Label3, n.Label5, n.Label6, n.Label7, n.Label8})
            pg.line(l);
    }
}

void chartPage(Pages &pg, QPainter &p, const NamedChart &c)
{
    pg.newPage();
    pg.heading(c.caption);
    const std::unique_ptr<ChartWidget> w = layoutChart(c);
    const QRect room(0, pg.y(), pg.area().width(), pg.area().height() - pg.y());
    const double scale =
        std::min(double(room.width()) / c.size.width(), double(room.height()) / c.size.height());
    p.save();
    p.translate(room.x() + (room.width() - c.size.width() * scale) / 2, room.y());
    p.scale(scale, scale);
    w->render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
    p.restore();
}

//! The maximum-likelihood model: its bounds table beside its probability plot and causes chart.
void mlePage(Pages &pg, QPainter &p, const Analysis &a)
{
    pg.newPage();
    const mleview::BoundsView v = mleview::boundsView(*a.mle, a.mleLr, a.nl.dec);
    pg.heading(mtv::caption);
    pg.line(v.heading, textFont(10, true));
    if (!v.message.isEmpty())
        for (const QString &l : v.message.split(u'\n'))
            pg.line(l);
    pg.skip(6);
    const int top = pg.y();
    std::vector<QStringList> rows = {QStringList(v.table.header.begin(), v.table.header.end())};
    for (const auto &r : v.table.rows)
        rows.push_back(QStringList(r.begin(), r.end()));
    // The table takes the left half of the page, the two charts the right half.
    const int half = pg.area().width() / 2;
    pg.grid(rows, {220, 90, 120, 120}, double(half - 10) / 550, 8, 4);
    const std::vector<NamedChart> charts = mleChartsOf(a);
    const int roomH = (pg.area().height() - top) / int(std::max<size_t>(1, charts.size()));
    for (size_t i = 0; i < charts.size(); ++i) {
        const NamedChart &c = charts[i];
        const std::unique_ptr<ChartWidget> w = layoutChart(c);
        const QRect room(half + 10, top + int(i) * roomH, pg.area().width() - half - 10, roomH - 6);
        const double scale = std::min(double(room.width()) / c.size.width(),
                                      double(room.height()) / c.size.height());
        p.save();
        p.translate(room.x(), room.y());
        p.scale(scale, scale);
        w->render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
        p.restore();
    }
}

void logPages(Pages &pg, const Analysis &a)
{
    pg.newPage();
    pg.heading(QStringLiteral("Журнал расчёта"));
    for (const QString &l : a.log)
        pg.line(l, textFont(9));
}

}   // namespace

std::vector<NamedChart> chartsOf(const Analysis &a)
{
    std::vector<NamedChart> out = {
        {QStringLiteral("Form2_Chart2.png"), QStringLiteral("Результаты: накопленные отказы"),
         &a.results.chart2, kForm2Chart2},
        {QStringLiteral("Form2_Chart1.png"),
         QStringLiteral("Результаты: поток отказов по причинам"), &a.results.chart1, kForm2Chart1},
        {QStringLiteral("Form2_Chart3.png"),
         QStringLiteral("Результаты: поток отказов с учетом выбытия из гарантии"),
         &a.results.chart3, kForm2Chart3},
        {QStringLiteral("ExpandForm_Chart1.png"),
         QStringLiteral("Увеличенный график потока отказов"), &a.expand.chart, kExpandChart},
    };
    if (a.nonparam)
        out.push_back({QStringLiteral("Form3_Chart3.png"),
                       QStringLiteral("Непараметрический анализ"), &a.nonparam->chart,
                       kForm3Chart3});
    return out;
}

std::vector<NamedChart> mleChartsOf(const Analysis &a)
{
    if (!a.mle)
        return {};
    return {
        {QStringLiteral("FormMle_ProbPlot.png"), mtv::probTitle, &a.mleProbPlot, kMleChart},
        {QStringLiteral("FormMle_Causes.png"), mtv::causesChartTitle, &a.mleCausesChart, kMleChart},
    };
}

std::vector<OutputFile> chartFiles(const Analysis &a, const QString &format)
{
    const ImageFormat kind = imageFormatNamed(format).value_or(ImageFormat::Png);
    std::vector<OutputFile> out;
    std::vector<NamedChart> all = chartsOf(a);
    for (const NamedChart &c : mleChartsOf(a))
        all.push_back(c);
    for (const NamedChart &c : all) {
        const std::unique_ptr<ChartWidget> w = layoutChart(c);
        if (kind != ImageFormat::Png) {
            // Vector drawings under the same names with their own suffix.
            const QString name =
                QFileInfo(c.fileName).completeBaseName() + u'.' + imageSuffix(kind);
            out.push_back({name, chartImageBytes(w.get(), kind, name)});
            continue;
        }
        const QImage image = w->grab().toImage();
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        if (!image.save(&buf, "PNG"))
            throw UserError(cannotWrite(c.fileName, QStringLiteral("PNG не создан")));
        out.push_back({c.fileName, buf.data()});
    }
    return out;
}

QByteArray pdfBytes(const Analysis &a, const QString &file)
{
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    {
        QPdfWriter w(&buf);
        w.setTitle(QStringLiteral("Анализ надежности в эксплуатации: ") + a.s.Comment);
        w.setCreator(QStringLiteral("obrotk-cli"));
        w.setResolution(96);
        w.setPageSize(QPageSize(QPageSize::A4));
        w.setPageOrientation(QPageLayout::Landscape);
        w.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
        QPainter p;
        if (!p.begin(&w))
            throw UserError(cannotWrite(QStringLiteral("PDF"), QStringLiteral("PDF не создан")));
        Pages pg(w, p);
        dataSetPage(pg, a, file);
        tablePage(pg, a);
        for (const NamedChart &c : chartsOf(a))
            chartPage(pg, p, c);
        if (a.mle)
            mlePage(pg, p, a);
        logPages(pg, a);
        p.end();
    }
    return buf.data();
}

QStringList writeCharts(const Analysis &a, const QString &dir, const QString &format)
{
    OutputSet out;
    QStringList written;
    std::vector<OutputFile> files = chartFiles(a, format);
    for (const OutputFile &f : files)
        written << QDir(dir).filePath(f.name);
    out.addFolder(dir, std::move(files));
    out.commit();
    return written;
}

void writePdf(const Analysis &a, const QString &file, const QString &path)
{
    OutputSet out;
    out.addFile(path, pdfBytes(a, file));
    out.commit();
}

TextWidth gridTextWidth()
{
    const QFontMetrics fm(ui::designFont(QStringLiteral("MS Sans Serif"), 12));
    return [fm](const QString &t) { return fm.horizontalAdvance(t); };
}

}   // namespace obr::cli
