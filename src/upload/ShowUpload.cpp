#include "upload/ShowUpload.h"

#include "audit/AuditLog.h"
#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/LocaleFormat.h"
#include "recording/RecordingReader.h"
#include "upload/DateVariables.h"
#include "upload/FailureAlert.h"
#include "upload/RecordingCheck.h"
#include "upload/RecordingReady.h"
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

// Last week's recording is told of; it goes out anyway unless the station chose to skip it.
bool skipsStaleRecording(AppContext &ctx, const UploadSubject &subject, const QString &recording,
                         QString *reason)
{
    const QDateTime modified = RecordingReady::stateOf(recording).modified;
    const QDateTime previous = RecordingReady::previousOccurrence(subject.due);
    if (!RecordingReady::isStale(modified, previous))
        return false;
    const QString text =
        QStringLiteral("the recording ") + RecordingReady::staleText(modified, previous);
    ctx.AppendLog(QStringLiteral("UploadShow| WARNING: ") + subject.what() + QStringLiteral(": ") +
                  text);
    ctx.view().reportWarning(subject.what(), text);
    if (!ctx.Options.skipStaleRecordings)
        return false;
    ctx.AppendLog(QStringLiteral("UploadShow| Upload skipped: ") + subject.what() +
                  QStringLiteral(", SkipStaleRecordings is set"));
    recordUnsent(ctx, QStringLiteral("UploadShow"), subject, QStringLiteral("skipped"), text);
    *reason = text + QStringLiteral("; skipped, SkipStaleRecordings is set");
    return true;
}

// A recording that is no MP3, far from the show's length or dead air is told of; it goes out
// anyway unless the station chose to skip that kind. `description` receives what was found.
std::optional<UploadEnd> skipsUntrueRecording(AppContext &ctx, UploadSubject &subject,
                                              const QString &recording, QString *description,
                                              QString *reason)
{
    const QString routine = QStringLiteral("UploadShow");
    const std::optional<RecordingFindings> findings = RecordingReader::waitFor(ctx, recording);
    if (!findings) {
        recordUnsent(ctx, routine, subject, QStringLiteral("cut"),
                     QStringLiteral("stopped while the recording was read"));
        return UploadEnd::CutUnsent;
    }
    subject.recordingSeconds = findings->seconds;
    const RecordingLimits &limits = ctx.RecordingRules[subject.show];
    *description = RecordingVerdict::description(*findings, limits);
    QString skippedBy;
    QString skippedFor;
    for (const RecordingProblem &problem : RecordingCheck::problems(ctx, subject.show, *findings)) {
        const QString text = QStringLiteral("the recording ") + problem.text;
        ctx.AppendLog(routine + QStringLiteral("| WARNING: ") + subject.what() +
                      QStringLiteral(": ") + text);
        ctx.view().reportWarning(subject.what(), text);
        if (skippedBy.isEmpty()) {
            skippedBy = RecordingVerdict::skipSetting(problem, limits);
            skippedFor = text;
        }
    }
    if (skippedBy.isEmpty())
        return std::nullopt;
    ctx.AppendLog(routine + QStringLiteral("| Upload skipped: ") + subject.what() +
                  QStringLiteral(", ") + skippedBy + QStringLiteral(" is set"));
    recordUnsent(ctx, routine, subject, QStringLiteral("skipped"), skippedFor);
    *reason = skippedFor + QStringLiteral("; skipped, ") + skippedBy + QStringLiteral(" is set");
    return UploadEnd::Skipped;
}

// What holds a recording back before curl runs: still written, last week's, empty, or not a
// true recording. Nothing when it may go.
std::optional<UploadEnd> recordingHeldBack(AppContext &ctx, UploadSubject &subject,
                                           const QString &recording, QString *reason,
                                           QString *description)
{
    const QString routine = QStringLiteral("UploadShow");
    if (RecordingReady::waitUntilStill(ctx, routine, subject, recording) ==
        RecordingReady::Settle::Stopped) {
        recordUnsent(ctx, routine, subject, QStringLiteral("cut"),
                     QStringLiteral("stopped while the recording was still written"));
        return UploadEnd::CutUnsent;
    }
    if (skipsStaleRecording(ctx, subject, recording, reason))
        return UploadEnd::Skipped;
    if (const std::optional<UploadEnd> empty =
            RecordingReady::refuseEmpty(ctx, routine, subject, recording, reason))
        return empty;
    return skipsUntrueRecording(ctx, subject, recording, description, reason);
}

