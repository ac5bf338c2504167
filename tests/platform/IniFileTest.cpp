#include "platform/IniFile.h"

#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Lookup
{
    const char *what;
    QByteArray file;
    const char *section;
    const char *key;
    QString expected;
};

void expectLookups(const QList<Lookup> &cases)
{
    for (const Lookup &c : cases) {
        SCOPED_TRACE(c.what);
        const IniFile ini = IniFile::parse(c.file);
        EXPECT_EQ(ini.value(QString::fromLatin1(c.section), QString::fromLatin1(c.key)),
                  c.expected);
    }
}

QByteArray utf16le(const QString &text)
{
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

} // namespace

TEST(IniFileNames, SectionAndKeyNamesMatchWithoutRegardToCase)
{
    expectLookups({
        {"lower-case section", "[show7]\nTitle=a\n", "Show7", "Title", "a"},
        {"upper-case section", "[SHOW7]\nTitle=a\n", "Show7", "Title", "a"},
        {"mixed-case key", "[General]\nuPLOADurl=u\n", "General", "UploadURL", "u"},
        {"lookup in other case", "[General]\nUploadURL=u\n", "GENERAL", "uploadurl", "u"},
    });
}

TEST(IniFileNames, FirstOfDuplicatedSectionsAndKeysCounts)
{
    expectLookups({
        {"duplicate key", "[S]\nK=first\nK=second\n", "S", "K", "first"},
        {"duplicate key in other case", "[S]\nK=first\nk=second\n", "S", "K", "first"},
        {"duplicate section", "[S]\nK=first\n[S]\nK=second\n", "S", "K", "first"},
        {"key only in the later duplicate section", "[S]\nA=1\n[s]\nK=later\n", "S", "K", ""},
        {"empty first value still counts", "[S]\nK=\nK=second\n", "S", "K", ""},
    });
}

TEST(IniFileNames, BlanksAroundBracketsNamesAndValuesAreIgnored)
{
    expectLookups({
        {"blanks before the bracket", " \t\v[S]\nK=v\n", "S", "K", "v"},
        {"blanks inside the brackets", "[ \tS\v ]\nK=v\n", "S", "K", "v"},
        {"[ Show7 ] is Show7", "[ Show7 ]\nTitle=t\n", "Show7", "Title", "t"},
        {"blanks around the key name", "[S]\n \t\vK \t\v=v\n", "S", "K", "v"},
        {"blanks around the value", "[S]\nK= \t\vv w \t\v\n", "S", "K", "v w"},
        {"inner blanks of a name are kept", "[S]\nCFG Folder=x\n", "S", "CFG Folder", "x"},
    });
}

TEST(IniFileNames, SectionNameEndsAtFirstClosingBracketOrEndOfLine)
{
    expectLookups({
        {"text after the bracket", "[S] trailing text\nK=v\n", "S", "K", "v"},
        {"second bracket", "[S]x]\nK=v\n", "S", "K", "v"},
        {"no closing bracket", "[S\nK=v\n", "S", "K", "v"},
        {"no closing bracket, blanks", "[ S \t\nK=v\n", "S", "K", "v"},
    });
}

TEST(IniFileNames, KeysOutsideSectionsAndLinesWithoutEqualsAreIgnored)
{
    expectLookups({
        {"key before any section", "K=v\n[S]\n", "S", "K", ""},
        {"key without equals", "[S]\nK\n", "S", "K", ""},
        {"key without equals then a real one", "[S]\nK\nK=v\n", "S", "K", "v"},
        {"empty key name", "[S]\n=v\n", "S", "K", ""},
    });
    EXPECT_FALSE(IniFile::parse("[S]\nK\n").contains(QStringLiteral("S"), QStringLiteral("K")));
}

TEST(IniFileValues, SemicolonStartsACommentOnlyInKeyPosition)
{
    expectLookups({
        {"commented key", "[S]\n;K=v\n", "S", "K", ""},
        {"commented key after blanks", "[S]\n  ;K=v\n", "S", "K", ""},
        {"commented key does not hide the real one", "[S]\n;K=old\nK=new\n", "S", "K", "new"},
        {"value starting with a semicolon", "[S]\nK=;not a comment\n", "S", "K", ";not a comment"},
        {"semicolon inside a value", "[S]\nK=a ; b\n", "S", "K", "a ; b"},
    });
}

TEST(IniFileValues, ValueIsEverythingAfterTheFirstEquals)
{
    expectLookups({
        {"upload address", "[General]\nUploadURL=https://h.example/up?token=a=b&x=1\n", "General",
         "UploadURL", "https://h.example/up?token=a=b&x=1"},
        {"equals right after the first", "[S]\nK==v\n", "S", "K", "=v"},
        {"empty value", "[S]\nK=\n", "S", "K", ""},
        {"blanks only", "[S]\nK= \t \n", "S", "K", ""},
    });
}

