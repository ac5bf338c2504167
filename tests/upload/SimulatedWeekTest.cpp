#include "app/core/Lifecycle.h"
#include "upload/ScheduleTick.h"

#include "upload/UploadFixture.h"

#include <QDirIterator>
#include <QMap>
#include <QTimeZone>

#include <cstdio>
#include <map>

namespace {

// Wednesday 22 March 2017 to the first minutes of Wednesday 29 March. Summer time starts on
// Sunday 26 March: the clock goes from 00:59 GMT to 02:00 BST. The week lies in the past so that
// a file the program has just written, which carries the machine's real time until the test
// stamps it, never looks old to a purge in the same tick.
const QDate FirstDay(2017, 3, 22);
const QDate LastDay(2017, 3, 28);
const QTimeZone Winter(0);
const QTimeZone Summer(3600);
constexpr int CatchUpMinutes = 15;

QDateTime winter(int day, int hour, int minute, int second = 0)
{
    return QDateTime(QDate(2017, 3, day), QTime(hour, minute, second), Winter);
}

QDateTime summer(int day, int hour, int minute, int second = 0)
{
    return QDateTime(QDate(2017, 3, day), QTime(hour, minute, second), Summer);
}

struct Show
{
    int number;
    const char *day;
    const char *time;
};

// By weekday, by date, two at one minute, at the purge minute, in the skipped minutes.
const Show Shows[] = {
    {1, "Mon", "08:00"},
    {2, "Wed", "18:30"},
    {3, "Fri", "12:00"},         // in the suspend,
                                 // within the catch-up
    {4, "Sun", "01:30"},         // in the summer-time gap, beyond the catch-up
    {5, "Thu", "09:00"},         // the clock is set back over it
    {6, "THU", "09:00"},         // loses the minute to show 5
    {7, "Sat", "00:04"},         // with the purge
    {8, "24/03/2017", "15:15"},  // by date
    {9, "26/03/2017", "01:50"},  // by date, in the summer-time gap, within the catch-up
    {10, "Fri", "11:52"},        // in the suspend, beyond the catch-up
    {11, "24/03/2016", "16:00"}, // a year too early
    {12, "Mon", "07:00"},
    {13, "Tue", "07:00"},
    {14, "Wed", "07:00"},
    {15, "Thu", "07:00"},
    {16, "Fri", "07:00"},
    {17, "Sat", "07:00"},
    {18, "SUN", "07:00"},
    {19, "Tue", "23:59"},
    {20, "Wed", "00:04"},
};

struct Upload
{
    QDate date;
    QString title;
    bool operator==(const Upload &other) const = default;
    bool operator<(const Upload &other) const
    {
        return date != other.date ? date < other.date : title < other.title;
    }
};

void PrintTo(const Upload &upload, std::ostream *out)
{
    *out << upload.date.toString(Qt::ISODate).toStdString() << ' ' << upload.title.toStdString();
}

// What the schedule owes the service this week, in order: each show due once, shows 3 and 9
// caught up after the suspend and the summer-time gap, shows 10 and 4 skipped further back than
// CatchUpMinutes reaches, show 6 beaten by show 5, show 11 never due.
QList<Upload> expectedUploads()
{
    const auto on = [](int day, std::initializer_list<int> shows) {
        QList<Upload> list;
        for (const int show : shows)
            list.append({QDate(2017, 3, day), QStringLiteral("Show %1").arg(show)});
        return list;
    };
    return on(22, {20, 14, 2}) + on(23, {15, 5}) + on(24, {16, 3, 8}) + on(25, {7, 17}) +
           on(26, {9, 18}) + on(27, {12, 1}) + on(28, {13, 19}) + on(29, {20});
}

QStringList minuteTexts(const QTime &first, int count)
{
    QStringList texts;
    for (int n = 0; n < count; ++n)
        texts.append(first.addSecs(60 * n).toString(QStringLiteral("HH:mm")));
    return texts;
}

QStringList withPrefix(const QString &prefix, const QStringList &minutes)
{
    QStringList lines;
    for (const QString &minute : minutes)
        lines.append(prefix + minute + u'\'');
    return lines;
}

QStringList linesStartingWith(const QStringList &texts, const QString &prefix)
{
    QStringList found;
    for (const QString &text : texts) {
        if (text.startsWith(prefix))
            found.append(text);
    }
    return found;
}

class SimulatedWeekTest : public UploadFixture
{
protected:
    void SetUp() override
    {
        UploadFixture::SetUp();
        QByteArray ini = "[General]\r\nUploadURL=" + receiver.url().toUtf8() +
                         "\r\nCatchUpMinutes=" + QByteArray::number(CatchUpMinutes) + "\r\n";
        for (const Show &show : Shows) {
            const QByteArray number = QByteArray::number(show.number);
            const QString recording =
                writeFile("shows/show" + number + ".mp3", "audio of show " + number);
            ini += "[Show" + number + "]\r\nFilename=" + recording.toUtf8() + "\r\nTitle=Show " +
                   number + "\r\nDescription=Week test\r\nUploadDay=" + show.day +
                   "\r\nUploadTime=" + show.time + "\r\n";
            dueTimes.insert(
                QTime::fromString(QString::fromLatin1(show.time), QStringLiteral("HH:mm")));
        }
        app.writeConfig(ini);
        // Audit files of the fortnight before the week; the one of 21 March was last written
        // half a minute after its cut-off, so it stays a day longer.
        for (QDate day = FirstDay.addDays(-14); day < FirstDay; day = day.addDays(1)) {
            const QString path = app.writeFile(app.auditFilePath(day), "an older day\r\n");
            stamp(path,
                  QDateTime(day, day == FirstDay.addDays(-1) ? QTime(23, 59, 30) : QTime(12, 0)));
        }
        QObject::connect(&receiver, &LoopbackReceiver::requestReceived, [this](int index) {
            const LoopbackReceiver::Request &request = receiver.requests()[index];
            const QDateTime now = app.clock.now();
            arrived.append(
                {now.date(),
                 QString::fromUtf8(request.part("name") ? request.part("name")->bytes : "?")});
            noteSizes(now.date());
        });
    }