// `reply` lives on after the upload, while its failure is told, so an upload that starts
// meanwhile replies into a file of its own.
UploadEnd sendRecording(AppContext &ctx, const UploadSubject &subject, const QString &recording,
                        const QString &description, std::optional<ReplyFile> &reply,
                        QString *reason, RecordingReady::FileState *sent)
{
    const ShowTableRecord &table = ctx.ShowTable;
    const int show = subject.show;
    const QString picture = table.Picture[show];
    const bool withPicture = FileExists(picture);
    if (!withPicture)
        ctx.AppendLog(QStringLiteral("UploadShow| Picture file doesnt exist: '") + picture + u'\'');

    reply.emplace(ctx);
    UploadRequest request{recording,
                          subject.title,
                          table.Description[show],
                          withPicture ? picture : QString(),
                          ctx.CFG.UploadURL,
                          reply->path(),
                          ctx.Options.insecureTls};
    request.caCertificates = ctx.Options.caCertificates;
    const UploadRate rate = paceUpload(ctx, request, show);
    const CommandLine command = UploadCommand::build(curlProgramPath(ctx), request);
    ctx.DosCommand = command.display;

    ctx.view().setCommandText(ctx.DosCommand);
    ctx.view().setTitleText(subject.title);
    ctx.view().setStatusText(QStringLiteral("Uploading..."));
    ctx.AppendLog(QStringLiteral("UploadShow| Tunebarn Title: '") + subject.title + u'\'');
    ctx.AppendLog(QStringLiteral("UploadShow| Uploading: '") + recording +
                  QStringLiteral("' Date Created: ") + FileTimeStamp(recording));
    ctx.AppendLog(QStringLiteral("UploadShow| Recording: ") + description);
    if (rate.configured())
        ctx.AppendLog(QStringLiteral("UploadShow| Upload rate: ") + rate.text());
    ctx.AppendLog(QStringLiteral("UploadShow| DosCommand: '") + ctx.DosCommand + u'\'');
    ctx.platform.events.processPendingEvents();
    ctx.platform.events.processPendingEvents();

    if (sent)
        *sent = RecordingReady::stateOf(recording);
    ctx.watch().curlStarting(show);
    return runUpload(ctx, QStringLiteral("UploadShow"), subject, command, request.responseFile,
                     reason);
}

UploadEnd uploadExistingShow(AppContext &ctx, int show, RecordingReady::FileState *sent)
{
    const QString recording = ctx.ShowTable.Filename[show];
    // A show sent late, caught up or sent again after a stop, is titled for its own day.
    const QDateTime due = dueMinute(ctx, show);
    const QString title = DateVariables::expand(ctx.ShowTable.Title[show], due.date());
    UploadSubject subject{show, title, due};
    QString reason;
    QString description;
    std::optional<ReplyFile> reply;
    const std::optional<UploadEnd> heldBack =
        recordingHeldBack(ctx, subject, recording, &reason, &description);
    const UploadEnd end =
        heldBack ? *heldBack
                 : sendRecording(ctx, subject, recording, description, reply, &reason, sent);

    ctx.view().setStatusText(finishedStatus(ctx, end));
    if (end == UploadEnd::Taken)
        clearFailure(ctx);
    else if (end == UploadEnd::Failed)
        alertFailure(ctx, QStringLiteral("UploadShow"), subject, reason);
    else if (end == UploadEnd::Skipped)
        alertSkip(ctx, QStringLiteral("UploadShow"), subject, reason);
    else
        ctx.AppendLog(QStringLiteral("UploadShow| ") + cutReport(end, subject.what()));
    ctx.AppendLog(QStringLiteral("UploadShow| Uploading: Finished Upload."));
    ctx.platform.events.processPendingEvents();
    return end;
}

} // namespace

UploadEnd UploadShow(AppContext &ctx, int ShowID, RecordingReady::FileState *sent)
{
    ctx.AppendLog(QStringLiteral("UploadShow| Started..."));
    UploadEnd end = UploadEnd::Failed;
    if (!ShowTableRecord::isShowNumber(ShowID)) {
        ctx.AppendLog(QStringLiteral("UploadShow| ERROR: show number %1 out of range").arg(ShowID));
    } else if (!FileExists(ctx.ShowTable.Filename[ShowID])) {
        ctx.AppendLog(QStringLiteral("UploadShow| Show file doesnt exist: '") +
                      ctx.ShowTable.Filename[ShowID] + u'\'');
        ctx.watch().tryEnded({ShowID, QStringLiteral("failed"),
                              QStringLiteral("the recording does not exist"), 0, 0,
                              ctx.platform.clock.now()});
    } else {
        end = uploadExistingShow(ctx, ShowID, sent);
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
