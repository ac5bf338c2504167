#include "app/core/Lifecycle.h"

#include "app/core/AppController.h"
#include "support/ConfigLookupLines.h"
#include "support/QtPrinters.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// Thursday, so the day line reads THU and the purge cut-off is the Thursday before.
const QDateTime StartTime(QDate(2017, 7, 20), QTime(14, 3, 27));
const QDate StartDay = StartTime.date();

QString asterisks()
{
    return QString(108, u'*');
}

QString hyphens()
{
    return QString(108, u'-');
}

void putCurlBesideProgram(const TestApp &app)
{
    ASSERT_TRUE(QFile::link(QStringLiteral("/usr/bin/curl"),
                            app.programFolder() + QStringLiteral("/curl")));
}

void setModified(const QString &path, const QDateTime &when)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
}

QStringList opening()
{
    return {asterisks(), QStringLiteral("Form_Load| Application Started."),
            QStringLiteral("Form_Load| Application Version: 1.0.46")};
}

QStringList dateFormats()
{
    return {
        QStringLiteral("Form_Load| Date formats (for debug purposes). Dayof Week (ddd): 'THU'"),
        QStringLiteral(
            "Form_Load| Date formats (for debug purposes). Date string (dd/MM/yyyy): '20/07/2017'"),
        QStringLiteral("Form_Load| Time formats (for debug purposes). (eg.'23:00'): '14:03'")};
}

QString curlFound(const TestApp &app)
{
    return QStringLiteral("CurlCheck| File exists: '") + app.programFolder() +
           QStringLiteral("/curl'");
}

QStringList folders(const TestApp &app, const QString &configFolder)
{
    return {QStringLiteral("Form_Load| LocalAppFolder (audit location): '") + app.localAppData() +
                QStringLiteral("/'"),
            QStringLiteral("Form_Load| Working Directory: '") + app.programFolder() +
                QStringLiteral("/'"),
            QStringLiteral("Form_Load| Configuration Directory: '") + configFolder + u'\''};
}

QStringList purge(const TestApp &app, const QStringList &found, int purged)
{
    QStringList lines{
        QStringLiteral("Form_Load| PurgeFiles: Purge files before=13/07/2017 23:59:00"),
        QStringLiteral("PurgeFiles| About to search for audit files...") + app.auditFolder() +
            QStringLiteral("tunebarn*adt.txt"),
        QStringLiteral("PurgeFiles| Found 1st audit file=") + found.value(0)};
    for (const QString &name : found)
        lines.append(QStringLiteral("PurgeFiles| Found audit file=") + name);
    lines.append(QStringLiteral("Form_Load| PurgeFiles: Purged audit files=") +
                 QString::number(purged));
    return lines;
}

QStringList withTime(const QString &time, const QStringList &texts)
{
    QStringList lines;
    for (const QString &text : texts)
        lines.append(time + QStringLiteral("  ") + text);
    return lines;
}

const QByteArray LoadableConfig = "[General]\r\nUploadURL=http://127.0.0.1:9/upload\r\n";

// A box that cannot be shown: the failure start-up must survive.
class FailingDialogs : public ScriptedDialogs
{
public:
    void showMessage(const QString &text, const QString &title, Icon icon) override
    {
        ScriptedDialogs::showMessage(text, title, icon);
        if (failAll || title == QStringLiteral("Curl.exe is Missing."))
            throw std::runtime_error("no screen for the box");
    }
    bool failAll = false;
};

} // namespace

TEST(Lifecycle, StartBlockWithTheConfigurationPresent)
{
    TestApp app(StartTime);
    putCurlBesideProgram(app);
    app.writeConfig(LoadableConfig);
    const QString expired =
        app.writeFile(app.auditFolder() + QStringLiteral("Tunebarn100717Adt.txt"), "old\r\n");
    const QString recent =
        app.writeFile(app.auditFolder() + QStringLiteral("Tunebarn140717Adt.txt"), "recent\r\n");
    setModified(expired, QDateTime(QDate(2017, 7, 13), QTime(23, 59)));
    setModified(recent, QDateTime(QDate(2017, 7, 13), QTime(23, 59, 1)));

    Form_Load(app.ctx);

    const QStringList expected =
        QStringList() << opening() << dateFormats() << curlFound(app) << configLookupLines(app)
                      << QStringLiteral("Configmnu_Click| Configuration loaded successfully: '") +
                             app.auditFolder() + QStringLiteral("tunebarn.ini'")
                      << folders(app, app.auditFolder())
                      << purge(app,
                               {QStringLiteral("Tunebarn100717Adt.txt"),
                                QStringLiteral("Tunebarn140717Adt.txt")},
                               1);
    EXPECT_EQ(app.auditLines(StartDay), withTime(QStringLiteral("14:03:27"), expected));
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(expired));
    EXPECT_TRUE(QFileInfo::exists(recent));
    EXPECT_TRUE(app.dialogs.shown.isEmpty());
    EXPECT_EQ(app.view.status, QStringLiteral("Config loaded.14:03"));
    EXPECT_EQ(app.view.caption, QStringLiteral("Tunebarn Uploader: 14:03"));
    EXPECT_EQ(app.ctx.LastMinute, QStringLiteral("14:03"));
    EXPECT_EQ(app.ctx.WorkingDirectory, app.programFolder() + u'/');
    EXPECT_EQ(app.ctx.CFG.LocalAppFolder, app.localAppData() + u'/');
}