    static void stamp(const QString &path, const QDateTime &when)
    {
        QFile file(path);
        if (file.open(QIODevice::Append))
            file.setFileTime(when, QFileDevice::FileModificationTime);
    }

    // Ticks as the window's timer would through [from, to]: once a minute, and every five
    // seconds in the minutes around a show's time.
    void run(const QDateTime &from, const QDateTime &to)
    {
        for (QDateTime now = from; now <= to;) {
            tick(now);
            const QTime minute(now.time().hour(), now.time().minute());
            const bool nearADueTime = dueTimes.contains(minute.addSecs(-60)) ||
                                      dueTimes.contains(minute) ||
                                      dueTimes.contains(minute.addSecs(60));
            now = nearADueTime ? now.addSecs(5) : now.addSecs(60 - now.time().second());
        }
    }

    void tick(const QDateTime &now)
    {
        app.clock.set(now);
        const QStringList carried = app.ctx.Audit.heldLines();
        Timer1_Timer(app.ctx);
        ++ticks;
        takeNewLines(now, carried);
        noteSizes(now.date());
        // Only the purge's lines wait for the next minute's flush.
        if (now.time().minute() != 4 || now.time().hour() != 0)
            leftHeld += app.ctx.Audit.heldLines().size();
        if (now.time().hour() == 0 && now.time().minute() == 5 && now.time().second() == 0)
            checkPurge(now.date());
    }

