#include "upload/ManualUpload.h"

#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/EventPump.h"
#include "upload/FailureAlert.h"
#include "upload/ShowUpload.h"
#include "upload/UploadRun.h"

void manupmnu_Click(AppContext &ctx)
{
    Dialogs &dialogs = ctx.platform.dialogs;
    const QString file =
        dialogs.chooseFileToOpen(QStringLiteral("*.mp3"), QStringLiteral("*.mp3 *.MP3"));
    if (file.isEmpty())
        return;
    const QString title = dialogs.askText(
        QStringLiteral("Enter a title for the upload.\reg. At Your Request - 20th July 2017"),
        QStringLiteral("Title"));
    if (title.isEmpty())
        return;
    const QString description = dialogs.askText(
        QStringLiteral("Enter a description for the upload.\reg. Your requests and dedications."),
        QStringLiteral("Description"));

    uploadManually(ctx, file, title, description);
}

UploadEnd uploadManually(AppContext &ctx, const QString &file, const QString &title,
                         const QString &description, QString *failureReason)
{
    const ReplyFile reply(ctx);
    const UploadRequest request{file,
                                title,
                                description,
                                QString(),
                                ctx.CFG.UploadURL,
                                reply.path(),
                                ctx.Options.insecureTls};
    const CommandLine command = UploadCommand::build(curlProgramPath(ctx), request);
    ctx.DosCommand = command.display;
    ctx.view().setCommandText(ctx.DosCommand);
    ctx.view().setTitleText(title);
    ctx.view().setStatusText(QStringLiteral("Uploading..."));
    ctx.AppendLog(QStringLiteral("Manupmnu_Click| Manually Uploading: '") + file +
                  QStringLiteral(" Date Created: ") + FileTimeStamp(file));
    ctx.platform.events.processPendingEvents();
    ctx.platform.events.processPendingEvents();

    QString reason;
    const UploadSubject subject{0, title, ctx.platform.clock.now()};
    const UploadEnd end = runUpload(ctx, QStringLiteral("Manupmnu_Click"), subject, command,
                                    request.responseFile, &reason);

    ctx.view().setStatusText(finishedStatus(ctx, end));
    if (end == UploadEnd::Taken) {
        clearFailure(ctx);
    } else if (end == UploadEnd::Failed) {
        alertFailure(ctx, QStringLiteral("Manupmnu_Click"), subject, reason);
    } else {
        reason = cutReport(end, subject.what());
        ctx.AppendLog(QStringLiteral("Manupmnu_Click| ") + reason);
    }
    if (failureReason)
        *failureReason = reason;
    ctx.AppendLog(QStringLiteral("Manupmnu_Click| Manually Uploading: Finished Upload."));
    ctx.platform.events.processPendingEvents();
    return end;
}
