#include "upload/ScheduleMemory.h"

#include "support/QtPrinters.h"

#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

const QDate Day(2027, 3, 26);

QDateTime at(const QDate &date, int hour, int minute, int offsetHours = 0)
{
    return QDateTime(date, QTime(hour, minute, 37), QTimeZone(offsetHours * 3600));
}

QDateTime slot(const QDate &date, int hour, int minute, int offsetHours = 0)
{
    return ScheduleMemory::wallMinute(at(date, hour, minute, offsetHours));
}

QStringList texts(const QList<QDateTime> &minutes)
{
    QStringList list;
    for (const QDateTime &minute : minutes)
        list.append(minute.toString(QStringLiteral("dd HH:mm")));
    return list;
}

QStringList minutesFrom(const QDate &date, int hour, int minute, int count)
{
    QStringList list;
    QDateTime next(date, QTime(hour, minute), QTimeZone::utc());
    for (int n = 0; n < count; ++n, next = next.addSecs(60))
        list.append(next.toString(QStringLiteral("dd HH:mm")));
    return list;
}

} // namespace

TEST(ScheduleMemory, WallMinuteIsTheClockFaceWhateverTheOffset)
{
    EXPECT_EQ(slot(Day, 14, 5, 0), slot(Day, 14, 5, 1));
    EXPECT_EQ(slot(Day, 14, 5, 0), slot(Day, 14, 5, -7));
    EXPECT_NE(slot(Day, 14, 5), slot(Day, 14, 6));
    EXPECT_NE(slot(Day, 14, 5), slot(Day.addDays(1), 14, 5));
    EXPECT_EQ(ScheduleMemory::wallMinute(at(Day, 14, 5)).time(), QTime(14, 5));

    // The minute after 00:59 is 01:00 even on the night that 01:00 never shows on the clock.
    const QDate summerTime(2027, 3, 28);
    EXPECT_EQ(slot(summerTime, 0, 59).addSecs(60), slot(summerTime, 1, 0));
    EXPECT_EQ(slot(summerTime, 2, 0, 1).addSecs(-60), slot(summerTime, 1, 59));
}

TEST(ScheduleMemory, MarkedMinutesAreHandledAndOthersAreNot)
{
    ScheduleMemory memory;
    EXPECT_FALSE(memory.isHandled(slot(Day, 9, 0)));
    EXPECT_EQ(memory.size(), 0);

    memory.markHandled(slot(Day, 9, 0));
    memory.markHandled(slot(Day, 9, 0));

    EXPECT_TRUE(memory.isHandled(slot(Day, 9, 0)));
    // Summer time ending shows the same wall minute again an hour later: it is the same slot.
    EXPECT_TRUE(memory.isHandled(slot(Day, 9, 0, 1)));
    EXPECT_FALSE(memory.isHandled(slot(Day, 9, 1)));
    EXPECT_FALSE(memory.isHandled(slot(Day, 8, 59)));
    EXPECT_FALSE(memory.isHandled(slot(Day.addDays(7), 9, 0)));
    EXPECT_EQ(memory.size(), 1);
}

TEST(ScheduleMemory, MissedMinutesAreTheSkippedOnesOldestFirstWithinTheLimit)
{
    ScheduleMemory memory;
    EXPECT_TRUE(memory.missedBefore(slot(Day, 12, 10), 60).isEmpty()) << "nothing marked yet";

    memory.markHandled(slot(Day, 11, 50));

    EXPECT_TRUE(memory.missedBefore(slot(Day, 11, 51), 60).isEmpty()) << "no gap";
    EXPECT_TRUE(memory.missedBefore(slot(Day, 12, 10), 0).isEmpty()) << "catching up is off";
    EXPECT_TRUE(memory.missedBefore(slot(Day, 12, 10), -5).isEmpty());
    EXPECT_EQ(texts(memory.missedBefore(slot(Day, 12, 10), 60)), minutesFrom(Day, 11, 51, 19));
    EXPECT_EQ(texts(memory.missedBefore(slot(Day, 12, 10), 19)), minutesFrom(Day, 11, 51, 19));
    EXPECT_EQ(texts(memory.missedBefore(slot(Day, 12, 10), 15)), minutesFrom(Day, 11, 55, 15));
    EXPECT_EQ(texts(memory.missedBefore(slot(Day, 12, 10), 1)), minutesFrom(Day, 12, 9, 1));
    EXPECT_TRUE(memory.missedBefore(slot(Day, 11, 40), 60).isEmpty()) << "clock set back";
    EXPECT_TRUE(memory.missedBefore(slot(Day, 11, 50), 60).isEmpty()) << "the same minute";
}

