#include "config/ConfigLocation.h"

#include "core/AppContext.h"
#include "platform/PathText.h"
#include "platform/SettingsStore.h"

void GetConfigPath(AppContext &ctx)
{
    const SettingsStore::Value setting =
        ctx.platform.settings.readText(QStringLiteral("Rulmo Playout System"),
                                       QStringLiteral("Settings"), QStringLiteral("CFG Folder"));
    // A setting that is there but cannot be read must not pass for an absent one without a word.
    if (setting.error.failed())
        ctx.AppendLog(QStringLiteral("GetConfigPath| ERROR: ") +
                      QString::number(setting.error.number) + u' ' + setting.error.text +
                      QStringLiteral(" '") + setting.location + u'\'');
    ctx.CFG.ConfigPath = setting.text;
    if (ctx.CFG.ConfigPath.isEmpty()) {
        const QString fallback = ctx.CFG.programFolder();
        ctx.AppendLog(
            QStringLiteral("GetConfigPath: Rulmo Config path not found. Using Local App path='") +
            fallback + u'\'');
        ctx.CFG.ConfigPath = fallback;
    }
    ctx.CFG.ConfigPath = withTrailingSeparator(ctx.CFG.ConfigPath);
    ctx.AppendLog(QStringLiteral("GetConfigPath: CFG.ConfigPath='") + ctx.CFG.ConfigPath + u'\'');
}
