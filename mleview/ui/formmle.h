// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The window of the maximum-likelihood model: the bounds of every figure, the fit
 * of each failure cause and the model's charts. Shown non-modal from the results window;
 * it shows what the mleview core returns for the last fit.
 */
#include "mle/mle.h"
#include "mleview/mleview.h"
#include "model/chartdata.h"
#include "model/state.h"

#include <QWidget>
#include <optional>
#include <vector>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QTableWidget;

namespace obr {
class ChartWidget;
}

class TFormMle : public QWidget {
    Q_OBJECT
public:
    explicit TFormMle(QWidget *parent = nullptr);

    /*! \brief Shows \a fit (null: no fit, the window is emptied) and its causes with the
     *  kind of bounds \a lr (likelihood ratio) or Fisher. \a s gives the failures, the
     *  histogram, the cause names and the name of the print file. */
    void setFit(const obr::State &s, const obr::mle::MleResult *fit,
                const std::vector<obr::mle::CauseFit> &causes, bool lr, QChar dec);

    /*! \brief The bounds are being computed again at the level \a levelText: until the
     *  next setFit the heading says so and no bound of the old level is shown (the bound
     *  cells are empty and the band is left out of the probability plot). */
    void setPending(const QString &levelText);
    bool pending() const { return m_pending; }

    //! What the last setFit put into the tables.
    const obr::mleview::BoundsView &bounds() const { return m_bounds; }
    const obr::mleview::TextTable &causes() const { return m_causes; }

    QLabel *Heading = nullptr;
    QLabel *Message = nullptr;
    QTableWidget *BoundsGrid = nullptr;
    QLabel *CausesLabel = nullptr;
    QTableWidget *CausesGrid = nullptr;
    QPushButton *PrintBtn = nullptr;
    QPushButton *CloseBtn = nullptr;
    obr::ChartWidget *ProbPlot = nullptr;      //!< probability plot with the band
    obr::ChartWidget *CausesChart = nullptr;   //!< each cause's model and observed flow
    obr::ChartWidget *ObsExpChart = nullptr;   //!< observed against expected per interval

protected:
    void showEvent(QShowEvent *e) override;

private:
    void PrintBtnClick();
    /*! \brief Shows \a d in a new chart widget in the place of \a w: a chart rebuilt in
     *  place after it was once drawn may keep the old axes' texts on screen. */
    void replaceChart(obr::ChartWidget *&w, const obr::ChartData &d);

    obr::mleview::BoundsView m_bounds;
    obr::mleview::TextTable m_causes;
    QString m_dataFile;
    bool m_pending = false;
    bool m_placed = false;
    QHBoxLayout *m_body = nullptr;   //!< the tables, then the charts beside them
};
