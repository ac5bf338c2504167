#include "audit/AuditPurge.h"

#include "audit/UploadHistory.h"
#include "core/AuditBuffer.h"
#include "core/ConfigRecord.h"
#include "platform/FileSystem.h"
#include "platform/LocaleFormat.h"

namespace AuditPurge {

QDateTime cutoff(AuditBuffer &log, const QDateTime &now, int retentionDays)
{
    if (retentionDays < 0 || retentionDays > MaxRetentionDays) {
        log.append(
            QStringLiteral(
                "GetPurgeDate| ERROR: retention of %1 days is outside 0 to %2; nothing is purged")
                .arg(retentionDays)
                .arg(MaxRetentionDays));
        return {};
    }
    if (retentionDays == 0)
        return {};
    return QDateTime(now.date().addDays(-retentionDays), QTime(23, 59, 0));
}

QString GetPurgeDate(AuditBuffer &log, const QDateTime &now, int retentionDays)
{
    const QDateTime result = cutoff(log, now, retentionDays);
    if (!result.isValid())
        return QStringLiteral("00:00:00");
    return LocaleFormat::generalDate(result);
}

int PurgeFiles(AuditBuffer &log, const QString &folder, const QString &pattern,
               const QDateTime &cutoff)
{
    if (!cutoff.isValid())
        return 0;
    int count = 0;
    const QString searchFolder = ConfigRecord::programFolderIn(folder);
    log.append(QStringLiteral("PurgeFiles| About to search for audit files...") + searchFolder +
               pattern);
    const QStringList names = listMatchingFiles(searchFolder, pattern);
    log.append(QStringLiteral("PurgeFiles| Found 1st audit file=") + names.value(0));
    for (const QString &name : names) {
        log.append(QStringLiteral("PurgeFiles| Found audit file=") + name);
        const std::optional<QDateTime> modified = fileModificationTime(searchFolder + name);
        if (!modified) {
            log.append(QStringLiteral("PurgeFiles| ERROR: cannot read when '") + name +
                       QStringLiteral("' was last modified; it is kept"));
            continue;
        }
        // The cut-off is whole seconds: any moment of its second counts as at the cut-off.
        if (modified->toSecsSinceEpoch() > cutoff.toSecsSinceEpoch())
            continue;
        const FileError error = removeFile(searchFolder + name);
        if (error.failed()) {
            log.append(QStringLiteral("PurgeFiles| ERROR: cannot delete '") + name +
                       QStringLiteral("': ") + QString::number(error.number) + u' ' + error.text);
            continue;
        }
        ++count;
    }
    return count;
}

void purgeOldFiles(AuditBuffer &log, const ConfigRecord &cfg, const QDateTime &now,
                   const QString &routine)
{
    const QDateTime before = cutoff(log, now, RetentionDays);
    log.append(routine + QStringLiteral("| PurgeFiles: Purge files before=") +
               (before.isValid() ? LocaleFormat::generalDate(before) : QStringLiteral("00:00:00")));
    const int removed = PurgeFiles(log, cfg.LocalAppFolder, Pattern, before);
    log.append(routine + QStringLiteral("| PurgeFiles: Purged audit files=") +
               QString::number(removed));
    UploadHistory::purge(log, cfg, now, routine);
}

} // namespace AuditPurge