    // The lines this tick wrote: the ones held over from an earlier tick, then its own, stamped
    // with its time. The day's file gets the simulated date as its modification time.
    void takeNewLines(const QDateTime &now, const QStringList &carried)
    {
        const QString path = app.auditFilePath(now.date());
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            ++missingFiles;
            return;
        }
        qint64 &known = writtenBytes[path];
        if (file.size() == known)
            return;
        file.seek(known);
        QString text = QString::fromLocal8Bit(file.readAll());
        known = file.size();
        file.close();
        stamp(path, now);
        text.chop(2);
        const QStringList fresh = text.split(QStringLiteral("\r\n"));
        const QString time = now.time().toString(QStringLiteral("HH:mm:ss"));
        if (fresh.mid(0, carried.size()) != carried)
            ++misplacedLines;
        for (const QString &line : fresh.mid(carried.size())) {
            if (!line.startsWith(time + QStringLiteral("  ")))
                ++misplacedLines;
        }
        dayTexts[now.date()] += withoutTimes(fresh);
    }

    void noteSizes(const QDate &day)
    {
        auto &[held, slotCount] = largest[day];
        held = std::max(held, app.ctx.Audit.heldLines().size());
        slotCount = std::max(slotCount, app.ctx.Schedule.size());
    }

    // After the purge of the day: that day and the six before it are all kept, nothing older
    // than the day seven before, and that one only if it was written after 23:59:00.
    void checkPurge(const QDate &day)
    {
        QList<QDate> kept;
        QDirIterator files(app.auditFolder(), {QStringLiteral("Tunebarn*Adt.txt")}, QDir::Files);
        while (files.hasNext()) {
            const QString name = QFileInfo(files.next()).fileName();
            kept.append(QDate::fromString(name.mid(8, 6), QStringLiteral("ddMMyy")).addYears(100));
        }
        std::sort(kept.begin(), kept.end());
        QList<QDate> expected;
        if (day == FirstDay.addDays(6))
            expected.append(FirstDay.addDays(-1));
        for (QDate keep = day.addDays(-6); keep <= day; keep = keep.addDays(1))
            expected.append(keep);
        EXPECT_EQ(kept, expected) << "purge of " << day.toString(Qt::ISODate).toStdString();
        keptPerPurge.append(kept.size());
    }

    QSet<QTime> dueTimes;
    QList<Upload> arrived;
    std::map<QDate, QStringList> dayTexts;
    std::map<QDate, std::pair<qsizetype, qsizetype>> largest; // held lines, handled slots
    QMap<QString, qint64> writtenBytes;
    QList<int> keptPerPurge;
    qsizetype leftHeld = 0;
    int ticks = 0;
    int misplacedLines = 0;
    int missingFiles = 0;
};

} // namespace

