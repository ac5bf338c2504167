#include "config/ConfigLocation.h"
#include "config/ConfigReader.h"
#include "config/RefreshConfig.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QString repeated(const QString &text, int times)
{
    return text.repeated(times);
}

QString fallbackLine(const TestApp &app)
{
    return QStringLiteral("GetConfigPath: Rulmo Config path not found. Using Local App path='") + app.auditFolder() + u'\'';
}

QString pathLine(const QString &path)
{
    return QStringLiteral("GetConfigPath: CFG.ConfigPath='") + path + u'\'';
}

TEST(GetConfigPath, SettingAsStoredWithASeparatorAddedElseTheProgramsFolder)
{
    struct Case
    {
        QByteArray settingsFile; // empty: no file at all
        QString expected;        // empty: the fallback
    } cases[] = {
        {"", {}},
        {"[Settings]\nCFG Folder=\n", {}},
        {"[Settings]\nOther=/srv\n", {}},
        {"[settings]\ncfg folder=/srv/radio\n", QStringLiteral("/srv/radio/")},
        {"[Settings]\nCFG Folder=/srv/radio/\n", QStringLiteral("/srv/radio/")},
        {"[Settings]\nCFG Folder=   \n", QStringLiteral("   /")},
        {"[Settings]\nCFG Folder=\"/srv/q\"  \n", QStringLiteral("\"/srv/q\"  /")},
    };
    for (const Case &c : cases) {
        TestApp app;
        if (!c.settingsFile.isEmpty())
            app.writeFile(QStringLiteral("config/Rulmo Playout System.ini"), c.settingsFile);
        GetConfigPath(app.ctx);
        const QString expected = c.expected.isEmpty() ? app.auditFolder() : c.expected;
        EXPECT_EQ(app.ctx.CFG.ConfigPath, expected) << c.settingsFile.toStdString();
        QStringList lines{pathLine(expected)};
        if (c.expected.isEmpty())
            lines.prepend(fallbackLine(app));
        EXPECT_EQ(app.heldTexts(), lines);
    }
}

QString makeFifo(const TestApp &app, const QString &sub)
{
    const QString path = app.home() + u'/' + sub;
    QFile::remove(path);
    QDir().mkpath(QFileInfo(path).path());
    EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    return path;
}

TEST(GetConfigPath, AStoreThatCannotBeReadIsSaidBeforeTheFallback)
{
    TestApp app;
    const QString store = makeFifo(app, QStringLiteral("config/Rulmo Playout System.ini"));
    GetConfigPath(app.ctx);
    EXPECT_EQ(app.heldTexts(), QStringList({QStringLiteral("GetConfigPath| ERROR: 22 Not a regular file '") + store + u'\'',
                                            fallbackLine(app), pathLine(app.auditFolder())}));
}

// One value in [Show1] as ReadConfig stores it.
QString stored(const QByteArray &line)
{
    TestApp app;
    EXPECT_TRUE(ReadConfig(app.ctx, app.writeConfig("[General]\nUploadURL=http://h/\n[Show1]\n" + line + '\n')));
    return app.ctx.ShowTable.Title[1];
}

