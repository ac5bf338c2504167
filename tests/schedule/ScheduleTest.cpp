#include "app/core/Lifecycle.h"
#include "schedule/ConfigWarnings.h"
#include "schedule/ScheduleState.h"
#include "schedule/ScheduleTick.h"
#include "support/TestApp.h"
#include "upload/RecordingReady.h"

#include <QDir>
#include <QFile>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <tuple>

using namespace Qt::StringLiterals;

namespace {

const QDate Sunday(2026, 12, 6);

// The schedule's rules, tick by tick on a fixed clock; curl is a stand-in that notes each
// title it is given and answers 200.
class ScheduleTest : public ::testing::Test
{
protected:
    ScheduleTest()
    {
        m_runs = app.home() + u"/runs"_s;
        const QString curl =
            app.writeFile(u"program/curl"_s,
                          "#!/bin/sh\nfor a; do case \"$a\" in name=*) echo \"${a#name=}\" >> '" +
                              m_runs.toUtf8() + "';; esac; done\nprintf 200\n");
        QFile::setPermissions(curl, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        app.ctx.CFG.UploadURL = u"http://127.0.0.1:1/"_s;
        app.ctx.LastMinute = u"13:00"_s;
        QDir().mkpath(app.auditFolder());
    }
    void SetUp() override { SKIP_ON_WINDOWS("curl's stand-in is a shell script"); }

    void show(int number, const QString &day, const QString &time)
    {
        ShowTableRecord &t = app.ctx.ShowTable;
        t.Filename[number] = app.writeFile(u"shows/%1.mp3"_s.arg(number), "ID3");
        t.Title[number] = u"show %1"_s.arg(number);
        t.UploadDay[number] = day;
        t.UploadTime[number] = time;
    }
    void tickAt(const QDate &date, const QTime &time)
    {
        app.clock.set(date, time);
        Timer1_Timer(app.ctx);
    }
    // The titles sent so far, in order.
    QStringList sent() const
    {
        QFile file(m_runs);
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }
    QStringList scanLines(const QDate &date = Sunday) const
    {
        QStringList lines = app.auditTexts(date).filter(u"Timer1_Timer|"_s) + app.heldTexts();
        return lines.filter(u"Timer1_Timer|"_s);
    }

    TestApp app;

private:
    QString m_runs;
};

TEST_F(ScheduleTest, ADayNameInAnyCaseOrTheDateAtTheExactMinute)
{
    const struct
    {
        const char *day;
        const char *time;
        const char *found; // empty: nothing logged
    } cases[] = {
        {"Sun", "14:05", "Day"},     {"sUN", "14:05", "Day"},  {"06/12/2026", "14:05", "Date"},
        {"07/12/2026", "14:05", ""}, {"Sunday", "14:05", ""},  {"6/12/2026", "14:05", ""},
        {"Mon", "14:05", ""},        {"Sun", "14:5", nullptr}, {"Sun", "14:05:00", nullptr},
        {"Sun", " 14:05", nullptr}};
    for (const auto &c : cases) {
        app.ctx.ShowTable = ShowTableRecord();
        app.ctx.Audit.reset();
        QFile::remove(app.auditFilePath(Sunday));
        show(4, QString::fromLatin1(c.day), QString::fromLatin1(c.time));
        app.ctx.LastMinute.clear();
        app.ctx.Schedule = ScheduleMemory();
        const qsizetype before = sent().size();
        tickAt(Sunday, QTime(14, 5, 2));
        QStringList expected;
        if (c.found) {
            const QString file = app.ctx.ShowTable.Filename[4];
            expected.append(u"Timer1_Timer| Show Upload [4] Time found: '"_s + file +
                            u"' Show Upload date: '"_s + QString::fromLatin1(c.day).toUpper() +
                            u'\'');
            if (*c.found)
                expected.append(
                    u"Timer1_Timer| Show Upload [4] %1 found: '"_s.arg(QLatin1String(c.found)) +
                    file + u'\'');
        }
        EXPECT_EQ(scanLines(), expected) << c.day << ' ' << c.time;
        EXPECT_EQ(sent().size() - before, c.found && *c.found ? 1 : 0) << c.day << ' ' << c.time;
    }
}

TEST_F(ScheduleTest, OneShowAMinuteTheLowestNumberedDue)
{
    show(2, u"Mon"_s, u"14:05"_s);
    show(3, u"Sun"_s, u"14:05"_s);
    show(5, u"Sun"_s, u"14:05"_s);
    show(6, u"Sun"_s, u"14:06"_s);
    app.clock.set(Sunday, QTime(14, 4, 30));
    showNextUpload(app.ctx, app.clock.now());
    tickAt(Sunday, QTime(14, 5, 1));
    tickAt(Sunday, QTime(14, 5, 6));
    EXPECT_EQ(sent(), QStringList{u"show 3"_s});
    // The show going out is no longer next once its upload starts.
    EXPECT_EQ(app.view.statusHistory.mid(0, 3),
              QStringList({u"next: Sun 06/12/2026 14:05 show 3 'show 3'"_s,
                           u"next: Sun 06/12/2026 14:06 show 6 'show 6'"_s, u"Uploading..."_s}));
    EXPECT_EQ(scanLines().filter(u"Time found"_s).size(), 2);
    EXPECT_EQ(app.view.caption, u"Tunebarn Uploader: 14:05"_s);
    EXPECT_EQ(app.ctx.LastMinute, u"14:05"_s);
}

TEST_F(ScheduleTest, DisabledUploadsStillMoveTheCaptionFlushAndPurge)
{
    app.view.disabled = true;
    show(1, u"Mon"_s, u"00:04"_s);
    app.ctx.AppendLog(u"held"_s);
    tickAt(QDate(2026, 12, 7), QTime(0, 4, 3));
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(app.view.caption, u"Tunebarn Uploader: 00:04"_s);
    EXPECT_EQ(app.auditTexts(QDate(2026, 12, 7)), QStringList{u"held"_s});
    // The purge's lines come after this minute's flush, and go out with the next one.
    EXPECT_EQ(app.heldTexts().first(),
              u"Timer1_Timer| PurgeFiles: Purge files before=30/11/2026 23:59:00"_s);
    EXPECT_TRUE(
        app.heldTexts().last().startsWith(u"Timer1_Timer| PurgeFiles: Purged audit files="_s));
    tickAt(QDate(2026, 12, 7), QTime(0, 5, 3));
    EXPECT_TRUE(app.heldTexts().isEmpty());
}

TEST_F(ScheduleTest, AMinuteIsHandledOnceEvenWhenTheClockComesBackAcrossMidnight)
{
    show(1, u"Sun"_s, u"23:59"_s);
    tickAt(Sunday, QTime(23, 59, 1));
    tickAt(QDate(2026, 12, 7), QTime(0, 1, 0));
    tickAt(Sunday, QTime(23, 59, 30));
    EXPECT_EQ(sent(), QStringList{u"show 1"_s});
    EXPECT_TRUE(
        app.auditTexts(Sunday).contains(u"Timer1_Timer| Minute already handled: '23:59'"_s));
}

TEST_F(ScheduleTest, SkippedMinutesAreCaughtUpOldestFirstWithinTheLimitOnlyWhenAskedFor)
{
    show(1, u"Sun"_s, u"14:10"_s);
    show(2, u"Sun"_s, u"14:20"_s);
    show(3, u"Sun"_s, u"14:29"_s);
    tickAt(Sunday, QTime(14, 4, 0));
    tickAt(Sunday, QTime(14, 30, 0));
    EXPECT_TRUE(sent().isEmpty());

    app.ctx.Options.catchUpMinutes = 15;
    tickAt(Sunday, QTime(14, 31, 0));
    tickAt(Sunday, QTime(14, 50, 0));
    EXPECT_TRUE(sent().isEmpty()); // 14:35 to 14:49: nothing due

    show(4, u"Sun"_s, u"15:20"_s);
    show(5, u"Sun"_s, u"15:10"_s);
    tickAt(Sunday, QTime(15, 30, 0));
    EXPECT_EQ(sent(), QStringList{u"show 4"_s});
    const QStringList caught = scanLines().filter(u"Catching up"_s);
    ASSERT_EQ(caught.size(), 30);
    EXPECT_EQ(caught.first(), u"Timer1_Timer| Catching up missed minute: '14:35'"_s);
    EXPECT_EQ(caught[15], u"Timer1_Timer| Catching up missed minute: '15:15'"_s);
}

TEST(ScheduleMemory, TheStateFileIsReadBackOnlyWhenWhole)
{
    const struct
    {
        QByteArray text;
        bool usable;
    } files[] = {
        {"", false},
        {"Tunebarn Uploader schedule state 1\n", true},
        {"Tunebarn Uploader schedule state 2\n", false},
        {"Tunebarn Uploader schedule state 1\nhandled 2026-12-06T14:05\n", false},
        {"Tunebarn Uploader schedule state 1\nhandled 2026-12-06T14:05 2026-12-06T14:00\n", false},
        {"Tunebarn Uploader schedule state 1\nhandled 2020-01-01T00:00 2026-12-06T14:00\n", false},
        // Three days are the most a range may span.
        {"Tunebarn Uploader schedule state 1\nhandled 2026-12-03T14:00 2026-12-06T14:00\n", true},
        {"Tunebarn Uploader schedule state 1\nhandled 2026-12-03T14:00 2026-12-06T14:01\n", false},
        {"Tunebarn Uploader schedule state 1\nstarted 2026-12-06T14:05 x\n", false},
        {"Tunebarn Uploader schedule state 1\ninterrupted 2026-12-06T14:05 1 unsent\n", true},
        {"Tunebarn Uploader schedule state 1\ninterrupted 2026-12-06T14:05 1 maybe\n", false},
        {"Tunebarn Uploader schedule state 1\ninterrupted 2026-12-06T14:05 1 sent 20\n", false},
        {"Tunebarn Uploader schedule state 1\ninterrupted 2026-12-06T14:05 1 sent 20 x\n", false},
        {"Tunebarn Uploader schedule state 1\nhandled 2026-12-06T14:05 2026-12-06T14:07\nlast "
         "2026-12-06T14:07\n"
         "started 2026-12-06T14:05 9\ninterrupted 2026-12-06T14:05 1 unsent\n"
         "interrupted 2026-12-06T14:06 2 sent 20 1765029960123\n"
         // An empty recording has a size and a time to compare too.
         "interrupted 2026-12-06T14:07 3 sent 0 1765029960123\n",
         true}};
    for (const auto &f : files)
        EXPECT_EQ(ScheduleMemory::fromText(f.text).has_value(), f.usable) << f.text.toStdString();
    const QByteArray whole = std::end(files)[-1].text;
    EXPECT_EQ(ScheduleMemory::fromText(whole)->toText(), whole);

    // A file that is not whole is named, and the program starts afresh.
    TestApp app;
    const QString path = app.writeFile(scheduleStateFile(app.ctx), files[3].text);
    EXPECT_TRUE(restoreScheduleState(app.ctx, TestApp::sunday()).isEmpty());
    EXPECT_EQ(app.heldTexts(), QStringList{u"Form_Load| WARNING: the schedule state is empty or "
                                           u"damaged, starting afresh: '"_s +
                                           path + u'\''});
}

TEST(ScheduleState, AnErrorSavingItIsToldOnceAgainWhenItChangesAndWhenMended)
{
    TestApp app;
    const QString path = scheduleStateFile(app.ctx);
    // Saved, then a folder in its place, then no folder for it at all, then mended.
    for (const auto &[prepare, saves] :
         std::initializer_list<std::pair<std::function<bool()>, int>>{
             {[&] { return QDir().mkpath(app.auditFolder()); }, 1},
             {[&] { return QFile::remove(path) && QDir().mkpath(path); }, 3},
             {[&] { return QDir(app.auditFolder()).removeRecursively(); }, 2},
             {[&] { return QDir().mkpath(app.auditFolder()); }, 2}}) {
        ASSERT_TRUE(prepare());
        for (int i = 0; i < saves; ++i)
            saveScheduleState(app.ctx, u"Timer1_Timer"_s);
    }
    expectTexts(app.heldTexts(),
                {u"Timer1_Timer| ERROR: cannot save the schedule state: *"_s,
                 u"Timer1_Timer| ERROR: cannot save the schedule state: *"_s,
                 u"Timer1_Timer| The schedule state is saved again: '"_s + path + u'\''});
    EXPECT_NE(app.heldTexts()[0], app.heldTexts()[1]);
}

TEST(StartUp, AnEmptyLocalAppDataIsNoFolder)
{
    TestApp app;
    app.environment.variables.insert(u"LocalAppData"_s, u""_s);
    EXPECT_EQ(localAppFolder(app.environment), QDir::toNativeSeparators(app.home() + u"/data/"_s));
}

TEST(StartUp, AStepThatFailsIsShownAndTheRestOfStartUpStillRuns)
{
    TestApp app;
    app.writeConfig("[General]\nUploadURL=http://127.0.0.1:1/\n");
    // No curl anywhere, and the box that says so breaks.
    app.dialogs.whileOpen = [&] {
        if (app.dialogs.shown.size() == 1)
            throw std::runtime_error("the box broke");
    };
    Form_Load(app.ctx);
    const QStringList texts = app.auditTexts();
    EXPECT_TRUE(texts.contains(u"Form_Load| ERROR: the box broke"_s));
    EXPECT_TRUE(texts.contains(u"Configmnu_Click| Configuration loaded successfully: '"_s +
                               app.auditFolder() + u"tunebarn.ini'"_s));
    EXPECT_TRUE(texts.contains(u"Form_Load| PurgeFiles: Purged audit files=0"_s));
    ASSERT_EQ(app.dialogs.messages().size(), 2);
    EXPECT_EQ(app.dialogs.messages()[1].text, u"Form_Load| ERROR: the box broke"_s);
    EXPECT_EQ(app.dialogs.messages()[1].icon, Dialogs::Icon::Critical);
}

TEST(StartUp, TheGapRightAfterStartIsCaughtUpAndARestartSendsNothingTwice)
{
    SKIP_ON_WINDOWS("curl's stand-in is a shell script");
    TestApp app(QDateTime(Sunday, QTime(14, 3, 27)));
    app.environment.pathDirs = {u"/bin"_s};
    const QString curl =
        app.writeFile(u"program/curl"_s, "#!/bin/sh\necho x >> \"$0.runs\"\nprintf 200\n");
    QFile::setPermissions(curl, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    app.writeFile(u"shows/a.mp3"_s, "ID3");
    app.writeConfig(
        "[General]\nUploadURL=http://127.0.0.1:1/\nCatchUpMinutes=5\n[Show1]\nFilename=" +
        app.home().toUtf8() + "/shows/a.mp3\nUploadDay=Sun\nUploadTime=14:05\n");
    const StartMinutes minutes = Form_Load(app.ctx);
    EXPECT_TRUE(minutes.missed.isEmpty());
    catchUpAfterStart(app.ctx, minutes.missed, minutes.start);
    // The machine slept through 14:04 to 14:07.
    app.clock.set(Sunday, QTime(14, 8, 2));
    Timer1_Timer(app.ctx);
    EXPECT_EQ(fileBytes(curl + u".runs"_s), "x\n");

    // Started again with the clock set back to 14:05: it is not due a second time, nor is last
    // week's 14:05 upload that a stop cut, since its next upload has come.
    QFile state(app.auditFolder() + u"schedule.state"_s);
    ASSERT_TRUE(state.open(QIODevice::Append));
    state.write("interrupted 2026-11-29T14:05 1 unsent\n");
    state.close();
    TestApp again(QDateTime(Sunday, QTime(14, 5, 20)));
    again.environment = app.environment;
    again.ctx.CFG.LocalAppFolder = app.ctx.CFG.LocalAppFolder;
    const StartMinutes restart = Form_Load(again.ctx);
    catchUpAfterStart(again.ctx, restart.missed, restart.start);
    EXPECT_EQ(fileBytes(curl + u".runs"_s), "x\n");
    EXPECT_TRUE(app.auditTexts().contains(u"Timer1_Timer| Minute already handled: '14:05'"_s));
    EXPECT_TRUE(app.auditTexts().contains(QStringLiteral(
        "Timer1_Timer| Not sending again show 1 due at 14:05 on 29/11/2026, cut by the stop: its "
        "next upload has come")));
}

TEST_F(ScheduleTest, ACutShowGoesAgainForItsOwnDayUnlessItsNextUploadIsNearOrItsRecordingChanged)
{
    show(1, u"Sun"_s, u"14:05"_s);
    app.ctx.ShowTable.Title[1] = u"show 1 %date%"_s;
    const RecordingReady::FileState cut = RecordingReady::stateOf(app.ctx.ShowTable.Filename[1]);
    const QDateTime monday(Sunday.addDays(1), QTime(9, 0));
    const QDate nextSunday = Sunday.addDays(7);
    // When the next start comes, the cut recording's size and how much later it was modified,
    // and what holds the upload back (nothing: it goes again).
    const std::tuple<QDateTime, qint64, qint64, const char *> rows[] = {
        {monday, cut.size, 0, ""},
        {QDateTime(nextSunday, QTime(13, 5)), cut.size, 0, ""},
        {QDateTime(nextSunday, QTime(13, 6)), cut.size, 0,
         ": its next upload is less than an hour away"},
        {QDateTime(nextSunday, QTime(14, 5)), cut.size, 0, ": its next upload has come"},
        {monday, cut.size + 1, 0, ": its recording has changed since"},
        {monday, cut.size, 1, ": its recording has changed since"},
        {monday, -1, 1, ""}, // cut before curl ran: any recording will do
    };
    for (const auto &[start, size, laterMs, heldBack] : rows) {
        const qsizetype before = sent().filter(u"06th December"_s).size();
        app.ctx.Schedule = ScheduleMemory();
        app.ctx.Schedule.uploadInterrupted({QDateTime(Sunday, QTime(14, 5), QTimeZone::utc()), 1,
                                            false, size, cut.modified.addMSecs(laterMs)});
        app.clock.set(start.date(), start.time());
        catchUpAfterStart(app.ctx, {}, ScheduleMemory::wallMinute(start));
        const QString expected =
            (*heldBack ? u"Timer1_Timer| Not sending again "_s
                       : u"Timer1_Timer| Sending again "_s) +
            u"show 1 due at 14:05 on 06/12/2026, cut by the stop"_s +
            (*heldBack ? QString::fromLatin1(heldBack) : u" before the recording was fully sent"_s);
        EXPECT_EQ(app.auditTexts(start.date()).filter(u"ending again"_s).last(), expected);
        EXPECT_EQ(sent().filter(u"06th December"_s).size(), before + (*heldBack ? 0 : 1))
            << expected.toStdString();
    }
}

} // namespace