TEST(Lifecycle, NewAuditFolderIsCreatedAndLogged)
{
    TestApp app(StartTime);
    putCurlBesideProgram(app);
    const QString shared = app.home() + QStringLiteral("/shared/");
    app.writeConfig(LoadableConfig, shared);
    app.writePlayoutSetting(shared);
    ASSERT_FALSE(QFileInfo::exists(app.auditFolder()));

    Form_Load(app.ctx);

    const QStringList expected =
        QStringList() << opening()
                      << QStringLiteral(
                             "CheckAuditFolderExists| Local App path doesnt exist. Creating: ") +
                             app.auditFolder()
                      << dateFormats() << curlFound(app)
                      << QStringLiteral("Configmnu_Click| Button Clicked.")
                      << QStringLiteral("GetConfigPath: CFG.ConfigPath='") + shared + u'\''
                      << QStringLiteral("Configmnu_Click| Reading configuration: '") + shared +
                             QStringLiteral("tunebarn.ini'")
                      << QStringLiteral("Configmnu_Click| Configuration loaded successfully: '") +
                             shared + QStringLiteral("tunebarn.ini'")
                      << folders(app, shared) << purge(app, {}, 0);
    EXPECT_EQ(app.auditTexts(StartDay), expected);
    EXPECT_TRUE(QFileInfo(app.auditFolder()).isDir());
}

TEST(Lifecycle, MissingConfigurationIsAnsweredAndTheWholeBlockIsStillWritten)
{
    TestApp app(StartTime);
    putCurlBesideProgram(app);
    QDir().mkpath(app.auditFolder());
    bool fileWhileBoxOpen = true;
    app.dialogs.whileOpen = [&] {
        fileWhileBoxOpen = QFileInfo::exists(app.auditFilePath(StartDay));
    };

    Form_Load(app.ctx);

    const QString path = app.auditFolder() + QStringLiteral("tunebarn.ini");
    ASSERT_EQ(app.dialogs.shown.size(), 1);
    EXPECT_EQ(app.dialogs.shown[0].text, path);
    EXPECT_EQ(app.dialogs.shown[0].title, QStringLiteral("File doesnt exist."));
    EXPECT_EQ(app.dialogs.shown[0].icon, Dialogs::Icon::Critical);
    EXPECT_FALSE(fileWhileBoxOpen) << "nothing reaches the file before start-up's flush";

    const QStringList expected =
        QStringList() << opening() << dateFormats() << curlFound(app) << configLookupLines(app)
                      << QStringLiteral("Configmnu_Click| Configuration file doesnt exist: '") +
                             path + u'\''
                      << folders(app, app.auditFolder()) << purge(app, {}, 0);
    EXPECT_EQ(app.auditTexts(StartDay), expected);
    EXPECT_EQ(app.view.status, QStringLiteral("Idle"));
    EXPECT_TRUE(app.view.statusHistory.isEmpty());
    EXPECT_TRUE(app.ctx.CFG.UploadURL.isEmpty());
}

TEST(Lifecycle, MissingCurlIsReportedAndStartUpGoesOn)
{
    TestApp app(StartTime);
    app.writeConfig(LoadableConfig);

    Form_Load(app.ctx);

    const QString expected = app.programFolder() + QStringLiteral("/curl");
    ASSERT_EQ(app.dialogs.shown.size(), 1);
    EXPECT_EQ(app.dialogs.shown[0].title, QStringLiteral("Curl.exe is Missing."));
    EXPECT_EQ(app.dialogs.shown[0].text,
              QStringLiteral("File doesnt exist:\r'") + expected + u'\'');
    const QStringList texts = app.auditTexts(StartDay);
    EXPECT_EQ(texts.mid(6, 2),
              QStringList({QStringLiteral("CurlCheck| File doesnt exist. '") + expected + u'\'',
                           QStringLiteral("Configmnu_Click| Button Clicked.")}));
    EXPECT_EQ(texts.last(), QStringLiteral("Form_Load| PurgeFiles: Purged audit files=0"));
    EXPECT_EQ(app.view.status, QStringLiteral("Config loaded.14:03"));
}

