#include "config/RefreshConfig.h"

#include "config/ConfigLocation.h"
#include "config/ConfigReader.h"
#include "core/AppContext.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"

void configmnu_Click(AppContext &ctx)
{
    ctx.AppendLog(QStringLiteral("Configmnu_Click| Button Clicked."));
    GetConfigPath(ctx);
    const QString path = ctx.CFG.configFile();
    ctx.AppendLog(QStringLiteral("Configmnu_Click| Reading configuration: '") + path + u'\'');

    if (!fileExists(path)) {
        ctx.platform.dialogs.showMessage(path, QStringLiteral("File doesnt exist."),
                                         Dialogs::Icon::Critical);
        ctx.AppendLog(QStringLiteral("Configmnu_Click| Configuration file doesnt exist: '") + path +
                      u'\'');
        return;
    }
    const bool read = ReadConfig(ctx, path);
    if (read && !ctx.CFG.UploadURL.isEmpty()) {
        ctx.view().setStatusText(QStringLiteral("Config loaded.") + ctx.LastMinute);
        ctx.AppendLog(QStringLiteral("Configmnu_Click| Configuration loaded successfully: '") +
                      path + u'\'');
        return;
    }
    ctx.view().setStatusText(QStringLiteral("Config Error.") + ctx.LastMinute);
    ctx.AppendLog(QStringLiteral("Configmnu_Click| Configuration NOT loaded successfully: '") +
                  path + u'\'');
}
