// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Runs «Расчет» (runCalculation) on a worker thread over a copy of the window's
 * State. The worker touches nothing but its copy; its log lines go to the LogPump, its
 * progress and its end reach the window as queued signals. The window takes the copy
 * back in one step when the run ends (or drops it after a cancel). The copy shares the
 * failure records with the window's State (nobody writes them), so a run costs no second
 * copy of them however large the file.
 */
#include "app/logpump.h"
#include "calc/driver.h"
#include "model/state.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <thread>

namespace obr {

//! What a finished run hands back.
struct CalcResult {
    std::unique_ptr<State> state;   //!< the copy as the run left it
    CalcReport report;
    std::optional<QString> error;   //!< the message of a refusal or a failed step
    bool cancelled = false;
};

class CalcRunner : public QObject {
    Q_OBJECT
public:
    CalcRunner(const State &state, CalcRequest request, LogPump *log, QObject *parent = nullptr);
    //! Asks a running calculation to stop and waits for its thread.
    ~CalcRunner() override;

    void start();
    //! Asks the calculation to stop between two passes of its fit; any thread.
    void cancel();
    //! The result, once finished() was emitted; the thread has ended then.
    CalcResult takeResult();

signals:
    void stageChanged(int method, int index, int count);
    void finished();

private:
    class Progress;
    void run();

    std::unique_ptr<State> m_state;
    CalcRequest m_request;
    LogPump *m_log;
    std::unique_ptr<Progress> m_progress;
    CalcResult m_result;
    std::thread m_thread;
};

//! What a finished run of the maximum-likelihood bounds hands back.
struct MleBoundsResult {
    std::optional<MleStep> step;   //!< the fit at the new level, its band and causes
    std::optional<QString> error;
    bool cancelled = false;
};

/*! \brief Runs the maximum-likelihood step again (runMleStep) at another confidence level
 *  on a worker thread, over the input of the last calculation: the estimates stay, the
 *  bounds follow the level. Its end reaches the window as the queued signal finished(). */
class MleBoundsRunner : public QObject {
    Q_OBJECT
public:
    MleBoundsRunner(mle::MleInput input, double level, QObject *parent = nullptr);
    //! Asks a running step to stop and waits for its thread.
    ~MleBoundsRunner() override;

    void start();
    void cancel() { m_cancel.store(true); }
    double level() const { return m_input.level; }
    //! The result, once finished() was emitted; the thread has ended then.
    MleBoundsResult takeResult();

signals:
    void finished();

private:
    void run();

    mle::MleInput m_input;
    CancelFlag m_cancel{false};
    MleBoundsResult m_result;
    std::thread m_thread;
};

}   // namespace obr
