// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The calculation behind «Расчет», one driver for the window and the command
 * line: the warranty figures from the boxes, the check that data are loaded, the
 * histogram, the refresh of an earlier genetic model, and each ticked fit followed by its
 * model curve, in that order.
 *
 * The driver holds no widget. It reads box texts (not widgets), writes the State it is
 * given, reports log lines to a sink and the running method to a CalcProgress, and stops
 * between the passes of a fit when the progress's cancel flag is set. The window runs it
 * on a worker thread over a copy of its State and takes the copy back in one step.
 */
#include "fit/fits.h"
#include "mle/mle.h"
#include "model/seams.h"
#include "model/state.h"

#include <QChar>
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

namespace obr {

//! What one «Расчет» reads from the main window: box texts, ticks and the names of the
//! boxes for messages (the window's captions, or the command line's option names).
struct CalcRequest {
    QString path;                          //!< FilePath
    QString meSred, meSKO, LabeledEdit2;   //!< warranty mean, deviation, period
    QString meSredName, meSKOName, LabeledEdit2Name;
    bool spiral = false, newton = false, smirnov = false;
    QString Edit1, Edit6, Edit5;   //!< step coefficients: spiral, Newton, Smirnov
    QString Edit1Name, Edit6Name, Edit5Name;
    bool Sred_flag = false, SKO_Flag = false;
    int criterion = 1;              //!< RadioGroup1's item index (-1: none)
    QChar dec = QLatin1Char('.');   //!< decimal separator of the boxes
    int threads = 0;                //!< evaluation threads of the fits, 0 = all cores
    // The maximum-likelihood fit, after the other three.
    bool mle = false;
    double mleLevel = 0.95;           //!< confidence level of its bounds
    bool mleEmpirical = false;        //!< the warranty-times file's law, not the normal one
    std::optional<double> mleFleet;   //!< fleet of the claims forecast (default: loaded)
    QString mleLawFile;               //!< the warranty-times file of the empirical law, for the log
};

//! The fits of a calculation, in the order they run.
enum class CalcMethod { Spiral = 0, Newton = 1, Smirnov = 2, Mle = 3 };
constexpr int kCalcMethods = 4;

//! Work figures of one fit of the calculation.
struct CalcFitRun {
    bool ran = false;
    FitStats stats;
    double objective = 0;   //!< the fit's own criterion at its published point
};

//! How a calculation ended.
enum class CalcOutcome {
    Done,         //!< every step ran: the results window is to be shown
    NoPath,       //!< the path box is empty (message txt::noPath)
    NotLoaded,    //!< no file opened successfully: stop without a message
    NoFailures,   //!< a file is open but holds no failure (message txt::noFailures)
};

//! The warranty figures a calculation reads from its boxes.
struct CalcFigures {
    double Sred = 0, SKO = 0, tGar = 0;
};

//! What the calculation did, for the caller to show.
struct CalcReport {
    CalcOutcome outcome = CalcOutcome::Done;
    std::array<CalcFitRun, kCalcMethods> fits{};
    CalcFigures figures;                    //!< the warranty figures read from the boxes
    std::optional<mle::MleResult> mle;      //!< the maximum-likelihood fit, when it ran
    std::vector<mle::CauseFit> mleCauses;   //!< its fit of each cause with enough failures
    //! What the maximum-likelihood fit read, when it ran (for a new level's bounds).
    std::optional<mle::MleInput> mleInput;
};

/*! \brief Where a running calculation reports its method and learns of a stop request.
 *  stage() is called on the calculating thread; cancel() may be called from any thread. */
class CalcProgress {
public:
    virtual ~CalcProgress() = default;
    //! The calculation starts step \a index (0-based) of \a count: the fit \a method.
    virtual void stage(CalcMethod method, int index, int count)
    {
        (void)method;
        (void)index;
        (void)count;
    }
    void cancel() { m_cancel.store(true); }
    bool cancelled() const { return m_cancel.load(); }
    const CancelFlag *flag() const { return &m_cancel; }

private:
    CancelFlag m_cancel{false};
};

//! The maximum-likelihood step of a calculation: the fit with its band, and the causes.
struct MleStep {
    mle::MleResult fit;                  //!< with the band of the probability plot
    std::vector<mle::CauseFit> causes;   //!< each cause with at least 5 failures
};

/*! \brief The maximum-likelihood step on \a in: fitMle, the pointwise band of the
 *  probability plot (cumulativeBand over bandTimes) and fitCauses. Throws UserError when
 *  the fit is refused and Cancelled when \a cancel turns true. The same \a in at another
 *  level gives the same estimates with that level's bounds. */
MleStep runMleStep(const mle::MleInput &in, const CancelFlag *cancel);

/*! \brief The keys of the figures of \a r the data leave undetermined: those without an
 *  estimate and, on a ridge of the likelihood, K, 1/A and η. */
std::vector<QString> undeterminedFigures(const mle::MleResult &r);
//! The short name of a figure key of the maximum-likelihood fit for the log.
QString mleFigureName(const QString &key);

//! The Russian name of a fit for the progress display.
QString calcMethodName(CalcMethod m);

/*! \brief Reads and checks the warranty figures of \a rq against the loaded failures, as
 *  the calculation's first step does. Throws UserError (a box that is not a number, or
 *  figures that are impossible or leave no failure under warranty); changes nothing. */
CalcFigures readCalcFigures(const State &s, const CalcRequest &rq);

/*! \brief Runs «Расчет» on \a s.
 *
 * Throws UserError when a box does not hold a number (nothing changed) or a fit fails
 * (the models completed before it keep their results); throws Cancelled when the
 * progress's flag is set (the caller drops \a s). Returns the outcome otherwise.
 */
CalcReport runCalculation(State &s, const CalcRequest &rq, const LogSink &log,
                          CalcProgress &progress);

}   // namespace obr
