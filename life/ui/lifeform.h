// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The life-data window: a grid of units (pasted from a spreadsheet, typed or read
 * from a file), the distribution, estimator and level, the fit, the results table and the
 * probability plot, and printing. It reads its boxes into options, runs the core on a
 * worker (with a progress bar and «Стоп») and shows what comes back in one step.
 */
#include "life/fit.h"
#include "life/plot.h"

#include <QWidget>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace obr {
class Worker;
}

namespace obr::lifeui {

//! Paints the probability plot of the last fit.
class ProbabilityPlotWidget : public QWidget {
public:
    explicit ProbabilityPlotWidget(QWidget *parent = nullptr);
    void setPlot(std::optional<life::ProbabilityPlot> plot);
    const std::optional<life::ProbabilityPlot> &plot() const { return m_plot; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    std::optional<life::ProbabilityPlot> m_plot;
};

class LifeForm : public QWidget {
    Q_OBJECT
public:
    explicit LifeForm(QWidget *parent = nullptr);

    //! Fills the grid from data (a file or a paste).
    void setData(const life::LifeData &data);
    //! The grid read back as data; throws obr::UserError naming the bad rows.
    life::LifeData gridData() const;
    //! Pastes tab-separated text (with or without a header row) into the grid.
    void pasteText(const QString &text);

    //! The file chooser (tests replace it): returns a path or an empty string.
    std::function<QString(QWidget *)> chooseFile;

    QTableWidget *LifeGrid = nullptr;
    QComboBox *cbDist = nullptr;
    QComboBox *cbEstimator = nullptr;
    QLineEdit *edLevel = nullptr;
    QLineEdit *edBLives = nullptr;
    QLineEdit *edTimes = nullptr;
    QPushButton *btnOpen = nullptr;
    QPushButton *btnPaste = nullptr;
    QPushButton *btnAddRows = nullptr;
    QPushButton *btnFit = nullptr;
    QPushButton *btnStop = nullptr;
    QProgressBar *pbFit = nullptr;
    QPushButton *btnPrint = nullptr;
    QPushButton *btnClose = nullptr;
    QTableWidget *LifeResults = nullptr;
    QLabel *lbSummary = nullptr;
    ProbabilityPlotWidget *LifePlot = nullptr;

    //! Whether a fit is running on the worker.
    bool isRunning() const;

signals:
    //! A fit ended (shown, refused, failed or stopped).
    void fitFinished();

public slots:
    void btnOpenClick();
    void btnPasteClick();
    void btnFitClick();
    void btnStopClick();
    void btnPrintClick();

protected:
    void keyPressEvent(QKeyEvent *e) override;

private:
    void showFit(const life::LifeFit &fit, const std::vector<life::RankEntry> *ranking,
                 const life::LifeData &data, bool recommended = true);
    std::vector<double> numberList(QLineEdit *box) const;
    double number(QLineEdit *box) const;
    void guarded(const std::function<void()> &action);
    void setRunning(bool running);
    void fitEnded();

    Worker *m_worker = nullptr;
    life::LifeData m_runData;   //!< the data of the running fit
};

//! The fourth tab of the main window: a button that opens the life-data window.
QWidget *makeLifeTabPage(QWidget *mainWindow);
//! Title of that tab.
QString lifeTabTitle();

}   // namespace obr::lifeui
