// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The program's four windows over one state, with dialogs that answer from a
 * queue and message boxes that are recorded instead of shown: the windows as a user
 * drives them, without a display.
 */
#include "app/dialogs.h"
#include "app/obrotk2015.h"
#include "model/numfmt.h"
#include "model/state.h"
#include "nonparam/ui/form3.h"
#include "results/ui/expandform.h"
#include "results/ui/form2.h"

#include <QDir>
#include <QLocale>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>

namespace obr::test {

//! A file of the source tree (the tests' environment names its root).
inline QString sourcePath(const QString &rel)
{
    return QDir(QString::fromLocal8Bit(qgetenv("OBROTK_SOURCE_DIR"))).filePath(rel);
}
inline QString samplePath() { return sourcePath(QStringLiteral("examples/sample.fdt")); }

//! Answers the dialogs from a queue (an empty answer is a cancel) and records what they were asked.
class FakeChooser : public FileChooser {
public:
    QStringList openAnswers;
    QString saveAnswer;
    QStringList filters;
    QStringList starts;
    int saves = 0;

    QString openFile(QWidget *, const QString &filter, const QString &start) override
    {
        filters << filter;
        starts << start;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString saveFile(QWidget *, const QString &) override
    {
        ++saves;
        return saveAnswer;
    }
};

//! Records the message boxes instead of showing them.
class FakeMessages : public MessageNotifier {
public:
    QStringList messages;
    QStringList errors;
    void message(QWidget *, const QString &text) override { messages << text; }
    void error(QWidget *, const QString &, const QString &text) override { errors << text; }
    int total() const { return int(messages.size() + errors.size()); }
    //! Every text shown, messages first.
    QStringList all() const { return messages + errors; }
};

//! The main window with its result windows over one state, wired as the program wires them.
struct WindowHarness {
    FakeChooser chooser;
    FakeMessages msgs;
    State state;
    TExpandForm expand{&state};
    TForm2 form2{&state, &expand};
    TForm3 form3{&state};
    TForm1 form1{&state};

    WindowHarness()
    {
        form1.setResultWindows(&form2, &form3);
        form1.setFileChooser(&chooser);
        form1.setMessageNotifier(&msgs);
        // Keep genetic runs on one evaluation thread beside the tests.
        form1.setGenThreads(1);
    }
    //! «Путь» answered with \a path.
    void load(const QString &path)
    {
        chooser.openAnswers << path;
        form1.OpenFileStartClick();
    }
    //! «File» (the warranty-times file) answered with \a path.
    void loadWarranty(const QString &path)
    {
        chooser.openAnswers << path;
        form1.SpeedButton1Click();
    }
    //! «Расчет», waiting for the calculation to end.
    void calculate()
    {
        form1.bbRaschetClick();
        form1.waitForCalculation();
    }
    QStringList logLines() const { return form1.Memo2->toPlainText().split(QLatin1Char('\n')); }
    //! The decimal separator of the locale the windows use.
    QChar dec() const { return NumLocale::from(QLocale()).dec; }
};

}   // namespace obr::test
