#include "upload/ScheduleTick.h"

#include "upload/UploadFixture.h"

#include <QFile>
#include <QTimeZone>
#include <QTimer>

namespace {

// A Thursday.
const QDate Today(2017, 7, 20);

class ScheduleTickTest : public UploadFixture
{
protected:
    void SetUp() override
    {
        UploadFixture::SetUp();
        startAt(QDateTime(Today, QTime(20, 59, 30)));
    }

    // As start-up does: the minute the program starts in counts as handled.
    void startAt(const QDateTime &start)
    {
        app.clock.set(start);
        app.ctx.LastMinute = start.time().toString(QStringLiteral("HH:mm"));
        app.ctx.Schedule = ScheduleMemory();
        app.ctx.Schedule.markHandled(ScheduleMemory::wallMinute(start));
    }

    QString recording(int show) const
    {
        return app.home() + QStringLiteral("/shows/show %1.mp3").arg(show);
    }

    void setShow(int show, const QString &day, const QString &time)
    {
        writeFile(QStringLiteral("shows/show %1.mp3").arg(show),
                  "audio of show " + QByteArray::number(show));
        app.ctx.ShowTable.Filename[show] = recording(show);
        app.ctx.ShowTable.Title[show] = QStringLiteral("Show %1").arg(show);
        app.ctx.ShowTable.UploadDay[show] = day;
        app.ctx.ShowTable.UploadTime[show] = time;
    }

    void tickAt(const QTime &time, const QDate &date = Today) { tickAt(QDateTime(date, time)); }

    void tickAt(const QDateTime &when)
    {
        app.clock.set(when);
        Timer1_Timer(app.ctx);
    }

    // A tick every five seconds through each minute from `from` to `to`, as the window's timer
    // gives them.
    void tickThrough(const QDateTime &from, const QDateTime &to)
    {
        for (QDateTime when = from; when <= to; when = when.addSecs(5))
            tickAt(when);
    }

    QString timeFound(int show, const QString &day) const
    {
        return QStringLiteral("Timer1_Timer| Show Upload [%1] Time found: '").arg(show) +
               recording(show) + QStringLiteral("' Show Upload date: '") + day + u'\'';
    }

    QString found(int show, const QString &how) const
    {
        return QStringLiteral("Timer1_Timer| Show Upload [%1] %2 found: '").arg(show).arg(how) +
               recording(show) + u'\'';
    }

    static QString alreadyHandled(const QString &minute)
    {
        return QStringLiteral("Timer1_Timer| Minute already handled: '") + minute + u'\'';
    }

    static QString catchingUp(const QString &minute)
    {
        return QStringLiteral("Timer1_Timer| Catching up missed minute: '") + minute + u'\'';
    }

    // The "HH:mm" texts of `count` minutes from `first` on.
    static QStringList minutes(const QTime &first, int count)
    {
        QStringList texts;
        for (int n = 0; n < count; ++n)
            texts.append(first.addSecs(60 * n).toString(QStringLiteral("HH:mm")));
        return texts;
    }

    QStringList uploaded(int show, const QString &how = QStringLiteral("Day"),
                         const QString &day = QStringLiteral("THU")) const
    {
        return {timeFound(show, day), found(show, how), QStringLiteral("UploadShow| Started..."),
                QStringLiteral("UploadShow| Uploading: Finished Upload.")};
    }

    QStringList sentTitles() const
    {
        QStringList titles;
        for (const LoopbackReceiver::Request &request : receiver.requests())
            titles.append(
                QString::fromUtf8(request.part("name") ? request.part("name")->bytes : "?"));
        return titles;
    }

    // The audit lines of the tick and the upload handshake, without the upload's own details.
    QStringList outline(const QDate &date = Today) const { return outlineOf(app.auditTexts(date)); }

    static QStringList outlineOf(const QStringList &texts)
    {
        QStringList lines;
        for (const QString &line : texts) {
            if (line.startsWith(QStringLiteral("Timer1_Timer|")) ||
                line.startsWith(QStringLiteral("UploadShow| Started")) ||
                line.startsWith(QStringLiteral("UploadShow| Uploading: Finished")))
                lines.append(line);
        }
        return lines;
    }
};

} // namespace

