// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The main window's dialogs behind seams: the file chooser and the message
 * notifier. The program uses modal Qt dialogs; tests install recorders so every handler
 * runs without a modal loop.
 */
#include "model/seams.h"

#include <QString>

class QWidget;

namespace obr {

//! File-open and file-save dialogs.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    /*! \brief Asks for a file to open. \a filter is a Qt name filter; \a start is the
     *  file or directory the dialog starts from. Returns an empty string on cancel. */
    virtual QString openFile(QWidget *parent, const QString &filter, const QString &start) = 0;
    //! Asks for a file to save to (no filter). Returns an empty string on cancel.
    virtual QString saveFile(QWidget *parent, const QString &start) = 0;
};

//! Message boxes.
class MessageNotifier {
public:
    virtual ~MessageNotifier() = default;
    //! A plain message box with the application title as caption.
    virtual void message(QWidget *parent, const QString &text) = 0;
    //! A message box with a caption and an error icon.
    virtual void error(QWidget *parent, const QString &caption, const QString &text) = 0;
};

//! Real modal dialogs (QFileDialog).
class QtFileChooser : public FileChooser {
public:
    QString openFile(QWidget *parent, const QString &filter, const QString &start) override;
    QString saveFile(QWidget *parent, const QString &start) override;
};

//! Real message boxes (QMessageBox).
class QtMessageNotifier : public MessageNotifier {
public:
    void message(QWidget *parent, const QString &text) override;
    void error(QWidget *parent, const QString &caption, const QString &text) override;
};

/*! \brief The core notifier of the program: forwards core messages to a message
 *  notifier over the active window. Messages raised on another thread are queued to
 *  the user-interface thread (never waited for, so a worker cannot block on a dialog
 *  while the window waits for the worker). */
class WindowCoreNotifier : public Notifier {
public:
    explicit WindowCoreNotifier(MessageNotifier *target) : m_target(target) {}
    void error(const QString &caption, const QString &text) override;

private:
    MessageNotifier *m_target;
};

}   // namespace obr
