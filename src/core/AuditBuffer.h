#pragma once

#include <QString>
#include <QStringList>

class Clock;

// The audit lines collected since the last flush, and the flag that keeps a flush from starting
// inside another. The daily files they go to are written by WriteLog.
class AuditBuffer
{
public:
    // Lines held while flushes keep failing; past this the oldest are dropped and counted.
    static constexpr int MaxHeldLines = 100000;

    explicit AuditBuffer(const Clock &clock) : m_clock(clock) {}

    // "HH:mm:ss", two spaces, then `text`. A control character other than tab is written as
    // \xNN, so a value holding a line break can never split one line into two or forge another.
    void append(const QString &text);
    // As start-up does before its first line.
    void reset();

    const QStringList &lines() const { return m_lines; }
    void removeFirst() { m_lines.removeFirst(); }
    // Lines dropped from the front since the notice of them was last written.
    qint64 droppedLines() const { return m_dropped; }
    void noticeWritten(qint64 count) { m_dropped -= count; }

    bool busy = false;

private:
    const Clock &m_clock;
    QStringList m_lines;
    qint64 m_dropped = 0;
};