TEST_F(ScheduleTickTest, ShowUploadsAtItsMinuteOnItsDayInAnyLetterCase)
{
    setShow(1, QStringLiteral("thu"), QStringLiteral("21:00"));
    setShow(2, QStringLiteral("Thu"), QStringLiteral("21:01"));
    setShow(3, QStringLiteral("tHU"), QStringLiteral("21:02"));

    tickAt(QTime(21, 0, 3));

    const QStringList texts = app.auditTexts(Today);
    ASSERT_GE(texts.size(), 4);
    EXPECT_EQ(texts.mid(0, 3),
              QStringList({timeFound(1, QStringLiteral("THU")), found(1, QStringLiteral("Day")),
                           QStringLiteral("UploadShow| Started...")}));
    EXPECT_EQ(texts.last(), QStringLiteral("UploadShow| Uploading: Finished Upload."));
    EXPECT_TRUE(app.auditLines(Today).first().startsWith(QStringLiteral("21:00:03  ")));
    EXPECT_EQ(app.view.caption, QStringLiteral("Tunebarn Uploader: 21:00"));
    EXPECT_EQ(app.ctx.LastMinute, QStringLiteral("21:00"));

    tickAt(QTime(21, 1, 8));
    tickAt(QTime(21, 2, 1));

    EXPECT_EQ(sentTitles(), QStringList({QStringLiteral("Show 1"), QStringLiteral("Show 2"),
                                         QStringLiteral("Show 3")}));
    EXPECT_EQ(app.view.caption, QStringLiteral("Tunebarn Uploader: 21:02"));
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
}

TEST_F(ScheduleTickTest, DateUploadsOnThatDayOnly)
{
    const QDate tomorrow = Today.addDays(1);
    setShow(5, QStringLiteral("20/07/2017"), QStringLiteral("21:00"));
    setShow(6, QStringLiteral("21/07/2017"), QStringLiteral("21:00"));

    tickAt(QTime(21, 0, 3));
    app.ctx.LastMinute = QStringLiteral("20:59");
    tickAt(QTime(21, 0, 3), tomorrow);

    EXPECT_EQ(outline(), QStringList({timeFound(5, QStringLiteral("20/07/2017")),
                                      found(5, QStringLiteral("Date")),
                                      QStringLiteral("UploadShow| Started..."),
                                      QStringLiteral("UploadShow| Uploading: Finished Upload.")}));
    EXPECT_EQ(
        outline(tomorrow),
        QStringList({timeFound(5, QStringLiteral("20/07/2017")),
                     timeFound(6, QStringLiteral("21/07/2017")), found(6, QStringLiteral("Date")),
                     QStringLiteral("UploadShow| Started..."),
                     QStringLiteral("UploadShow| Uploading: Finished Upload.")}));
    EXPECT_EQ(sentTitles(), QStringList({QStringLiteral("Show 5"), QStringLiteral("Show 6")}));
}

TEST_F(ScheduleTickTest, OtherDayFormsOnlyLogTheirTime)
{
    const QStringList days{QStringLiteral("Thursday"),   QStringLiteral("20/7/2017"),
                           QStringLiteral("2017-07-20"), QString(),
                           QStringLiteral(" THU"),       QStringLiteral("20/07/17"),
                           QStringLiteral("20.07.2017"), QStringLiteral("Fri")};
    QStringList expected;
    for (int show = 1; show <= days.size(); ++show) {
        setShow(show, days[show - 1], QStringLiteral("21:00"));
        expected.append(timeFound(show, days[show - 1].toUpper()));
    }

    tickAt(QTime(21, 0, 3));

    EXPECT_EQ(app.auditTexts(Today), expected);
    EXPECT_TRUE(receiver.requests().isEmpty());
    EXPECT_TRUE(app.view.statusHistory.isEmpty());
}

