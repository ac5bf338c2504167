#include "audit/AuditLog.h"

#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/LocaleFormat.h"

namespace {

QString errorLine(const QString &routine, const FileError &error)
{
    return routine + QStringLiteral("| ERROR: ") + QString::number(error.number) + u' ' +
           error.text;
}

QByteArray fileLine(const QString &line)
{
    return (line + QStringLiteral("\r\n")).toLocal8Bit();
}

// The notice is written straight to the file and the count kept until it is, so a notice can
// never itself be dropped or counted wrong.
FileError writeDroppedNotice(AppContext &ctx, AppendFile &file)
{
    const qint64 dropped = ctx.Audit.droppedLines();
    if (dropped == 0)
        return {};
    const QString notice =
        LocaleFormat::hourMinuteSecond(ctx.platform.clock.now().time()) +
        QStringLiteral("  WriteLog| ERROR: %1 audit lines were dropped").arg(dropped);
    const FileError error = file.write(fileLine(notice));
    if (!error.failed())
        ctx.Audit.noticeWritten(dropped);
    return error;
}

// Lines added by handlers that run while this flush yields wait for the next flush. Each line
// leaves the buffer as soon as it is written, so a handler that logs into a full buffer drops
// (and counts) the oldest unwritten line instead of shifting lines under this loop. Once closing
// has begun it no longer yields: at the end of a Windows session the process is ended as soon as
// other windows get their turn.
FileError writeHeldLines(AppContext &ctx, AppendFile &file)
{
    for (qsizetype remaining = ctx.Audit.lines().size(); remaining > 0; --remaining) {
        const FileError error = file.write(fileLine(ctx.Audit.lines().first()));
        if (error.failed())
            return error;
        ctx.Audit.removeFirst();
        if (!ctx.shutdownRequested())
            ctx.platform.events.processPendingEvents();
    }
    return {};
}

} // namespace

QString dailyAuditFile(const AppContext &ctx)
{
    return ctx.CFG.programFolder() + QStringLiteral("Tunebarn") +
           ctx.platform.clock.now().date().toString(QStringLiteral("ddMMyy")) +
           QStringLiteral("Adt.txt");
}

void WriteLog(AppContext &ctx)
{
    if (ctx.Audit.busy)
        return;
    ctx.Audit.busy = true;
    // A folder removed while the program runs is made again rather than losing the lines.
    if (!folderExists(ctx.CFG.programFolder()))
        CheckAuditFolderExists(ctx, ctx.CFG.LocalAppFolder);

    AppendFile file;
    FileError error = file.open(dailyAuditFile(ctx));
    if (!error.failed())
        error = writeDroppedNotice(ctx, file);
    if (!error.failed())
        error = writeHeldLines(ctx, file);
    const FileError closeError = file.close();
    if (!error.failed())
        error = closeError;
    if (error.failed()) {
        ctx.AppendLog(errorLine(QStringLiteral("WriteLog"), error));
        ctx.view().reportAuditFailure(errorLine(QStringLiteral("WriteLog"), error));
    }
    ctx.Audit.busy = false;
}

void CheckAuditFolderExists(AppContext &ctx, const QString &folder)
{
    const QString path = ConfigRecord::programFolderIn(folder);
    if (folderExists(path)) {
        // The files quote the upload address, token included.
        const FileError error = makePrivate(path);
        if (error.failed())
            ctx.AppendLog(errorLine(QStringLiteral("CheckAuditFolderExists"), error));
        return;
    }
    ctx.AppendLog(
        QStringLiteral("CheckAuditFolderExists| Local App path doesnt exist. Creating: ") + path);
    const FileError error = createFolder(path, true);
    if (error.failed())
        ctx.AppendLog(errorLine(QStringLiteral("CheckAuditFolderExists"), error));
}
