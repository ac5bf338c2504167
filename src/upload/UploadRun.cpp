#include "upload/UploadRun.h"

#include "app/core/AppContext.h"
#include "platform/Clock.h"
#include "platform/CurlProgram.h"
#include "platform/FileSystem.h"
#include "platform/LocaleFormat.h"
#include "platform/PathText.h"
#include "upload/CommandRunner.h"

#include <QRegularExpression>

namespace {

constexpr int ReplyCharacters = 300;

QString replyExcerpt(const QString &responseFile)
{
    const FileRead read = readWholeFile(responseFile);
    QString reply = QString::fromUtf8(read.bytes.left(ReplyCharacters * 4)).left(ReplyCharacters);
    static const QRegularExpression lineBreaks(QStringLiteral("[\r\n]+"));
    return reply.replace(lineBreaks, QStringLiteral(" "));
}

QString lastCurlMessage(const QByteArray &errorOutput)
{
    const QStringList lines = QString::fromLocal8Bit(errorOutput).split(QRegularExpression(QStringLiteral("[\r\n]")));
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

} // namespace

QString responseFilePath(const AppContext &ctx)
{
    return ctx.CFG.LocalAppFolder + QStringLiteral("TunebarnUploader") + pathSeparator()
           + QStringLiteral("upload.txt");
}

QString curlProgramPath(const AppContext &ctx)
{
    const QString found = CurlProgram::locate(ctx.platform.environment, ctx.WorkingDirectory);
    return found.isEmpty() ? ctx.WorkingDirectory + CurlProgram::fileName() : found;
}

QString finishedStatus(AppContext &ctx, bool taken)
{
    const QString time = LocaleFormat::hourMinuteSecond(ctx.platform.clock.now().time());
    return (taken ? QStringLiteral("Finished Upload: ") : QStringLiteral("Upload Failed: ")) + time;
}

bool runUpload(AppContext &ctx, const QString &routine, const CommandLine &command,
               const QString &responseFile, QString *failureReason)
{
    // A reply quoted in the audit must be this upload's, never the last one's.
    removeFile(responseFile);
    const CommandOutcome outcome = Shell32Bit(ctx, command);
    if (!outcome.started) {
        ctx.AppendLog(routine + QStringLiteral("| Upload FAILED: curl could not be started"));
        if (failureReason)
            *failureReason = QStringLiteral("curl could not be started");
        return false;
    }
    const QString status = httpStatus(outcome.output);
    ctx.AppendLog(routine + QStringLiteral("| HTTP status: ") + status);
    if (outcome.exitValue == 0 && statusTaken(status))
        return true;

    ctx.AppendLog(routine + QStringLiteral("| Upload FAILED: exit value %1, HTTP status %2, reply: '")
                                .arg(outcome.exitValue)
                                .arg(status)
                  + replyExcerpt(responseFile) + u'\'');
    const QString said = lastCurlMessage(outcome.errorOutput);
    if (!said.isEmpty())
        ctx.AppendLog(routine + QStringLiteral("| curl said: '") + said + u'\'');
    if (failureReason)
        *failureReason = QStringLiteral("exit value %1, HTTP status %2").arg(outcome.exitValue).arg(status)
                         + (said.isEmpty() ? QString() : QStringLiteral(", ") + said);
    return false;
}
