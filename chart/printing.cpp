// SPDX-License-Identifier: MIT
#include "printing.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPageLayout>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QWidget>

namespace obr {

namespace {

const QString kPdfCaption = QStringLiteral("Принтер не установлен. Сохранить страницу в файл PDF");
const QString kPdfFilter = QStringLiteral("Документы PDF (*.pdf)");
const QString kPrintCaption = QStringLiteral("Печать");

class WidgetDialogs : public PrintDialogs {
public:
    void printerSetup(QPrinter &printer, QWidget *parent) override
    {
        QPrintDialog dialog(&printer, parent);
        dialog.setWindowTitle(QStringLiteral("Настройка принтера"));
        dialog.exec();
    }

    QString pdfFileName(QWidget *parent, const QString &suggested) override
    {
        QString name = QFileDialog::getSaveFileName(parent, kPdfCaption, suggested, kPdfFilter);
        if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty())
            name += QStringLiteral(".pdf");
        return name;
    }
};

PrintDialogs *g_dialogs = nullptr;

PrintDialogs &dialogs() { return g_dialogs ? *g_dialogs : defaultPrintDialogs(); }

//! Draws \a image as large as fits the printable area, keeping its proportions, centred.
bool printImage(QPrinter &printer, const QPixmap &image)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QRect area = printer.pageLayout().paintRectPixels(printer.resolution());
    QSize target = image.size();
    target.scale(area.size(), Qt::KeepAspectRatio);
    const QRect place(QPoint((area.width() - target.width()) / 2, 0), target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(place, image);
    return painter.end() && printer.printerState() != QPrinter::Error;
}

}   // namespace

QPixmap windowImage(QWidget *window)
{
    const qreal ratio = 2 * window->devicePixelRatioF();
    QPixmap image(window->size() * ratio);
    image.setDevicePixelRatio(ratio);
    image.fill(window->palette().color(window->backgroundRole()));
    window->render(&image, QPoint(), QRegion(),
                   QWidget::DrawWindowBackground | QWidget::DrawChildren);
    return image;
}

void PrintDialogs::printFailed(const QString &message, QWidget *parent)
{
    QMessageBox::critical(parent, kPrintCaption, message);
}

PrintDialogs &defaultPrintDialogs()
{
    static WidgetDialogs d;
    return d;
}

void setPrintDialogs(PrintDialogs *d) { g_dialogs = d; }

QString printFileName(const QString &dataFile, const QString &role)
{
    QString base = QFileInfo(dataFile).completeBaseName();
    for (QChar &c : base)
        if (QStringLiteral("\\/:*?\"<>|").contains(c) || c.unicode() < 0x20)
            c = u'_';
    const QString name = base.isEmpty() ? role : base + QStringLiteral(" - ") + role;
    return name + QStringLiteral(".pdf");
}

bool printWindow(QWidget *window, const QString &suggestedFile)
{
    if (!window)
        return false;
    // The window as it is on screen, before any dialog covers it, drawn at twice the
    // screen's pixel density so that text and lines stay sharp on paper.
    const QPixmap image = windowImage(window);

    // A fresh printer every time: printer 0, landscape, whatever was chosen before.
    QPrinter printer(QPrinter::HighResolution);
    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    if (!printers.isEmpty()) {
        const QString first = printers.first().printerName();
        printer.setPrinterName(first);
        printer.setPageOrientation(QPageLayout::Landscape);
        // Whether confirmed or cancelled, the page is printed; the dialog changes the
        // printer only when confirmed.
        dialogs().printerSetup(printer, window);
    } else {
        // No printer on this machine: the page goes to a PDF file the user names.
        const QString file = dialogs().pdfFileName(
            window, suggestedFile.isEmpty() ? QStringLiteral("страница.pdf") : suggestedFile);
        if (file.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        printer.setPageOrientation(QPageLayout::Landscape);
        printer.setCreator(QStringLiteral("ObrOtk"));
    }
    printer.setDocName(window->windowTitle());

    if (!printImage(printer, image)) {
        const QString where = printer.outputFileName().isEmpty()
                                  ? QStringLiteral("на принтер «%1»").arg(printer.printerName())
                                  : QStringLiteral("в файл «%1»").arg(printer.outputFileName());
        dialogs().printFailed(QStringLiteral("Не удалось напечатать форму %1.").arg(where), window);
        return false;
    }
    return true;
}

}   // namespace obr
