// SPDX-License-Identifier: MIT
#include "cohort/ui/worker.h"

#include "model/errors.h"

namespace obr::cohortui {

class Worker::Control final : public WorkControl {
public:
    explicit Control(Worker *owner) : m_owner(owner) {}
    const std::atomic<bool> &stopFlag() const override { return m_owner->m_stop; }
    void progress(int done, int total) override { emit m_owner->progressChanged(done, total); }

private:
    Worker *m_owner;
};

Worker::Worker(Job job, QObject *parent) : QObject(parent), m_job(std::move(job)) {}

Worker::~Worker()
{
    cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void Worker::start()
{
    if (m_running.exchange(true))
        return;
    m_thread = std::thread(&Worker::run, this);
}

void Worker::cancel() { m_stop.store(true); }

WorkOutcome Worker::takeOutcome()
{
    if (m_thread.joinable())
        m_thread.join();
    WorkOutcome out = std::move(m_outcome);
    m_outcome = {};
    return out;
}

void Worker::run()
{
    Control control(this);
    WorkOutcome out;
    try {
        out.result = m_job(control);
    } catch (const Cancelled &) {
        out.cancelled = true;
    } catch (const std::exception &e) {
        out.error = userMessage(e);
    } catch (...) {
        out.error = QStringLiteral("Неизвестная ошибка при выполнении расчета");
    }
    if (m_stop.load())   // asked to stop: whatever came is dropped
        out = WorkOutcome{{}, std::nullopt, true};
    m_outcome = std::move(out);
    m_running.store(false);
    emit finished();
}

}   // namespace obr::cohortui