TEST_F(ScheduleTickTest, TimesMatchOnlyAsTwoDigitHourAndMinute)
{
    const QStringList times{QStringLiteral("9:05"),   QStringLiteral("09:05:00"),
                            QStringLiteral("9.05"),   QStringLiteral(" 09:05"),
                            QStringLiteral("09:05 "), QStringLiteral("0905"),
                            QStringLiteral("09.05")};
    for (int show = 1; show <= times.size(); ++show)
        setShow(show, QStringLiteral("Thu"), times[show - 1]);
    app.ctx.LastMinute = QStringLiteral("09:04");

    tickAt(QTime(9, 5, 2));

    EXPECT_TRUE(app.auditTexts(Today).isEmpty());
    EXPECT_TRUE(receiver.requests().isEmpty());
    EXPECT_EQ(app.view.caption, QStringLiteral("Tunebarn Uploader: 09:05"));
}

TEST_F(ScheduleTickTest, OnlyTheLowestNumberedDueShowIsUploaded)
{
    setShow(3, QStringLiteral("Thu"), QStringLiteral("21:00"));
    setShow(5, QStringLiteral("THU"), QStringLiteral("21:00"));
    setShow(9, QStringLiteral("20/07/2017"), QStringLiteral("21:00"));

    tickAt(QTime(21, 0, 3));
    tickAt(QTime(21, 1, 3));

    EXPECT_EQ(outline(),
              QStringList({timeFound(3, QStringLiteral("THU")), found(3, QStringLiteral("Day")),
                           QStringLiteral("UploadShow| Started..."),
                           QStringLiteral("UploadShow| Uploading: Finished Upload.")}));
    EXPECT_EQ(sentTitles(), QStringList({QStringLiteral("Show 3")}));
}

TEST_F(ScheduleTickTest, ALowerNumberedShowForAnotherDayLogsItsTimeAndTheScanGoesOn)
{
    setShow(2, QStringLiteral("Fri"), QStringLiteral("21:00"));
    setShow(4, QStringLiteral("Thu"), QStringLiteral("21:00"));

    tickAt(QTime(21, 0, 3));

    EXPECT_EQ(
        outline(),
        QStringList({timeFound(2, QStringLiteral("FRI")), timeFound(4, QStringLiteral("THU")),
                     found(4, QStringLiteral("Day")), QStringLiteral("UploadShow| Started..."),
                     QStringLiteral("UploadShow| Uploading: Finished Upload.")}));
    EXPECT_EQ(sentTitles(), QStringList({QStringLiteral("Show 4")}));
}

TEST_F(ScheduleTickTest, MatchedShowWithoutItsRecordingIsLeftToTheUpload)
{
    setShow(4, QStringLiteral("Thu"), QStringLiteral("21:00"));
    QFile::remove(recording(4));

    tickAt(QTime(21, 0, 3));

    EXPECT_EQ(app.auditTexts(Today),
              QStringList({timeFound(4, QStringLiteral("THU")), found(4, QStringLiteral("Day")),
                           QStringLiteral("UploadShow| Started..."),
                           QStringLiteral("UploadShow| Show file doesnt exist: '") + recording(4) +
                               u'\''}));
    EXPECT_TRUE(receiver.requests().isEmpty());
}

TEST_F(ScheduleTickTest, DisabledUploadsSkipTheScanButNotTheCaptionOrTheFlush)
{
    setShow(1, QStringLiteral("Thu"), QStringLiteral("21:00"));
    app.view.disabled = true;
    app.ctx.AppendLog(QStringLiteral("held before the tick"));

    tickAt(QTime(21, 0, 3));

    EXPECT_EQ(app.auditTexts(Today), QStringList({QStringLiteral("held before the tick")}));
    EXPECT_EQ(app.view.caption, QStringLiteral("Tunebarn Uploader: 21:00"));
    EXPECT_EQ(app.ctx.LastMinute, QStringLiteral("21:00"));
    EXPECT_TRUE(receiver.requests().isEmpty());
    EXPECT_TRUE(app.view.statusHistory.isEmpty());
}

