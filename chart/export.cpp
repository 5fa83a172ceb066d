// SPDX-License-Identifier: MIT
#include "export.h"

#include "chart/chartwidget.h"
#include "model/errors.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QChartView>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSvgGenerator>

namespace obr {

namespace {

const QString kSaveImage = QStringLiteral("Сохранить изображение…");
const QString kCopyImage = QStringLiteral("Копировать изображение");
const QString kPngFilter = QStringLiteral("Изображение PNG (*.png)");
const QString kSvgFilter = QStringLiteral("Рисунок SVG (*.svg)");
const QString kPdfFilter = QStringLiteral("Документ PDF (*.pdf)");

QString cannotWrite(const QString &path, const QString &why)
{
    return QStringLiteral("Не удалось записать файл %1: %2")
        .arg(QDir::toNativeSeparators(path), why);
}

class QtExportDialogs : public ExportDialogs {
public:
    QString saveFileName(QWidget *parent, const QString &caption, const QString &filters,
                         const QString &suggested, QString *chosenFilter) override
    {
        return QFileDialog::getSaveFileName(parent, caption, suggested, filters, chosenFilter);
    }
    void failed(QWidget *parent, const QString &message) override
    {
        QMessageBox::critical(parent, QApplication::applicationDisplayName(), message);
    }
};

QtExportDialogs g_qtDialogs;
ExportDialogs *g_dialogs = &g_qtDialogs;

//! A file name for the chart: its window's and its own object names, as obrotk-cli names them.
QString suggestedName(const ChartWidget *chart)
{
    QString name = chart->objectName().isEmpty() ? QStringLiteral("chart") : chart->objectName();
    const QWidget *w = chart->window();
    if (w && w != chart && !w->objectName().isEmpty())
        name = w->objectName() + u'_' + name;
    return name;
}

}   // namespace

std::optional<ImageFormat> imageFormatNamed(const QString &name)
{
    const QString n = name.trimmed().toLower();
    if (n == u"png")
        return ImageFormat::Png;
    if (n == u"svg")
        return ImageFormat::Svg;
    if (n == u"pdf")
        return ImageFormat::Pdf;
    return std::nullopt;
}

std::optional<ImageFormat> imageFormatOf(const QString &path)
{
    return imageFormatNamed(QFileInfo(path).suffix());
}

QString imageSuffix(ImageFormat f)
{
    switch (f) {
    case ImageFormat::Svg:
        return QStringLiteral("svg");
    case ImageFormat::Pdf:
        return QStringLiteral("pdf");
    case ImageFormat::Png:
        break;
    }
    return QStringLiteral("png");
}

void drawChart(ChartWidget *chart, QPainter &p)
{
    QChartView *view = chart->view();
    // The scene through the view: a vector painter gets the series as paths.
    view->render(&p, QRectF(view->geometry()), view->viewport()->rect());
    if (ChartLegend *legend = chart->legend(); !legend->isHidden()) {
        p.save();
        p.translate(legend->pos());
        legend->render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
        p.restore();
    }
}

QImage chartImage(ChartWidget *chart)
{
    const qreal dpr = chart->devicePixelRatioF();
    QImage img(chart->size() * dpr, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawChart(chart, p);
    p.end();
    return img;
}

namespace {

//! Writes the chart in \a format to \a dev; \a name is the file named in messages.
void writeChartImage(ChartWidget *chart, QIODevice &dev, ImageFormat format, const QString &name)
{
    const QSize size = chart->size();
    switch (format) {
    case ImageFormat::Png:
        if (!chartImage(chart).save(&dev, "PNG"))
            throw UserError(cannotWrite(name, dev.errorString()));
        break;
    case ImageFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&dev);
        svg.setSize(size);
        // The width and height are written in millimetres; at 90 dots to the inch, Qt's
        // own SVG reader gives back the chart's size in pixels.
        svg.setResolution(90);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(chart->chartData().title);
        svg.setDescription(QApplication::applicationName());
        QPainter p;
        if (!p.begin(&svg))
            throw UserError(cannotWrite(name, QStringLiteral("рисунок SVG не создан")));
        p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        drawChart(chart, p);
        p.end();
        break;
    }
    case ImageFormat::Pdf: {
        QPdfWriter pdf(&dev);
        pdf.setTitle(chart->chartData().title);
        pdf.setCreator(QApplication::applicationName());
        pdf.setResolution(96);
        // One page of the chart's own size (96 pixels to the inch), no margins.
        pdf.setPageSize(QPageSize(QSizeF(size.width() * 72.0 / 96, size.height() * 72.0 / 96),
                                  QPageSize::Point, QString(), QPageSize::ExactMatch));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter p;
        if (!p.begin(&pdf))
            throw UserError(cannotWrite(name, QStringLiteral("документ PDF не создан")));
        drawChart(chart, p);
        p.end();
        break;
    }
    }
}

}   // namespace

