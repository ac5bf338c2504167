#include "upload/ShowUpload.h"

#include "audit/AuditLog.h"
#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/LocaleFormat.h"
#include "upload/DateVariables.h"
#include "upload/FailureAlert.h"
#include "upload/UploadRun.h"

#include <QFileInfo>

namespace {

// The minute the schedule started this show's upload for, which a catch-up sets in the past;
// the current minute for an upload started otherwise.
QDateTime dueMinute(const AppContext &ctx, int show)
{
    const QList<ScheduleMemory::Started> &started = ctx.Schedule.unfinished();
    for (auto it = started.crbegin(); it != started.crend(); ++it) {
        if (it->show == show)
            return QDateTime(it->minute.date(), it->minute.time());
    }
    const QDateTime now = ctx.platform.clock.now();
    return QDateTime(now.date(), QTime(now.time().hour(), now.time().minute()));
}

UploadEnd uploadExistingShow(AppContext &ctx, int show)
{
    const ShowTableRecord &table = ctx.ShowTable;
    const QString recording = table.Filename[show];
    const QString title = DateVariables::expand(table.Title[show], ctx.platform.clock.now().date());
    const QString picture = table.Picture[show];
    const bool withPicture = FileExists(picture);
    if (!withPicture)
        ctx.AppendLog(QStringLiteral("UploadShow| Picture file doesnt exist: '") + picture + u'\'');

    const ReplyFile reply(ctx);
    const UploadRequest request{
        recording,         title,        table.Description[show], withPicture ? picture : QString(),
        ctx.CFG.UploadURL, reply.path(), ctx.Options.insecureTls};
    const CommandLine command = UploadCommand::build(curlProgramPath(ctx), request);
    ctx.DosCommand = command.display;

    ctx.view().setCommandText(ctx.DosCommand);
    ctx.view().setTitleText(title);
    ctx.view().setStatusText(QStringLiteral("Uploading..."));
    ctx.AppendLog(QStringLiteral("UploadShow| Tunebarn Title: '") + title + u'\'');
    ctx.AppendLog(QStringLiteral("UploadShow| Uploading: '") + recording +
                  QStringLiteral("' Date Created: ") + FileTimeStamp(recording));
    ctx.AppendLog(QStringLiteral("UploadShow| DosCommand: '") + ctx.DosCommand + u'\'');
    ctx.platform.events.processPendingEvents();
    ctx.platform.events.processPendingEvents();

    QString reason;
    const UploadSubject subject{show, title, dueMinute(ctx, show)};
    const UploadEnd end = runUpload(ctx, QStringLiteral("UploadShow"), subject, command,
                                    request.responseFile, &reason);

    ctx.view().setStatusText(finishedStatus(ctx, end));
    if (end == UploadEnd::Taken)
        clearFailure(ctx);
    else if (end == UploadEnd::Failed)
        alertFailure(ctx, QStringLiteral("UploadShow"), subject, reason);
    else
        ctx.AppendLog(QStringLiteral("UploadShow| ") + cutReport(end, subject.what()));
    ctx.AppendLog(QStringLiteral("UploadShow| Uploading: Finished Upload."));
    ctx.platform.events.processPendingEvents();
    return end;
}

} // namespace

UploadEnd UploadShow(AppContext &ctx, int ShowID)
{
    ctx.AppendLog(QStringLiteral("UploadShow| Started..."));
    UploadEnd end = UploadEnd::Failed;
    if (!ShowTableRecord::isShowNumber(ShowID)) {
        ctx.AppendLog(QStringLiteral("UploadShow| ERROR: show number %1 out of range").arg(ShowID));
    } else if (!FileExists(ctx.ShowTable.Filename[ShowID])) {
        ctx.AppendLog(QStringLiteral("UploadShow| Show file doesnt exist: '") +
                      ctx.ShowTable.Filename[ShowID] + u'\'');
    } else {
        end = uploadExistingShow(ctx, ShowID);
    }
    WriteLog(ctx);
    return end;
}

bool FileExists(const QString &Filename)
{
    return fileExists(Filename);
}

QString FileTimeStamp(const QString &FileSpec)
{
    if (!fileExists(FileSpec))
        return folderExists(QFileInfo(FileSpec).absolutePath()) ? QStringLiteral("Not Available")
                                                                : QString();
    const std::optional<QDateTime> created = fileCreationTime(FileSpec);
    return created ? LocaleFormat::generalDate(*created) : QString();
}
