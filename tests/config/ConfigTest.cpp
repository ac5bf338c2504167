#include "config/ConfigLocation.h"
#include "config/ConfigReader.h"
#include "config/RefreshConfig.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QString repeated(const QString &text, int times)
{
    return text.repeated(times);
}

QString fallbackLine(const TestApp &app)
{
    return u"GetConfigPath: Rulmo Config path not found. Using Local App path='"_s +
           app.auditFolder() + u'\'';
}

QString pathLine(const QString &path)
{
    return u"GetConfigPath: CFG.ConfigPath='"_s + path + u'\'';
}

TEST(GetConfigPath, SettingAsStoredWithASeparatorAddedElseTheProgramsFolder)
{
    SKIP_ON_WINDOWS("the store is the registry; the smoke test sets it with reg add");
    struct Case
    {
        QByteArray settingsFile; // empty: no file at all
        QString expected;        // empty: the fallback
    } cases[] = {
        {"", {}},
        {"[Settings]\nCFG Folder=\n", {}},
        {"[Settings]\nOther=/srv\n", {}},
        {"[settings]\ncfg folder=/srv/radio\n", u"/srv/radio/"_s},
        {"[Settings]\nCFG Folder=/srv/radio/\n", u"/srv/radio/"_s},
        {"[Settings]\nCFG Folder=   \n", u"   /"_s},
        {"[Settings]\nCFG Folder=\"/srv/q\"  \n", u"\"/srv/q\"  /"_s},
    };
    for (const Case &c : cases) {
        TestApp app;
        if (!c.settingsFile.isEmpty())
            app.writeFile(u"config/Rulmo Playout System.ini"_s, c.settingsFile);
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
#ifndef Q_OS_WIN
    EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
#endif
    return path;
}

TEST(GetConfigPath, AStoreThatCannotBeReadIsSaidBeforeTheFallback)
{
    SKIP_ON_WINDOWS("the store is the registry, and Windows has no named pipes in its folders");
    TestApp app;
    const QString store = makeFifo(app, u"config/Rulmo Playout System.ini"_s);
    GetConfigPath(app.ctx);
    EXPECT_EQ(app.heldTexts(),
              QStringList({u"GetConfigPath| ERROR: 22 Not a regular file '"_s + store + u'\'',
                           fallbackLine(app), pathLine(app.auditFolder())}));
}

// One value in [Show1] as ReadConfig stores it, from a file in UTF-8 on every system.
QString stored(const QByteArray &line)
{
    TestApp app;
    EXPECT_TRUE(ReadConfig(
        app.ctx,
        app.writeConfig("\xEF\xBB\xBF[General]\nUploadURL=http://h/\n[Show1]\n" + line + '\n')));
    return app.ctx.ShowTable.Title[1];
}

TEST(ReadConfig, ValuesAreCutTo254CharactersThenStrippedOfSpaces)
{
    const QString a250 = repeated(u"a"_s, 250);
    const struct
    {
        QByteArray line;
        QString expected;
    } cases[] = {
        {"Title=   padded   ", u"padded"_s},
        {"Title=\"   quoted   \"", u"quoted"_s},
        {"Title=\"\tquoted\t\"", u"\tquoted\t"_s},
        {"Title=", QString()},
        {"Title=" + repeated(u"x"_s, 254).toUtf8(), repeated(u"x"_s, 254)},
        {"Title=" + repeated(u"x"_s, 255).toUtf8(), repeated(u"x"_s, 254)},
        {"Title=" + (a250 + u"    bbbb"_s).toUtf8(), a250},
        {"Title=\"" + repeated(u"q"_s, 254).toUtf8() + "\"", repeated(u"q"_s, 254)},
        {"Title=" + repeated(u"\U0001F3B5"_s, 300).toUtf8(), repeated(u"\U0001F3B5"_s, 254)},
        {"Title=" + (repeated(u"a"_s, 253) + u"\U0001F3B5zz"_s).toUtf8(),
         repeated(u"a"_s, 253) + u"\U0001F3B5"_s},
    };
    for (const auto &c : cases)
        EXPECT_EQ(stored(c.line), c.expected) << c.line.left(40).toStdString();
}

TEST(ReadConfig, FillsTheWholeTableAndReplacesTheLastOne)
{
    TestApp app;
    app.ctx.ShowTable.Title[9] = u"from an earlier read"_s;
    const QString path =
        app.writeConfig("[general]\nuploadurl = \" https://h.example/up?token=a=b \"\n"
                        "[SHOW100]\nFilename=/r/100.mp3\nTitle=T\nDescription=D\nUploadDay=Sun\n"
                        "UploadTime=09:00\nPicture=/r/100.jpg\nMaxUploadRate=1M\n"
                        "[show7]\nTitle=seven\n[Show0]\nTitle=zero\n[Show101]\nTitle=high\n"
                        "[Show007]\nTitle=padded\n[Show7]\nTitle=repeat\n");
    ASSERT_TRUE(ReadConfig(app.ctx, path));
    const ShowTableRecord &t = app.ctx.ShowTable;
    EXPECT_EQ(app.ctx.CFG.UploadURL, u"https://h.example/up?token=a=b"_s);
    EXPECT_EQ(QStringList({t.Filename[100], t.Title[100], t.Description[100], t.UploadDay[100],
                           t.UploadTime[100], t.Picture[100], t.MaxUploadRate[100]}),
              QStringList({u"/r/100.mp3"_s, u"T"_s, u"D"_s, u"Sun"_s, u"09:00"_s, u"/r/100.jpg"_s,
                           u"1M"_s}));
    EXPECT_EQ(t.Title[7], u"seven"_s);
    for (int show : {0, 1, 9, 99})
        EXPECT_TRUE(t.Title[show].isEmpty()) << show;
    EXPECT_TRUE(app.heldTexts().isEmpty());
}

TEST(ReadConfig, SafeguardsAreWholeNumbersInRange)
{
    TestApp app;
    ASSERT_TRUE(ReadConfig(
        app.ctx,
        app.writeConfig("[General]\nCatchUpMinutes=15\nRetryCount=-1\nRetryDelaySeconds=0\n"
                        "UploadTimeoutMinutes=99999999\nPreflightMinutes=1441\n"
                        "FailureCommand= /bin/alert \n"
                        "MaxUploadRate= 08:00,1M \nUploadPriority=NORMAL\n"
                        "CACertificates=/etc/station ca.pem\nSkipShortRecordings=1\n"
                        "[Show2]\nSkipShortRecordings=0\n")));
    // A show's own switch turns [General]'s off.
    EXPECT_TRUE(app.ctx.Options.recording.skipShort);
    EXPECT_FALSE(app.ctx.RecordingRules[2].skipShort);
    EXPECT_EQ(app.ctx.Options.catchUpMinutes, 15);
    EXPECT_EQ(app.ctx.Options.retryCount, 0);
    // A service that refuses at once is never tried again sooner.
    EXPECT_EQ(app.ctx.Options.retryDelaySeconds, 10);
    EXPECT_EQ(app.ctx.Options.uploadTimeoutMinutes, UploadOptions::MaxTimeoutMinutes);
    // The check ahead looks a day ahead at most.
    EXPECT_EQ(app.ctx.Options.preflightMinutes, 24 * 60);
    EXPECT_EQ(app.ctx.Options.failureCommand, u"/bin/alert"_s);
    EXPECT_EQ(app.ctx.Options.caCertificates, u"/etc/station ca.pem"_s);
    EXPECT_EQ(app.ctx.Options.maxUploadRate, u"08:00,1M"_s);
    EXPECT_FALSE(app.ctx.Options.lowUploadPriority);
    ASSERT_TRUE(ReadConfig(app.ctx, app.writeConfig("[General]\nUploadPriority=high\n")));
    EXPECT_TRUE(app.ctx.Options.lowUploadPriority);
    // A key left out takes its default again.
    EXPECT_EQ(app.ctx.Options.retryDelaySeconds, 60);
    EXPECT_EQ(app.ctx.Options.stopGraceSeconds, 20);
    EXPECT_EQ(app.ctx.Options.alivePingMinutes, 5);
}

TEST(ReadConfig, AnAddressCurlWouldMisreadIsRefused)
{
    const struct
    {
        QByteArray url;
        bool refused;
    } cases[] = {{"-K/etc/evil.cfg", true},
                 {"http://h/a b", true},
                 {"http://h/a\tb", true},
                 {"http://h/-a", false}};
    for (const auto &c : cases) {
        TestApp app;
        ASSERT_TRUE(ReadConfig(app.ctx, app.writeConfig("[General]\nUploadURL=" + c.url + '\n')));
        EXPECT_EQ(app.ctx.CFG.UploadURL.isEmpty(), c.refused) << c.url.toStdString();
        EXPECT_EQ(app.heldTexts().size(), c.refused ? 1 : 0);
        if (c.refused) {
            EXPECT_TRUE(app.heldTexts().constFirst().startsWith(
                u"ReadConfig| ERROR: [General] UploadURL is refused"_s));
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
    app.ctx.LastMinute = u"14:05"_s;
    const QString path = app.auditFolder() + u"tunebarn.ini"_s;
    const QString quoted = u'\'' + path + u'\'';

    Outcome missing = refresh(app);
    EXPECT_EQ(missing.status, u"Idle"_s);
    EXPECT_EQ(missing.lastLines,
              QStringList({u"Configmnu_Click| Reading configuration: "_s + quoted,
                           u"Configmnu_Click| Configuration file doesnt exist: "_s + quoted}));
    ASSERT_EQ(missing.boxes, 1);
    EXPECT_EQ(app.dialogs.messages()[0].text, path);
    EXPECT_EQ(app.dialogs.messages()[0].title, u"File doesnt exist."_s);
    EXPECT_EQ(app.dialogs.messages()[0].icon, Dialogs::Icon::Critical);
    EXPECT_EQ(app.heldTexts().first(), u"Configmnu_Click| Button Clicked."_s);

    app.writeConfig("[Show1]\nTitle=kept as read\n");
    const Outcome error = refresh(app);
    EXPECT_EQ(error.status, u"Config Error.14:05"_s);
    EXPECT_EQ(error.lastLines.last(),
              u"Configmnu_Click| Configuration NOT loaded successfully: "_s + quoted);
    EXPECT_EQ(app.ctx.ShowTable.Title[1], u"kept as read"_s);

    app.writeConfig("[General]\nUploadURL=http://h/\n");
    const Outcome loaded = refresh(app);
    EXPECT_EQ(loaded.status, u"Config loaded.14:05"_s);
    EXPECT_EQ(loaded.lastLines.last(),
              u"Configmnu_Click| Configuration loaded successfully: "_s + quoted);
    EXPECT_EQ(loaded.boxes, 1);
    EXPECT_FALSE(QFile::exists(app.auditFilePath(TestApp::sunday().date())));
}

TEST(RefreshConfig, FollowsTheSettingAndKeepsTheConfigurationWhenTheFileCannotBeRead)
{
    SKIP_ON_WINDOWS("the store is the registry, and Windows has no named pipes in its folders");
    TestApp app;
    app.writePlayoutSetting(app.home() + u"/station"_s);
    app.writeFile(u"station/tunebarn.ini"_s,
                  "[General]\nUploadURL=http://h/\n[Show1]\nTitle=kept\n");
    configmnu_Click(app.ctx);
    app.writePlayoutSetting(app.home() + u"/other"_s);
    const QString fifo = makeFifo(app, u"other/tunebarn.ini"_s);
    configmnu_Click(app.ctx);
    EXPECT_EQ(app.view.status, u"Config Error.14:03"_s);
    EXPECT_EQ(app.ctx.CFG.UploadURL, u"http://h/"_s);
    EXPECT_EQ(app.ctx.ShowTable.Title[1], u"kept"_s);
    const QStringList held = app.heldTexts();
    EXPECT_EQ(held.mid(held.size() - 2),
              QStringList(
                  {u"ReadConfig| ERROR: 22 Not a regular file '"_s + fifo + u'\'',
                   u"Configmnu_Click| Configuration NOT loaded successfully: '"_s + fifo + u'\''}));
}

} // namespace
