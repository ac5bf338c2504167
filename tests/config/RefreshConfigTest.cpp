#include "config/RefreshConfig.h"

#include "support/ConfigLookupLines.h"
#include "support/QtPrinters.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

QString configFile(const TestApp &app)
{
    return app.auditFolder() + QStringLiteral("tunebarn.ini");
}

void setPreviousConfiguration(TestApp &app)
{
    app.ctx.CFG.UploadURL = QStringLiteral("https://previous.example/");
    app.ctx.ShowTable.Title[3] = QStringLiteral("previous show");
}

} // namespace

TEST(RefreshConfig, FileWithAddressLoads)
{
    TestApp app;
    app.writeConfig("[General]\r\nUploadURL=https://h.example/up\r\n[Show3]\r\nTitle=Morning\r\n");
    configmnu_Click(app.ctx);

    EXPECT_EQ(app.view.status, QStringLiteral("Config loaded.14:03"));
    EXPECT_TRUE(app.dialogs.shown.isEmpty());
    EXPECT_EQ(app.heldTexts(), configLookupLines(app)
                                   << QStringLiteral(
                                          "Configmnu_Click| Configuration loaded successfully: '") +
                                          configFile(app) + u'\'');
    EXPECT_EQ(app.ctx.CFG.UploadURL, QStringLiteral("https://h.example/up"));
    EXPECT_EQ(app.ctx.ShowTable.Title[3], QStringLiteral("Morning"));
}

TEST(RefreshConfig, FileWithoutAddressIsAConfigErrorButFillsTheShows)
{
    struct Case
    {
        const char *what;
        QByteArray file;
    };
    const QList<Case> cases{
        {"no UploadURL key", "[General]\r\nOther=x\r\n[Show3]\r\nTitle=Morning\r\n"},
        {"empty UploadURL", "[General]\r\nUploadURL=\r\n[Show3]\r\nTitle=Morning\r\n"},
        {"UploadURL of spaces", "[General]\r\nUploadURL=\"    \"\r\n[Show3]\r\nTitle=Morning\r\n"},
        {"no General section", "[Show3]\r\nTitle=Morning\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestApp app;
        setPreviousConfiguration(app);
        app.writeConfig(c.file);
        configmnu_Click(app.ctx);

        EXPECT_EQ(app.view.status, QStringLiteral("Config Error.14:03"));
        EXPECT_TRUE(app.dialogs.shown.isEmpty());
        EXPECT_EQ(app.heldTexts(),
                  configLookupLines(app)
                      << QStringLiteral(
                             "Configmnu_Click| Configuration NOT loaded successfully: '") +
                             configFile(app) + u'\'');
        EXPECT_EQ(app.ctx.CFG.UploadURL, QString());
        EXPECT_EQ(app.ctx.ShowTable.Title[3], QStringLiteral("Morning"));
    }
}

TEST(RefreshConfig, MissingFileShowsTheModalBoxAndKeepsEverything)
{
    struct Case
    {
        const char *what;
        bool folderInstead;
    };
    for (const Case &c : {Case{"no file", false}, Case{"a folder named tunebarn.ini", true}}) {
        SCOPED_TRACE(c.what);
        TestApp app;
        setPreviousConfiguration(app);
        if (c.folderInstead) {
            ASSERT_TRUE(QDir().mkpath(configFile(app)));
        }
        QStringList linesWhileOpen;
        app.dialogs.whileOpen = [&app, &linesWhileOpen] { linesWhileOpen = app.heldTexts(); };
        configmnu_Click(app.ctx);

        ASSERT_EQ(app.dialogs.messages().size(), 1);
        const ScriptedDialogs::Shown box = app.dialogs.messages().first();
        EXPECT_EQ(box.text, configFile(app));
        EXPECT_EQ(box.title, QStringLiteral("File doesnt exist."));
        EXPECT_EQ(box.icon, Dialogs::Icon::Critical);
        EXPECT_EQ(linesWhileOpen, configLookupLines(app));
        EXPECT_EQ(app.heldTexts(),
                  configLookupLines(app)
                      << QStringLiteral("Configmnu_Click| Configuration file doesnt exist: '") +
                             configFile(app) + u'\'');
        EXPECT_EQ(app.view.status, QStringLiteral("Idle"));
        EXPECT_TRUE(app.view.statusHistory.isEmpty());
        EXPECT_EQ(app.ctx.CFG.UploadURL, QStringLiteral("https://previous.example/"));
        EXPECT_EQ(app.ctx.ShowTable.Title[3], QStringLiteral("previous show"));
    }
}

TEST(RefreshConfig, UnreadableFileIsAConfigErrorThatKeepsThePreviousConfiguration)
{
    // Root reads through any permission bits; a file whose every read fails is made from the
    // process's own memory image, whose first page is never mapped.
    TestApp app;
    ASSERT_TRUE(QDir().mkpath(app.auditFolder()));
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), configFile(app)));
    setPreviousConfiguration(app);
    configmnu_Click(app.ctx);

    EXPECT_EQ(app.view.status, QStringLiteral("Config Error.14:03"));
    EXPECT_TRUE(app.dialogs.shown.isEmpty());
    EXPECT_EQ(
        app.heldTexts(), configLookupLines(app)
                             << QStringLiteral("ReadConfig| ERROR: 5 Input/output error '") +
                                    configFile(app) + u'\''
                             << QStringLiteral(
                                    "Configmnu_Click| Configuration NOT loaded successfully: '") +
                                    configFile(app) + u'\'');
    EXPECT_EQ(app.ctx.CFG.UploadURL, QStringLiteral("https://previous.example/"));
    EXPECT_EQ(app.ctx.ShowTable.Title[3], QStringLiteral("previous show"));
}

