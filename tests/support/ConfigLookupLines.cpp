#include "support/ConfigLookupLines.h"

#include "support/TestApp.h"

QStringList configLookupLines(const TestApp &app)
{
    return {QStringLiteral("Configmnu_Click| Button Clicked."),
            QStringLiteral("GetConfigPath: Rulmo Config path not found. Using Local App path='") +
                app.auditFolder() + u'\'',
            QStringLiteral("GetConfigPath: CFG.ConfigPath='") + app.auditFolder() + u'\'',
            QStringLiteral("Configmnu_Click| Reading configuration: '") + app.auditFolder() +
                QStringLiteral("tunebarn.ini'")};
}
