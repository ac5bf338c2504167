#include "upload/DateVariables.h"
#include "about/DebugText.h"
#include "support/QtPrinters.h"
#include "upload/UploadCommand.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QDate Sunday(2026, 12, 6);
const QDate Monday(2026, 3, 2);

TEST(DateVariables, EachVariableOnTwoDays)
{
    const char *const cases[][3] = {
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
    for (const auto &c : cases) {
        const QString title = u"[%1]"_s.arg(QLatin1String(c[0]));
        EXPECT_EQ(DateVariables::expand(title, Sunday), u"[%1]"_s.arg(QLatin1String(c[1]))) << c[0];
        EXPECT_EQ(DateVariables::expand(title, Monday), u"[%1]"_s.arg(QLatin1String(c[2]))) << c[0];
    }
}

TEST(DateVariables, DaySuffixes)
{
    QString days;
    for (int day = 1; day <= 31; ++day)
        days += DateVariables::daySuffix(day) + u' ';
    EXPECT_EQ(days, QStringLiteral("st nd rd th th th th th th th th th th th th th th th th th st "
                                   "nd rd th th th th th th th st "));
}

TEST(DateVariables, OrderCaseAndRepeats)
{
    const struct
    {
        const char *title;
        const char *expanded;
    } cases[] = {
        {"", ""},
        {"Breakfast Show - %date%", "Breakfast Show - 06th December 2026"},
        {"%mm%m%", "%mm12"},
        {"%DATE% %Date% %D% %time% 100% %", "%DATE% %Date% %D% %time% 100% %"},
        {"%d%/%d%-%yyyy%%yyyy%", "6/6-20262026"},
        {"%dd!%%d!%", "06th6th"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DateVariables::expand(QString::fromLatin1(c.title), Sunday),
                  QString::fromLatin1(c.expanded))
            << c.title;
    EXPECT_EQ(DateVariables::expand(u"%date%"_s, QDate(2026, 11, 1)), u"01st November 2026"_s);
}

TEST(DateVariables, NamesFollowTheRegionalSettings)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(u"de_DE"_s));
    const QString title = DateVariables::expand(u"%ddd% %mmmm%"_s, Sunday);
    QLocale::setDefault(saved);
    EXPECT_EQ(title, u"So. Dezember"_s);
}

TEST(DateVariables, ParseFileAndTheDebugList)
{
    const QDateTime at(Sunday, QTime(14, 5, 9));
    EXPECT_EQ(ParseFile(u"show_%date%_%time%.mp3"_s, at), u"show_06/12/2026_14_05_09.mp3"_s);
    EXPECT_EQ(
        debugText(Sunday),
        QStringLiteral(
            "Variables to use in description for dates.\n\n%date%: 06th December 2026\n%d!%: 6th\n"
            "%dd!%: 06th\n%d%: 6\n%dd%: 06\n%ddd%: Sun\n%dddd%: Sunday\n%m%: 12\n%mm%: 12\n"
            "%mmm%: Dec\n%mmmm%: December\n%yyyy%: 2026\n"));
}

TEST(UploadCommand, ArgumentsInputAndTheLineShown)
{
    const UploadRequest request{u"/shows/rock, pop.mp3"_s,
                                u"Title \"quoted\""_s,
                                u"@/etc/passwd"_s,
                                u"/shows/pic.jpg"_s,
                                u"https://h.example/up?token=a\"b\\c"_s,
                                u"/data/upload.txt"_s};
    const CommandLine command = UploadCommand::build(u"/prog/curl"_s, request);
    EXPECT_EQ(command.program, u"/prog/curl"_s);
    EXPECT_EQ(command.arguments,
              QStringList({"-q", "-o", "/data/upload.txt", "-w",
                           "%{http_code} %{size_upload} %{redirect_url}", "-X", "POST", "-F",
                           "mp3=@\"/shows/rock, pop.mp3\"", "--form-string",
                           "name=Title \"quoted\"", "--form-string", "description=@/etc/passwd",
                           "-F", "picture=@/shows/pic.jpg", "--config", "-"}));
    EXPECT_EQ(command.input, QByteArray("url = \"https://h.example/up?token=a\\\"b\\\\c\"\n"));
    EXPECT_EQ(command.display,
              QStringLiteral("/prog/curl -q -o \"/data/upload.txt\" -w \"%{http_code} "
                             "%{size_upload} %{redirect_url}\" -X POST "
                             "-F \"mp3=@\"/shows/rock, "
                             "pop.mp3\"\" --form-string \"name=Title \"quoted\"\" --form-string "
                             "\"description=@/etc/passwd\" "
                             "-F \"picture=@/shows/pic.jpg\" https://h.example/up?token=a\"b\\c"));
    // Only a station that turns the check off gets "-k".
    const UploadRequest bare{u"/a.mp3"_s, {}, {}, {}, {}, u"/r"_s, true};
    EXPECT_EQ(UploadCommand::build(u"curl"_s, bare).arguments.mid(5, 10),
              QStringList({"-k", "-X", "POST", "-F", "mp3=@/a.mp3", "--form-string",
                           "name=", "--form-string", "description=", "--config"}));
}

TEST(UploadCommand, FilePathsAreQuotedOnlyWhereCurlWouldReadSyntax)
{
    const char *const cases[][2] = {
        {"/shows/plain.mp3", "/shows/plain.mp3"},
        {"/shows/with space.mp3", "/shows/with space.mp3"},
        {"/shows/a;b.mp3", "\"/shows/a;b.mp3\""},
        {"/shows/a,b.mp3", "\"/shows/a,b.mp3\""},
        {"/shows/q\"t.mp3", "\"/shows/q\\\"t.mp3\""},
        {"/shows/b\\s;.mp3", "\"/shows/b\\\\s;.mp3\""},
        {"/shows/end.mp3 ", "\"/shows/end.mp3 \""},
        {" /start.mp3", "\" /start.mp3\""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(UploadCommand::formFilePath(QString::fromLatin1(c[0])), QString::fromLatin1(c[1]))
            << c[0];
}

} // namespace
