// SPDX-License-Identifier: MIT
#pragma once
#include <QString>
#include <functional>

class QWidget;
class QPrinter;
class QPixmap;

namespace obr {

/*! \brief The dialogs printing needs, behind a seam so tests run without a modal loop. */
class PrintDialogs {
public:
    virtual ~PrintDialogs() = default;
    //! The printer set-up dialog; its outcome does not stop printing.
    virtual void printerSetup(QPrinter &printer, QWidget *parent) = 0;
    /*! Where to save a PDF when no printer is installed, offering the file name
     *  \a suggested; empty = cancelled. */
    virtual QString pdfFileName(QWidget *parent, const QString &suggested) = 0;
    //! Tells the user that the page could not be printed or saved (a message box).
    virtual void printFailed(const QString &message, QWidget *parent);
};

//! The dialogs of the running program (real modal dialogs).
PrintDialogs &defaultPrintDialogs();
//! Replaces the dialogs used by printWindow (tests); nullptr restores the default.
void setPrintDialogs(PrintDialogs *d);

/*! \brief Prints an image of the window's client area on one landscape page, scaled to
 *  fit: printer 0, landscape, the printer set-up dialog, then the page. With no printer
 *  installed the page is saved as a PDF file chosen by the user, who is offered
 *  \a suggestedFile (printFileName) or, without one, a neutral name.
 *
 *  Returns true when the page went to the printer or the file; false when the user
 *  cancelled the file choice or the page could not be written (the user has then been
 *  told through PrintDialogs::printFailed). Nothing is remembered between calls. */
bool printWindow(QWidget *window, const QString &suggestedFile = {});

/*! \brief The name offered for a window's PDF page: the data file's name without its
 *  extension, then the window's role ("sample - результаты расчета.pdf"); the role alone
 *  before any data file is loaded. Characters that file names cannot hold become "_". */
QString printFileName(const QString &dataFile, const QString &role);

/*! \brief The image printWindow puts on the page: the window's client area as displayed,
 *  at twice the screen's pixel density (its device pixel ratio says so). */
QPixmap windowImage(QWidget *window);

}   // namespace obr