TEST(ReadConfig, ValuesAreCutTo254CharactersThenStrippedOfSpaces)
{
    const QString a250 = repeated(QStringLiteral("a"), 250);
    const struct
    {
        QByteArray line;
        QString expected;
    } cases[] = {
        {"Title=   padded   ", QStringLiteral("padded")},
        {"Title=\"   quoted   \"", QStringLiteral("quoted")},
        {"Title=\"\tquoted\t\"", QStringLiteral("\tquoted\t")},
        {"Title=", QString()},
        {"Title=" + repeated(QStringLiteral("x"), 254).toUtf8(), repeated(QStringLiteral("x"), 254)},
        {"Title=" + repeated(QStringLiteral("x"), 255).toUtf8(), repeated(QStringLiteral("x"), 254)},
        {"Title=" + (a250 + QStringLiteral("    bbbb")).toUtf8(), a250},
        {"Title=\"" + repeated(QStringLiteral("q"), 254).toUtf8() + "\"", repeated(QStringLiteral("q"), 254)},
        {"Title=" + repeated(QStringLiteral("\U0001F3B5"), 300).toUtf8(), repeated(QStringLiteral("\U0001F3B5"), 254)},
        {"Title=" + (repeated(QStringLiteral("a"), 253) + QStringLiteral("\U0001F3B5zz")).toUtf8(),
         repeated(QStringLiteral("a"), 253) + QStringLiteral("\U0001F3B5")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(stored(c.line), c.expected) << c.line.left(40).toStdString();
}

TEST(ReadConfig, FillsTheWholeTableAndReplacesTheLastOne)
{
    TestApp app;
    app.ctx.ShowTable.Title[9] = QStringLiteral("from an earlier read");
    const QString path = app.writeConfig("[general]\nuploadurl = \" https://h.example/up?token=a=b \"\n"
                                         "[SHOW100]\nFilename=/r/100.mp3\nTitle=T\nDescription=D\nUploadDay=Sun\n"
                                         "UploadTime=09:00\nPicture=/r/100.jpg\n"
                                         "[show7]\nTitle=seven\n[Show0]\nTitle=zero\n[Show101]\nTitle=high\n"
                                         "[Show007]\nTitle=padded\n[Show7]\nTitle=repeat\n");
    ASSERT_TRUE(ReadConfig(app.ctx, path));
    const ShowTableRecord &t = app.ctx.ShowTable;
    EXPECT_EQ(app.ctx.CFG.UploadURL, QStringLiteral("https://h.example/up?token=a=b"));
    EXPECT_EQ(QStringList({t.Filename[100], t.Title[100], t.Description[100], t.UploadDay[100], t.UploadTime[100],
                           t.Picture[100]}),
              QStringList({QStringLiteral("/r/100.mp3"), QStringLiteral("T"), QStringLiteral("D"), QStringLiteral("Sun"),
                           QStringLiteral("09:00"), QStringLiteral("/r/100.jpg")}));
    EXPECT_EQ(t.Title[7], QStringLiteral("seven"));
    for (int show : {0, 1, 9, 99})
        EXPECT_TRUE(t.Title[show].isEmpty()) << show;
    EXPECT_TRUE(app.heldTexts().isEmpty());
}

TEST(ReadConfig, SafeguardsAreWholeNumbersInRange)
{
    TestApp app;
    ASSERT_TRUE(ReadConfig(app.ctx, app.writeConfig("[General]\nCatchUpMinutes=15\nRetryCount=-1\nRetryDelaySeconds=x\n"
                                                    "UploadTimeoutMinutes=99999999\n")));
    EXPECT_EQ(app.ctx.Options.catchUpMinutes, 15);
    EXPECT_EQ(app.ctx.Options.retryCount, 0);
    EXPECT_EQ(app.ctx.Options.retryDelaySeconds, 60);
    EXPECT_EQ(app.ctx.Options.uploadTimeoutMinutes, UploadOptions::MaxTimeoutMinutes);
}

TEST(ReadConfig, AnAddressCurlWouldMisreadIsRefused)
{
    const struct
    {
        QByteArray url;
        bool refused;
    } cases[] = {{"-K/etc/evil.cfg", true}, {"http://h/a b", true}, {"http://h/a\tb", true}, {"http://h/-a", false}};
    for (const auto &c : cases) {
        TestApp app;
        ASSERT_TRUE(ReadConfig(app.ctx, app.writeConfig("[General]\nUploadURL=" + c.url + '\n')));
        EXPECT_EQ(app.ctx.CFG.UploadURL.isEmpty(), c.refused) << c.url.toStdString();
        EXPECT_EQ(app.heldTexts().size(), c.refused ? 1 : 0);
        if (c.refused) {
            EXPECT_TRUE(app.heldTexts().constFirst().startsWith(QStringLiteral("ReadConfig| ERROR: [General] UploadURL is refused")));
        }
    }
}

struct Outcome
{
    QString status;
    QStringList lastLines;
    int boxes;
};

Outcome refresh(TestApp &app)
{
    configmnu_Click(app.ctx);
    const QStringList held = app.heldTexts();
    return {app.view.status, held.mid(held.size() - 2), int(app.dialogs.messages().size())};
}

TEST(RefreshConfig, TheThreeOutcomes)
{
    TestApp app;
    app.ctx.LastMinute = QStringLiteral("14:05");
    const QString path = app.auditFolder() + QStringLiteral("tunebarn.ini");
    const QString quoted = u'\'' + path + u'\'';

    Outcome missing = refresh(app);
    EXPECT_EQ(missing.status, QStringLiteral("Idle"));
    EXPECT_EQ(missing.lastLines, QStringList({QStringLiteral("Configmnu_Click| Reading configuration: ") + quoted,
                                              QStringLiteral("Configmnu_Click| Configuration file doesnt exist: ") + quoted}));
    ASSERT_EQ(missing.boxes, 1);
    EXPECT_EQ(app.dialogs.messages()[0].text, path);
    EXPECT_EQ(app.dialogs.messages()[0].title, QStringLiteral("File doesnt exist."));
    EXPECT_EQ(app.dialogs.messages()[0].icon, Dialogs::Icon::Critical);
    EXPECT_EQ(app.heldTexts().first(), QStringLiteral("Configmnu_Click| Button Clicked."));

    app.writeConfig("[Show1]\nTitle=kept as read\n");
    const Outcome error = refresh(app);
    EXPECT_EQ(error.status, QStringLiteral("Config Error.14:05"));
    EXPECT_EQ(error.lastLines.last(), QStringLiteral("Configmnu_Click| Configuration NOT loaded successfully: ") + quoted);
    EXPECT_EQ(app.ctx.ShowTable.Title[1], QStringLiteral("kept as read"));

    app.writeConfig("[General]\nUploadURL=http://h/\n");
    const Outcome loaded = refresh(app);
    EXPECT_EQ(loaded.status, QStringLiteral("Config loaded.14:05"));
    EXPECT_EQ(loaded.lastLines.last(), QStringLiteral("Configmnu_Click| Configuration loaded successfully: ") + quoted);
    EXPECT_EQ(loaded.boxes, 1);
    EXPECT_FALSE(QFile::exists(app.auditFilePath(TestApp::sunday().date())));
}

TEST(RefreshConfig, FollowsTheSettingAndKeepsTheConfigurationWhenTheFileCannotBeRead)
{
    TestApp app;
    app.writePlayoutSetting(app.home() + QStringLiteral("/station"));
    app.writeFile(QStringLiteral("station/tunebarn.ini"), "[General]\nUploadURL=http://h/\n[Show1]\nTitle=kept\n");
    configmnu_Click(app.ctx);
    app.writePlayoutSetting(app.home() + QStringLiteral("/other"));
    const QString fifo = makeFifo(app, QStringLiteral("other/tunebarn.ini"));
    configmnu_Click(app.ctx);
    EXPECT_EQ(app.view.status, QStringLiteral("Config Error.14:03"));
    EXPECT_EQ(app.ctx.CFG.UploadURL, QStringLiteral("http://h/"));
    EXPECT_EQ(app.ctx.ShowTable.Title[1], QStringLiteral("kept"));
    const QStringList held = app.heldTexts();
    EXPECT_EQ(held.mid(held.size() - 2),
              QStringList({QStringLiteral("ReadConfig| ERROR: 22 Not a regular file '") + fifo + u'\'',
                           QStringLiteral("Configmnu_Click| Configuration NOT loaded successfully: '") + fifo + u'\''}));
}

} // namespace
