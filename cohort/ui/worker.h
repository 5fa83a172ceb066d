// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The cohort window's calculation off the window's thread. The worker owns a copy
 * of what it works on, made when it is created; the window hears of the progress and of
 * the end through queued signals and takes the result in one piece. A stop asked for
 * before the end throws the result away; an exception becomes the user's message.
 *
 * The interface is that of the windows' common worker shell, so that the window moves to
 * it by changing the include and the namespace.
 */
#include <QObject>
#include <QString>
#include <any>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>

namespace obr::cohortui {

//! The worker as the work sees it.
class WorkControl {
public:
    virtual ~WorkControl() = default;
    //! Set when the user asked to stop; the work checks it between its steps.
    virtual const std::atomic<bool> &stopFlag() const = 0;
    bool stopRequested() const { return stopFlag().load(std::memory_order_relaxed); }
    //! \a done steps of \a total; called on the worker thread.
    virtual void progress(int done, int total) = 0;
};

//! The end of a run.
struct WorkOutcome {
    std::any result;                //!< the work's value; empty after an error or a stop
    std::optional<QString> error;   //!< what the user is told
    bool cancelled = false;
};

class Worker : public QObject {
    Q_OBJECT
public:
    using Job = std::function<std::any(WorkControl &)>;

    //! A worker that calls \a fn(copy of \a input, control) on its thread.
    template <class Input, class Fn>
    static Worker *make(Input input, Fn fn, QObject *parent = nullptr)
    {
        auto job = [in = std::move(input), f = std::move(fn)](WorkControl &c) -> std::any {
            return f(in, c);
        };
        return new Worker(Job(std::move(job)), parent);
    }

    explicit Worker(Job job, QObject *parent = nullptr);
    //! Stops a running job and waits for its thread.
    ~Worker() override;

    void start();
    void cancel();   //!< any thread
    bool isRunning() const { return m_running.load(); }
    bool cancelRequested() const { return m_stop.load(); }
    //! Valid once finished() has been emitted.
    WorkOutcome takeOutcome();

signals:
    void progressChanged(int done, int total);
    void finished();

private:
    class Control;
    void run();

    Job m_job;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    WorkOutcome m_outcome;
    std::thread m_thread;
};

}   // namespace obr::cohortui
