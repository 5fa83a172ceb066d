// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The results window Form2: the results table and three charts of the failure
 * flow. It shows what obr::computeResults returns.
 */
#include "model/state.h"
#include "mle/mle.h"
#include "mleview/ui/formmle.h"
#include "results/out_graph2015.h"

#include <QPointer>
#include <optional>
#include <vector>

#include <QWidget>

class QLabel;
class QPushButton;
class QScrollArea;
class QTableWidget;
class TExpandForm;

namespace obr {
class ChartWidget;
}

class TForm2 : public QWidget {
    Q_OBJECT
public:
    /*! \a state is the program's working state and \a expand the enlarged-chart window;
     *  both must outlive this window. */
    TForm2(obr::State *state, TExpandForm *expand, QWidget *parent = nullptr);

    /*! \brief Refreshes the whole window from the state with the separators of the
     *  user's locale and shows it, not modal. */
    void Diagrams();
    //! The same with the given separators (tests, other locales).
    void Diagrams(const obr::NumLocale &nl);

    //! What the last refresh put into the window.
    const obr::ResultsView &view() const { return m_view; }

    // Controls, named as in the design.
    QLabel *Label10 = nullptr;
    QTableWidget *Result_Grid = nullptr;
    obr::ChartWidget *Chart1 = nullptr;
    obr::ChartWidget *Chart2 = nullptr;
    obr::ChartWidget *Chart3 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Prodolgenie = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *ButtonCsv = nullptr;   //!< «Экспорт в CSV…»
    QPushButton *ButtonMle = nullptr;   //!< «Доверит. границы»: the maximum-likelihood window
    QLabel *EarlierData = nullptr;   //!< says the figures belong to earlier data

    /*! \brief The maximum-likelihood fit of the last calculation (null: none) and its
     *  causes, shown with the kind of bounds \a lr (likelihood ratio) or Fisher. An open
     *  maximum-likelihood window follows at once. */
    void setMaxPr(const obr::mle::MleResult *fit, const std::vector<obr::mle::CauseFit> &causes,
                  bool lr);
    /*! \brief The bounds of the maximum-likelihood fit are being computed again at the
     *  level \a levelText: an open maximum-likelihood window stops showing the old ones
     *  until the next setMaxPr. A window opened meanwhile shows the same. */
    void setMaxPrPending(const QString &levelText);
    /*! \brief Another failure file was loaded in the place of \a earlierFile's data: until
     *  the next refresh the window says its figures belong to the earlier data, prints
     *  under that file's name and offers no export or enlarged chart of them. */
    void setDataChanged(const QString &earlierFile);
    //! True from setDataChanged to the next refresh.
    bool showsEarlierData() const { return m_earlier; }
    //! A line over the maximum-likelihood window's bounds (empty: none), until the next fit.
    void setMaxPrNotice(const QString &text);
    //! The maximum-likelihood window (null until first opened).
    TFormMle *mleWindow() const { return m_mleWindow; }

    //! The client size of the design; the window opens at it where the screen allows.
    static constexpr QSize kDesignSize{1428, 862};
    //! The smallest size the contents are laid out for; below it the window scrolls.
    static constexpr QSize kMinimumContents{1180, 640};

public slots:
    /*! \brief Asks for a file and writes the CSV of the last refresh: the table, the
     *  histogram with each model's expected counts, the nonparametric series. */
    void ExportCsvClick();

protected:
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private slots:
    void Button1Click();
    void ProdolgenieClick();
    void Button2Click();
    void ButtonMleClick();

private:
    void fillGrid(const obr::ResultsTable &t);
    //! Opens the window whole on its screen: the design size where it fits, centred.
    void fitToScreen();
    //! Lays the contents out over the width and height they have (the design at 1428 x 862).
    void placeControls();
    void fitHeading();
    void refreshMleWindow();

    obr::State *m_state;
    TExpandForm *m_expand;
    QScrollArea *m_scroll = nullptr;
    QWidget *m_canvas = nullptr;
    QString m_headingHead, m_headingTail;
    obr::ResultsView m_view;
    obr::ResultsTitles m_titles;
    obr::NumLocale m_nl;   //!< separators of the last refresh
    bool m_placed = false;
    int m_dragColumn = -1;
    std::optional<obr::mle::MleResult> m_mle;
    std::vector<obr::mle::CauseFit> m_mleCauses;
    bool m_mleLr = true;
    QString m_viewFile;   //!< the failure file of the figures shown
    bool m_earlier = false;
    QString m_mleNotice;
    QString m_mlePending;   //!< the level whose bounds are being computed; empty when none
    QPointer<TFormMle> m_mleWindow;
};