QByteArray chartImageBytes(ChartWidget *chart, ImageFormat format, const QString &name)
{
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    writeChartImage(chart, buf, format, name);
    return buf.data();
}

void saveChartImage(ChartWidget *chart, const QString &path, ImageFormat format)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw UserError(cannotWrite(path, f.errorString()));
    writeChartImage(chart, f, format, path);
    if (!f.commit())
        throw UserError(cannotWrite(path, f.errorString()));
}

void copyChartImage(ChartWidget *chart) { QApplication::clipboard()->setImage(chartImage(chart)); }

ExportDialogs &exportDialogs() { return *g_dialogs; }

void setExportDialogs(ExportDialogs *d) { g_dialogs = d ? d : &g_qtDialogs; }

QString saveChartImageAs(ChartWidget *chart)
{
    QString filter = kPngFilter;
    const QString start = QDir(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation))
                              .filePath(suggestedName(chart) + QStringLiteral(".png"));
    QString path = exportDialogs().saveFileName(chart->window(), kSaveImage.chopped(1),
                                                kPngFilter + QStringLiteral(";;") + kSvgFilter +
                                                    QStringLiteral(";;") + kPdfFilter,
                                                start, &filter);
    if (path.isEmpty())
        return QString();
    std::optional<ImageFormat> format = imageFormatOf(path);
    if (!format) {   // no known suffix typed: the chosen filter decides and gives it
        format = filter == kSvgFilter   ? ImageFormat::Svg
                 : filter == kPdfFilter ? ImageFormat::Pdf
                                        : ImageFormat::Png;
        path += u'.' + imageSuffix(*format);
    }
    try {
        saveChartImage(chart, path, *format);
    } catch (const UserError &e) {
        exportDialogs().failed(chart->window(), e.message());
        return QString();
    }
    return path;
}

void installChartImageMenu(ChartWidget *chart)
{
    auto *save = new QAction(kSaveImage, chart);
    save->setObjectName(QStringLiteral("saveImageAction"));
    QObject::connect(save, &QAction::triggered, chart, [chart] { saveChartImageAs(chart); });
    auto *copy = new QAction(kCopyImage, chart);
    copy->setObjectName(QStringLiteral("copyImageAction"));
    QObject::connect(copy, &QAction::triggered, chart, [chart] { copyChartImage(chart); });
    // The view takes the right click over the plot, the chart widget over the legend.
    auto popup = [chart, save, copy](const QPoint &global) {
        QMenu menu(chart);
        menu.addAction(save);
        menu.addAction(copy);
        menu.exec(global);
    };
    for (QWidget *w : {static_cast<QWidget *>(chart), static_cast<QWidget *>(chart->view())}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(w, &QWidget::customContextMenuRequested, chart,
                         [w, popup](const QPoint &pos) { popup(w->mapToGlobal(pos)); });
    }
}

}   // namespace obr
