// SPDX-License-Identifier: MIT
// Start-up: the application object, Qt's Russian translations, the four windows in
// their order (only the main window shown), the event loop.
#include "app/dialogs.h"
#include "app/form1_texts.h"
#include "app/obrotk2015.h"
#include "model/seams.h"
#include "model/state.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("obrotk"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    QApplication::setApplicationDisplayName(obr::form1txt::appTitle);

    // Qt's own dialogs and buttons speak Russian like the rest of the program.
    QTranslator qtRussian;
    if (qtRussian.load(QStringLiteral("qtbase_ru"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtRussian);

    obr::State state;
    TForm1 form1(&state);
    obr::WindowCoreNotifier coreNotifier(form1.messageNotifier());
    obr::setCoreNotifier(&coreNotifier);

    form1.show();
    const int rc = QApplication::exec();
    obr::setCoreNotifier(nullptr);
    return rc;
}