TEST(Lifecycle, UnsetOrEmptyLocalAppDataFallsBackToTheUserDataFolder)
{
    for (const bool unset : {true, false}) {
        SCOPED_TRACE(unset ? "unset" : "empty");
        TestApp app(StartTime);
        putCurlBesideProgram(app);
        if (unset)
            app.environment.variables.remove(QStringLiteral("LocalAppData"));
        else
            app.environment.variables.insert(QStringLiteral("LocalAppData"), QString());

        Form_Load(app.ctx);

        const QString dataFolder = app.home() + QStringLiteral("/data/");
        EXPECT_EQ(app.ctx.CFG.LocalAppFolder, dataFolder);
        EXPECT_EQ(app.ctx.CFG.ConfigPath, dataFolder + QStringLiteral("TunebarnUploader/"));
        QFile file(dataFolder + QStringLiteral("TunebarnUploader/Tunebarn200717Adt.txt"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll().contains("Form_Load| LocalAppFolder (audit location): '" +
                                            dataFolder.toUtf8() + "'\r\n"));
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/TunebarnUploader")));
        EXPECT_FALSE(QFileInfo::exists(app.auditFolder()));
    }
}

TEST(Lifecycle, FolderTextsGetOneTrailingSeparator)
{
    TestApp app(StartTime);
    app.environment.variables.insert(QStringLiteral("LocalAppData"), app.localAppData() + u'/');
    app.environment.programDir = QStringLiteral("/");

    Form_Load(app.ctx);

    EXPECT_EQ(app.ctx.CFG.LocalAppFolder, app.localAppData() + u'/');
    EXPECT_EQ(app.ctx.WorkingDirectory, QStringLiteral("/"));
    EXPECT_TRUE(
        app.auditTexts(StartDay).contains(QStringLiteral("Form_Load| Working Directory: '/'")));
}

TEST(Lifecycle, TickServedWhileAStartUpBoxIsOpen)
{
    TestApp app(StartTime);
    AppController controller(app.ctx);
    QStringList writtenDuringSameMinuteTick{QStringLiteral("(not run)")};
    QStringList writtenDuringNextMinuteTick;
    QString captionAfterNextMinuteTick;
    // The first box (curl missing) is open across a tick of the start-up minute, the second
    // (configuration missing) across the first tick of the next minute, as Timer1 would serve them.
    app.dialogs.whileOpen = [&] {
        if (app.dialogs.shown.size() == 1) {
            app.clock.set(StartDay, QTime(14, 3, 52));
            controller.timerTick();
            writtenDuringSameMinuteTick = app.auditTexts(StartDay);
            return;
        }
        app.clock.set(StartDay, QTime(14, 4, 2));
        controller.timerTick();
        writtenDuringNextMinuteTick = app.auditTexts(StartDay);
        captionAfterNextMinuteTick = app.view.caption;
    };

    controller.load();

    ASSERT_EQ(app.dialogs.shown.size(), 2);
    EXPECT_TRUE(writtenDuringSameMinuteTick.isEmpty())
        << "a tick in the start-up minute returns at once";
    const QString missing = app.programFolder() + QStringLiteral("/curl");
    const QStringList gathered =
        QStringList() << opening()
                      << QStringLiteral(
                             "CheckAuditFolderExists| Local App path doesnt exist. Creating: ") +
                             app.auditFolder()
                      << dateFormats()
                      << QStringLiteral("CurlCheck| File doesnt exist. '") + missing + u'\''
                      << configLookupLines(app);
    EXPECT_EQ(writtenDuringNextMinuteTick, gathered);
    EXPECT_EQ(captionAfterNextMinuteTick, QStringLiteral("Tunebarn Uploader: 14:04"));
    EXPECT_EQ(app.ctx.LastMinute, QStringLiteral("14:04"));

    const QString path = app.auditFolder() + QStringLiteral("tunebarn.ini");
    const QStringList rest =
        QStringList() << QStringLiteral("Configmnu_Click| Configuration file doesnt exist: '") +
                             path + u'\''
                      << folders(app, app.auditFolder())
                      << purge(app, {QStringLiteral("Tunebarn200717Adt.txt")}, 0);
    EXPECT_EQ(app.auditLines(StartDay),
              QStringList() << withTime(QStringLiteral("14:03:27"), gathered.mid(0, 8))
                            << withTime(QStringLiteral("14:03:52"), gathered.mid(8))
                            << withTime(QStringLiteral("14:04:02"), rest));
    EXPECT_EQ(app.auditTexts(StartDay).count(asterisks()), 1);
}

TEST(Lifecycle, ShowDueInTheStartUpMinuteWaitsForItsNextMatchingMinute)
{
    TestApp app(StartTime);
    putCurlBesideProgram(app);
    const QString recording = app.home() + QStringLiteral("/shows/gone.mp3");
    app.writeConfig("[General]\r\nUploadURL=http://127.0.0.1:9/upload\r\n[Show1]\r\nFilename=" +
                    recording.toUtf8() +
                    "\r\nTitle=Lunch\r\nUploadDay=Thu\r\nUploadTime=14:03\r\n");
    AppController controller(app.ctx);
    controller.load();
    const QString timeFound = QStringLiteral("Timer1_Timer| Show Upload [1] Time found: '") +
                              recording + QStringLiteral("' Show Upload date: 'THU'");

    for (const QTime &time : {QTime(14, 3, 32), QTime(14, 3, 57), QTime(14, 4, 2)}) {
        app.clock.set(StartDay, time);
        controller.timerTick();
    }
    EXPECT_FALSE(app.auditTexts(StartDay).contains(timeFound));
    EXPECT_FALSE(app.heldTexts().contains(timeFound));

    const QDate nextThursday = StartDay.addDays(7);
    app.clock.set(nextThursday, QTime(14, 3, 2));
    controller.timerTick();
    EXPECT_EQ(app.auditTexts(nextThursday),
              QStringList(
                  {timeFound,
                   QStringLiteral("Timer1_Timer| Show Upload [1] Day found: '") + recording + u'\'',
                   QStringLiteral("UploadShow| Started..."),
                   QStringLiteral("UploadShow| Show file doesnt exist: '") + recording + u'\''}));
}

TEST(Lifecycle, UnloadAddsItsTwoLinesToWhatIsBufferedAndWritesThemAll)
{
    TestApp app(StartTime);
    putCurlBesideProgram(app);
    app.writeConfig(LoadableConfig);
    AppController controller(app.ctx);
    controller.load();
    const QStringList startBlock = app.auditLines(StartDay);
    app.clock.set(StartDay, QTime(14, 3, 40));
    controller.refreshConfig();
    const QStringList buffered = app.ctx.Audit.heldLines();
    ASSERT_EQ(buffered.size(), 5);

    app.clock.set(StartDay, QTime(14, 3, 45));
    controller.unload();

    EXPECT_EQ(app.auditLines(StartDay),
              QStringList() << startBlock << buffered
                            << QStringLiteral("14:03:45  Form_Unload| Application Closing.")
                            << QStringLiteral("14:03:45  ") + hyphens());
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());

    const QStringList closed = app.auditLines(StartDay);
    controller.unload();
    app.clock.set(StartDay, QTime(14, 4, 5));
    controller.timerTick();
    EXPECT_EQ(app.auditLines(StartDay), closed) << "nothing runs once the block is closed";
}

