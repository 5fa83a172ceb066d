// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The drawn outputs of obrotk-cli: PNG files of the charts and the PDF report,
 * drawn offscreen by the same chart adapter as the windows. Needs a QApplication.
 */
#include "cli/analysis.h"
#include "cli/outputs.h"

#include <QSize>
#include <QString>
#include <vector>

namespace obr::cli {

//! One chart of a window: its file name, the window's caption of it, data and size.
struct NamedChart {
    QString fileName;   //!< e.g. "Form2_Chart1.png"
    QString caption;    //!< heading on the report page
    const ChartData *data = nullptr;
    QSize size;   //!< the chart's size in its window, pixels
};

//! The charts of the run: results window (3), enlarged chart, nonparametric chart if run.
std::vector<NamedChart> chartsOf(const Analysis &a);
//! The charts of the maximum-likelihood window when the fit ran: probability plot, causes.
std::vector<NamedChart> mleChartsOf(const Analysis &a);

/*! rief Every chart of chartsOf as a file's name and bytes: PNG or, with  format
 *  "svg" or "pdf", a vector drawing under the same name with that suffix. */
std::vector<OutputFile> chartFiles(const Analysis &a,
                                   const QString &format = QStringLiteral("png"));
//! rief The PDF report (see writePdf) as bytes.
QByteArray pdfBytes(const Analysis &a, const QString &file);

/*! rief Writes every chart of chartsOf into  dir (created if missing) as chartFiles
 *  gives them. Returns the paths written. Throws UserError when a file cannot be written. */
QStringList writeCharts(const Analysis &a, const QString &dir,
                        const QString &format = QStringLiteral("png"));

/*! \brief Writes the PDF report: the data set, the results table (and the nonparametric
 *  times), one page per chart, and the progress log. Landscape A4. The file appears only
 *  complete. Throws UserError when it cannot be written. */
void writePdf(const Analysis &a, const QString &file, const QString &path);

//! The pixel width of a text in the results grid's font (QFontMetrics of that font).
TextWidth gridTextWidth();

}   // namespace obr::cli