TEST_F(ScheduleTickTest, AMinuteIsHandledOnceEvenWhenTheClockComesBackToIt)
{
    setShow(1, QStringLiteral("Thu"), QStringLiteral("21:00"));
    app.ctx.LastMinute = QStringLiteral("21:00");

    tickAt(QTime(21, 0, 30));

    EXPECT_TRUE(app.view.caption.isEmpty());
    EXPECT_TRUE(receiver.requests().isEmpty());

    app.ctx.LastMinute = QStringLiteral("20:59");
    tickAt(QTime(21, 0, 3));
    app.ctx.AppendLog(QStringLiteral("held after the first tick"));
    app.view.caption = QStringLiteral("untouched");
    tickAt(QTime(21, 0, 58));

    EXPECT_EQ(app.heldTexts(), QStringList({QStringLiteral("held after the first tick")}));
    EXPECT_EQ(app.view.caption, QStringLiteral("untouched"));
    EXPECT_EQ(receiver.requests().size(), 1);

    tickAt(QTime(21, 1, 3));
    tickAt(QTime(21, 0, 3));

    EXPECT_EQ(sentTitles(), QStringList({QStringLiteral("Show 1")}));
    EXPECT_EQ(app.view.caption, QStringLiteral("Tunebarn Uploader: 21:00"));
    EXPECT_EQ(app.auditTexts(Today).last(),
              QStringLiteral("Timer1_Timer| Minute already handled: '21:00'"));
}

