// SPDX-License-Identifier: MIT
#include "startup.h"
#include "desktop_integration.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace obr {

AppWindows::AppWindows(State *state)
    : Form1(state), ExpandForm(state), Form2(state, &ExpandForm), Form3(state),
      m_core(Form1.messageNotifier())
{
    Form1.setResultWindows(&Form2, &Form3);
    for (QWidget *w : std::initializer_list<QWidget *>{&Form2, &Form3, &ExpandForm})
        w->setAttribute(Qt::WA_QuitOnClose, false);
    setCoreNotifier(&m_core);
    installDesktopIntegration(Form1);
}

AppWindows::~AppWindows()
{
    if (coreNotifier() == &m_core)
        setCoreNotifier(nullptr);
}

bool installQtRussian(QObject *owner)
{
    auto *t = new QTranslator(owner);
    if (!t->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    return QCoreApplication::installTranslator(t);
}

}   // namespace obr
