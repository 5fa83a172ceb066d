// SPDX-License-Identifier: MIT
#include "worker.h"

#include "desktop/desktop_texts.h"
#include "model/errors.h"

namespace obr {

class Worker::Control : public WorkControl {
public:
    explicit Control(Worker &w) : m_w(w) {}
    const std::atomic<bool> &stopFlag() const override { return m_w.m_stop; }
    void progress(int done, int total) override { emit m_w.progressChanged(done, total); }

private:
    Worker &m_w;
};

Worker::Worker(Job job, QObject *parent) : QObject(parent), m_job(std::move(job)) {}

Worker::~Worker()
{
    m_stop.store(true);
    if (m_thread.joinable())
        m_thread.join();
}

void Worker::start()
{
    if (m_thread.joinable())
        return;
    m_running.store(true);
    m_thread = std::thread([this] { run(); });
}

void Worker::cancel() { m_stop.store(true); }

WorkOutcome Worker::takeOutcome()
{
    if (m_thread.joinable())
        m_thread.join();
    return std::move(m_outcome);
}

void Worker::run()
{
    Control control(*this);
    try {
        m_outcome.result = m_job(control);
    } catch (const Cancelled &) {
        m_outcome.cancelled = true;
    } catch (const std::exception &e) {
        m_outcome.error = userMessage(e);
    } catch (...) {
        m_outcome.error = desktop::txt::unknownFailure;
    }
    // A stop pressed while the last step ended still drops the work, as the user asked.
    if (m_stop.load()) {
        m_outcome.cancelled = true;
        m_outcome.result.reset();
        m_outcome.error.reset();
    }
    m_running.store(false);
    emit finished();
}

}   // namespace obr
