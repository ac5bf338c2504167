#include "upload/ScheduleTick.h"

#include "app/core/AppContext.h"
#include "audit/AuditPurge.h"
#include "platform/Clock.h"
#include "platform/LocaleFormat.h"
#include "upload/ShowUpload.h"

namespace {

const QString PurgeMinute = QStringLiteral("00:04");

void uploadFirstDueShow(AppContext &ctx, const QString &dayName, const QString &dateText)
{
    const ShowTableRecord &table = ctx.ShowTable;
    for (int show = 1; show <= ShowTableRecord::MaxShows; ++show) {
        if (table.UploadTime[show] != ctx.LastMinute)
            continue;
        const QString number = QString::number(show);
        const QString day = table.UploadDay[show].toUpper();
        ctx.AppendLog(QStringLiteral("Timer1_Timer| Show Upload [") + number + QStringLiteral("] Time found: '")
                      + table.Filename[show] + QStringLiteral("' Show Upload date: '") + day + u'\'');
        QString found;
        if (day == dayName)
            found = QStringLiteral("Day");
        else if (day == dateText)
            found = QStringLiteral("Date");
        else
            continue;
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

    const QString dayName = LocaleFormat::shortDayName(now.date()).toUpper();
    const QString dateText = LocaleFormat::dayMonthYear(now.date());
    if (!ctx.view().uploadsDisabled())
        uploadFirstDueShow(ctx, dayName, dateText);
    ctx.WriteLog();

    if (ctx.LastMinute == PurgeMinute)
        AuditPurge::purgeOldFiles(ctx.Audit, ctx.CFG, now, QStringLiteral("Timer1_Timer"));
}
