#include "about/DebugText.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

QStringList linesOf(const QDate &date)
{
    return debugText(date).split(u'\n');
}

TEST(DebugTextTest, SixthOfDecember2026ExactlyAsTheOperatorSeesIt)
{
    EXPECT_EQ(debugText(QDate(2026, 12, 6)),
              QStringLiteral("Variables to use in description for dates.\n"
                             "\n"
                             "%date%: 06th December 2026\n"
                             "%d!%: 6th\n"
                             "%dd!%: 06th\n"
                             "%d%: 6\n"
                             "%dd%: 06\n"
                             "%ddd%: Sun\n"
                             "%dddd%: Sunday\n"
                             "%m%: 12\n"
                             "%mm%: 12\n"
                             "%mmm%: Dec\n"
                             "%mmmm%: December\n"
                             "%yyyy%: 2026\n"));
}

TEST(DebugTextTest, LineFeedsOnly)
{
    const QString text = debugText(QDate(2026, 1, 1));
    EXPECT_FALSE(text.contains(u'\r'));
    EXPECT_EQ(text.count(u'\n'), 14);
    EXPECT_TRUE(text.endsWith(QStringLiteral("%yyyy%: 2026\n")));
}

TEST(DebugTextTest, FirstOfTheMonth)
{
    const QStringList lines = linesOf(QDate(2026, 3, 1));
    EXPECT_EQ(lines[2], QStringLiteral("%date%: 01st March 2026"));
    EXPECT_EQ(lines[3], QStringLiteral("%d!%: 1st"));
    EXPECT_EQ(lines[4], QStringLiteral("%dd!%: 01st"));
    EXPECT_EQ(lines[5], QStringLiteral("%d%: 1"));
    EXPECT_EQ(lines[6], QStringLiteral("%dd%: 01"));
    EXPECT_EQ(lines[7], QStringLiteral("%ddd%: Sun"));
    EXPECT_EQ(lines[9], QStringLiteral("%m%: 3"));
    EXPECT_EQ(lines[10], QStringLiteral("%mm%: 03"));
}

TEST(DebugTextTest, EleventhToThirteenthTakeTh)
{
    for (int day : {11, 12, 13}) {
        const QStringList lines = linesOf(QDate(2026, 2, day));
        const QString number = QString::number(day);
        EXPECT_EQ(lines[2],
                  QStringLiteral("%date%: ") + number + QStringLiteral("th February 2026"));
        EXPECT_EQ(lines[3], QStringLiteral("%d!%: ") + number + QStringLiteral("th"));
        EXPECT_EQ(lines[4], QStringLiteral("%dd!%: ") + number + QStringLiteral("th"));
    }
}

TEST(DebugTextTest, TwentySecondTakesNd)
{
    const QStringList lines = linesOf(QDate(2026, 7, 22));
    EXPECT_EQ(lines[2], QStringLiteral("%date%: 22nd July 2026"));
    EXPECT_EQ(lines[3], QStringLiteral("%d!%: 22nd"));
    EXPECT_EQ(lines[4], QStringLiteral("%dd!%: 22nd"));
    EXPECT_EQ(lines[8], QStringLiteral("%dddd%: Wednesday"));
}

} // namespace
