// SPDX-License-Identifier: MIT
// Charts out of the program: saved as PNG, SVG and PDF (read back), copied as an image,
// and the context menu that offers both.
#include "chart/chartwidget.h"
#include "chart/export.h"
#include "model/errors.h"

#include <QAction>
#include <QChartView>
#include <QPainter>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>

using namespace obr;

namespace {

//! A chart with bars, a line with value marks and a legend, laid out at a size.
std::unique_ptr<ChartWidget> shownChart(QSize size = QSize(640, 420))
{
    ChartData d;
    d.title = QStringLiteral("Изменение потока отказов");
    d.left.title = QStringLiteral("Отказов за 100 час");
    d.right.title = QStringLiteral("Выбывание, %");
    for (int k = 0; k < 2; ++k) {
        SeriesData s;
        s.kind = k ? SeriesKind::Line : SeriesKind::Bar;
        s.title = k ? QStringLiteral("Модель") : QStringLiteral("Насос");
        s.color = k ? 0xFF0000 : 0x0000FF;
        s.marksVisible = k == 1;
        for (int i = 0; i < 8; ++i)
            s.points.push_back({double((i * 7 + k * 3) % 10), QString::number(100 * (i + 1)),
                                s.color, QString::number(i)});
        d.series.push_back(s);
    }
    auto w = std::make_unique<ChartWidget>();
    w->setObjectName(QStringLiteral("Chart1"));
    w->resize(size);
    w->setChartData(d);
    // A button on the chart, as the results window has one: not part of the picture.
    (new QPushButton(QStringLiteral("Expand"), w.get()))->setGeometry(8, 7, 49, 25);
    w->show();
    QTest::qWait(20);
    return w;
}

class FakeExport : public ExportDialogs {
public:
    QString answer, filter;
    QStringList failures;
    int asked = 0;
    QString saveFileName(QWidget *, const QString &, const QString &filters, const QString &,
                         QString *chosen) override
    {
        ++asked;
        offered = filters;
        if (chosen)
            *chosen = filter;
        return answer;
    }
    void failed(QWidget *, const QString &m) override { failures << m; }
    QString offered;
};

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}   // namespace

class ChartExportTest : public QObject {
    Q_OBJECT
private slots:
    void formats();
    void savedFilesReadBack();
    void copiedImage();
    void menuCommands();
};

void ChartExportTest::formats()
{
    QCOMPARE(imageFormatNamed(QStringLiteral("SVG")), ImageFormat::Svg);
    QCOMPARE(imageFormatNamed(QStringLiteral("pdf")), ImageFormat::Pdf);
    QCOMPARE(imageFormatNamed(QStringLiteral("png")), ImageFormat::Png);
    QVERIFY(!imageFormatNamed(QStringLiteral("jpg")));
    QCOMPARE(imageFormatOf(QStringLiteral("/tmp/a.b/chart.PDF")), ImageFormat::Pdf);
    QVERIFY(!imageFormatOf(QStringLiteral("/tmp/a.b/chart")));
}

