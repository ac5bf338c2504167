#include "upload/DateVariables.h"

#include "support/QtPrinters.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

const QDate SundayInDecember(2026, 12, 6);
const QDate MondayInMarch(2026, 3, 2);

// Puts the program in another country's regional settings for one test.
class RegionalSettings
{
public:
    explicit RegionalSettings(const QString &name) : m_saved(QLocale())
    {
        QLocale::setDefault(QLocale(name));
    }
    ~RegionalSettings() { QLocale::setDefault(m_saved); }

private:
    QLocale m_saved;
};

} // namespace

TEST(DateVariables, EachVariableGivesItsValueOnTwoDays)
{
    struct Case
    {
        const char *variable;
        const char *december6;
        const char *march2;
    };
    const Case cases[] = {
        {"%date%", "06th December 2026", "02nd March 2026"},
        {"%d!%", "6th", "2nd"},
        {"%dd!%", "06th", "02nd"},
        {"%d%", "6", "2"},
        {"%dd%", "06", "02"},
        {"%ddd%", "Sun", "Mon"},
        {"%dddd%", "Sunday", "Monday"},
        {"%m%", "12", "3"},
        {"%mm%", "12", "03"},
        {"%mmm%", "Dec", "Mar"},
        {"%mmmm%", "December", "March"},
        {"%yyyy%", "2026", "2026"},
    };
    for (const Case &c : cases) {
        const QString title =
            QStringLiteral("[") + QString::fromLatin1(c.variable) + QStringLiteral("]");
        EXPECT_EQ(DateVariables::expand(title, SundayInDecember),
                  QStringLiteral("[%1]").arg(c.december6))
            << c.variable;
        EXPECT_EQ(DateVariables::expand(title, MondayInMarch), QStringLiteral("[%1]").arg(c.march2))
            << c.variable;
    }
}

TEST(DateVariables, DaySuffixFollowsTheTwoDigitDay)
{
    struct Case
    {
        int day;
        const char *dayWithSuffix;
        const char *twoDigitsWithSuffix;
        const char *date;
    };
    const Case cases[] = {
        {1, "1st", "01st", "01st July 2027"},   {2, "2nd", "02nd", "02nd July 2027"},
        {3, "3rd", "03rd", "03rd July 2027"},   {4, "4th", "04th", "04th July 2027"},
        {10, "10th", "10th", "10th July 2027"}, {11, "11th", "11th", "11th July 2027"},
        {12, "12th", "12th", "12th July 2027"}, {13, "13th", "13th", "13th July 2027"},
        {14, "14th", "14th", "14th July 2027"}, {20, "20th", "20th", "20th July 2027"},
        {21, "21st", "21st", "21st July 2027"}, {22, "22nd", "22nd", "22nd July 2027"},
        {23, "23rd", "23rd", "23rd July 2027"}, {24, "24th", "24th", "24th July 2027"},
        {30, "30th", "30th", "30th July 2027"}, {31, "31st", "31st", "31st July 2027"},
    };
    for (const Case &c : cases) {
        const QDate date(2027, 7, c.day);
        EXPECT_EQ(DateVariables::expand(QStringLiteral("%d!%|%dd!%|%date%"), date),
                  QStringLiteral("%1|%2|%3").arg(c.dayWithSuffix, c.twoDigitsWithSuffix, c.date))
            << "day " << c.day;
    }
}

TEST(DateVariables, TitlesWithoutVariablesComeBackUnchanged)
{
    for (const char *title : {"", "Breakfast Show", "100% Hits", "%", "%%", "%time%", "%x%",
                              "50% off 20%", "%date", "date%", "% date %", "%d !%", "%mmmmm%"}) {
        EXPECT_EQ(DateVariables::expand(QString::fromLatin1(title), SundayInDecember),
                  QString::fromLatin1(title))
            << title;
    }
}

TEST(DateVariables, VariablesAreMatchedWithTheirCase)
{
    EXPECT_EQ(DateVariables::expand(QStringLiteral("%DATE% %Date% %D% %DD% %M% %MMMM% %YYYY% %D!%"),
                                    SundayInDecember),
              QStringLiteral("%DATE% %Date% %D% %DD% %M% %MMMM% %YYYY% %D!%"));
}

