// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The main window TForm1: loading both input files, the calculation driver, the
 * genetic optimiser's controls, the nonparametric analysis button and the progress log.
 *
 * The window is thin: it reads its boxes, calls the core and shows what comes back.
 * Every handler is an error boundary: an error ends the action with a message box and
 * the program goes on.
 */
#include "app/dialogs.h"
#include "nonparam/ui/form3.h"
#include "results/ui/form2.h"
#include "io/loaders.h"
#include "calc/driver.h"
#include "model/state.h"

#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QTableView;
class QToolButton;
class QFrame;

namespace obr {
class ButtonTabs;
class CalcRunner;
class MleBoundsRunner;
class LogPump;
class FailureGridModel;
class TGen;
struct GenControl;
struct GenResult;
}   // namespace obr

class TForm1 : public QWidget {
    Q_OBJECT
public:
    //! \a state is the program's working state; it must outlive the window.
    explicit TForm1(obr::State *state, QWidget *parent = nullptr);
    ~TForm1() override;

    //! The results and nonparametric windows the handlers fill (may be null in tests).
    void setResultWindows(TForm2 *form2, TForm3 *form3);
    //! Dialog seams; nullptr restores the real dialogs. Not owned.
    void setFileChooser(obr::FileChooser *chooser);
    void setMessageNotifier(obr::MessageNotifier *notifier);
    obr::MessageNotifier *messageNotifier() const { return m_messages; }

    obr::State *state() const { return m_state; }
    //! The requests and settings shared with a genetic run.
    obr::GenControl &genControl() const { return *m_genControl; }
    //! Evaluation threads of a genetic run (0 = all cores).
    void setGenThreads(int n) { m_genThreads = n; }
    obr::FailureGridModel *gridModel() const { return m_grid; }
    //! True while a genetic run is in progress.
    bool genRunning() const;
    /*! \brief True while «Расчет» runs on its worker thread, or the bounds of the last
     *  maximum-likelihood fit are being computed again for a new level. */
    bool calcRunning() const { return m_calc != nullptr || m_mleRun != nullptr; }
    /*! \brief Processes events until a running calculation (or the new level's bounds)
     *  has ended and its results are shown. */
    void waitForCalculation();
    //! The maximum-likelihood fit of the last calculation that ran it (empty otherwise).
    const std::optional<obr::mle::MleResult> &lastMle() const { return m_mle; }
    const std::vector<obr::mle::CauseFit> &lastMleCauses() const { return m_mleCauses; }
    //! The kind of bounds chosen for the maximum-likelihood model: true = likelihood ratio.
    bool mleLrBounds() const;
    //! The file the shared open dialog remembers (last file chosen with either loader).
    QString dialogFileName() const { return m_dialogFile; }

    // Controls, named as in the design.
    QLabel *Label10 = nullptr;
    obr::ButtonTabs *PageControl = nullptr;
    QPlainTextEdit *Memo2 = nullptr;
    QTableView *Mass_List = nullptr;

    QFrame *Panel1 = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *OpenFileStart = nullptr;
    QLineEdit *FilePath = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *meKolAll = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *meKolOtk = nullptr;
    QLineEdit *meSred = nullptr;
    QLabel *meSredLabel = nullptr;
    QLineEdit *meSKO = nullptr;
    QLabel *meSKOLabel = nullptr;
    QLineEdit *LabeledEdit2 = nullptr;
    QLabel *LabeledEdit2Label = nullptr;

    QWidget *TabSheet1 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLabel *Label17 = nullptr;
    QLineEdit *Edit6 = nullptr;
    QLabel *Label16 = nullptr;
    QLineEdit *Edit5 = nullptr;
    QCheckBox *SpirSpusk = nullptr;
    QCheckBox *BoxNewton = nullptr;
    QCheckBox *BoxSmirnow = nullptr;
    QCheckBox *Sred_flag = nullptr;
    QCheckBox *SKO_Flag = nullptr;
    QGroupBox *RadioGroup1 = nullptr;
    QButtonGroup *RadioGroup1Items = nullptr;
    QPushButton *bbRaschet = nullptr;
    QCheckBox *BoxMaxPr = nullptr;   //!< the maximum-likelihood model
    QFrame *MleOptions = nullptr;    //!< its options: level, warranty law, kind of bounds
    QComboBox *MleLevel = nullptr;
    QComboBox *MleLaw = nullptr;
    QComboBox *MleKind = nullptr;
    QProgressBar *CalcProgressBar = nullptr;
    QPushButton *StopCalcBtn = nullptr;

    QWidget *TabSheet2 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QLabel *Edit2Label = nullptr;
    QLineEdit *Edit3 = nullptr;
    QLabel *Edit3Label = nullptr;
    QLineEdit *NPokoleny = nullptr;
    QLabel *NPokolenyLabel = nullptr;
    QPushButton *ToolBRunGenOptim = nullptr;
    QPushButton *StopBtn = nullptr;
    QLabel *Label18 = nullptr;
    QProgressBar *ProgressBar2 = nullptr;
    QLabel *Label7 = nullptr;
    QSlider *TrackBar1 = nullptr;
    QLabel *Label8 = nullptr;
    QSlider *TrackBar2 = nullptr;
    QPushButton *btnCopyBest = nullptr;
    QLineEdit *LabeledEdit1 = nullptr;
    QLabel *LabeledEdit1Label = nullptr;
    QCheckBox *CheckBoxProm = nullptr;
    QPushButton *SaveFileBTN = nullptr;

