#include "schedule/ConfigWarnings.h"

#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "schedule/ScheduleCheck.h"

void reportConfigWarnings(AppContext &ctx)
{
    const QString path = ctx.CFG.configFile();
    const std::optional<IniFile> ini = fileExists(path) ? IniFile::load(path) : std::nullopt;
    QStringList warnings;
    if (ini) {
        for (const CheckProblem &problem :
             ScheduleCheck::analyse(*ini, path, ctx.platform.clock.now()).problems) {
            warnings.append(problem.text);
            ctx.AppendLog(QStringLiteral("Configmnu_Click| WARNING: ") + problem.text);
        }
    }
    ctx.view().setConfigWarnings(warnings);
    showNextUpload(ctx, ctx.platform.clock.now());
}

void showNextUpload(AppContext &ctx, const QDateTime &from)
{
    const ScheduleCheck::NextUpload next = ScheduleCheck::firstNextUpload(ctx.ShowTable, from);
    ctx.NextUploadAt = next.at;
    ctx.view().setNextUpload(next.text);
}
