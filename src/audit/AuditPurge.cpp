#include "audit/AuditPurge.h"

#include "audit/AuditLog.h"
#include "config/ConfigRecord.h"
#include "platform/FileSystem.h"
#include "platform/LocaleFormat.h"

namespace AuditPurge {

QDateTime cutoff(AuditLog &log, const QDateTime &now, int retentionDays)
{
    if (retentionDays < 0 || retentionDays > MaxRetentionDays) {
        log.AppendLog(QStringLiteral("GetPurgeDate| ERROR: retention of %1 days is outside 0 to %2; nothing is purged")
                          .arg(retentionDays)
                          .arg(MaxRetentionDays));
        return {};
    }
    if (retentionDays == 0)
        return {};
    return QDateTime(now.date().addDays(-retentionDays), QTime(23, 59, 0));
}

QString GetPurgeDate(AuditLog &log, const QDateTime &now, int retentionDays)
{
    const QDateTime result = cutoff(log, now, retentionDays);
    if (!result.isValid())
        return QStringLiteral("00:00:00");
    return LocaleFormat::generalDate(result);
}

int PurgeFiles(AuditLog &log, const QString &folder, const QString &pattern, const QDateTime &cutoff)
{
    if (!cutoff.isValid())
        return 0;
    int count = 0;
    const QString searchFolder = ConfigRecord::programFolderIn(folder);
    log.AppendLog(QStringLiteral("PurgeFiles| About to search for audit files...") + searchFolder + pattern);
    const QStringList names = listMatchingFiles(searchFolder, pattern);
    log.AppendLog(QStringLiteral("PurgeFiles| Found 1st audit file=") + names.value(0));
    for (const QString &name : names) {
        log.AppendLog(QStringLiteral("PurgeFiles| Found audit file=") + name);
        const std::optional<QDateTime> modified = fileModificationTime(searchFolder + name);
        if (!modified) {
            log.AppendLog(QStringLiteral("PurgeFiles| ERROR: cannot read when '") + name
                          + QStringLiteral("' was last modified; it is kept"));
            continue;
        }
        if (*modified > cutoff)
            continue;
        const FileError error = removeFile(searchFolder + name);
        if (error.failed()) {
            log.AppendLog(QStringLiteral("PurgeFiles| ERROR: cannot delete '") + name + QStringLiteral("': ")
                          + QString::number(error.number) + u' ' + error.text);
            continue;
        }
        ++count;
    }
    return count;
}

void purgeOldFiles(AuditLog &log, const ConfigRecord &cfg, const QDateTime &now, const QString &routine)
{
    const QDateTime before = cutoff(log, now, RetentionDays);
    log.AppendLog(routine + QStringLiteral("| PurgeFiles: Purge files before=")
                  + (before.isValid() ? LocaleFormat::generalDate(before) : QStringLiteral("00:00:00")));
    const int removed = PurgeFiles(log, cfg.LocalAppFolder, Pattern, before);
    log.AppendLog(routine + QStringLiteral("| PurgeFiles: Purged audit files=") + QString::number(removed));
}

} // namespace AuditPurge