TEST(ScheduleMemory, MissedMinutesCrossMidnightAndTheSummerTimeGap)
{
    ScheduleMemory memory;
    memory.markHandled(slot(Day, 23, 58));
    EXPECT_EQ(texts(memory.missedBefore(slot(Day.addDays(1), 0, 3), 30)),
              QStringList({QStringLiteral("26 23:59"), QStringLiteral("27 00:00"),
                           QStringLiteral("27 00:01"), QStringLiteral("27 00:02")}));

    const QDate summerTime(2027, 3, 28);
    memory.markHandled(slot(summerTime, 0, 59, 0));
    const QDateTime afterTheGap = slot(summerTime, 2, 0, 1);
    EXPECT_EQ(texts(memory.missedBefore(afterTheGap, 24 * 60)), minutesFrom(summerTime, 1, 0, 60));
    EXPECT_EQ(texts(memory.missedBefore(afterTheGap, 15)), minutesFrom(summerTime, 1, 45, 15));
}

TEST(ScheduleMemory, HandledMinutesInsideAGapAreNotMissed)
{
    ScheduleMemory memory;
    memory.markHandled(slot(Day, 10, 5));
    memory.markHandled(slot(Day, 10, 7));
    memory.markHandled(slot(Day, 10, 0));

    EXPECT_EQ(texts(memory.missedBefore(slot(Day, 10, 9), 60)),
              QStringList({QStringLiteral("26 10:01"), QStringLiteral("26 10:02"),
                           QStringLiteral("26 10:03"), QStringLiteral("26 10:04"),
                           QStringLiteral("26 10:06"), QStringLiteral("26 10:08")}));
}

TEST(ScheduleMemory, ClockPutRightAfterRunningAheadStillFindsTheMinutesItSkipsLater)
{
    ScheduleMemory memory;
    memory.markHandled(slot(Day, 9, 0));
    memory.markHandled(slot(Day, 11, 0)); // two hours ahead for a minute
    memory.markHandled(slot(Day, 9, 1));  // put right

    EXPECT_EQ(memory.lastHandled(), slot(Day, 9, 1));
    EXPECT_EQ(texts(memory.missedBefore(slot(Day, 9, 20), 5)), minutesFrom(Day, 9, 15, 5));
}

TEST(ScheduleMemory, ForgettingKeepsYesterdayAndTodayOnly)
{
    ScheduleMemory memory;
    memory.markHandled(slot(Day.addDays(-2), 23, 59));
    memory.markHandled(slot(Day.addDays(-1), 0, 0));
    memory.markHandled(slot(Day, 12, 0));

    memory.forgetBefore(Day.addDays(-1));

    EXPECT_FALSE(memory.isHandled(slot(Day.addDays(-2), 23, 59)));
    EXPECT_TRUE(memory.isHandled(slot(Day.addDays(-1), 0, 0)));
    EXPECT_TRUE(memory.isHandled(slot(Day, 12, 0)));
    EXPECT_EQ(memory.size(), 2);
}

TEST(ScheduleMemory, StaysBoundedWhenEveryMinuteOfDaysOnEndIsHandled)
{
    ScheduleMemory memory;
    QDateTime minute = slot(Day, 0, 0);
    qsizetype largest = 0;
    for (int n = 0; n < 4 * 24 * 60; ++n, minute = minute.addSecs(60)) {
        memory.markHandled(minute);
        memory.forgetBefore(minute.date().addDays(-1));
        largest = std::max(largest, memory.size());
    }

    EXPECT_EQ(largest, 2 * 24 * 60);
    EXPECT_EQ(memory.size(), 24 * 60 + 24 * 60);
    EXPECT_TRUE(memory.missedBefore(minute, 24 * 60).isEmpty());
}
