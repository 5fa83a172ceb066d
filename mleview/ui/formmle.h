// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The window of the maximum-likelihood model: the bounds of every figure, the fit
 * of each failure cause and the model's charts. Shown non-modal from the results window;
 * it shows what the mleview core returns for the last fit.
 */
#include "mle/mle.h"
#include "mleview/mleview.h"

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
     *  kind of bounds \a lr (likelihood ratio) or Fisher. \a names maps a cause index to its
     *  name; \a dataFile names the print file. */
    void setFit(const obr::mle::MleResult *fit, const std::vector<obr::mle::CauseFit> &causes,
                const std::vector<QString> &names, bool lr, QChar dec,
                const QString &dataFile = {});

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

private:
    void PrintBtnClick();

    obr::mleview::BoundsView m_bounds;
    obr::mleview::TextTable m_causes;
    QString m_dataFile;
    QHBoxLayout *m_body = nullptr;   //!< the tables, then the charts beside them
};
