#include "upload/ScheduleTick.h"

#include "upload/UploadFixture.h"

#include <QFile>
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
        app.clock.set(Today, QTime(20, 59, 30));
        app.ctx.LastMinute = QStringLiteral("20:59");
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

    void tickAt(const QTime &time, const QDate &date = Today)
    {
        app.clock.set(date, time);
        Timer1_Timer(app.ctx);
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

    QStringList sentTitles() const
    {
        QStringList titles;
        for (const LoopbackReceiver::Request &request : receiver.requests())
            titles.append(
                QString::fromUtf8(request.part("name") ? request.part("name")->bytes : "?"));
        return titles;
    }

    // The audit lines of the tick and the upload handshake, without the upload's own details.
    QStringList outline(const QDate &date = Today) const
    {
        QStringList lines;
        for (const QString &line : app.auditTexts(date)) {
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

TEST_F(ScheduleTickTest, AMinuteIsHandledOnceUntilTheClockComesBackToIt)
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

    EXPECT_EQ(sentTitles(), QStringList({QStringLiteral("Show 1"), QStringLiteral("Show 1")}));
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
