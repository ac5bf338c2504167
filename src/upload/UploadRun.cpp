#include "upload/UploadRun.h"

#include "audit/AuditLog.h"
#include "audit/UploadHistory.h"
#include "core/AppContext.h"
#include "core/CountedNoun.h"
#include "platform/Clock.h"
#include "platform/CurlProgram.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/LocaleFormat.h"
#include "upload/CommandRunner.h"
#include "upload/CurlProgress.h"
#include "upload/FailureWords.h"

#include <QFile>
#include <QRegularExpression>

namespace {

constexpr int ReplyCharacters = 300;
constexpr int ReplyNotWritten = 23;
// Enough for a service's error document; a longer reply is quoted by its start.
constexpr qint64 ReplyBytesRead = 64 * 1024;

QByteArray replyOf(const QString &responseFile)
{
    QFile file(responseFile);
    return file.open(QIODevice::ReadOnly) ? file.read(ReplyBytesRead) : QByteArray();
}

QString replyExcerpt(const QByteArray &replyBytes)
{
    // Four bytes a character at most in UTF-8, so this always holds the first 300 characters.
    QString reply = QString::fromUtf8(replyBytes.left(ReplyCharacters * 4)).left(ReplyCharacters);
    static const QRegularExpression lineBreaks(QStringLiteral("[\r\n]+"));
    return reply.replace(lineBreaks, QStringLiteral(" "));
}

// curl's last message, wherever its line stands: an error comes straight after the progress
// meter's last drawing, on the same line.
QString lastCurlMessage(const QByteArray &errorOutput)
{
    const QStringList lines =
        QString::fromLocal8Bit(errorOutput).split(QRegularExpression(QStringLiteral("[\r\n]")));
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const qsizetype numbered = it->indexOf(QStringLiteral("curl: ("));
        if (numbered >= 0)
            return it->mid(numbered);
        if (it->startsWith(QStringLiteral("curl:")))
            return *it;
    }
    return {};
}

// curl prints the HTTP status, the bytes it sent and where a redirect pointed, as its -w
// argument asks.
QString httpStatus(const QByteArray &output)
{
    const QString status = QString::fromLatin1(output).simplified().section(u' ', 0, 0);
    static const QRegularExpression threeDigits(QStringLiteral("^\\d{3}$"));
    return threeDigits.match(status).hasMatch() ? status : QStringLiteral("000");
}

// A curl stopped before its end prints nothing; its meter tells what it had sent.
qint64 bytesSent(const CommandOutcome &outcome)
{
    if (outcome.cut)
        return bytesSentByMeter(outcome.errorOutput).value_or(0);
    return QString::fromLatin1(outcome.output).simplified().section(u' ', 1, 1).toLongLong();
}

QString redirectUrl(const QByteArray &output)
{
    return QString::fromUtf8(output).simplified().section(u' ', 2, 2);
}

// Every finished try goes to the history and to whoever watches the station.
void recordAttempt(AppContext &ctx, const QString &routine, const UploadAttempt &attempt)
{
    UploadHistory::record(ctx.Audit, ctx.CFG, routine, attempt);
    ctx.watch().tryEnded({attempt.show, attempt.outcome, attempt.reason, attempt.bytesSent,
                          attempt.seconds, attempt.finished, attempt.recordingSeconds});
}

// One line of the upload history for the try, timed by curl's own start and end.
void recordTry(AppContext &ctx, const QString &routine, const UploadSubject &subject,
               const CommandOutcome &outcome, const QString &result, const QString &reason)
{
    const UploadAttempt attempt{subject.due,
                                subject.show,
                                subject.title,
                                result,
                                reason,
                                outcome.started ? httpStatus(outcome.output) : QString(),
                                bytesSent(outcome),
                                outcome.startedAt.msecsTo(outcome.endedAt) / 1000.0,
                                outcome.endedAt,
                                subject.recordingSeconds};
    recordAttempt(ctx, routine, attempt);
}

// A redirect is no taking: curl does not follow it, so nothing was stored.
bool statusTaken(const QString &status)
{
    const int code = status.toInt();
    return code >= 200 && code < 300;
}

// Only failures where the service cannot have taken the upload are tried again, so a retry can
// never publish a show twice: no connection (curl exit values 5, 6, 7, 35), or 429 and 503.
bool worthRetrying(const CommandOutcome &outcome, const QString &status)
{
    if (!outcome.started || outcome.timedOut)
        return false;
    static const QList<int> unreached = {5, 6, 7, 35};
    return unreached.contains(outcome.exitValue) || status == QStringLiteral("429") ||
           status == QStringLiteral("503");
}

