// SPDX-License-Identifier: MIT
// Start-up: the application object, Qt's Russian translations, the four windows in
// their order (only the main window shown), the event loop.
#include "app/dialogs.h"
#include "app/form1_texts.h"
#include "app/obrotk2015.h"
#include "nonparam/ui/form3.h"
#include "results/ui/expandform.h"
#include "results/ui/form2.h"
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

    // One working state for the whole run; every window gets a pointer to it.
    obr::State state;
    TForm1 form1(&state);
    // The results window takes the enlarged-chart window at construction, so that one
    // is made just before it; all three stay hidden until their commands show them.
    TExpandForm expandForm(&state);
    TForm2 form2(&state, &expandForm);
    TForm3 form3(&state);
    form1.setResultWindows(&form2, &form3);
    // Closing the main window ends the program, whatever else is open.
    for (QWidget *w : {static_cast<QWidget *>(&form2), static_cast<QWidget *>(&form3),
                       static_cast<QWidget *>(&expandForm)})
        w->setAttribute(Qt::WA_QuitOnClose, false);
    obr::WindowCoreNotifier coreNotifier(form1.messageNotifier());
    obr::setCoreNotifier(&coreNotifier);

    form1.show();
    const int rc = QApplication::exec();
    obr::setCoreNotifier(nullptr);
    return rc;
}
