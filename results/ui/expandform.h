// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The enlarged failure-flow chart window ExpandForm. It shows what
 * obr::computeExpand returns.
 */
#include "model/state.h"
#include "results/expand_dia1.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace obr {
class ChartWidget;
}

class TExpandForm : public QWidget {
    Q_OBJECT
public:
    //! \a state is the program's working state; it must outlive the window.
    explicit TExpandForm(obr::State *state, QWidget *parent = nullptr);

    /*! \brief Fills the window from the state with the separators of the user's locale
     *  and shows it maximised, not modal. */
    void ExpandDia_1();
    //! The same with the given separators (tests, other locales).
    void ExpandDia_1(const obr::NumLocale &nl);
    //! Fills the window without showing it (screenshots, tests).
    void fill(const obr::NumLocale &nl);

    //! What the last filling put into the window.
    const obr::ExpandView &view() const { return m_view; }

    // Controls, named as in the design.
    obr::ChartWidget *Chart1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QPushButton *Button2 = nullptr;

protected:
    void resizeEvent(QResizeEvent *e) override;

private slots:
    void Button2Click();

private:
    void placeControls();

    obr::State *m_state;
    obr::ExpandView m_view;
    obr::ExpandMemory m_memory;
};
