#include "config/ConfigLocation.h"

#include "app/core/AppContext.h"
#include "platform/PathText.h"
#include "platform/SettingsStore.h"

void GetConfigPath(AppContext &ctx)
{
    ctx.CFG.ConfigPath = ctx.platform.settings.readText(QStringLiteral("Rulmo Playout System"),
                                                        QStringLiteral("Settings"),
                                                        QStringLiteral("CFG Folder"));
    if (ctx.CFG.ConfigPath.isEmpty()) {
        const QString fallback = ctx.CFG.programFolder();
        ctx.AppendLog(QStringLiteral("GetConfigPath: Rulmo Config path not found. Using Local App path='")
                      + fallback + u'\'');
        ctx.CFG.ConfigPath = fallback;
    }
    ctx.CFG.ConfigPath = withTrailingSeparator(ctx.CFG.ConfigPath);
    ctx.AppendLog(QStringLiteral("GetConfigPath: CFG.ConfigPath='") + ctx.CFG.ConfigPath + u'\'');
}
