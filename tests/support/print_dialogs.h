// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The printing dialogs answered by a test: the PDF file name is given, and what the
 * dialogs were asked is recorded. Tests that use it link obrotk_chart.
 */
#include "chart/printing.h"

#include <QString>
#include <QStringList>

namespace obr::test {

class RecordingPrintDialogs : public PrintDialogs {
public:
    QString file;            //!< the answer of the save dialog (empty: cancelled)
    int setups = 0;          //!< printer set-up dialogs shown
    int fileAsks = 0;        //!< save dialogs shown
    QStringList suggested;   //!< the names the save dialog offered
    QStringList failures;    //!< the messages of failed prints

    void printerSetup(QPrinter &, QWidget *) override { ++setups; }
    QString pdfFileName(QWidget *, const QString &name) override
    {
        suggested << name;
        ++fileAsks;
        return file;
    }
    void printFailed(const QString &message, QWidget *) override { failures << message; }
};

}   // namespace obr::test
