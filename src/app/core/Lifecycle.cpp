#include "app/core/Lifecycle.h"

#include "app/core/HandlerGuard.h"
#include "audit/AuditLog.h"
#include "audit/AuditPurge.h"
#include "config/RefreshConfig.h"
#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/LocaleFormat.h"
#include "platform/PathText.h"
#include "upload/CommandRunner.h"
#include "schedule/ScheduleState.h"

namespace {

constexpr int BannerWidth = 108;

QDateTime now(const AppContext &ctx)
{
    return ctx.platform.clock.now();
}

void logDateFormats(AppContext &ctx)
{
    const QDateTime current = now(ctx);
    ctx.AppendLog(
        QStringLiteral("Form_Load| Date formats (for debug purposes). Dayof Week (ddd): '") +
        LocaleFormat::shortDayName(current.date()).toUpper() + u'\'');
    ctx.AppendLog(QStringLiteral(
                      "Form_Load| Date formats (for debug purposes). Date string (dd/MM/yyyy): '") +
                  LocaleFormat::dayMonthYear(current.date()) + u'\'');
    ctx.AppendLog(QStringLiteral("Form_Load| Time formats (for debug purposes). (eg.'23:00'): '") +
                  LocaleFormat::hourMinute(current.time()) + u'\'');
}

void logFolders(AppContext &ctx)
{
    ctx.AppendLog(QStringLiteral("Form_Load| LocalAppFolder (audit location): '") +
                  ctx.CFG.LocalAppFolder + u'\'');
    ctx.AppendLog(QStringLiteral("Form_Load| Working Directory: '") + ctx.WorkingDirectory + u'\'');
    ctx.AppendLog(QStringLiteral("Form_Load| Configuration Directory: '") + ctx.CFG.ConfigPath +
                  u'\'');
}

} // namespace

QString localAppFolder(const Environment &environment)
{
    QString folder = environment.variable(QStringLiteral("LocalAppData"));
    if (folder.isEmpty())
        folder = nativePath(environment.userDataFolder());
    return withTrailingSeparator(folder);
}

StartMinutes Form_Load(AppContext &ctx)
{
    const QString routine = QStringLiteral("Form_Load");
    ctx.Audit.reset();
    // Ticks of the start minute wait for start-up's end, which hands the minute to the schedule.
    ctx.LastMinute = LocaleFormat::hourMinute(now(ctx).time());
    StartMinutes minutes{{}, ScheduleMemory::wallMinute(now(ctx))};
    ctx.AppendLog(QString(BannerWidth, u'*'));
    ctx.AppendLog(QStringLiteral("Form_Load| Application Started."));
    ctx.AppendLog(QStringLiteral("Form_Load| Application Version: ") + AppContext::versionText());
    // Each step is guarded on its own, so that a failure to find the program's folder still
    // leaves the audit trail its data folder.
    guardStep(ctx, routine, [&] {
        ctx.WorkingDirectory =
            withTrailingSeparator(nativePath(ctx.platform.environment.programFolder()));
    });
    guardStep(ctx, routine,
              [&] { ctx.CFG.LocalAppFolder = localAppFolder(ctx.platform.environment); });
    guardStep(ctx, routine, [&] { CheckAuditFolderExists(ctx, ctx.CFG.LocalAppFolder); });
    guardStep(ctx, routine, [&] { logDateFormats(ctx); });
    guardStep(ctx, routine, [&] {
        ctx.view().setCaption(AppContext::applicationTitle() + QStringLiteral(": ") +
                              LocaleFormat::hourMinute(now(ctx).time()));
    });
    guardStep(ctx, routine, [&] { CurlCheck(ctx); });
    guardStep(ctx, routine, [&] { configmnu_Click(ctx); });
    logFolders(ctx);
    guardStep(ctx, routine,
              [&] { AuditPurge::purgeOldFiles(ctx.Audit, ctx.CFG, now(ctx), routine); });
    guardStep(ctx, routine, [&] { minutes.missed = restoreScheduleState(ctx, minutes.start); });
    WriteLog(ctx);
    return minutes;
}

void Form_Unload(AppContext &ctx)
{
    ctx.AppendLog(QStringLiteral("Form_Unload| Application Closing."));
    ctx.AppendLog(QString(BannerWidth, u'-'));
    WriteLog(ctx);
}