TEST_F(ScheduleTickTest, PurgeAtFourPastMidnightRunsWithUploadsDisabledAndLandsWithTheNextFlush)
{
    const QString old =
        app.writeFile(app.auditFolder() + QStringLiteral("Tunebarn100717Adt.txt"), "old\r\n");
    const QString recent =
        app.writeFile(app.auditFolder() + QStringLiteral("Tunebarn180717Adt.txt"), "recent\r\n");
    for (const auto &[path, modified] :
         {std::pair{old, QDateTime(QDate(2017, 7, 13), QTime(23, 59, 0))},
          std::pair{recent, QDateTime(QDate(2017, 7, 14), QTime(0, 0, 0))}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    app.view.disabled = true;
    app.ctx.LastMinute = QStringLiteral("00:03");

    tickAt(QTime(0, 4, 5));

    EXPECT_TRUE(app.auditTexts(Today).isEmpty());
    const QStringList held = app.ctx.Audit.heldLines();
    ASSERT_GE(held.size(), 2);
    EXPECT_EQ(held.first(),
              QStringLiteral(
                  "00:04:05  Timer1_Timer| PurgeFiles: Purge files before=13/07/2017 23:59:00"));
    EXPECT_EQ(held.last(),
              QStringLiteral("00:04:05  Timer1_Timer| PurgeFiles: Purged audit files=1"));
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_TRUE(QFile::exists(recent));

    tickAt(QTime(0, 5, 2));

    EXPECT_EQ(app.auditLines(Today), held);
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
}

TEST_F(ScheduleTickTest, NextMinutesTickRunsNestedInsideASlowUploadAndEachMinuteRunsOnce)
{
    LoopbackReceiver::Answer slow(200);
    slow.delayMs = 3000;
    receiver.setAnswers({slow, LoopbackReceiver::Answer(200)});
    setShow(1, QStringLiteral("Thu"), QStringLiteral("21:00"));
    setShow(2, QStringLiteral("Thu"), QStringLiteral("21:01"));
    // The window's 5-second timer keeps ticking while the first upload waits for its answer.
    QTimer::singleShot(500, [&] { tickAt(QTime(21, 0, 8)); });
    QTimer::singleShot(1000, [&] { tickAt(QTime(21, 1, 2)); });
    QTimer::singleShot(2000, [&] { tickAt(QTime(21, 1, 5)); });

    tickAt(QTime(21, 0, 3));
    tickAt(QTime(21, 1, 50));

    EXPECT_EQ(sentTitles(), QStringList({QStringLiteral("Show 1"), QStringLiteral("Show 2")}));
    const QString firstCommand = displayLine(recording(1), QStringLiteral("Show 1"), QString());
    const QString secondCommand = displayLine(recording(2), QStringLiteral("Show 2"), QString());
    QStringList handshake;
    for (const QString &line : app.auditTexts(Today)) {
        if (line.startsWith(QStringLiteral("Timer1_Timer|")) ||
            line.startsWith(QStringLiteral("Shell32Bit|")) ||
            line.startsWith(QStringLiteral("UploadShow| HTTP")) ||
            line.startsWith(QStringLiteral("UploadShow| Uploading: Finished")))
            handshake.append(line);
    }
    EXPECT_EQ(handshake,
              QStringList({timeFound(1, QStringLiteral("THU")), found(1, QStringLiteral("Day")),
                           QStringLiteral("Shell32Bit| Command: ") + firstCommand,
                           timeFound(2, QStringLiteral("THU")), found(2, QStringLiteral("Day")),
                           QStringLiteral("Shell32Bit| Command: ") + secondCommand,
                           QStringLiteral("Shell32Bit| Command exit value: 0"),
                           QStringLiteral("UploadShow| HTTP status: 200"),
                           QStringLiteral("UploadShow| Uploading: Finished Upload."),
                           QStringLiteral("Shell32Bit| Command exit value: 0"),
                           QStringLiteral("UploadShow| HTTP status: 200"),
                           QStringLiteral("UploadShow| Uploading: Finished Upload.")}));
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
    EXPECT_EQ(app.ctx.LastMinute, QStringLiteral("21:01"));
    EXPECT_EQ(app.view.caption, QStringLiteral("Tunebarn Uploader: 21:01"));
    EXPECT_EQ(app.ctx.DosCommand, secondCommand);
    ASSERT_EQ(app.view.statusHistory.size(), 4);
    EXPECT_EQ(app.view.statusHistory.mid(0, 2),
              QStringList({QStringLiteral("Uploading..."), QStringLiteral("Uploading...")}));
    EXPECT_TRUE(app.view.statusHistory[2].startsWith(QStringLiteral("Finished Upload: 21:01:0")));
    EXPECT_EQ(app.view.status, QStringLiteral("Finished Upload: 21:01:05"));
}

TEST_F(ScheduleTickTest, ClockSetBackTenMinutesUploadsNothingAgainAndSaysSoOncePerMinute)
{
    app.ctx.Options.catchUpMinutes = 15;
    setShow(1, QStringLiteral("Thu"), QStringLiteral("21:00"));
    setShow(2, QStringLiteral("Thu"), QStringLiteral("21:05"));
    setShow(3, QStringLiteral("Thu"), QStringLiteral("21:11"));
    tickThrough(QDateTime(Today, QTime(21, 0, 0)), QDateTime(Today, QTime(21, 10, 5)));
    ASSERT_EQ(sentTitles(), QStringList({QStringLiteral("Show 1"), QStringLiteral("Show 2")}));
    const qsizetype linesBefore = app.auditTexts(Today).size();

    for (const QString &minute : minutes(QTime(21, 0), 11)) {
        SCOPED_TRACE(minute.toStdString());
        const QTime time = QTime::fromString(minute, QStringLiteral("HH:mm"));
        tickThrough(QDateTime(Today, time.addSecs(10)), QDateTime(Today, time.addSecs(55)));

        EXPECT_EQ(app.view.caption, QStringLiteral("Tunebarn Uploader: ") + minute);
        EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
        EXPECT_EQ(app.auditTexts(Today).last(), alreadyHandled(minute));
    }
    tickAt(QTime(21, 11, 0));

    QStringList expected;
    for (const QString &minute : minutes(QTime(21, 0), 11))
        expected.append(alreadyHandled(minute));
    EXPECT_EQ(outlineOf(app.auditTexts(Today).mid(linesBefore)), expected + uploaded(3));
    EXPECT_EQ(sentTitles(), QStringList({QStringLiteral("Show 1"), QStringLiteral("Show 2"),
                                         QStringLiteral("Show 3")}));
}

TEST_F(ScheduleTickTest, SummerTimeEndingRepeatsAnHourWithoutUploadingAgain)
{
    const QDate sunday(2027, 10, 31);
    const QTimeZone summer = QTimeZone(3600);
    const QTimeZone winter = QTimeZone(0);
    startAt(QDateTime(sunday, QTime(0, 59, 30), summer));
    setShow(1, QStringLiteral("Sun"), QStringLiteral("01:30"));
    setShow(2, QStringLiteral("Sun"), QStringLiteral("02:00"));

    for (int minute = 0; minute < 60; ++minute)
        tickAt(QDateTime(sunday, QTime(1, minute, 2), summer));
    for (int minute = 0; minute < 60; ++minute)
        tickAt(QDateTime(sunday, QTime(1, minute, 2), winter));
    tickAt(QDateTime(sunday, QTime(2, 0, 2), winter));

    QStringList expected = uploaded(1, QStringLiteral("Day"), QStringLiteral("SUN"));
    for (const QString &minute : minutes(QTime(1, 0), 60))
        expected.append(alreadyHandled(minute));
    expected += uploaded(2, QStringLiteral("Day"), QStringLiteral("SUN"));
    EXPECT_EQ(outline(sunday), expected);
    EXPECT_EQ(sentTitles(), QStringList({QStringLiteral("Show 1"), QStringLiteral("Show 2")}));
}

TEST_F(ScheduleTickTest, MissedMinutesAreNotCaughtUpUnlessAskedFor)
{
    EXPECT_EQ(app.ctx.Options.catchUpMinutes, 0);
    setShow(1, QStringLiteral("Thu"), QStringLiteral("21:05"));
    setShow(2, QStringLiteral("Thu"), QStringLiteral("21:19"));

    tickAt(QTime(21, 0, 3));
    tickAt(QTime(21, 20, 4));
    tickAt(QTime(21, 21, 4));

    EXPECT_TRUE(app.auditTexts(Today).isEmpty());
    EXPECT_TRUE(receiver.requests().isEmpty());
    EXPECT_EQ(app.view.caption, QStringLiteral("Tunebarn Uploader: 21:21"));
}

TEST_F(ScheduleTickTest, SuspendOfTwentyMinutesCatchesUpTheLastFifteenOldestFirst)
{
    app.ctx.Options.catchUpMinutes = 15;
    setShow(1, QStringLiteral("Thu"), QStringLiteral("21:02")); // skipped, but too long ago
    setShow(2, QStringLiteral("Thu"), QStringLiteral("21:08"));
    setShow(3, QStringLiteral("Thu"), QStringLiteral("21:12"));
    setShow(4, QStringLiteral("Thu"), QStringLiteral("21:12")); // loses its minute to show 3
    setShow(5, QStringLiteral("Thu"), QStringLiteral("21:20"));
    setShow(6, QStringLiteral("Fri"), QStringLiteral("21:15"));

    tickAt(QTime(21, 0, 3));
    tickAt(QTime(21, 20, 4));

    QStringList expected;
    for (const QString &minute : minutes(QTime(21, 5), 15)) {
        expected.append(catchingUp(minute));
        if (minute == QStringLiteral("21:08"))
            expected += uploaded(2);
        if (minute == QStringLiteral("21:12"))
            expected += uploaded(3);
        if (minute == QStringLiteral("21:15"))
            expected.append(timeFound(6, QStringLiteral("FRI")));
    }
    expected += uploaded(5);
    EXPECT_EQ(outline(), expected);
    EXPECT_EQ(sentTitles(), QStringList({QStringLiteral("Show 2"), QStringLiteral("Show 3"),
                                         QStringLiteral("Show 5")}));
    EXPECT_EQ(app.view.caption, QStringLiteral("Tunebarn Uploader: 21:20"));
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());

    // Neither a clock set back into the caught-up minutes nor the next gap takes one again.
    const qsizetype linesBefore = app.auditTexts(Today).size();
    tickAt(QTime(21, 8, 1));
    tickAt(QTime(21, 25, 1));

    expected = QStringList{alreadyHandled(QStringLiteral("21:08"))};
    for (const QString &minute : minutes(QTime(21, 21), 4))
        expected.append(catchingUp(minute));
    EXPECT_EQ(app.auditTexts(Today).mid(linesBefore), expected);
    EXPECT_EQ(receiver.requests().size(), 3);
}

TEST_F(ScheduleTickTest, TickNestedInACatchUpUploadTakesNoneOfItsMinutes)
{
    app.ctx.Options.catchUpMinutes = 15;
    LoopbackReceiver::Answer slow(200);
    slow.delayMs = 1500;
    receiver.setAnswers({slow, LoopbackReceiver::Answer(200)});
    setShow(1, QStringLiteral("Thu"), QStringLiteral("21:10"));
    setShow(2, QStringLiteral("Thu"), QStringLiteral("21:12"));
    setShow(3, QStringLiteral("Thu"), QStringLiteral("21:21"));
    tickAt(QTime(21, 0, 3));
    QTimer::singleShot(500, [&] { tickAt(QTime(21, 21, 2)); });

    tickAt(QTime(21, 20, 4));

    QStringList expected;
    for (const QString &minute : minutes(QTime(21, 5), 6))
        expected.append(catchingUp(minute));
    expected += QStringList{timeFound(1, QStringLiteral("THU")), found(1, QStringLiteral("Day")),
                            QStringLiteral("UploadShow| Started...")};
    expected += uploaded(3);
    expected.append(QStringLiteral("UploadShow| Uploading: Finished Upload."));
    for (const QString &minute : minutes(QTime(21, 11), 9)) {
        expected.append(catchingUp(minute));
        if (minute == QStringLiteral("21:12"))
            expected += uploaded(2);
    }
    EXPECT_EQ(outline(), expected);
    EXPECT_EQ(sentTitles(), QStringList({QStringLiteral("Show 1"), QStringLiteral("Show 3"),
                                         QStringLiteral("Show 2")}));
}

TEST_F(ScheduleTickTest, SummerTimeGapIsCaughtUpWhereTheLimitReaches)
{
    const QDate sunday(2027, 3, 28);
    startAt(QDateTime(sunday, QTime(0, 59, 1), QTimeZone(0)));
    app.ctx.Options.catchUpMinutes = 60;
    setShow(1, QStringLiteral("Sun"), QStringLiteral("01:00"));
    setShow(2, QStringLiteral("Sun"), QStringLiteral("01:30"));
    setShow(3, QStringLiteral("Sun"), QStringLiteral("02:00"));

    tickAt(QDateTime(sunday, QTime(2, 0, 4), QTimeZone(3600)));

    QStringList expected;
    for (const QString &minute : minutes(QTime(1, 0), 60)) {
        expected.append(catchingUp(minute));
        if (minute == QStringLiteral("01:00"))
            expected += uploaded(1, QStringLiteral("Day"), QStringLiteral("SUN"));
        if (minute == QStringLiteral("01:30"))
            expected += uploaded(2, QStringLiteral("Day"), QStringLiteral("SUN"));
    }
    expected += uploaded(3, QStringLiteral("Day"), QStringLiteral("SUN"));
    EXPECT_EQ(outline(sunday), expected);
    EXPECT_EQ(sentTitles(), QStringList({QStringLiteral("Show 1"), QStringLiteral("Show 2"),
                                         QStringLiteral("Show 3")}));
}

TEST_F(ScheduleTickTest, SummerTimeGapBeyondTheLimitIsNotCaughtUp)
{
    const QDate sunday(2027, 3, 28);
    startAt(QDateTime(sunday, QTime(0, 59, 1), QTimeZone(0)));
    app.ctx.Options.catchUpMinutes = 15;
    setShow(1, QStringLiteral("Sun"), QStringLiteral("01:30"));
    setShow(2, QStringLiteral("28/03/2027"), QStringLiteral("01:50"));

    tickAt(QDateTime(sunday, QTime(2, 0, 4), QTimeZone(3600)));

    QStringList expected;
    for (const QString &minute : minutes(QTime(1, 45), 15)) {
        expected.append(catchingUp(minute));
        if (minute == QStringLiteral("01:50"))
            expected += uploaded(2, QStringLiteral("Date"), QStringLiteral("28/03/2027"));
    }
    EXPECT_EQ(outline(sunday), expected);
    EXPECT_EQ(sentTitles(), QStringList({QStringLiteral("Show 2")}));
}

TEST_F(ScheduleTickTest, ClockPutRightAfterRunningAheadStillCatchesUpALaterGap)
{
    app.ctx.Options.catchUpMinutes = 15;
    setShow(1, QStringLiteral("Thu"), QStringLiteral("21:10"));

    tickAt(QTime(21, 0, 3));
    tickAt(QTime(23, 0, 3)); // two hours ahead for a moment
    tickAt(QTime(21, 1, 3)); // put right
    tickAt(QTime(21, 20, 3));

    EXPECT_EQ(sentTitles(), QStringList({QStringLiteral("Show 1")}));
    EXPECT_TRUE(outline().contains(catchingUp(QStringLiteral("21:10"))));
}
