#include "schedule/ScheduleTick.h"

#include "audit/AuditLog.h"
#include "audit/AuditPurge.h"
#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/LocaleFormat.h"
#include "schedule/ConfigWarnings.h"
#include "schedule/DayRule.h"
#include "schedule/Preflight.h"
#include "schedule/ScheduleCheck.h"
#include "schedule/ScheduleState.h"
#include "upload/ShowUpload.h"

namespace {

const QString Routine = QStringLiteral("Timer1_Timer");
const QString PurgeMinute = QStringLiteral("00:04");
// A cut show sent again this close to its next upload would reach the service twice in a row.
constexpr qint64 ResendClearanceSeconds = 60 * 60;

// The upload of a show due at `slot`, noted on disk while it runs so that one cut off by a
// crash is named at the next start, and one cut by a stop is sent again or named.
void uploadDueShow(AppContext &ctx, const QDateTime &slot, int show)
{
    // Once closing has begun nothing new starts; the service cannot have this one, so it is left
    // to the next start as a cut one.
    if (ctx.shutdownRequested()) {
        ctx.AppendLog(QStringLiteral("Timer1_Timer| Show %1 due at %2 is left to the next start: "
                                     "the program is closing")
                          .arg(show)
                          .arg(LocaleFormat::hourMinute(slot.time())));
        ctx.Schedule.uploadInterrupted({slot, show, false});
        saveScheduleState(ctx, Routine);
        return;
    }
    ctx.Schedule.uploadStarted(slot, show);
    saveScheduleState(ctx, Routine);
    RecordingReady::FileState sent;
    const UploadEnd end = UploadShow(ctx, show, &sent);
    ctx.Schedule.uploadFinished(slot, show);
    if (end == UploadEnd::CutUnsent || end == UploadEnd::CutSent)
        ctx.Schedule.uploadInterrupted(
            {slot, show, end == UploadEnd::CutSent, sent.size, sent.modified});
    saveScheduleState(ctx, Routine);
}

// Uploads the lowest-numbered show due at the wall-clock minute `slot`; at most one per minute.
void uploadFirstDueShow(AppContext &ctx, const QDateTime &slot)
{
    const ShowTableRecord &table = ctx.ShowTable;
    const QString minute = LocaleFormat::hourMinute(slot.time());
    for (int show = 1; show <= ShowTableRecord::MaxShows; ++show) {
        if (table.UploadTime[show] != minute)
            continue;
        const QString number = QString::number(show);
        const QString day = table.UploadDay[show].toUpper();
        ctx.AppendLog(QStringLiteral("Timer1_Timer| Show Upload [") + number +
                      QStringLiteral("] Time found: '") + table.Filename[show] +
                      QStringLiteral("' Show Upload date: '") + day + u'\'');
        const DayRule::Match match = DayRule::match(table.UploadDay[show], slot.date());
        if (match == DayRule::Match::None)
            continue;
        const QString found =
            match == DayRule::Match::Day ? QStringLiteral("Day") : QStringLiteral("Date");
        ctx.AppendLog(QStringLiteral("Timer1_Timer| Show Upload [") + number +
                      QStringLiteral("] ") + found + QStringLiteral(" found: '") +
                      table.Filename[show] + u'\'');
        uploadDueShow(ctx, slot, show);
        return;
    }
}

void catchUp(AppContext &ctx, const QList<QDateTime> &missed)
{
    for (const QDateTime &earlier : missed) {
        ctx.AppendLog(QStringLiteral("Timer1_Timer| Catching up missed minute: '") +
                      LocaleFormat::hourMinute(earlier.time()) + u'\'');
        uploadFirstDueShow(ctx, earlier);
    }
}

// Why an upload the last run's stop cut may not go out once more; nothing when it may. The show's
// next upload supersedes it once it has come or is near, and another recording must never go
// out under the cut one's date.
QString resendHeldBack(const AppContext &ctx, const ScheduleMemory::Interrupted &upload,
                       const QDateTime &startMinute)
{
    if (!ShowTableRecord::isShowNumber(upload.show))
        return {};
    // Whether that minute came, not whether it was handled, decides.
    const QDateTime next = ScheduleCheck::nextUpload(ctx.ShowTable, upload.show,
                                                     upload.minute.addSecs(60), ScheduleMemory());
    if (next.isValid()) {
        const qint64 ahead = startMinute.secsTo(ScheduleMemory::wallMinute(next));
        if (ahead <= 0)
            return QStringLiteral("its next upload has come");
        if (ahead < ResendClearanceSeconds)
            return QStringLiteral("its next upload is less than an hour away");
    }
    if (upload.recordingSize < 0)
        return {};
    const RecordingReady::FileState now =
        RecordingReady::stateOf(ctx.ShowTable.Filename[upload.show]);
    if (now.size != upload.recordingSize || now.modified != upload.recordingModified)
        return QStringLiteral("its recording has changed since");
    return {};
}

// An upload the last run's stop cut before the service could have it goes out once more, titled
// for the day it was due, unless something holds it back.
void resendInterrupted(AppContext &ctx, const QDateTime &startMinute)
{
    const QList<ScheduleMemory::Interrupted> cut = ctx.Schedule.interrupted();
    ctx.Schedule.forgetInterrupted();
    for (const ScheduleMemory::Interrupted &upload : cut) {
        const QString which = QStringLiteral("show %1 due at %2 on %3")
                                  .arg(upload.show)
                                  .arg(LocaleFormat::hourMinute(upload.minute.time()),
                                       LocaleFormat::dayMonthYear(upload.minute.date()));
        const QString heldBack = resendHeldBack(ctx, upload, startMinute);
        if (!heldBack.isEmpty()) {
            ctx.AppendLog(QStringLiteral("Timer1_Timer| Not sending again ") + which +
                          QStringLiteral(", cut by the stop: ") + heldBack);
            continue;
        }
        ctx.AppendLog(QStringLiteral("Timer1_Timer| Sending again ") + which +
                      QStringLiteral(", cut by the stop before the recording was fully sent"));
        uploadDueShow(ctx, upload.minute, upload.show);
    }
    saveScheduleState(ctx, Routine);
}

// The minute the program started in is the schedule's too, unless an earlier run handled it.
void handleStartMinute(AppContext &ctx, const QDateTime &startMinute)
{
    const bool handled = ctx.Schedule.isHandled(startMinute);
    ctx.Schedule.markHandled(startMinute);
    saveScheduleState(ctx, Routine);
    if (handled)
        ctx.AppendLog(QStringLiteral("Timer1_Timer| Minute already handled: '") +
                      LocaleFormat::hourMinute(startMinute.time()) + u'\'');
    else if (!ctx.view().uploadsDisabled())
        uploadFirstDueShow(ctx, startMinute);
}

} // namespace

