#include "platform/SettingsStore.h"

#include "support/QtPrinters.h"
#include "support/TestApp.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

const QString Application = QStringLiteral("Rulmo Playout System");

QString readFolderSetting(const TestApp &app)
{
    return app.settings.readText(Application, QStringLiteral("Settings"),
                                 QStringLiteral("CFG Folder"));
}

} // namespace

TEST(SettingsStore, LivesInTheUserConfigFolderUnderTheApplicationName)
{
    TestApp app;
    EXPECT_EQ(app.settings.settingsFilePath(Application),
              app.environment.configDir + QStringLiteral("/Rulmo Playout System.ini"));
}

TEST(SettingsStore, ValueIsTakenExactlyAsStored)
{
    struct Case
    {
        const char *what;
        QByteArray file;
        QString expected;
    };
    const QList<Case> cases{
        {"plain folder", "[Settings]\nCFG Folder=/srv/radio\n", QStringLiteral("/srv/radio")},
        {"spaces only", "[Settings]\nCFG Folder=   \n", QStringLiteral("   ")},
        {"blanks around the value kept", "[Settings]\nCFG Folder= \t/srv/radio \n",
         QStringLiteral(" \t/srv/radio ")},
        {"quotes kept", "[Settings]\nCFG Folder=\"/srv/radio\"\n",
         QStringLiteral("\"/srv/radio\"")},
        {"equals in the value", "[Settings]\nCFG Folder=/srv/a=b\n", QStringLiteral("/srv/a=b")},
        {"CR LF is not part of the value", "[Settings]\r\nCFG Folder=/srv/radio\r\n",
         QStringLiteral("/srv/radio")},
        {"no final newline", "[Settings]\nCFG Folder=/srv/radio", QStringLiteral("/srv/radio")},
        {"names in another case", "[settings]\ncfg folder=/srv/radio\n",
         QStringLiteral("/srv/radio")},
        {"blanks around the key name", "[Settings]\n CFG Folder \t=/srv/radio\n",
         QStringLiteral("/srv/radio")},
        {"first duplicate wins", "[Settings]\nCFG Folder=/a\nCFG Folder=/b\n",
         QStringLiteral("/a")},
        {"empty value", "[Settings]\nCFG Folder=\n", QString()},
        {"key in another section", "[Other]\nCFG Folder=/srv/radio\n", QString()},
        {"key without equals", "[Settings]\nCFG Folder\n", QString()},
        {"empty file", "", QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestApp app;
        app.writeFile(app.settings.settingsFilePath(Application), c.file);
        EXPECT_EQ(readFolderSetting(app), c.expected);
    }
}

TEST(SettingsStore, MissingOrUnreadableStoreGivesEmptyText)
{
    TestApp absent;
    EXPECT_EQ(readFolderSetting(absent), QString());

    TestApp folderInstead;
    ASSERT_TRUE(QDir().mkpath(folderInstead.settings.settingsFilePath(Application)));
    EXPECT_EQ(readFolderSetting(folderInstead), QString());

    TestApp noConfigFolder;
    noConfigFolder.environment.configDir = noConfigFolder.home() + QStringLiteral("/missing");
    EXPECT_EQ(readFolderSetting(noConfigFolder), QString());
}
