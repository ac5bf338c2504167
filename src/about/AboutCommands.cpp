#include "about/AboutCommands.h"

#include "about/DebugText.h"
#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"

namespace {

void reportFailure(AppContext &ctx, const QString &failure)
{
    if (failure.isEmpty())
        return;
    ctx.platform.dialogs.showMessage(failure, AppContext::applicationTitle(),
                                     Dialogs::Icon::Critical);
}

} // namespace

void Command1_Click(AppContext &ctx)
{
    reportFailure(ctx, ctx.platform.desktop.openFolder(ctx.CFG.programFolder()));
}

void Command2_Click(AppContext &ctx)
{
    const QString configFile = ctx.CFG.configFile();
    if (!fileExists(configFile))
        return;
    reportFailure(ctx, ctx.platform.desktop.editTextFile(configFile));
}

void Command3_Click(AppContext &ctx)
{
    ctx.platform.dialogs.showMessage(debugText(ctx.platform.clock.now().date()),
                                     AppContext::applicationTitle(), Dialogs::Icon::None);
}
