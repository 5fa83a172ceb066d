// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief TGen, the worker thread of the genetic optimiser: a thin shell that runs a
 * GenEngine and turns its reports into signals for the main window.
 *
 * Every signal is emitted from the worker thread; connected to a window object they are
 * queued and run on the user-interface thread, in the order emitted. Log lines are
 * passed on in batches, one per generation, so a detailed log ("Вывод хода расчета")
 * does not flood the event queue. resultReady comes before QThread::finished; the window
 * publishes the result (publishGenResult, then the results refresh) in its slot for
 * resultReady and restores the idle state of the tab in its slot for finished.
 *
 * The worker never touches the State or a widget. Destroying a TGen asks the run to stop
 * (a request of its own) and waits for the thread. The stop and copy requests of an
 * earlier run are cleared when a TGen is made, on the starter's thread, so a stop pressed
 * right after start() ends the run.
 */
#include "genetic.h"

#include <QMetaType>
#include <QStringList>
#include <QThread>
#include <memory>

namespace obr {

class TGen : public QThread {
    Q_OBJECT
public:
    /*! \a in is the snapshot of prepareGenRun; \a control is shared with the window and
     *  must be the object its buttons and bars write. */
    TGen(GenInput in, std::shared_ptr<GenControl> control, QObject *parent = nullptr,
         SeedSource seeds = clockSeedSource());
    ~TGen() override;

    GenControl &control() { return *m_control; }

signals:
    void logLines(const QStringList &lines);
    void trackBar1Moved(int position);
    void trackBar2Moved(int position);
    void generationsText(const QString &text);
    void progressChanged(int value);
    void resultReady(const obr::GenResult &result);

protected:
    void run() override;

private:
    GenInput m_in;
    std::shared_ptr<GenControl> m_control;
    std::atomic<bool> m_abort{false};
    SeedSource m_seeds;
};

} // namespace obr

Q_DECLARE_METATYPE(obr::GenResult)
