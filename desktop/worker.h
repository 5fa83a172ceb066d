// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief A long piece of work of a window on a worker thread: it runs on its own copy of
 * the inputs (taken when the worker is made), reports its progress and its end as queued
 * signals, can be asked to stop, and hands its result back in one step. Whatever the work
 * throws ends it with the message the user is shown (userMessage); a stop drops the
 * result.
 */
#include <QObject>
#include <QString>
#include <any>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>

namespace obr {

//! What the work sees of its worker: the stop flag and the progress it reports.
class WorkControl {
public:
    virtual ~WorkControl() = default;
    //! The flag the work checks between its steps (it may throw obr::Cancelled when set).
    virtual const std::atomic<bool> &stopFlag() const = 0;
    bool stopRequested() const { return stopFlag().load(std::memory_order_relaxed); }
    //! Steps done out of total (any thread; reaches the window as a queued signal).
    virtual void progress(int done, int total) = 0;
};

//! What a finished piece of work hands back.
struct WorkOutcome {
    std::any result;                //!< empty after an error or a stop
    std::optional<QString> error;   //!< the message of a refusal or a failure
    bool cancelled = false;
};

class Worker : public QObject {
    Q_OBJECT
public:
    using Job = std::function<std::any(WorkControl &)>;

    /*! Makes a worker of \a job over a copy of \a input; \a fn is called on the worker
     *  thread with that copy and returns the result. */
    template <class Input, class Fn>
    static Worker *make(Input input, Fn fn, QObject *parent = nullptr)
    {
        return new Worker([in = std::move(input), fn = std::move(fn)](
                              WorkControl &c) -> std::any { return std::any(fn(in, c)); },
                          parent);
    }

    explicit Worker(Job job, QObject *parent = nullptr);
    //! Asks running work to stop and waits for its thread.
    ~Worker() override;

    void start();
    //! Asks the work to stop at its next check; any thread.
    void cancel();
    bool isRunning() const { return m_running.load(); }
    bool cancelRequested() const { return m_stop.load(); }
    //! The outcome, once finished() was emitted; the thread has ended then.
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

}   // namespace obr
