#pragma once

#include <QString>
#include <QStringList>

class Clock;
class EventPump;
struct ConfigRecord;

// The audit trail: time-stamped lines collected in memory and appended, at the flush points,
// to the day's file "TunebarnddMMyyAdt.txt" in the audit folder.
class AuditLog
{
public:
    // Lines held while flushes keep failing; past this the oldest are dropped and counted.
    static constexpr int MaxHeldLines = 100000;

    AuditLog(const Clock &clock, EventPump &events, const ConfigRecord &cfg);

    void AppendLog(const QString &text);
    void WriteLog();
    // Makes sure `folder` + "TunebarnUploader" exists, logging its creation.
    void CheckAuditFolderExists(const QString &folder);

    // Clears the buffer state, as start-up does before its first line.
    void reset();
    const QStringList &heldLines() const { return m_lines; }
    bool isFlushing() const { return m_busy; }
    QString auditFolder() const;
    QString dailyFilePath() const;

private:
    void noteDroppedLines();

    const Clock &m_clock;
    EventPump &m_events;
    const ConfigRecord &m_cfg;
    QStringList m_lines;
    qint64 m_dropped = 0;
    bool m_busy = false;
};
