// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Start-up steps shared by the program and its tests.
 */
#include "app/dialogs.h"
#include "app/obrotk2015.h"
#include "model/state.h"
#include "nonparam/ui/form3.h"
#include "results/ui/expandform.h"
#include "results/ui/form2.h"

class QObject;

namespace obr {

/*! \brief The program's four windows over one working state, created in start-up order:
 *  the main window first (its FormCreate runs), then the enlarged-chart window, which the
 *  results window takes at construction, the results window and the nonparametric
 *  window. Only the main window is shown (by the caller); closing it ends the program
 *  whatever else is open. Core messages go to the main window's message boxes while
 *  the windows exist. */
class AppWindows {
public:
    explicit AppWindows(State *state);
    ~AppWindows();
    AppWindows(const AppWindows &) = delete;
    AppWindows &operator=(const AppWindows &) = delete;

    TForm1 Form1;
    TExpandForm ExpandForm;
    TForm2 Form2;
    TForm3 Form3;

private:
    WindowCoreNotifier m_core;
};

/*! \brief Loads Qt's Russian translations (qtbase_ru), so Qt's own dialogs and buttons
 *  speak Russian like the rest of the program. The translator is a child of \a owner.
 *  Returns false when the translations are not installed. */
bool installQtRussian(QObject *owner);

}   // namespace obr
