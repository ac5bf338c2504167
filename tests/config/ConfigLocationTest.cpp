#include "config/ConfigLocation.h"

#include "support/QtPrinters.h"
#include "support/TestApp.h"

#include <gtest/gtest.h>

namespace {

QString notFoundLine(const TestApp &app)
{
    return QStringLiteral("GetConfigPath: Rulmo Config path not found. Using Local App path='") +
           app.auditFolder() + u'\'';
}

QString pathLine(const QString &configPath)
{
    return QStringLiteral("GetConfigPath: CFG.ConfigPath='") + configPath + u'\'';
}

} // namespace

TEST(GetConfigPath, AbsentOrEmptySettingFallsBackToTheProgramsDataFolder)
{
    struct Case
    {
        const char *what;
        QByteArray settingsFile; // empty: no settings file at all
    };
    const QList<Case> cases{
        {"no settings file", QByteArray()},
        {"setting present but empty", "[Settings]\nCFG Folder=\n"},
        {"section without the key", "[Settings]\nOther=/srv\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestApp app;
        if (!c.settingsFile.isEmpty())
            app.writeFile(app.settings.settingsFilePath(QStringLiteral("Rulmo Playout System")),
                          c.settingsFile);
        GetConfigPath(app.ctx);
        EXPECT_EQ(app.ctx.CFG.ConfigPath, app.auditFolder());
        EXPECT_EQ(app.heldTexts(), QStringList({notFoundLine(app), pathLine(app.auditFolder())}));
    }
}

TEST(GetConfigPath, SettingIsUsedAsStoredWithASeparatorAdded)
{
    struct Case
    {
        const char *what;
        QString stored;
        QString expected;
    };
    const QList<Case> cases{
        {"no trailing separator", QStringLiteral("/srv/radio"), QStringLiteral("/srv/radio/")},
        {"trailing separator", QStringLiteral("/srv/radio/"), QStringLiteral("/srv/radio/")},
        {"spaces only", QStringLiteral("   "), QStringLiteral("   /")},
        {"trailing spaces kept", QStringLiteral("/srv/radio  "), QStringLiteral("/srv/radio  /")},
        {"quotes kept", QStringLiteral("\"/srv/radio\""), QStringLiteral("\"/srv/radio\"/")},
        {"folder that does not exist", QStringLiteral("/no/such/folder"),
         QStringLiteral("/no/such/folder/")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestApp app;
        app.writePlayoutSetting(c.stored);
        GetConfigPath(app.ctx);
        EXPECT_EQ(app.ctx.CFG.ConfigPath, c.expected);
        EXPECT_EQ(app.heldTexts(), QStringList({pathLine(c.expected)}));
        EXPECT_EQ(app.ctx.CFG.LocalAppFolder, app.localAppData() + u'/');
    }
}

TEST(GetConfigPath, ReadsTheSettingAgainOnEveryCall)
{
    TestApp app;
    app.writePlayoutSetting(QStringLiteral("/srv/first"));
    GetConfigPath(app.ctx);
    EXPECT_EQ(app.ctx.CFG.ConfigPath, QStringLiteral("/srv/first/"));

    app.writePlayoutSetting(QStringLiteral("/srv/second"));
    GetConfigPath(app.ctx);
    EXPECT_EQ(app.ctx.CFG.ConfigPath, QStringLiteral("/srv/second/"));

    app.writePlayoutSetting(QString());
    GetConfigPath(app.ctx);
    EXPECT_EQ(app.ctx.CFG.ConfigPath, app.auditFolder());
    EXPECT_EQ(app.heldTexts(), QStringList({pathLine(QStringLiteral("/srv/first/")),
                                            pathLine(QStringLiteral("/srv/second/")),
                                            notFoundLine(app), pathLine(app.auditFolder())}));
}
