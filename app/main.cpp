// SPDX-License-Identifier: MIT
// Start-up: the application object and its title, Qt's Russian translations, the four
// windows (only the main window shown), the event loop. No command-line arguments are
// read beyond Qt's own.
#include "app/form1_texts.h"
#include "app/startup.h"
#include "model/state.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("obrotk"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    QApplication::setApplicationDisplayName(obr::form1txt::appTitle);

    // Qt's own dialogs and buttons speak Russian like the rest of the program.
    obr::installQtRussian(&app);

    // One working state for the whole run; every window gets a pointer to it.
    obr::State state;
    obr::AppWindows windows(&state);
    windows.Form1.show();
    return QApplication::exec();
}
