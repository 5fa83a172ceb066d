// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The progress log's feed: lines from any thread are queued and shown in Memo2 in
 * batches from a timer on the user-interface thread, so a worker that logs thousands of
 * lines a second costs the window little and never floods its event queue.
 *
 * The log is bounded: once kHeadLines lines are shown, later lines keep only the last
 * kTailLines after one line that says how many were left out. The queue is bounded the
 * same way, so memory stays flat however long a run logs.
 */
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <mutex>

class QPlainTextEdit;

namespace obr {

class LogPump : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kHeadLines = 100000;
    static constexpr qsizetype kTailLines = 10000;

    explicit LogPump(QPlainTextEdit *memo, QObject *parent = nullptr);

    //! Queues one line; any thread.
    void push(const QString &line);
    //! Queues several lines; any thread.
    void push(const QStringList &lines);
    //! Shows every queued line now (user-interface thread).
    void flush();
    //! Lines left out of the log so far.
    qint64 omitted() const { return m_omittedShown; }
    //! The text of the line that stands for \a n lines left out.
    static QString omittedLine(qint64 n);

private:
    QPlainTextEdit *m_memo;
    QTimer m_timer;
    std::mutex m_mutex;
    // Guarded by m_mutex: lines still to show in the head part, lines of the tail.
    QStringList m_head;
    std::deque<QString> m_tail;
    qint64 m_headRoom = kHeadLines;   // head lines that may still be queued
    qint64 m_omittedQueued = 0;       // tail lines dropped from the queue
    bool m_tailChanged = false;
    // User-interface thread only.
    qint64 m_omittedShown = 0;
};

}   // namespace obr
