#include "config/ConfigReader.h"

#include "support/QtPrinters.h"
#include "support/TestApp.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Reads a file whose [Show1] Title line is `titleLine` and returns what was stored.
QString storedTitle(const QByteArray &titleLine)
{
    TestApp app;
    const QString path =
        app.writeConfig("[General]\r\nUploadURL=u\r\n[Show1]\r\n" + titleLine + "\r\n");
    EXPECT_TRUE(ReadConfig(app.ctx, path));
    return app.ctx.ShowTable.Title[1];
}

QString repeated(const QString &piece, int count)
{
    return piece.repeated(count);
}

QByteArray showSection(int number, const QByteArray &header = QByteArray())
{
    const QByteArray n = QByteArray::number(number);
    return (header.isEmpty() ? "[Show" + n + "]" : header) + "\r\nFilename=/rec/show" + n +
           ".mp3\r\nTitle=Title " + n + "\r\nDescription=Description " + n +
           "\r\nUploadDay=Thu\r\nUploadTime=21:" + n.rightJustified(2, '0') + "\r\nPicture=/pic/" +
           n + ".jpg\r\n";
}

void expectShowEmpty(const ShowTableRecord &table, int number)
{
    SCOPED_TRACE(number);
    EXPECT_EQ(table.Filename[number], QString());
    EXPECT_EQ(table.Title[number], QString());
    EXPECT_EQ(table.Description[number], QString());
    EXPECT_EQ(table.UploadDay[number], QString());
    EXPECT_EQ(table.UploadTime[number], QString());
    EXPECT_EQ(table.Picture[number], QString());
}

void expectAllShowsEmpty(const ShowTableRecord &table)
{
    for (int number = 0; number <= ShowTableRecord::MaxShows; ++number)
        expectShowEmpty(table, number);
}

int filledShowCount(const ShowTableRecord &table)
{
    int count = 0;
    for (int number = 0; number <= ShowTableRecord::MaxShows; ++number) {
        if (!table.Filename[number].isEmpty() || !table.Title[number].isEmpty())
            ++count;
    }
    return count;
}

} // namespace