void logFailure(AppContext &ctx, const QString &routine, const TryResult &result)
{
    if (!result.started) {
        ctx.AppendLog(routine + QStringLiteral("| Upload FAILED: curl could not be started"));
        return;
    }
    ctx.AppendLog(routine +
                  QStringLiteral("| Upload FAILED: exit value %1, HTTP status %2, reply: '")
                      .arg(result.exitValue)
                      .arg(result.httpStatus) +
                  replyExcerpt(result.reply) + u'\'');
    if (!result.curlSaid.isEmpty())
        ctx.AppendLog(routine + QStringLiteral("| curl said: '") + result.curlSaid + u'\'');
}

TryResult tryResult(AppContext &ctx, const CommandOutcome &outcome, const QString &status,
                    const QString &responseFile, int timeLimitMinutes)
{
    TryResult result;
    result.started = outcome.started;
    result.exitValue = outcome.exitValue;
    result.httpStatus = status;
    result.reply = outcome.started ? replyOf(responseFile) : QByteArray();
    result.curlSaid = lastCurlMessage(outcome.errorOutput);
    result.timedOut = outcome.timedOut;
    result.timeLimitMinutes = timeLimitMinutes;
    result.stopped = ctx.shutdownRequested();
    result.redirectUrl = redirectUrl(outcome.output);
    result.uploadUrl = ctx.CFG.UploadURL;
    return result;
}

bool takenByTheService(AppContext &ctx, const QString &routine, const CommandOutcome &outcome,
                       const QString &status)
{
    if (!outcome.started || !statusTaken(status))
        return false;
    if (outcome.exitValue == 0)
        return true;
    if (outcome.exitValue != ReplyNotWritten)
        return false;
    // curl could not write the reply, but the service had taken the upload already.
    ctx.AppendLog(
        routine +
        QStringLiteral("| WARNING: the service took the upload but its reply could not be "
                       "written: '") +
        lastCurlMessage(outcome.errorOutput) + u'\'');
    return true;
}

// Each reading of curl's progress meter goes to the window.
std::function<void(const QByteArray &)> progressReporter(AppContext &ctx)
{
    return [&ctx](const QByteArray &errorOutput) {
        if (const std::optional<UploadProgress> progress = parseCurlProgress(errorOutput))
            ctx.view().setProgress(*progress);
    };
}

} // namespace

QString UploadSubject::what() const
{
    return show > 0 ? QStringLiteral("show %1 '%2'").arg(show).arg(title)
                    : QStringLiteral("manual upload '%1'").arg(title);
}

ReplyFile::ReplyFile(AppContext &ctx) : m_ctx(ctx), m_depth(++ctx.uploadsInProgress)
{
    const QString name =
        m_depth == 1 ? QStringLiteral("upload.txt") : QStringLiteral("upload-%1.txt").arg(m_depth);
    m_path = ctx.CFG.programFolder() + name;
}

ReplyFile::~ReplyFile()
{
    --m_ctx.uploadsInProgress;
    if (m_depth > 1)
        removeFile(m_path);
}

void recordUnsent(AppContext &ctx, const QString &routine, const UploadSubject &subject,
                  const QString &outcome, const QString &reason)
{
    const QDateTime now = ctx.platform.clock.now();
    recordAttempt(ctx, routine,
                  {subject.due, subject.show, subject.title, outcome, reason, {}, 0, 0, now,
                   subject.recordingSeconds});
}

void waitProcessingEvents(AppContext &ctx, int seconds)
{
    for (int second = 0; second < seconds && !ctx.shutdownRequested(); ++second)
        ctx.platform.events.waitProcessingEvents(1000);
}

UploadRate paceUpload(const AppContext &ctx, UploadRequest &request, int show)
{
    const UploadRate rate =
        UploadRate::inForce(ctx.ShowTable, ctx.Options, show, ctx.platform.clock.now());
    request.maxBytesPerSecond = rate.bytesPerSecond;
    request.lowPriority = ctx.Options.lowUploadPriority;
    return rate;
}

QString curlProgramPath(const AppContext &ctx)
{
    const QString found = CurlProgram::locate(ctx.platform.environment, ctx.WorkingDirectory);
    return found.isEmpty() ? ctx.WorkingDirectory + CurlProgram::fileName() : found;
}