TEST(RefreshConfig, StatusShowsTheCurrentMinuteWithoutSeparator)
{
    TestApp app;
    app.writeConfig("[General]\r\nUploadURL=u\r\n");
    app.ctx.LastMinute = QStringLiteral("00:04");
    configmnu_Click(app.ctx);
    app.ctx.LastMinute = QStringLiteral("23:59");
    configmnu_Click(app.ctx);
    EXPECT_EQ(app.view.statusHistory, QStringList({QStringLiteral("Config loaded.00:04"),
                                                   QStringLiteral("Config loaded.23:59")}));
}

TEST(RefreshConfig, SecondRefreshFollowsAChangedFolderSetting)
{
    TestApp app;
    const QString first = app.home() + QStringLiteral("/first");
    const QString second = app.home() + QStringLiteral("/second/");
    app.writeConfig("[General]\r\nUploadURL=https://first.example/\r\n", first);
    app.writeConfig("[General]\r\nUploadURL=https://second.example/\r\n[Show1]\r\nTitle=Second\r\n",
                    second);

    app.writePlayoutSetting(first);
    configmnu_Click(app.ctx);
    EXPECT_EQ(app.ctx.CFG.ConfigPath, first + u'/');
    EXPECT_EQ(app.ctx.CFG.UploadURL, QStringLiteral("https://first.example/"));

    app.writePlayoutSetting(second);
    app.ctx.Audit.reset();
    configmnu_Click(app.ctx);
    EXPECT_EQ(app.ctx.CFG.ConfigPath, second);
    EXPECT_EQ(app.ctx.CFG.UploadURL, QStringLiteral("https://second.example/"));
    EXPECT_EQ(app.ctx.ShowTable.Title[1], QStringLiteral("Second"));
    const QString path = second + QStringLiteral("tunebarn.ini");
    EXPECT_EQ(
        app.heldTexts(),
        QStringList({QStringLiteral("Configmnu_Click| Button Clicked."),
                     QStringLiteral("GetConfigPath: CFG.ConfigPath='") + second + u'\'',
                     QStringLiteral("Configmnu_Click| Reading configuration: '") + path + u'\'',
                     QStringLiteral("Configmnu_Click| Configuration loaded successfully: '") +
                         path + u'\''}));
}

TEST(RefreshConfig, DoesNotFlushTheAuditBuffer)
{
    TestApp app;
    app.writeConfig("[General]\r\nUploadURL=u\r\n");
    configmnu_Click(app.ctx);
    EXPECT_FALSE(QFile::exists(app.auditFilePath(app.clock.now().date())));
    EXPECT_EQ(app.heldTexts().size(), 5);
}
