#include "upload/UploadRun.h"

#include "audit/AuditLog.h"
#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/CurlProgram.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/LocaleFormat.h"
#include "upload/CommandRunner.h"
#include "upload/CurlProgress.h"

#include <QFile>
#include <QRegularExpression>

namespace {

constexpr int ReplyCharacters = 300;
constexpr int ReplyNotWritten = 23;

QString replyExcerpt(const QString &responseFile)
{
    QFile file(responseFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Four bytes a character at most in UTF-8, so this always holds the first 300 characters.
    QString reply = QString::fromUtf8(file.read(ReplyCharacters * 4)).left(ReplyCharacters);
    static const QRegularExpression lineBreaks(QStringLiteral("[\r\n]+"));
    return reply.replace(lineBreaks, QStringLiteral(" "));
}

QString lastCurlMessage(const QByteArray &errorOutput)
{
    const QStringList lines =
        QString::fromLocal8Bit(errorOutput).split(QRegularExpression(QStringLiteral("[\r\n]")));
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (it->startsWith(QStringLiteral("curl:")))
            return *it;
    }
    return {};
}

QString httpStatus(const QByteArray &output)
{
    const QString status = QString::fromLatin1(output).trimmed();
    static const QRegularExpression threeDigits(QStringLiteral("^\\d{3}$"));
    return threeDigits.match(status).hasMatch() ? status : QStringLiteral("000");
}

bool statusTaken(const QString &status)
{
    const int code = status.toInt();
    return code >= 200 && code < 400;
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

// Waits before the next try with window events running; closing the program cuts it short.
void waitBeforeRetry(AppContext &ctx, int seconds)
{
    for (int second = 0; second < seconds && !ctx.shutdownRequested(); ++second)
        ctx.platform.events.waitProcessingEvents(1000);
}

void logFailure(AppContext &ctx, const QString &routine, const CommandOutcome &outcome,
                const QString &status, const QString &responseFile, QString *failureReason)
{
    if (!outcome.started) {
        ctx.AppendLog(routine + QStringLiteral("| Upload FAILED: curl could not be started"));
        if (failureReason)
            *failureReason = QStringLiteral("curl could not be started");
        return;
    }
    ctx.AppendLog(routine +
                  QStringLiteral("| Upload FAILED: exit value %1, HTTP status %2, reply: '")
                      .arg(outcome.exitValue)
                      .arg(status) +
                  replyExcerpt(responseFile) + u'\'');
    const QString said = lastCurlMessage(outcome.errorOutput);
    if (!said.isEmpty())
        ctx.AppendLog(routine + QStringLiteral("| curl said: '") + said + u'\'');
    if (failureReason)
        *failureReason =
            QStringLiteral("exit value %1, HTTP status %2").arg(outcome.exitValue).arg(status) +
            (said.isEmpty() ? QString() : QStringLiteral(", ") + said);
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

QString curlProgramPath(const AppContext &ctx)
{
    const QString found = CurlProgram::locate(ctx.platform.environment, ctx.WorkingDirectory);
    return found.isEmpty() ? ctx.WorkingDirectory + CurlProgram::fileName() : found;
}

QString uploadName(int show, const QString &title)
{
    return show > 0 ? QStringLiteral("show %1 '%2'").arg(show).arg(title)
                    : QStringLiteral("manual upload '%1'").arg(title);
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
    default:
        return QStringLiteral("Upload Cut: ") + time;
    }
}

UploadEnd runUpload(AppContext &ctx, const QString &routine, const CommandLine &command,
                    const QString &responseFile, QString *failureReason)
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
        if (takenByTheService(ctx, routine, outcome, status))
            return UploadEnd::Taken;
        if (outcome.cut)
            return wholeBodyMayBeSent(outcome.errorOutput) ? UploadEnd::CutSent
                                                           : UploadEnd::CutUnsent;
        if (outcome.timedOut)
            ctx.AppendLog(routine + QStringLiteral("| Upload stopped after %1 minutes")
                                        .arg(options.uploadTimeoutMinutes));
        if (attempt < options.retryCount && worthRetrying(outcome, status)) {
            // The service cannot have this one: the close leaves it to the next start.
            if (ctx.shutdownRequested())
                return UploadEnd::CutUnsent;
            ctx.AppendLog(routine + QStringLiteral("| Retry %1 of %2 in %3 seconds")
                                        .arg(attempt + 1)
                                        .arg(options.retryCount)
                                        .arg(options.retryDelaySeconds));
            waitBeforeRetry(ctx, options.retryDelaySeconds);
            if (!ctx.shutdownRequested())
                continue;
            return UploadEnd::CutUnsent;
        }
        logFailure(ctx, routine, outcome, status, responseFile, failureReason);
        return UploadEnd::Failed;
    }
}