TEST(DateVariables, EveryOccurrenceIsReplaced)
{
    EXPECT_EQ(DateVariables::expand(QStringLiteral("%d% and %d%, %d%%d% - %date% / %date%"),
                                    SundayInDecember),
              QStringLiteral("6 and 6, 66 - 06th December 2026 / 06th December 2026"));
    EXPECT_EQ(DateVariables::expand(QStringLiteral("Breakfast Show - %date% %yyyy% at %time%"),
                                    SundayInDecember),
              QStringLiteral("Breakfast Show - 06th December 2026 2026 at %time%"));
}

TEST(DateVariables, TheFirstVariableInTheTableWinsASharedPercentSign)
{
    EXPECT_EQ(DateVariables::expand(QStringLiteral("%mm%m%"), SundayInDecember),
              QStringLiteral("%mm12"));
    EXPECT_EQ(DateVariables::expand(QStringLiteral("%mm%m%"), MondayInMarch),
              QStringLiteral("%mm3"));
    EXPECT_EQ(DateVariables::expand(QStringLiteral("%d%d%"), SundayInDecember),
              QStringLiteral("6d%"));
    EXPECT_EQ(DateVariables::expand(QStringLiteral("%%date%%"), SundayInDecember),
              QStringLiteral("%06th December 2026%"));
    EXPECT_EQ(DateVariables::expand(QStringLiteral("%dddd%%ddd%%dd%%d%"), SundayInDecember),
              QStringLiteral("SundaySun066"));
}

TEST(DateVariables, AnInsertedValueIsNeverSearchedAgain)
{
    EXPECT_EQ(DateVariables::replaceAll(QStringLiteral("a%d%b%d%"), QStringLiteral("%d%"),
                                        QStringLiteral("%d%%d%")),
              QStringLiteral("a%d%%d%b%d%%d%"));
    EXPECT_EQ(DateVariables::replaceAll(QStringLiteral("%d%d%d%"), QStringLiteral("%d%"),
                                        QStringLiteral("x")),
              QStringLiteral("xdx"));
    EXPECT_EQ(DateVariables::replaceAll(QString(), QStringLiteral("%d%"), QStringLiteral("x")),
              QString());
}

TEST(DateVariables, NamesComeFromTheRegionalSettings)
{
    const RegionalSettings german(QStringLiteral("de_DE"));

    EXPECT_EQ(DateVariables::expand(QStringLiteral("%date% | %dddd% | %mmmm% | %d!% | %mm%"),
                                    SundayInDecember),
              QStringLiteral("06th Dezember 2026 | Sonntag | Dezember | 6th | 12"));
}

TEST(ParseFile, DateAndTimeOfTheRegionalSettingsMadeFitForAFileName)
{
    const QDateTime now(SundayInDecember, QTime(14, 5, 9));

    EXPECT_EQ(ParseFile(QStringLiteral("show_%date%_%time%.mp3"), now),
              QStringLiteral("show_06/12/2026_14_05_09.mp3"));
    EXPECT_EQ(ParseFile(QStringLiteral("%time%-%time%"), QDateTime(MondayInMarch, QTime(9, 0, 3))),
              QStringLiteral("09_00_03-09_00_03"));
    const RegionalSettings german(QStringLiteral("de_DE"));
    EXPECT_EQ(ParseFile(QStringLiteral("show_%date%_%time%.mp3"), now),
              QStringLiteral("show_06-12-26_14_05_09.mp3"));
}

TEST(ParseFile, OnlyItsOwnTwoVariablesInLowerCase)
{
    const QDateTime now(SundayInDecember, QTime(14, 5, 9));

    for (const char *file :
         {"", "show.mp3", "%DATE%_%Time%.mp3", "%d%_%yyyy%_%dddd%.mp3", "100%.mp3"})
        EXPECT_EQ(ParseFile(QString::fromLatin1(file), now), QString::fromLatin1(file)) << file;
}