void Timer1_Timer(AppContext &ctx)
{
    const QDateTime now = ctx.platform.clock.now();
    const QString minute = LocaleFormat::hourMinute(now.time());
    if (minute == ctx.LastMinute)
        return;
    ctx.LastMinute = minute;
    ctx.view().setCaption(AppContext::applicationTitle() + QStringLiteral(": ") + ctx.LastMinute);

    const QDateTime slot = ScheduleMemory::wallMinute(now);
    Preflight::check(ctx, slot);
    if (ctx.Schedule.isHandled(slot)) {
        ctx.Schedule.markHandled(slot);
        saveScheduleState(ctx, Routine);
        ctx.AppendLog(QStringLiteral("Timer1_Timer| Minute already handled: '") + minute + u'\'');
        WriteLog(ctx);
        return;
    }
    // Every slot is marked before any upload yields, so a nested tick never takes it again; this
    // minute's last, so the next tick counts skipped minutes from it.
    const QList<QDateTime> missed = ctx.Schedule.missedBefore(slot, ctx.Options.catchUpMinutes);
    for (const QDateTime &earlier : missed)
        ctx.Schedule.markHandled(earlier);
    ctx.Schedule.markHandled(slot);
    ctx.Schedule.forgetBefore(now.date().addDays(-1));
    saveScheduleState(ctx, Routine);

    // Before the upload starts: the show it sends is no longer the next one.
    if (ctx.NextUploadAt.isValid() && now >= ctx.NextUploadAt)
        showNextUpload(ctx, now);
    if (!ctx.view().uploadsDisabled()) {
        catchUp(ctx, missed);
        uploadFirstDueShow(ctx, slot);
    }
    WriteLog(ctx);

    if (minute == PurgeMinute)
        AuditPurge::purgeOldFiles(ctx.Audit, ctx.CFG, now, Routine);
}

void catchUpAfterStart(AppContext &ctx, const QList<QDateTime> &missed,
                       const QDateTime &startMinute)
{
    if (!ctx.view().uploadsDisabled()) {
        resendInterrupted(ctx, startMinute);
        catchUp(ctx, missed);
    }
    handleStartMinute(ctx, startMinute);
    WriteLog(ctx);
}
