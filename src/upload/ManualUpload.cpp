#include "upload/ManualUpload.h"

#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/EventPump.h"
#include "upload/FailureAlert.h"
#include "upload/RecordingReady.h"
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

namespace {

const QString Routine = QStringLiteral("Manupmnu_Click");

// A recording still written is waited for, and an empty one is not sent, as for a show.
std::optional<UploadEnd> recordingHeldBack(AppContext &ctx, const UploadSubject &subject,
                                           const QString &file, QString *reason)
{
    if (RecordingReady::waitUntilStill(ctx, Routine, subject, file) ==
        RecordingReady::Settle::Stopped) {
        recordUnsent(ctx, Routine, subject, QStringLiteral("cut"),
                     QStringLiteral("stopped while the recording was still written"));
        return UploadEnd::CutUnsent;
    }
    return RecordingReady::refuseEmpty(ctx, Routine, subject, file, reason);
}

// `reply` lives on while a failure is told, as for a show.
UploadEnd sendFile(AppContext &ctx, const UploadSubject &subject, const QString &file,
                   const QString &description, std::optional<ReplyFile> &reply, QString *reason)
{
    reply.emplace(ctx);
    UploadRequest request{
        file,          subject.title,          description, QString(), ctx.CFG.UploadURL,
        reply->path(), ctx.Options.insecureTls};
    request.caCertificates = ctx.Options.caCertificates;
    const UploadRate rate = paceUpload(ctx, request, 0);
    const CommandLine command = UploadCommand::build(curlProgramPath(ctx), request);
    ctx.DosCommand = command.display;
    ctx.view().setCommandText(ctx.DosCommand);
    ctx.view().setTitleText(subject.title);
    ctx.view().setStatusText(QStringLiteral("Uploading..."));
    ctx.AppendLog(Routine + QStringLiteral("| Manually Uploading: '") + file +
                  QStringLiteral(" Date Created: ") + FileTimeStamp(file));
    if (rate.configured())
        ctx.AppendLog(Routine + QStringLiteral("| Upload rate: ") + rate.text());
    ctx.platform.events.processPendingEvents();
    ctx.platform.events.processPendingEvents();
    return runUpload(ctx, Routine, subject, command, request.responseFile, reason);
}

} // namespace

UploadEnd uploadManually(AppContext &ctx, const QString &file, const QString &title,
                         const QString &description, QString *failureReason)
{
    QString reason;
    const UploadSubject subject{0, title, ctx.platform.clock.now()};
    std::optional<ReplyFile> reply;
    const std::optional<UploadEnd> heldBack = recordingHeldBack(ctx, subject, file, &reason);
    const UploadEnd end =
        heldBack ? *heldBack : sendFile(ctx, subject, file, description, reply, &reason);

    ctx.view().setStatusText(finishedStatus(ctx, end));
    if (end == UploadEnd::Taken) {
        clearFailure(ctx);
    } else if (end == UploadEnd::Failed) {
        alertFailure(ctx, Routine, subject, reason);
    } else {
        reason = cutReport(end, subject.what());
        ctx.AppendLog(Routine + QStringLiteral("| ") + reason);
    }
    if (failureReason)
        *failureReason = reason;
    ctx.AppendLog(Routine + QStringLiteral("| Manually Uploading: Finished Upload."));
    ctx.platform.events.processPendingEvents();
    return end;
}