QString cutReport(UploadEnd end, const QString &name)
{
    return QStringLiteral("Upload cut by the stop: ") + name +
           (end == UploadEnd::CutSent
                ? QStringLiteral(", the whole recording was sent and the service may have it")
                : QStringLiteral(", the recording was not fully sent"));
}

QString finishedStatus(AppContext &ctx, UploadEnd end)
{
    const QString time = LocaleFormat::hourMinuteSecond(ctx.platform.clock.now().time());
    switch (end) {
    case UploadEnd::Taken:
        return QStringLiteral("Finished Upload: ") + time;
    case UploadEnd::Failed:
        return QStringLiteral("Upload Failed: ") + time;
    case UploadEnd::Skipped:
        return QStringLiteral("Upload Skipped: ") + time;
    default:
        return QStringLiteral("Upload Cut: ") + time;
    }
}

UploadEnd runUpload(AppContext &ctx, const QString &routine, const UploadSubject &subject,
                    const CommandLine &command, const QString &responseFile, QString *failureReason)
{
    // Kept for this upload even if the configuration is reloaded while it runs.
    const UploadOptions options = ctx.Options;
    // curl cannot write the reply into a folder that has gone, and would then report a failure.
    CheckAuditFolderExists(ctx, ctx.CFG.LocalAppFolder);
    for (int attempt = 0;; ++attempt) {
        // A reply quoted in the audit must be this try's, never an earlier one's.
        removeFile(responseFile);
        const CommandOutcome outcome =
            Shell32Bit(ctx, command, options.uploadTimeoutMinutes * 60000LL, progressReporter(ctx));
        const QString status = outcome.started ? httpStatus(outcome.output) : QString();
        if (outcome.started)
            ctx.AppendLog(routine + QStringLiteral("| HTTP status: ") + status);
        if (takenByTheService(ctx, routine, outcome, status)) {
            recordTry(ctx, routine, subject, outcome, QStringLiteral("taken"), {});
            if (attempt > 0)
                ctx.view().reportRetry(
                    subject.what(),
                    QStringLiteral("taken on retry %1 of %2").arg(attempt).arg(options.retryCount),
                    false);
            return UploadEnd::Taken;
        }
        if (outcome.cut) {
            recordTry(ctx, routine, subject, outcome, QStringLiteral("cut"),
                      QStringLiteral("stopped by the close"));
            return wholeBodyMayBeSent(outcome.errorOutput, outcome.bytesRead, command.fileBytes)
                       ? UploadEnd::CutSent
                       : UploadEnd::CutUnsent;
        }
        if (outcome.timedOut)
            ctx.AppendLog(routine + QStringLiteral("| Upload stopped after ") +
                          countedNoun(options.uploadTimeoutMinutes, QStringLiteral("minute")));
        const TryResult result =
            tryResult(ctx, outcome, status, responseFile, options.uploadTimeoutMinutes);
        const bool worth = worthRetrying(outcome, status);
        const QString happened = FailureWords::whatHappened(result);
        if (attempt < options.retryCount && worth) {
            if (!ctx.shutdownRequested()) {
                ctx.AppendLog(routine + QStringLiteral("| Retry %1 of %2 in %3 seconds")
                                            .arg(attempt + 1)
                                            .arg(options.retryCount)
                                            .arg(options.retryDelaySeconds));
                const QDateTime at = ctx.platform.clock.now().addSecs(options.retryDelaySeconds);
                ctx.view().reportRetry(
                    subject.what(),
                    happened + QStringLiteral("; ") +
                        FailureWords::retryingAt(at, attempt + 1, options.retryCount),
                    true);
                waitProcessingEvents(ctx, options.retryDelaySeconds);
            }
            if (!ctx.shutdownRequested()) {
                recordTry(ctx, routine, subject, outcome, QStringLiteral("retried"), happened);
                continue;
            }
            // The service cannot have this one: the close leaves it to the next start.
            recordTry(ctx, routine, subject, outcome, QStringLiteral("cut"), happened);
            return UploadEnd::CutUnsent;
        }
        logFailure(ctx, routine, result);
        recordTry(ctx, routine, subject, outcome, QStringLiteral("failed"), happened);
        if (failureReason)
            *failureReason =
                happened + QStringLiteral("; ") +
                FailureWords::noRetry(worth && attempt == options.retryCount, options.retryCount,
                                      ctx.shutdownRequested() && !result.stopped);
        return UploadEnd::Failed;
    }
}