TEST_F(SimulatedWeekTest, EveryDueShowArrivesOnceAndTheAuditKeepsUp)
{
    app.clock.set(winter(22, 0, 2, 30));
    Form_Load(app.ctx);
    ASSERT_EQ(app.ctx.Options.catchUpMinutes, CatchUpMinutes);
    takeNewLines(app.clock.now(), {});

    run(winter(22, 0, 3), winter(23, 9, 5, 30));
    run(winter(23, 8, 55, 10), winter(24, 11, 50, 20)); // the clock set back ten minutes
    run(winter(24, 12, 10, 0), winter(26, 0, 59, 55));  // after a 20-minute suspend
    run(summer(26, 2, 0, 0), summer(29, 0, 6, 0));      // summer time has begun

    const QList<Upload> expected = expectedUploads();
    QList<Upload> unique = arrived;
    std::sort(unique.begin(), unique.end());
    const qsizetype duplicates =
        unique.size() - (std::unique(unique.begin(), unique.end()) - unique.begin());
    EXPECT_EQ(arrived, expected);
    EXPECT_EQ(duplicates, 0);

    QStringList all;
    for (const auto &[day, texts] : dayTexts)
        all += texts;
    const QString handled = QStringLiteral("Timer1_Timer| Minute already handled: '");
    const QString catching = QStringLiteral("Timer1_Timer| Catching up missed minute: '");
    EXPECT_EQ(linesStartingWith(all, handled), withPrefix(handled, minuteTexts(QTime(8, 55), 11)));
    EXPECT_EQ(linesStartingWith(dayTexts[QDate(2017, 3, 23)], handled).size(), 11);
    EXPECT_EQ(linesStartingWith(all, catching),
              withPrefix(catching, minuteTexts(QTime(11, 55), CatchUpMinutes) +
                                       minuteTexts(QTime(1, 45), CatchUpMinutes)));
    EXPECT_EQ(linesStartingWith(dayTexts[QDate(2017, 3, 24)], catching).size(), CatchUpMinutes);
    EXPECT_EQ(linesStartingWith(dayTexts[QDate(2017, 3, 26)], catching).size(), CatchUpMinutes);
    for (QDate day = FirstDay; day <= LastDay.addDays(1); day = day.addDays(1)) {
        SCOPED_TRACE(day.toString(Qt::ISODate).toStdString());
        const QStringList &texts = dayTexts[day];
        const QString cutoff =
            day.addDays(-7).toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" 23:59:00");
        EXPECT_EQ(linesStartingWith(
                      texts, QStringLiteral("Timer1_Timer| PurgeFiles: Purge files before=")),
                  QStringList(
                      {QStringLiteral("Timer1_Timer| PurgeFiles: Purge files before=") + cutoff}));
        qsizetype uploads = 0;
        for (const Upload &upload : expected)
            uploads += upload.date == day ? 1 : 0;
        EXPECT_EQ(texts.count(QStringLiteral("UploadShow| Uploading: Finished Upload.")), uploads);
        EXPECT_EQ(texts.count(QStringLiteral("UploadShow| HTTP status: 200")), uploads);
    }
    const qsizetype errors = linesStartingWith(all, QStringLiteral("WriteLog| ERROR")).size();
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(misplacedLines, 0);
    EXPECT_EQ(missingFiles, 0);
    EXPECT_EQ(leftHeld, 0);
    EXPECT_EQ(keptPerPurge, QList<int>({7, 7, 7, 7, 7, 7, 8, 7}));

    qsizetype heldFrom2To7 = 0;
    qsizetype slotsFrom2To7 = 0;
    for (QDate day = FirstDay.addDays(1); day <= LastDay; day = day.addDays(1)) {
        heldFrom2To7 = std::max(heldFrom2To7, largest[day].first);
        slotsFrom2To7 = std::max(slotsFrom2To7, largest[day].second);
    }
    // Yesterday's and today's minutes at most, and a buffer that a flush empties every minute.
    EXPECT_LE(heldFrom2To7, 40);
    EXPECT_LE(slotsFrom2To7, 2 * 24 * 60);

    std::printf("simulated week: %d ticks, uploads expected %lld, arrived %lld, duplicates %lld, "
                "lines lost %lld (left unwritten after a tick %lld, write errors %lld), lines out "
                "of place %d\n",
                ticks, qlonglong(expected.size()), qlonglong(arrived.size()), qlonglong(duplicates),
                qlonglong(leftHeld + errors), qlonglong(leftHeld), qlonglong(errors),
                misplacedLines);
    for (QDate day = FirstDay; day <= LastDay.addDays(1); day = day.addDays(1))
        std::printf("  %s: audit lines %lld, largest buffer %lld, largest slot memory %lld\n",
                    qPrintable(day.toString(QStringLiteral("ddd dd/MM"))),
                    qlonglong(dayTexts[day].size()), qlonglong(largest[day].first),
                    qlonglong(largest[day].second));
    std::printf("  audit files kept after each purge: %s\n", qPrintable([&] {
                    QStringList counts;
                    for (const int kept : keptPerPurge)
                        counts.append(QString::number(kept));
                    return counts.join(QStringLiteral(", "));
                }()));
}