void ChartExportTest::savedFilesReadBack()
{
    QTemporaryDir dir;
    const auto chart = shownChart();
    const QSize size = chart->size();

    const QString svg = dir.filePath(QStringLiteral("c.svg"));
    saveChartImage(chart.get(), svg, ImageFormat::Svg);
    QSvgRenderer renderer(svg);
    QVERIFY(renderer.isValid());
    // The drawing's own coordinates are the chart's pixels; its width and height, written
    // in millimetres, come back within a pixel.
    QCOMPARE(renderer.viewBox(), QRect(QPoint(0, 0), size));
    QVERIFY(std::abs(renderer.defaultSize().width() - size.width()) <= 1);
    QVERIFY(std::abs(renderer.defaultSize().height() - size.height()) <= 1);
    const QByteArray svgText = bytesOf(svg);
    // Drawn as lines, rectangles and texts, not as an embedded picture.
    QVERIFY(svgText.contains("<polyline") && svgText.contains("<rect") &&
            svgText.contains("<text"));
    QVERIFY(!svgText.contains("<image"));
    QVERIFY(!svgText.contains("Expand"));
    // Rendered back, the picture is the chart: not blank, with the bars' blue in it.
    QImage back(size, QImage::Format_ARGB32);
    back.fill(Qt::white);
    {
        QPainter p(&back);
        renderer.render(&p);
    }
    int blue = 0;
    for (int y = 0; y < back.height(); y += 2)
        for (int x = 0; x < back.width(); x += 2)
            blue += back.pixelColor(x, y) == QColor(0, 0, 255);
    QVERIFY2(blue > 100, qPrintable(QString::number(blue)));

    const QString pdf = dir.filePath(QStringLiteral("c.pdf"));
    saveChartImage(chart.get(), pdf, ImageFormat::Pdf);
    const QByteArray pdfBytes = bytesOf(pdf);
    QVERIFY(pdfBytes.startsWith("%PDF-"));
    QVERIFY(pdfBytes.size() > 1000);
    QVERIFY(!pdfBytes.contains("/Subtype /Image"));   // vector, no bitmap page
    // One page of the chart's size: 96 pixels to the inch, 72 points to the inch.
    const QByteArray box = QStringLiteral("/MediaBox [0 0 %1.000000 %2.000000]")
                               .arg(size.width() * 72 / 96)
                               .arg(size.height() * 72 / 96)
                               .toLatin1();
    QVERIFY2(pdfBytes.contains(box), box.constData());

    const QString png = dir.filePath(QStringLiteral("c.png"));
    saveChartImage(chart.get(), png, ImageFormat::Png);
    QImage img(png);
    QVERIFY(!img.isNull());
    QCOMPARE(img.size(), size * chart->devicePixelRatioF());

    // A file that cannot be written: the user's message, and an existing file stays whole.
    QVERIFY_THROWS_EXCEPTION(
        UserError,
        saveChartImage(chart.get(), dir.filePath(QStringLiteral("no/c.svg")), ImageFormat::Svg));
}

void ChartExportTest::copiedImage()
{
    const auto chart = shownChart(QSize(500, 300));
    QApplication::clipboard()->clear();
    chart->findChild<QAction *>(QStringLiteral("copyImageAction"))->trigger();
    const QImage img = QApplication::clipboard()->image();
    QVERIFY(!img.isNull());
    QCOMPARE(img.size(), QSize(500, 300) * chart->devicePixelRatioF());
    QCOMPARE(img, chartImage(chart.get()).convertToFormat(img.format()));
}

void ChartExportTest::menuCommands()
{
    QTemporaryDir dir;
    const auto chart = shownChart();
    QAction *save = chart->findChild<QAction *>(QStringLiteral("saveImageAction"));
    QAction *copy = chart->findChild<QAction *>(QStringLiteral("copyImageAction"));
    QVERIFY(save && copy);
    QCOMPARE(save->text(), QStringLiteral("Сохранить изображение…"));
    QCOMPARE(copy->text(), QStringLiteral("Копировать изображение"));
    QCOMPARE(chart->contextMenuPolicy(), Qt::CustomContextMenu);
    QCOMPARE(chart->view()->contextMenuPolicy(), Qt::CustomContextMenu);

    FakeExport fake;
    setExportDialogs(&fake);
    // A name without a suffix: the chosen filter decides the format and adds the suffix.
    fake.answer = dir.filePath(QStringLiteral("flow"));
    fake.filter = QStringLiteral("Рисунок SVG (*.svg)");
    save->trigger();
    QVERIFY(fake.offered.contains(QStringLiteral("*.png")) &&
            fake.offered.contains(QStringLiteral("*.pdf")));
    QVERIFY(QSvgRenderer(dir.filePath(QStringLiteral("flow.svg"))).isValid());
    // A typed suffix wins over the filter.
    fake.answer = dir.filePath(QStringLiteral("flow.pdf"));
    QCOMPARE(saveChartImageAs(chart.get()), fake.answer);
    QVERIFY(bytesOf(fake.answer).startsWith("%PDF-"));
    // Cancel: nothing written, nothing said.
    fake.answer.clear();
    QCOMPARE(saveChartImageAs(chart.get()), QString());
    // An unwritable place: the user is told.
    fake.answer = dir.filePath(QStringLiteral("missing/flow.png"));
    QCOMPARE(saveChartImageAs(chart.get()), QString());
    QCOMPARE(fake.failures.size(), 1);
    QVERIFY(fake.failures.first().startsWith(QStringLiteral("Не удалось записать файл")));
    setExportDialogs(nullptr);
}

QTEST_MAIN(ChartExportTest)
#include "chart_export_test.moc"