TEST(Lifecycle, FailingStepIsLoggedShownAndStartUpGoesOn)
{
    for (const bool failAll : {false, true}) {
        SCOPED_TRACE(failAll ? "the error box fails too" : "only the curl box fails");
        TestApp app(StartTime);
        app.writeConfig(LoadableConfig);
        FailingDialogs dialogs;
        dialogs.failAll = failAll;
        Platform platform{app.clock,    dialogs,         app.events,
                          app.settings, app.environment, app.desktop};
        AppContext ctx(platform);
        ctx.setView(&app.view);

        Form_Load(ctx);

        const QString error = QStringLiteral("Form_Load| ERROR: no screen for the box");
        QStringList afterCurlCheck{error};
        if (failAll)
            afterCurlCheck.append(error);
        const QStringList texts = app.auditTexts(StartDay);
        ASSERT_GE(texts.size(), 10);
        EXPECT_EQ(texts.mid(7, afterCurlCheck.size()), afterCurlCheck);
        EXPECT_EQ(texts.mid(7 + afterCurlCheck.size(), 1),
                  QStringList{QStringLiteral("Configmnu_Click| Button Clicked.")});
        EXPECT_EQ(texts.last(), QStringLiteral("Form_Load| PurgeFiles: Purged audit files=0"));
        ASSERT_EQ(dialogs.shown.size(), 2);
        EXPECT_EQ(dialogs.shown[1].text, error);
        EXPECT_EQ(dialogs.shown[1].title, QStringLiteral("Tunebarn Uploader"));
        EXPECT_EQ(dialogs.shown[1].icon, Dialogs::Icon::Critical);
        EXPECT_EQ(app.view.status, QStringLiteral("Config loaded.14:03"));
        EXPECT_TRUE(ctx.Audit.heldLines().isEmpty());
    }
}
