// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Charts out of the program: saved as PNG, SVG or PDF (the last two as vector
 * drawings) and copied to the clipboard as an image, from a context menu on every chart.
 */
#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

class QPainter;
class QWidget;

namespace obr {

class ChartWidget;

enum class ImageFormat { Png, Svg, Pdf };

//! "png", "svg" or "pdf" (any case); none for another name.
std::optional<ImageFormat> imageFormatNamed(const QString &name);
//! The format a file name's suffix asks for; none for another suffix.
std::optional<ImageFormat> imageFormatOf(const QString &path);
//! The suffix of a format, without the dot.
QString imageSuffix(ImageFormat f);

/*! \brief Draws the chart with its legend as it is laid out on screen, at its widget's
 *  size, with \a p at the chart's top left corner. Buttons placed on the chart are not
 *  part of the drawing. Vector devices (SVG, PDF) get vector graphics. */
void drawChart(ChartWidget *chart, QPainter &p);

//! The chart as an image at its widget's size, on a white ground.
QImage chartImage(ChartWidget *chart);

//! The chart's file in \a format as bytes; \a name is the file named in a message.
QByteArray chartImageBytes(ChartWidget *chart, ImageFormat format, const QString &name);

/*! \brief Saves the chart in \a format. The file appears only complete; an existing file
 *  is replaced. Throws UserError with the user's message when it cannot be written. */
void saveChartImage(ChartWidget *chart, const QString &path, ImageFormat format);

//! Puts the chart's image on the clipboard.
void copyChartImage(ChartWidget *chart);

/*! \brief The dialogs of the export commands behind a seam, so tests run them without a
 *  modal loop. */
class ExportDialogs {
public:
    virtual ~ExportDialogs() = default;
    /*! \brief Asks for a file to write. \a filters are Qt name filters separated by ";;",
     *  \a suggested the proposed file name. Returns an empty string on cancel, else the
     *  path and, in \a chosenFilter, the filter the user picked. */
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &filters,
                                 const QString &suggested, QString *chosenFilter) = 0;
    //! Tells the user that the file could not be written.
    virtual void failed(QWidget *parent, const QString &message) = 0;
};

//! The dialogs in use (real modal dialogs unless a test replaced them).
ExportDialogs &exportDialogs();
//! Replaces the dialogs (tests); nullptr restores the real ones.
void setExportDialogs(ExportDialogs *d);

/*! \brief The chart's context menu: «Сохранить изображение…» and «Копировать
 *  изображение». Its actions are children of the chart, named saveImageAction and
 *  copyImageAction. */
void installChartImageMenu(ChartWidget *chart);

/*! \brief The «Сохранить изображение…» command: asks for a file (PNG, SVG or PDF by the
 *  chosen filter or the typed suffix) and saves the chart; an error is shown to the
 *  user. Returns the path written, or an empty string. */
QString saveChartImageAs(ChartWidget *chart);

}   // namespace obr