TEST(ReadConfigValues, CutTo254CharactersThenStrippedOfSpaces)
{
    const QString a250 = repeated(QStringLiteral("a"), 250);
    struct Case
    {
        const char *what;
        QByteArray line;
        QString expected;
    };
    const QList<Case> cases{
        {"surrounding spaces", "Title=   padded title   ", QStringLiteral("padded title")},
        {"blanks around the value", "Title=\t\v padded\v\t ", QStringLiteral("padded")},
        {"spaces kept by quotes are trimmed", "Title=\"   quoted   \"", QStringLiteral("quoted")},
        {"tabs kept by quotes stay", "Title=\"\tquoted\t\"", QStringLiteral("\tquoted\t")},
        {"single quotes", "Title=' quoted '", QStringLiteral("quoted")},
        {"mismatched quotes kept", "Title=\"quoted'", QStringLiteral("\"quoted'")},
        {"empty value", "Title=", QString()},
        {"spaces only", "Title=     ", QString()},
        {"quoted spaces only", "Title=\"     \"", QString()},
        {"exactly 254", "Title=" + repeated(QStringLiteral("x"), 254).toUtf8(),
         repeated(QStringLiteral("x"), 254)},
        {"255 is cut", "Title=" + repeated(QStringLiteral("x"), 255).toUtf8(),
         repeated(QStringLiteral("x"), 254)},
        {"300 is cut", "Title=" + repeated(QStringLiteral("0123456789"), 30).toUtf8(),
         repeated(QStringLiteral("0123456789"), 26).left(254)},
        {"cut before trim", "Title=" + (a250 + QStringLiteral("    bbbb")).toUtf8(), a250},
        {"quotes removed before the cut",
         "Title=\"" + repeated(QStringLiteral("q"), 254).toUtf8() + "\"",
         repeated(QStringLiteral("q"), 254)},
        {"quoted overlong value loses its tail",
         "Title=\"" + repeated(QStringLiteral("q"), 260).toUtf8() + "\"",
         repeated(QStringLiteral("q"), 254)},
        {"characters, not bytes", "Title=" + repeated(QStringLiteral("\u00e9"), 300).toUtf8(),
         repeated(QStringLiteral("\u00e9"), 254)},
        {"characters outside the basic plane count once",
         "Title=" + repeated(QStringLiteral("\U0001F3B5"), 300).toUtf8(),
         repeated(QStringLiteral("\U0001F3B5"), 254)},
        {"a cut never splits a character",
         "Title=" + (repeated(QStringLiteral("a"), 253) + QStringLiteral("\U0001F3B5zz")).toUtf8(),
         repeated(QStringLiteral("a"), 253) + QStringLiteral("\U0001F3B5")},
        {"address with = ? &", "Title=https://h.example/u?id=7&token=ab==",
         QStringLiteral("https://h.example/u?id=7&token=ab==")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(storedTitle(c.line), c.expected);
    }
}

TEST(ReadConfigValues, UploadAddressFollowsTheSameRules)
{
    TestApp app;
    const QString path =
        app.writeConfig("[general]\r\nuploadurl = \" https://h.example/up?token=a=b&x=1 \"\r\n");
    ASSERT_TRUE(ReadConfig(app.ctx, path));
    EXPECT_EQ(app.ctx.CFG.UploadURL, QStringLiteral("https://h.example/up?token=a=b&x=1"));
    EXPECT_TRUE(app.heldTexts().isEmpty());
}

TEST(ReadConfigTable, OnlyGeneralGivesAnAddressAndEmptyShows)
{
    TestApp app;
    const QString path = app.writeConfig("[General]\r\nUploadURL=https://h.example/up\r\n");
    ASSERT_TRUE(ReadConfig(app.ctx, path));
    EXPECT_EQ(app.ctx.CFG.UploadURL, QStringLiteral("https://h.example/up"));
    expectAllShowsEmpty(app.ctx.ShowTable);
}

TEST(ReadConfigTable, FillsEveryColumnOfShowsInAnyOrderWithGaps)
{
    TestApp app;
    const QString path =
        app.writeConfig("[Show100]\r\nFilename=/rec/last.mp3\r\n" + showSection(42) +
                        "[General]\r\nUploadURL=u\r\n" + showSection(1) +
                        "[Other]\r\nTitle=ignored\r\n[Show2]\r\nUnknown=ignored\r\n");
    ASSERT_TRUE(ReadConfig(app.ctx, path));
    const ShowTableRecord &table = app.ctx.ShowTable;
    EXPECT_EQ(table.Filename[42], QStringLiteral("/rec/show42.mp3"));
    EXPECT_EQ(table.Title[42], QStringLiteral("Title 42"));
    EXPECT_EQ(table.Description[42], QStringLiteral("Description 42"));
    EXPECT_EQ(table.UploadDay[42], QStringLiteral("Thu"));
    EXPECT_EQ(table.UploadTime[42], QStringLiteral("21:42"));
    EXPECT_EQ(table.Picture[42], QStringLiteral("/pic/42.jpg"));
    EXPECT_EQ(table.Title[1], QStringLiteral("Title 1"));
    EXPECT_EQ(table.UploadTime[1], QStringLiteral("21:01"));
    EXPECT_EQ(table.Filename[100], QStringLiteral("/rec/last.mp3"));
    EXPECT_EQ(table.Title[100], QString());
    expectShowEmpty(table, 2);
    EXPECT_EQ(filledShowCount(table), 3);
}

TEST(ReadConfigTable, SectionNamesThatAreAndAreNotShows)
{
    struct Case
    {
        const char *what;
        QByteArray header;
        int expectedShow; // 0: no show is filled
    };
    const QList<Case> cases{
        {"lower case", "[show7]", 7},
        {"upper case", "[SHOW7]", 7},
        {"blanks inside the brackets", "[ Show7 ]", 7},
        {"no closing bracket", "[Show7", 7},
        {"Show0", "[Show0]", 0},
        {"Show101", "[Show101]", 0},
        {"leading zeros", "[Show007]", 0},
        {"sign", "[Show+7]", 0},
        {"blank inside the name", "[Show 7]", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestApp app;
        const QString path =
            app.writeConfig("[General]\r\nUploadURL=u\r\n" + showSection(7, c.header));
        ASSERT_TRUE(ReadConfig(app.ctx, path));
        EXPECT_EQ(filledShowCount(app.ctx.ShowTable), c.expectedShow == 0 ? 0 : 1);
        if (c.expectedShow != 0) {
            EXPECT_EQ(app.ctx.ShowTable.Title[c.expectedShow], QStringLiteral("Title 7"));
        }
    }
}

TEST(ReadConfigTable, FirstOfDuplicatedSectionsAndKeysCounts)
{
    TestApp app;
    const QString path = app.writeConfig("[General]\r\nUploadURL=first\r\nUploadURL=second\r\n["
                                         "Show3]\r\nTitle=early\r\n[show3]\r\nTitle=late\r\n"
                                         "Filename=/late.mp3\r\n[General]\r\nUploadURL=third\r\n");
    ASSERT_TRUE(ReadConfig(app.ctx, path));
    EXPECT_EQ(app.ctx.CFG.UploadURL, QStringLiteral("first"));
    EXPECT_EQ(app.ctx.ShowTable.Title[3], QStringLiteral("early"));
    EXPECT_EQ(app.ctx.ShowTable.Filename[3], QString());
}

TEST(ReadConfigTable, EachReadReplacesTheWholeConfiguration)
{
    TestApp app;
    const QString path =
        app.writeConfig("[General]\r\nUploadURL=u\r\n" + showSection(5) + showSection(6));
    ASSERT_TRUE(ReadConfig(app.ctx, path));
    EXPECT_EQ(app.ctx.ShowTable.Title[5], QStringLiteral("Title 5"));

    app.writeConfig("[Show6]\r\nTitle=renamed\r\n");
    ASSERT_TRUE(ReadConfig(app.ctx, path));
    EXPECT_EQ(app.ctx.CFG.UploadURL, QString());
    expectShowEmpty(app.ctx.ShowTable, 5);
    EXPECT_EQ(app.ctx.ShowTable.Title[6], QStringLiteral("renamed"));
    EXPECT_EQ(app.ctx.ShowTable.Filename[6], QString());
}

TEST(ReadConfigTable, DoesNotLetEventsRunWhileReading)
{
    TestApp app;
    const QString path = app.writeConfig("[General]\r\nUploadURL=u\r\n" + showSection(9));
    bool handlerRan = false;
    QTimer::singleShot(0, [&handlerRan] { handlerRan = true; });
    ASSERT_TRUE(ReadConfig(app.ctx, path));
    EXPECT_FALSE(handlerRan);
    QCoreApplication::processEvents();
    EXPECT_TRUE(handlerRan);
}

TEST(ReadConfigEncoding, ByteOrderMarksAndLineEndings)
{
    QByteArray utf16("\xFF\xFE");
    for (const QChar c : QStringLiteral(
             "[General]\r\nUploadURL=https://h.example/\u00e9\r\n[Show1]\r\nTitle=T\u00e9"))
        utf16.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    struct Case
    {
        const char *what;
        QByteArray file;
        QString url;
        QString title;
    };
    const QList<Case> cases{
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF[General]\r\nUploadURL=u\r\n[Show1]\r\nTitle=t\r\n",
         "u", "t"},
        {"LF only", "[General]\nUploadURL=u\n[Show1]\nTitle=t\n", "u", "t"},
        {"no final newline", "[General]\r\nUploadURL=u\r\n[Show1]\r\nTitle=t", "u", "t"},
        {"UTF-16 LE", utf16, QStringLiteral("https://h.example/\u00e9"), QStringLiteral("T\u00e9")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestApp app;
        ASSERT_TRUE(ReadConfig(app.ctx, app.writeConfig(c.file)));
        EXPECT_EQ(app.ctx.CFG.UploadURL, c.url);
        EXPECT_EQ(app.ctx.ShowTable.Title[1], c.title);
    }
}

TEST(ReadConfigBadInput, OddFilesGiveAClearResult)
{
    QRandomGenerator random(61226);
    QByteArray garbage(256 * 1024, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32 *>(garbage.data()), garbage.size() / 4);

    QByteArray tenMegabytes = "[General]\r\nUploadURL=u\r\n[Show1]\r\nTitle=first\r\n";
    while (tenMegabytes.size() < 10 * 1024 * 1024)
        tenMegabytes += "Filler=" + QByteArray(1000, 'f') + "\r\n";
    tenMegabytes += "[Show2]\r\nTitle=after ten megabytes\r\n";

    struct Case
    {
        const char *what;
        QByteArray file;
        QString url;
        int shows;
    };
    const QList<Case> cases{
        {"empty file", QByteArray(), QString(), 0},
        {"binary garbage", garbage, QString(), 0},
        {"keys without equals", "[General]\r\nUploadURL\r\n[Show1]\r\nTitle\r\nFilename\r\n",
         QString(), 0},
        {"ten megabytes", tenMegabytes, "u", 2},
        {"100,000-character line",
         "[General]\r\nUploadURL=" + QByteArray(100000, 'x') + "\r\n[Show1]\r\nTitle=t\r\n",
         QString(254, u'x'), 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestApp app;
        ASSERT_TRUE(ReadConfig(app.ctx, app.writeConfig(c.file)));
        EXPECT_EQ(app.ctx.CFG.UploadURL, c.url);
        EXPECT_EQ(filledShowCount(app.ctx.ShowTable), c.shows);
        EXPECT_TRUE(app.heldTexts().isEmpty());
    }
}

TEST(ReadConfigBadInput, UnreadableFileKeepsThePreviousConfigurationAndSaysWhy)
{
    struct Case
    {
        const char *what;
        QString errorText;
    };
    const QList<Case> cases{
        {"a folder where the file should be", QStringLiteral("21 Is a directory")},
        {"no file at all", QStringLiteral("2 No such file or directory")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestApp app;
        const QString path = app.writeConfig("[General]\r\nUploadURL=kept\r\n" + showSection(4));
        ASSERT_TRUE(ReadConfig(app.ctx, path));
        ASSERT_TRUE(QFile::remove(path));
        if (c.errorText.startsWith(QStringLiteral("21"))) {
            ASSERT_TRUE(QDir().mkpath(path));
        }

        EXPECT_FALSE(ReadConfig(app.ctx, path));
        EXPECT_EQ(app.heldTexts(),
                  QStringList({QStringLiteral("ReadConfig| ERROR: ") + c.errorText +
                               QStringLiteral(" '") + path + u'\''}));
        EXPECT_EQ(app.ctx.CFG.UploadURL, QStringLiteral("kept"));
        EXPECT_EQ(app.ctx.ShowTable.Title[4], QStringLiteral("Title 4"));
    }
}
