#include "upload/ScheduleTick.h"

#include "app/core/AppContext.h"
#include "audit/AuditPurge.h"
#include "platform/Clock.h"
#include "platform/LocaleFormat.h"
#include "upload/DayRule.h"
#include "upload/ShowUpload.h"

namespace {

const QString PurgeMinute = QStringLiteral("00:04");

// Uploads the lowest-numbered show due at `minute` on `date`; at most one per minute.
void uploadFirstDueShow(AppContext &ctx, const QDate &date, const QString &minute)
{
    const ShowTableRecord &table = ctx.ShowTable;
    for (int show = 1; show <= ShowTableRecord::MaxShows; ++show) {
        if (table.UploadTime[show] != minute)
            continue;
        const QString number = QString::number(show);
        const QString day = table.UploadDay[show].toUpper();
        ctx.AppendLog(QStringLiteral("Timer1_Timer| Show Upload [") + number + QStringLiteral("] Time found: '")
                      + table.Filename[show] + QStringLiteral("' Show Upload date: '") + day + u'\'');
        const DayRule::Match match = DayRule::match(table.UploadDay[show], date);
        if (match == DayRule::Match::None)
            continue;
        const QString found = match == DayRule::Match::Day ? QStringLiteral("Day") : QStringLiteral("Date");
        ctx.AppendLog(QStringLiteral("Timer1_Timer| Show Upload [") + number + QStringLiteral("] ") + found
                      + QStringLiteral(" found: '") + table.Filename[show] + u'\'');
        UploadShow(ctx, show);
        return;
    }
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
    if (ctx.Schedule.isHandled(slot)) {
        ctx.Schedule.markHandled(slot);
        ctx.AppendLog(QStringLiteral("Timer1_Timer| Minute already handled: '") + minute + u'\'');
        ctx.WriteLog();
        return;
    }
    // Every slot is marked before any upload yields, so a nested tick never takes it again; this
    // minute's last, so the next tick counts skipped minutes from it.
    const QList<QDateTime> missed = ctx.Schedule.missedBefore(slot, ctx.Options.catchUpMinutes);
    for (const QDateTime &earlier : missed)
        ctx.Schedule.markHandled(earlier);
    ctx.Schedule.markHandled(slot);

    if (!ctx.view().uploadsDisabled()) {
        for (const QDateTime &earlier : missed) {
            const QString earlierMinute = LocaleFormat::hourMinute(earlier.time());
            ctx.AppendLog(QStringLiteral("Timer1_Timer| Catching up missed minute: '") + earlierMinute + u'\'');
            uploadFirstDueShow(ctx, earlier.date(), earlierMinute);
        }
        uploadFirstDueShow(ctx, now.date(), minute);
    }
    ctx.WriteLog();

    if (minute == PurgeMinute)
        AuditPurge::purgeOldFiles(ctx.Audit, ctx.CFG, now, QStringLiteral("Timer1_Timer"));
    ctx.Schedule.forgetBefore(now.date().addDays(-1));
}
