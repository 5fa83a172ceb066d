// SPDX-License-Identifier: MIT
#include "dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>

namespace obr {

QString QtFileChooser::openFile(QWidget *parent, const QString &filter, const QString &start)
{
    return QFileDialog::getOpenFileName(parent, QString(), start, filter);
}

QString QtFileChooser::saveFile(QWidget *parent, const QString &start)
{
    return QFileDialog::getSaveFileName(parent, QString(), start);
}

void QtMessageNotifier::message(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, QApplication::applicationDisplayName(), text);
}

void QtMessageNotifier::error(QWidget *parent, const QString &caption, const QString &text)
{
    QMessageBox::critical(parent, caption, text);
}

void WindowCoreNotifier::error(const QString &caption, const QString &text)
{
    MessageNotifier *target = m_target;
    auto show = [target, caption, text] {
        target->error(QApplication::activeWindow(), caption, text);
    };
    if (QThread::currentThread() == qApp->thread())
        show();
    else
        QMetaObject::invokeMethod(qApp, show, Qt::QueuedConnection);
}

}   // namespace obr
