#include "app/core/StationSources.h"

#include "audit/UploadHistory.h"
#include "core/AppContext.h"
#include "schedule/ScheduleCheck.h"

MonitorSources stationSources(AppContext &ctx)
{
    MonitorSources sources;
    sources.showTimes = [&ctx](int show, const QDateTime &now) -> std::optional<ShowTimes> {
        const ShowTableRecord &table = ctx.ShowTable;
        if (!ScheduleCheck::isConfigured(table, show) ||
            ScheduleCheck::isPastDate(table.UploadDay[show], now.date()))
            return std::nullopt;
        return ShowTimes{ScheduleCheck::nextUpload(table, show, now, ctx.Schedule),
                         ScheduleCheck::lastDue(table, show, now)};
    };
    sources.pastTries = [&ctx](const QDateTime &now) {
        QList<WatchedTry> tries;
        for (const UploadAttempt &attempt :
             UploadHistory::read(ctx.CFG, now.addDays(-UploadHistory::RetentionDays)))
            tries.append({attempt.show, attempt.outcome, attempt.reason, attempt.bytesSent,
                          attempt.seconds, attempt.finished, attempt.recordingSeconds});
        return tries;
    };
    return sources;
}
