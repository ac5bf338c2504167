#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class AuditBuffer;
struct ConfigRecord;

// One finished try of an upload, as the results file keeps it.
struct UploadAttempt
{
    QDateTime due; // the minute a scheduled upload was due; when a manual one started
    int show = 0;  // 0 for a manual upload
    QString title;
    // "taken", "retried" (failed, tried again), "failed", "cut" or "skipped" (never sent)
    QString outcome;
    QString reason;  // what happened, in plain words; empty when taken
    QString httpStatus;
    qint64 bytesSent = 0;
    double seconds = 0;
    QDateTime finished;
    double recordingSeconds = 0; // the recording's length; 0 when not known, as in older lines

    QByteArray toJsonLine() const;
    static std::optional<UploadAttempt> fromJsonLine(const QByteArray &line);
};

// The results of the uploads, one JSON line per finished try, in the program's folder beside the
// audit files, so what went out last week can be seen without reading them line by line.
namespace UploadHistory {

constexpr int RetentionDays = 90;

QString filePath(const ConfigRecord &cfg);
// Appends the try; a failure is told in the audit under `routine`.
void record(AuditBuffer &log, const ConfigRecord &cfg, const QString &routine,
            const UploadAttempt &attempt);
// The tries finished at or after `since`, oldest first; lines that cannot be read are skipped.
QList<UploadAttempt> read(const ConfigRecord &cfg, const QDateTime &since);
// Keeps only the tries of the last 90 days, as the audit purge keeps its files, and says in the
// audit under `routine` how many it dropped, when any.
void purge(AuditBuffer &log, const ConfigRecord &cfg, const QDateTime &now, const QString &routine);

} // namespace UploadHistory
