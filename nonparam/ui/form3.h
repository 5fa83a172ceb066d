// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The nonparametric-results window Form3: the failure flow by cause, the
 * accumulated failures with and without the censoring correction, and the half-fleet
 * times. The window shows what obr::Histogram_Exp computes.
 */
#include "nonparam/out_graph_2_2015.h"
#include "model/state.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace obr {
class ChartWidget;
}

class TForm3 : public QWidget {
    Q_OBJECT
public:
    //! \a state is the program's working state; it must outlive the window.
    explicit TForm3(obr::State *state, QWidget *parent = nullptr);

    /*! \brief Runs the analysis on the histogram in the state (build it first with
     *  obr::hist), fills the window with the user's locale separators and shows it,
     *  not modal. Throws obr::UserError, leaving state and window as they were, when
     *  the analysis cannot run (no failures loaded, no fleet, no positive deviation). */
    void Histogram_Exp();
    //! The same with the given separators (tests, other locales).
    void Histogram_Exp(const obr::NumLocale &nl);

    //! What the last analysis put into the window.
    const obr::NonparamResult &result() const { return m_result; }

    // Controls, named as in the design.
    QLabel *Label10 = nullptr;
    obr::ChartWidget *Chart3 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label8 = nullptr;
    QPushButton *Button1 = nullptr;

private slots:
    void Button1Click();

private:
    void setupUi();

    obr::State *m_state;
    obr::NonparamResult m_result;
};
