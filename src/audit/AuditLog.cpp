#include "audit/AuditLog.h"

#include "config/ConfigRecord.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/LocaleFormat.h"

namespace {

QString errorLine(const FileError &error)
{
    return QStringLiteral("WriteLog| ERROR: ") + QString::number(error.number) + u' ' + error.text;
}

} // namespace

AuditLog::AuditLog(const Clock &clock, EventPump &events, const ConfigRecord &cfg)
    : m_clock(clock), m_events(events), m_cfg(cfg)
{
}

void AuditLog::reset()
{
    m_lines.clear();
    m_dropped = 0;
    m_busy = false;
}

void AuditLog::AppendLog(const QString &text)
{
    if (m_lines.size() >= MaxHeldLines) {
        m_lines.removeFirst();
        ++m_dropped;
    }
    m_lines.append(LocaleFormat::hourMinuteSecond(m_clock.now().time()) + QStringLiteral("  ") + text);
}

QString AuditLog::auditFolder() const
{
    return m_cfg.programFolder();
}

QString AuditLog::dailyFilePath() const
{
    return auditFolder() + QStringLiteral("Tunebarn") + m_clock.now().date().toString(QStringLiteral("ddMMyy"))
           + QStringLiteral("Adt.txt");
}

void AuditLog::noteDroppedLines()
{
    if (m_dropped == 0)
        return;
    const QString time = LocaleFormat::hourMinuteSecond(m_clock.now().time());
    m_lines.prepend(time + QStringLiteral("  WriteLog| ERROR: ") + QString::number(m_dropped)
                    + QStringLiteral(" audit lines were dropped"));
    m_dropped = 0;
}

void AuditLog::WriteLog()
{
    if (m_busy)
        return;
    m_busy = true;
    // A folder removed while the program runs is made again rather than losing the lines.
    if (!folderExists(auditFolder()))
        CheckAuditFolderExists(m_cfg.LocalAppFolder);
    noteDroppedLines();

    AppendFile file;
    FileError error = file.open(dailyFilePath());
    // Lines added by handlers that run while this flush yields wait for the next flush. Each
    // line leaves the buffer as soon as it is written, so a handler that logs into a full buffer
    // drops (and counts) the oldest unwritten line instead of shifting lines under this loop.
    qsizetype remaining = m_lines.size();
    while (!error.failed() && remaining > 0) {
        error = file.write((m_lines.first() + QStringLiteral("\r\n")).toLocal8Bit());
        if (error.failed())
            break;
        m_lines.removeFirst();
        --remaining;
        m_events.processPendingEvents();
    }
    const FileError closeError = file.close();
    if (!error.failed())
        error = closeError;

    if (error.failed())
        AppendLog(errorLine(error));
    m_busy = false;
}

void AuditLog::CheckAuditFolderExists(const QString &folder)
{
    const QString path = ConfigRecord::programFolderIn(folder);
    if (folderExists(path))
        return;
    AppendLog(QStringLiteral("CheckAuditFolderExists| Local App path doesnt exist. Creating: ") + path);
    const FileError error = createFolder(path, true);
    if (error.failed())
        AppendLog(QStringLiteral("CheckAuditFolderExists| ERROR: ") + QString::number(error.number)
                  + u' ' + error.text);
}
