// SPDX-License-Identifier: MIT
#include "genetic_thread.h"

#include "model/errors.h"
#include "model/texts.h"

namespace obr {

namespace {

//! Passes the engine's reports on as signals of the thread object.
class SignalHost : public GenHost {
public:
    explicit SignalHost(TGen &t) : m_t(t) {}
    void logLine(const QString &line) override { m_lines.append(line); }
    void trackBar1(int p) override { emit m_t.trackBar1Moved(p); }
    void trackBar2(int p) override { emit m_t.trackBar2Moved(p); }
    void generationsText(const QString &text) override { emit m_t.generationsText(text); }
    void progress(int v) override
    {
        if (v != m_progress) {
            m_progress = v;
            emit m_t.progressChanged(v);
        }
    }
    void generationDone(int32_t) override { flush(); }
    void flush()
    {
        if (!m_lines.isEmpty()) {
            emit m_t.logLines(m_lines);
            m_lines.clear();
        }
    }

private:
    TGen &m_t;
    QStringList m_lines;
    int m_progress = -1;
};

} // namespace

TGen::TGen(GenInput in, std::shared_ptr<GenControl> control, QObject *parent, SeedSource seeds)
    : QThread(parent), m_in(std::move(in)), m_control(std::move(control)),
      m_seeds(std::move(seeds))
{
    qRegisterMetaType<obr::GenResult>();
    if (!m_control)
        m_control = std::make_shared<GenControl>();
    // Cleared here, on the starter's thread: a stop pressed between start() and the
    // worker's first step is kept.
    m_control->clearRequests();
}

TGen::~TGen()
{
    m_abort.store(true);
    wait();
}

void TGen::run()
{
    SignalHost host(*this);
    GenResult r;
    try {
        GenEngine engine(m_in, *m_control, host, m_seeds);
        engine.setAbortFlag(&m_abort);
        engine.keepRequestsAtBegin();
        r = engine.run();
    } catch (const UserError &e) {
        host.logLine(e.message());
    } catch (...) {
        host.logLine(txt::exceptional);
    }
    host.flush();
    emit resultReady(r);
}

} // namespace obr
