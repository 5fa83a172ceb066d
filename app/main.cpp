// SPDX-License-Identifier: MIT
// Start-up: the application object and its title, Qt's Russian translations, the four
// windows (only the main window shown), the event loop. Beyond Qt's own arguments the
// program takes --version, --help and one failure data file to open at start.
#include "app/desktop_integration.h"
#include "app/form1_texts.h"
#include "app/startup.h"
#include "desktop/version.h"
#include "model/state.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    // Answered before the application object, so that no display is needed for them.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            break;
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            std::printf("obrotk %s\n", obr::kVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(obr::startUsage().toUtf8().constData(), stdout);
            return 0;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("obrotk"));
    QApplication::setApplicationVersion(QString::fromLatin1(obr::kVersion));
    QApplication::setApplicationDisplayName(obr::form1txt::appTitle);
    QApplication::setDesktopFileName(QStringLiteral("org.obrotk.Obrotk"));

    const obr::StartArgs args = obr::parseStartArgs(QApplication::arguments().mid(1));
    if (!args.error.isEmpty()) {
        std::fprintf(stderr, "obrotk: %s\n\n%s", args.error.toLocal8Bit().constData(),
                     obr::startUsage().toUtf8().constData());
        return 2;
    }

    // Qt's own dialogs and buttons speak Russian like the rest of the program.
    obr::installQtRussian(&app);

    // One working state for the whole run; every window gets a pointer to it.
    obr::State state;
    obr::AppWindows windows(&state);
    windows.Form1.show();
    obr::openStartFile(windows.Form1, args.file);
    return QApplication::exec();
}