TEST(IniFileValues, OneMatchingPairOfOuterQuotesIsRemoved)
{
    expectLookups({
        {"double quotes", "[S]\nK=\"v\"\n", "S", "K", "v"},
        {"single quotes", "[S]\nK='v'\n", "S", "K", "v"},
        {"quotes keep inner blanks", "[S]\nK=\"  v  \"\n", "S", "K", "  v  "},
        {"blanks outside the quotes", "[S]\nK=  \"v\"  \n", "S", "K", "v"},
        {"only the outer pair", "[S]\nK=\"\"v\"\"\n", "S", "K", "\"v\""},
        {"inner quote kept", "[S]\nK=\"a\"b\"\n", "S", "K", "a\"b"},
        {"empty quotes", "[S]\nK=\"\"\n", "S", "K", ""},
        {"mismatched kinds kept", "[S]\nK=\"v'\n", "S", "K", "\"v'"},
        {"opening quote only kept", "[S]\nK=\"v\n", "S", "K", "\"v"},
        {"closing quote only kept", "[S]\nK=v\"\n", "S", "K", "v\""},
        {"single quote character kept", "[S]\nK=\"\n", "S", "K", "\""},
        {"quotes not at both ends kept", "[S]\nK=\"a\" b\n", "S", "K", "\"a\" b"},
    });
}

TEST(IniFileValues, RawValueIsEverythingAfterTheFirstEqualsUntouched)
{
    const IniFile ini = IniFile::parse("[Settings]\r\nCFG Folder = \"  /radio  \" \r\n");
    EXPECT_EQ(ini.rawValue(QStringLiteral("settings"), QStringLiteral("cfg folder")),
              QStringLiteral(" \"  /radio  \" "));
    EXPECT_EQ(ini.rawValue(QStringLiteral("Settings"), QStringLiteral("Missing")), QString());
}

TEST(IniFileEncoding, LineEndingsAndByteOrderMarks)
{
    const QString text = QStringLiteral("[General]\r\nUploadURL=u\u00e9\r\n[Show1]\r\nTitle=t\r\n");
    expectLookups({
        {"CR LF", "[General]\r\nUploadURL=u\r\n", "General", "UploadURL", "u"},
        {"LF", "[General]\nUploadURL=u\n", "General", "UploadURL", "u"},
        {"no final newline", "[General]\nUploadURL=u", "General", "UploadURL", "u"},
        {"no final newline after CR LF lines", "[General]\r\nUploadURL=u", "General", "UploadURL",
         "u"},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF[General]\r\nUploadURL=u\r\n", "General",
         "UploadURL", "u"},
        {"UTF-8 text", "[S]\nK=Caf\xC3\xA9\n", "S", "K", QStringLiteral("Caf\u00e9")},
        {"UTF-16 LE with byte-order mark", utf16le(text), "General", "UploadURL",
         QStringLiteral("u\u00e9")},
        {"UTF-16 LE later section", utf16le(text), "Show1", "Title", "t"},
    });
}

TEST(IniFileBadInput, EmptyAndGarbageGiveEmptyValues)
{
    expectLookups({
        {"empty file", "", "General", "UploadURL", ""},
        {"only newlines", "\n\r\n\n", "General", "UploadURL", ""},
        {"UTF-16 byte-order mark only", "\xFF\xFE", "General", "UploadURL", ""},
        {"odd-length UTF-16", QByteArray("\xFF\xFE[\0S\0]\0\n", 9), "S", "K", ""},
    });

    QRandomGenerator random(20261206);
    QByteArray garbage(1 << 20, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32 *>(garbage.data()), garbage.size() / 4);
    const IniFile ini = IniFile::parse(garbage);
    EXPECT_EQ(ini.value(QStringLiteral("General"), QStringLiteral("UploadURL")), QString());
}

TEST(IniFileBadInput, HugeLineAndHugeFileAreReadWhole)
{
    const QByteArray longValue(100000, 'x');
    const IniFile longLine = IniFile::parse("[S]\nK=" + longValue + "\nL=after\n");
    EXPECT_EQ(longLine.value(QStringLiteral("S"), QStringLiteral("K")).size(), 100000);
    EXPECT_EQ(longLine.value(QStringLiteral("S"), QStringLiteral("L")), QStringLiteral("after"));

    QByteArray big;
    big.reserve(10 * 1024 * 1024 + 100);
    big += "[Filler]\n";
    while (big.size() < 10 * 1024 * 1024)
        big += "Key=0123456789012345678901234567890123456789012345678901234567890123456789\n";
    big += "[General]\nUploadURL=found\n";
    const IniFile ini = IniFile::parse(big);
    EXPECT_EQ(ini.value(QStringLiteral("General"), QStringLiteral("UploadURL")),
              QStringLiteral("found"));
    EXPECT_EQ(ini.value(QStringLiteral("Filler"), QStringLiteral("Key")).size(), 70);
}

TEST(IniFileLoad, ReadsAFileAndReportsWhyItCannot)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("tunebarn.ini"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[General]\r\nUploadURL=u\r\n");
    file.close();
    const std::optional<IniFile> loaded = IniFile::load(path);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->value(QStringLiteral("General"), QStringLiteral("UploadURL")),
              QStringLiteral("u"));

    struct Failure
    {
        const char *what;
        QString path;
        int number;
        QString text;
    };
    const QList<Failure> failures{
        {"missing file", QDir(dir.path()).filePath(QStringLiteral("none.ini")), 2,
         QStringLiteral("No such file or directory")},
        {"a folder where the file should be", dir.path(), 21, QStringLiteral("Is a directory")},
        {"a path under a file", path + QStringLiteral("/x.ini"), 20,
         QStringLiteral("Not a directory")},
    };
    for (const Failure &f : failures) {
        SCOPED_TRACE(f.what);
        int number = 0;
        QString text;
        EXPECT_FALSE(IniFile::load(f.path, &number, &text).has_value());
        EXPECT_EQ(number, f.number);
        EXPECT_EQ(text, f.text);
    }
}
