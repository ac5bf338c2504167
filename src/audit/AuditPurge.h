#pragma once

#include <QDateTime>
#include <QString>

class AuditBuffer;
struct ConfigRecord;

// Old daily audit files are deleted so they do not pile up for ever.
namespace AuditPurge {

constexpr int RetentionDays = 7;
constexpr int MaxRetentionDays = 1366;
inline const QString Pattern = QStringLiteral("tunebarn*adt.txt");

// 23:59:00 on the day `retentionDays` before today; invalid (nothing to purge) for 0 and for
// retentions outside 0 to 1366, which are refused with an audit line.
QDateTime cutoff(AuditBuffer &log, const QDateTime &now, int retentionDays);
// The cut-off as text in the general date format, "00:00:00" when nothing is to be purged.
QString GetPurgeDate(AuditBuffer &log, const QDateTime &now, int retentionDays);
// Deletes the matching files of folder + "TunebarnUploader" last modified at or before
// `cutoff`; returns how many were actually deleted.
int PurgeFiles(AuditBuffer &log, const QString &folder, const QString &pattern,
               const QDateTime &cutoff);
// The purge as start-up and the nightly tick run it, with their two lines under `routine`; the
// upload history loses its tries older than its own retention at the same time.
void purgeOldFiles(AuditBuffer &log, const ConfigRecord &cfg, const QDateTime &now,
                   const QString &routine);

} // namespace AuditPurge
