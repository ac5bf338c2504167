#include "audit/UploadHistory.h"

#include "core/AuditBuffer.h"
#include "core/ConfigRecord.h"
#include "platform/FileSystem.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr qint64 MaxHistoryBytes = 64LL * 1024 * 1024;
const QString MinuteFormat = QStringLiteral("yyyy-MM-ddTHH:mm");
const QString SecondFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

void logError(AuditBuffer &log, const QString &routine, const QString &what, const FileError &error,
              const QString &path)
{
    log.append(routine + QStringLiteral("| ERROR: cannot %1 the upload history: %2 %3 '%4'")
                             .arg(what)
                             .arg(error.number)
                             .arg(error.text, path));
}

} // namespace

QByteArray UploadAttempt::toJsonLine() const
{
    const QJsonObject object{{QStringLiteral("due"), due.toString(MinuteFormat)},
                             {QStringLiteral("show"), show},
                             {QStringLiteral("title"), title},
                             {QStringLiteral("outcome"), outcome},
                             {QStringLiteral("reason"), reason},
                             {QStringLiteral("httpStatus"), httpStatus},
                             {QStringLiteral("bytesSent"), bytesSent},
                             {QStringLiteral("seconds"), seconds},
                             {QStringLiteral("finished"), finished.toString(SecondFormat)},
                             {QStringLiteral("recordingSeconds"), recordingSeconds}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<UploadAttempt> UploadAttempt::fromJsonLine(const QByteArray &line)
{
    const QJsonObject object = QJsonDocument::fromJson(line).object();
    UploadAttempt attempt;
    attempt.finished =
        QDateTime::fromString(object.value(QStringLiteral("finished")).toString(), SecondFormat);
    if (!attempt.finished.isValid())
        return std::nullopt;
    attempt.due =
        QDateTime::fromString(object.value(QStringLiteral("due")).toString(), MinuteFormat);
    attempt.show = object.value(QStringLiteral("show")).toInt();
    attempt.title = object.value(QStringLiteral("title")).toString();
    attempt.outcome = object.value(QStringLiteral("outcome")).toString();
    attempt.reason = object.value(QStringLiteral("reason")).toString();
    attempt.httpStatus = object.value(QStringLiteral("httpStatus")).toString();
    attempt.bytesSent = qint64(object.value(QStringLiteral("bytesSent")).toDouble());
    attempt.seconds = object.value(QStringLiteral("seconds")).toDouble();
    attempt.recordingSeconds = object.value(QStringLiteral("recordingSeconds")).toDouble();
    return attempt;
}

namespace UploadHistory {

QString filePath(const ConfigRecord &cfg)
{
    return cfg.programFolder() + QStringLiteral("uploads.jsonl");
}

void record(AuditBuffer &log, const ConfigRecord &cfg, const QString &routine,
            const UploadAttempt &attempt)
{
    const QString path = filePath(cfg);
    AppendFile file;
    FileError error = file.open(path);
    if (!error.failed())
        error = file.write(attempt.toJsonLine());
    if (!error.failed())
        error = file.close();
    if (error.failed())
        logError(log, routine, QStringLiteral("write"), error, path);
}

QList<UploadAttempt> read(const ConfigRecord &cfg, const QDateTime &since)
{
    QList<UploadAttempt> attempts;
    const FileRead file = readWholeFile(filePath(cfg), MaxHistoryBytes);
    for (const QByteArray &line : file.bytes.split('\n')) {
        const std::optional<UploadAttempt> attempt = UploadAttempt::fromJsonLine(line);
        if (attempt && attempt->finished >= since)
            attempts.append(*attempt);
    }
    return attempts;
}

void purge(AuditBuffer &log, const ConfigRecord &cfg, const QDateTime &now, const QString &routine)
{
    const QString path = filePath(cfg);
    if (!fileExists(path))
        return;
    const FileRead file = readWholeFile(path, MaxHistoryBytes);
    if (file.error.failed()) {
        logError(log, routine, QStringLiteral("read"), file.error, path);
        return;
    }
    const QDateTime oldest(now.date().addDays(-RetentionDays), QTime(0, 0));
    QByteArray kept;
    int dropped = 0;
    for (const QByteArray &line : file.bytes.split('\n')) {
        if (line.isEmpty())
            continue;
        const std::optional<UploadAttempt> attempt = UploadAttempt::fromJsonLine(line);
        if (attempt && attempt->finished < oldest) {
            ++dropped;
            continue;
        }
        kept += line + '\n';
    }
    if (dropped == 0)
        return;
    const FileError error = replaceFile(path, kept);
    if (error.failed()) {
        logError(log, routine, QStringLiteral("purge"), error, path);
        return;
    }
    log.append(routine +
               QStringLiteral("| PurgeFiles: Purged upload history lines=%1").arg(dropped));
}

} // namespace UploadHistory
