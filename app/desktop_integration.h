// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The main window as a desktop program's window: the file given on the command
 * line, failure data files dropped on the window, copying the failure grid.
 */
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

class TForm1;

namespace obr {

//! What the window program's command line asks for.
struct StartArgs {
    bool version = false;
    bool help = false;
    QString file;    //!< failure data file to open at start, absolute; empty for none
    QString error;   //!< a command line that cannot be run, with the reason
};

//! The usage text of the window program.
QString startUsage();

/*! \brief Reads the arguments left after Qt took its own (without the program name):
 *  --version, --help (-h) and at most one failure data file. */
StartArgs parseStartArgs(const QStringList &args);

/*! \brief Loads the file given at start, as «Путь» would with it chosen (same checks,
 *  messages and link file). Nothing for an empty name. */
void openStartFile(TForm1 &form, const QString &file);

/*! \brief What a drop of \a urls on the main window does: one failure data file (*.fdt)
 *  is loaded as «Путь» loads it; anything else is refused with a message. Returns true
 *  when a file was handed to the loader. */
bool dropFiles(TForm1 &form, const QList<QUrl> &urls);

/*! \brief The main window accepts dropped files (over any of its controls) and its
 *  failure grid gets the copy command. */
void installDesktopIntegration(TForm1 &form);

}   // namespace obr
