#include "upload/RecordingReady.h"

#include "audit/AuditLog.h"
#include "core/AppContext.h"
#include "core/CountedNoun.h"
#include "platform/Clock.h"
#include "platform/LocaleFormat.h"
#include "upload/FailureWords.h"

#include <QFileInfo>

namespace RecordingReady {

FileState stateOf(const QString &file)
{
    const QFileInfo info(file);
    if (!info.exists())
        return {};
    return {info.size(), info.lastModified()};
}

QDateTime previousOccurrence(const QDateTime &due)
{
    return due.addDays(-7);
}

bool isRecent(const QDateTime &modified, const QDateTime &now, int settleSeconds)
{
    const qint64 age = modified.secsTo(now);
    return age < settleSeconds && age > -settleSeconds;
}

bool isStale(const QDateTime &modified, const QDateTime &previous)
{
    return modified < previous;
}

QString staleText(const QDateTime &modified, const QDateTime &previous)
{
    return QStringLiteral("was last modified ") + LocaleFormat::generalDate(modified) +
           QStringLiteral(", before the show's previous run at ") +
           LocaleFormat::generalDate(previous);
}

Settle waitUntilStill(AppContext &ctx, const QString &routine, const UploadSubject &subject,
                      const QString &file)
{
    const UploadOptions options = ctx.Options;
    const Clock &clock = ctx.platform.clock;
    FileState seen = stateOf(file);
    if (!isRecent(seen.modified, clock.now(), options.recordingSettleSeconds))
        return Settle::Still;
    ctx.AppendLog(routine + QStringLiteral("| Waiting for the recording to be finished: '") + file +
                  QStringLiteral("' changed within the last ") +
                  countedNoun(options.recordingSettleSeconds, QStringLiteral("second")));
    WriteLog(ctx);
    const QDateTime limit = clock.now().addSecs(options.recordingWaitMinutes * 60LL);
    // Seen changing by this program's clock, so a file stamped by another clock still settles.
    QDateTime lastChange = clock.now();
    while (lastChange.secsTo(clock.now()) < options.recordingSettleSeconds) {
        if (clock.now() >= limit) {
            const QString text =
                QStringLiteral("the recording was still changing after ") +
                countedNoun(options.recordingWaitMinutes, QStringLiteral("minute")) +
                QStringLiteral("; sent as it is");
            ctx.AppendLog(routine + QStringLiteral("| WARNING: ") + subject.what() +
                          QStringLiteral(": ") + text);
            ctx.view().reportWarning(subject.what(), text);
            return Settle::Limit;
        }
        waitProcessingEvents(ctx, 1);
        if (ctx.shutdownRequested())
            return Settle::Stopped;
        const FileState now = stateOf(file);
        if (now != seen) {
            seen = now;
            lastChange = clock.now();
        }
    }
    ctx.AppendLog(routine + QStringLiteral("| The recording stood still for ") +
                  countedNoun(options.recordingSettleSeconds, QStringLiteral("second")) +
                  QStringLiteral(": ") + countedNoun(seen.size, QStringLiteral("byte")));
    return Settle::Still;
}

std::optional<UploadEnd> refuseEmpty(AppContext &ctx, const QString &routine,
                                     const UploadSubject &subject, const QString &file,
                                     QString *failureReason)
{
    const UploadOptions options = ctx.Options;
    const QString happened = FailureWords::recordingEmpty();
    for (int attempt = 0; stateOf(file).size == 0; ++attempt) {
        if (attempt >= options.retryCount) {
            ctx.AppendLog(routine + QStringLiteral("| Upload FAILED: the recording is empty: '") +
                          file + u'\'');
            recordUnsent(ctx, routine, subject, QStringLiteral("failed"), happened);
            *failureReason = happened + QStringLiteral("; ") +
                             FailureWords::noRetry(true, options.retryCount, false);
            return UploadEnd::Failed;
        }
        ctx.AppendLog(routine + QStringLiteral("| Retry %1 of %2 in %3 seconds")
                                    .arg(attempt + 1)
                                    .arg(options.retryCount)
                                    .arg(options.retryDelaySeconds));
        const QDateTime at = ctx.platform.clock.now().addSecs(options.retryDelaySeconds);
        ctx.view().reportRetry(subject.what(),
                               happened + QStringLiteral("; ") +
                                   FailureWords::retryingAt(at, attempt + 1, options.retryCount),
                               true);
        waitProcessingEvents(ctx, options.retryDelaySeconds);
        if (ctx.shutdownRequested()) {
            recordUnsent(ctx, routine, subject, QStringLiteral("cut"), happened);
            return UploadEnd::CutUnsent;
        }
        recordUnsent(ctx, routine, subject, QStringLiteral("retried"), happened);
    }
    return std::nullopt;
}

} // namespace RecordingReady
