// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The warranty cohorts window: the table of units sold and their claims (opened
 * from a file, built from a claims list, pasted or typed), the settings, «Расчет» on a
 * worker thread, and the results: the estimates with both kinds of bounds, the grid
 * coloured by residual with the flagged periods, the charts of claims and cost, the
 * forecast table, the backtest, copy, CSV, printing. It reads its boxes into the core's
 * settings, runs the core and shows what comes back.
 */
#include "cohort/cohort.h"

#include <QWidget>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTabWidget;

namespace obr {
class ChartWidget;
class Worker;
}

namespace obr::cohortui {

class CohortForm : public QWidget {
    Q_OBJECT
public:
    explicit CohortForm(QWidget *parent = nullptr);
    ~CohortForm() override;

    //! Fills the grid from a table (a file, a claims list or a paste).
    void setTable(const cohort::NevadaTable &table);
    //! The grid read back as a table; throws obr::UserError naming the row and column.
    cohort::NevadaTable gridTable() const;
    //! The boxes read as settings for \a table; throws obr::UserError naming the box.
    cohort::Settings settings(const cohort::NevadaTable &table) const;
    //! Pastes tab-separated text with its header row into the grid.
    void pasteText(const QString &text);
    //! The last result shown (none before the first finished run).
    const std::optional<cohort::CohortResult> &result() const { return m_result; }
    bool isRunning() const;

    //! The file choosers (tests replace them): a path or an empty string.
    std::function<QString(QWidget *, const QString &caption)> chooseFile;

    QTableWidget *Grid = nullptr;
    QComboBox *cbPeriod = nullptr;
    QLineEdit *edDataEnd = nullptr;
    QComboBox *cbUsage = nullptr;
    QLineEdit *edRate = nullptr;
    QLineEdit *edMedian = nullptr;
    QLineEdit *edLogSd = nullptr;
    QLineEdit *edWarrantyPeriods = nullptr;
    QLineEdit *edWarrantyHours = nullptr;
    QComboBox *cbAges = nullptr;
    QComboBox *cbModel = nullptr;
    QLineEdit *edLevel = nullptr;
    QLineEdit *edHorizon = nullptr;
    QComboBox *cbFuture = nullptr;
    QLineEdit *edFutureUnits = nullptr;
    QLineEdit *edCost = nullptr;
    QLineEdit *edCostSd = nullptr;
    QLineEdit *edBacktest = nullptr;
    QPushButton *btnOpen = nullptr;
    QPushButton *btnOpenClaims = nullptr;
    QPushButton *btnPaste = nullptr;
    QPushButton *btnAddRows = nullptr;
    QPushButton *btnCalc = nullptr;
    QPushButton *btnStop = nullptr;
    QPushButton *btnExport = nullptr;
    QPushButton *btnPrint = nullptr;
    QPushButton *btnClose = nullptr;
    QProgressBar *Progress = nullptr;
    QLabel *lbStatus = nullptr;
    QTabWidget *Tabs = nullptr;
    QLabel *lbSummary = nullptr;
    QLabel *lbMessage = nullptr;
    QTableWidget *Estimates = nullptr;
    QLabel *lbForecast = nullptr;
    QTableWidget *ForecastTable = nullptr;
    QTableWidget *MonitorTable = nullptr;
    QTableWidget *BacktestTable = nullptr;
    QLabel *lbBacktest = nullptr;
    ChartWidget *ClaimsChart = nullptr;
    ChartWidget *CostChart = nullptr;
    ChartWidget *BacktestChart = nullptr;

public slots:
    void btnOpenClick();
    void btnOpenClaimsClick();
    void btnPasteClick();
    void btnCalcClick();
    void btnStopClick();
    void btnExportClick();
    void btnPrintClick();

signals:
    //! A run ended (shown, refused or stopped).
    void calculationFinished();

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void buildLayout();
    void guarded(const std::function<void()> &action);
    void runFinished();
    void setRunning(bool on);
    void showResult(const cohort::CohortResult &r, const cohort::NevadaTable &table);
    void colourGrid(const cohort::Fit &fit, const cohort::NevadaTable &table);
    void clearResults();
    QByteArray csvBytes() const;
    QByteArray readChosen(const QString &caption, QString *path);

    Worker *m_worker = nullptr;
    std::optional<cohort::CohortResult> m_result;
    cohort::NevadaTable m_shownTable;   //!< the table of the result shown
    cohort::Layout m_layout = cohort::Layout::Age;
    bool m_hasCauses = false;
    std::vector<double> m_claimRates;   //!< of the claims list opened, for the sample law
    QString m_file;                     //!< the data file, for the PDF page's name
};

//! The fifth tab of the main window: a button that opens the cohort window.
QWidget *makeCohortTabPage(QWidget *mainWindow);
//! Title of that tab.
QString cohortTabTitle();

}   // namespace obr::cohortui
