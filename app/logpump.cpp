// SPDX-License-Identifier: MIT
#include "logpump.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace obr {

LogPump::LogPump(QPlainTextEdit *memo, QObject *parent) : QObject(parent), m_memo(memo)
{
    // The lines the widget already holds (its first line) count toward the head.
    m_headRoom = kHeadLines - memo->document()->blockCount();
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &LogPump::flush);
    m_timer.start();
}

QString LogPump::omittedLine(qint64 n) { return QStringLiteral("… пропущено строк: %1 …").arg(n); }

void LogPump::push(const QString &line)
{
    std::lock_guard lock(m_mutex);
    if (m_headRoom > 0) {
        m_head.append(line);
        --m_headRoom;
        return;
    }
    m_tail.push_back(line);
    m_tailChanged = true;
    if (qsizetype(m_tail.size()) > kTailLines) {
        m_tail.pop_front();
        ++m_omittedQueued;
    }
}

void LogPump::push(const QStringList &lines)
{
    for (const QString &l : lines)
        push(l);
}

void LogPump::flush()
{
    QStringList head;
    std::deque<QString> tail;
    qint64 omitted = 0;
    bool tailChanged = false;
    {
        std::lock_guard lock(m_mutex);
        head.swap(m_head);
        if (m_tailChanged) {
            tail = m_tail;
            omitted = m_omittedQueued;
            tailChanged = true;
            m_tailChanged = false;
        }
    }
    if (!head.isEmpty())
        m_memo->appendPlainText(head.join(QLatin1Char('\n')));
    if (!tailChanged)
        return;

    // Past the head the widget shows the omission line and the queue's tail, rewritten
    // whole: at most kTailLines lines per tick.
    QTextDocument *doc = m_memo->document();
    const QTextBlock lastHead = doc->findBlockByNumber(int(kHeadLines) - 1);
    if (!lastHead.isValid())
        return;
    QStringList lines;
    if (omitted > 0)
        lines.append(omittedLine(omitted));
    for (const QString &l : tail)
        lines.append(l);
    QTextCursor c(doc);
    c.beginEditBlock();
    c.setPosition(lastHead.position() + lastHead.length() - 1);
    c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    c.insertText(QLatin1Char('\n') + lines.join(QLatin1Char('\n')));
    c.endEditBlock();
    m_omittedShown = omitted;
    m_memo->verticalScrollBar()->setValue(m_memo->verticalScrollBar()->maximum());
}

}   // namespace obr