    QWidget *TabSheet3 = nullptr;
    QPushButton *Button1 = nullptr;

    QFrame *Panel4 = nullptr;
    QLabel *Label9 = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    QLineEdit *Edit4 = nullptr;
    QLabel *Label15 = nullptr;
    QLabel *Label11 = nullptr;
    QLineEdit *MaskEdit1 = nullptr;
    QLabel *Label14 = nullptr;
    QLabel *Label12 = nullptr;
    QLineEdit *MaskEditSrednee = nullptr;
    QLabel *Label13 = nullptr;
    QLineEdit *MaskEditSKO = nullptr;

    //! "c:\" of the design: the root the dialogs start from on this platform.
    static QString designRoot();
    //! Where a warranty file lies, as Edit4 shows it on this platform.
    static QString fileLocationText(const QString &filePath);
    //! Whether a file's name matches one of the patterns of a Qt name filter.
    static bool matchesFilter(const QString &path, const QString &filter);

public slots:
    void FormCreate();
    void OpenFileStartClick();
    /*! \brief Loads the failure data file \a path as «Путь» does with a chosen file: the
     *  link file, the path box, the same checks and messages. For a file given at start
     *  or dropped on the window. */
    void openFailureFile(const QString &path);
    void SpeedButton1Click();
    void SaveFileBTNClick();
    void bbRaschetClick();
    bool GettingData();
    void ToolBRunGenOptimClick();
    void ThreadStarted();
    void ThreadTerminated();
    void StopBtnClick();
    void StopCalcBtnClick();
    void btnCopyBestClick();
    void Button1Click();

signals:
    //! Emitted at the end of every genetic run, after the results have been published.
    void geneticRunFinished();
    //! Emitted at the end of every calculation, after its results have been published.
    void calculationFinished();

protected:
    void closeEvent(QCloseEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    void setupUi();
    void connectControls();
    void connectGeneticControls();
    void publishGeneticResult(const obr::GenResult &r);
    void appendLog(const QString &line);
    obr::LogSink logSink();
    QChar decimalSeparator() const;
    double readBox(const QLineEdit *box, const QLabel *label) const;
    //! Runs \a action; an error ends it with a message box.
    template <class F>
    void guarded(F &&action);
    void showError(const QString &text);
    QString dialogStart() const;
    //! The dialog step shared by both loaders; empty when there is nothing to load.
    QString chooseFile(const QString &filter);
    void writeLinkFile(const QString &path);
    //! Ends a refused load of a failure file: the path box names the loaded file again.
    [[noreturn]] void refuseFailureFile(const QString &message, const QString &shownBefore);
    //! The comment lines in their labels: elided with a tool tip where they do not fit.
    void showDataComment(const QString &comment);
    void showWarrantyComment(const QString &comment);
    //! Places the grid and the log for the window's size (the design size or larger).
    void placeResizable();
    //! The designed column widths of the grid, widened where a header would be cut.
    void setGridColumnWidths();
    void stopGeneticRun();
    void hideResults();
    void setResultsHeading(const QString &comment);
    void showDiagrams();
    //! Another failure file is loaded in the place of \a earlierFile's data.
    void dataChanged(const QString &earlierFile);
    obr::CalcRequest calcRequest() const;
    void calcStageChanged(int method, int index, int count);
    void finishCalculation();
    void setCalcRunning(bool running);
    void cancelCalculation();
    void updateCommands();
    //! The empirical warranty law is offered only once a warranty-times file is loaded.
    void updateMleLaw();
    //! Hands the last maximum-likelihood fit and the chosen kind of bounds to the windows.
    void publishMle();
    //! The confidence level chosen for the maximum-likelihood bounds.
    double mleLevel() const;
    /*! \brief When the level chosen differs from that of the fit shown, computes the fit's
     *  bounds again at the chosen level on a worker thread (the commands wait meanwhile). */
    void syncMleLevel();
    void finishMleBounds();

    obr::State *m_state;
    QPointer<TForm2> m_form2;
    QPointer<TForm3> m_form3;
    obr::QtFileChooser m_qtChooser;
    obr::QtMessageNotifier m_qtMessages;
    obr::FileChooser *m_chooser = &m_qtChooser;
    obr::MessageNotifier *m_messages = &m_qtMessages;
    obr::FailureGridModel *m_grid = nullptr;
    QString m_dialogFile;
    QPointer<obr::TGen> m_gen;
    bool m_genRunning = false;
    std::shared_ptr<obr::GenControl> m_genControl;
    int m_genThreads = 0;
    obr::LogPump *m_log = nullptr;
    obr::CalcRunner *m_calc = nullptr;
    bool m_resultsWereShown = false;
    int m_calcMethod = -1;   //!< the fit the running calculation is in
    std::optional<obr::mle::MleResult> m_mle;
    std::vector<obr::mle::CauseFit> m_mleCauses;
    std::optional<obr::mle::MleInput> m_mleInput;   //!< what the shown fit read
    obr::MleBoundsRunner *m_mleRun = nullptr;       //!< the bounds of a new level, running
};
