#include "schedule/ConfigWarnings.h"

#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/SampleConfig.h"
#include "schedule/ScheduleCheck.h"

void reportConfigWarnings(AppContext &ctx)
{
    const QString path = ctx.CFG.configFile();
    const std::optional<IniFile> ini = fileExists(path) ? IniFile::load(path) : std::nullopt;
    QStringList warnings;
    if (!fileExists(path))
        warnings.append(QStringLiteral("there is no configuration file '%1': copy the annotated "
                                       "example '%2' there, set UploadURL and the shows, then "
                                       "reload")
                            .arg(path, SampleConfig::path(ctx.WorkingDirectory)));
    if (ini) {
        const ScheduleReport report = ScheduleCheck::analyse(
            *ini, path, ctx.platform.clock.now(), ctx.Schedule, ctx.platform.environment);
        for (const CheckProblem &problem : report.problems)
            warnings.append(problem.text);
        if (report.insecureTls)
            warnings.append(ScheduleCheck::insecureTlsText());
    }
    for (const QString &warning : warnings)
        ctx.AppendLog(QStringLiteral("Configmnu_Click| WARNING: ") + warning);
    ctx.view().setConfigWarnings(warnings);
    showNextUpload(ctx, ctx.platform.clock.now());
}

void showNextUpload(AppContext &ctx, const QDateTime &from)
{
    const ScheduleCheck::NextUpload next =
        ScheduleCheck::firstNextUpload(ctx.ShowTable, from, ctx.Schedule);
    ctx.NextUploadAt = next.at;
    ctx.view().setNextUpload(next.text);
}
