// SPDX-License-Identifier: MIT
#include "calcrunner.h"

#include "model/errors.h"

namespace obr {

class CalcRunner::Progress : public CalcProgress {
public:
    explicit Progress(CalcRunner &r) : m_r(r) {}
    void stage(CalcMethod method, int index, int count) override
    {
        emit m_r.stageChanged(int(method), index, count);
    }

private:
    CalcRunner &m_r;
};

CalcRunner::CalcRunner(const State &state, CalcRequest request, LogPump *log, QObject *parent)
    : QObject(parent), m_state(std::make_unique<State>(state)), m_request(std::move(request)),
      m_log(log), m_progress(std::make_unique<Progress>(*this))
{
}

CalcRunner::~CalcRunner()
{
    m_progress->cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void CalcRunner::start()
{
    m_thread = std::thread([this] { run(); });
}

void CalcRunner::cancel() { m_progress->cancel(); }

CalcResult CalcRunner::takeResult()
{
    if (m_thread.joinable())
        m_thread.join();
    return std::move(m_result);
}

void CalcRunner::run()
{
    LogPump *pump = m_log;
    const LogSink log = [pump](const QString &line) { pump->push(line); };
    try {
        m_result.report = runCalculation(*m_state, m_request, log, *m_progress);
    } catch (const Cancelled &) {
        m_result.cancelled = true;
    } catch (const std::exception &e) {
        m_result.error = userMessage(e);
    }
    // A stop pressed while the last step ended still drops the run, as the user asked.
    if (m_progress->cancelled())
        m_result.cancelled = true;
    m_result.state = std::move(m_state);
    emit finished();
}

MleBoundsRunner::MleBoundsRunner(mle::MleInput input, double level, QObject *parent)
    : QObject(parent), m_input(std::move(input))
{
    m_input.level = level;
}

MleBoundsRunner::~MleBoundsRunner()
{
    m_cancel.store(true);
    if (m_thread.joinable())
        m_thread.join();
}

void MleBoundsRunner::start()
{
    m_thread = std::thread([this] { run(); });
}

MleBoundsResult MleBoundsRunner::takeResult()
{
    if (m_thread.joinable())
        m_thread.join();
    return std::move(m_result);
}

void MleBoundsRunner::run()
{
    try {
        m_result.step = runMleStep(m_input, &m_cancel);
    } catch (const Cancelled &) {
        m_result.cancelled = true;
    } catch (const std::exception &e) {
        m_result.error = userMessage(e);
    }
    if (m_cancel.load())
        m_result.cancelled = true;
    emit finished();
}

}   // namespace obr
