#include "platform/IniFile.h"
#include "support/QtPrinters.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

struct Lookup
{
    const char *file;
    const char *section;
    const char *key;
    const char *value; // UTF-8
    IniFile::Encoding encoding = IniFile::Encoding::Utf8;
};

using enum IniFile::Encoding;

// The profile reader's rules, each as a file and what one lookup in it gives.
const Lookup Lookups[] = {
    {"[Show1]\nTitle=Breakfast\n", "show1", "TITLE", "Breakfast"}, // names ignore case
    {"[A]\nk=first\nk=second\n[a]\nk=third\n", "A", "k", "first"}, // first section and key count
    {"[A]\nother=1\n[a]\nk=later\n", "A", "k", ""},                // a repeated section is not read
    {"  [ A ]  \n  k  =  v  \n", "A", "k", "v"},                   // blanks around names and values
    {"[A]\n\vk\t=\v\tv\v\n", "A", "k", "v"},                       // tab and vertical tab are blanks
    {"[A]\nk=\fv\f\n", "A", "k", "\fv\f"},                           // other white space is not
    {"[A] trailing\nk=v\n", "A", "k", "v"},                        // name ends at ']'
    {"[A\nk=v\n", "A", "k", "v"},                                  // or at the end of the line
    {"k=outside\n[A]\nno equals here\n", "A", "k", ""},            // keys outside sections ignored
    {"[A]\n;k=comment\nk=v ; not a comment\n", "A", "k",
     "v ; not a comment"},                       // ';' only before a key
    {"[A]\nk=a=b\n", "A", "k", "a=b"},           // value after the first '='
    {"[A]\nk=\"quoted\"\n", "A", "k", "quoted"}, // one pair of outer quotes
    {"[A]\nk='single'\n", "A", "k", "single"},
    {"[A]\nk=\"\"twice\"\"\n", "A", "k", "\"twice\""},
    {"[A]\nk=\"unmatched'\n", "A", "k", "\"unmatched'"},
    {"[A]\nk=\"\n", "A", "k", "\""},
    {"[A]\nk=\"\"\n", "A", "k", ""},
    {"[A]\r\nk=crlf\r\n", "A", "k", "crlf"},                                  // line endings
    {"\xEF\xBB\xBF[A]\nk=bom \xE9\n", "A", "k", "bom \xEF\xBF\xBD", Utf8Bom}, // byte-order mark
    {"[A]\nk=\xC3\xA9t\xC3\xA9 \xE2\x99\xAA\n", "A", "k",
     "\xC3\xA9t\xC3\xA9 \xE2\x99\xAA"},                  // UTF-8
    {"[A]\nk=Caf\xE9\n", "A", "k", "Caf\xC3\xA9", Ansi}, // not UTF-8: the ANSI code page
    {"[A]\nk=\xC3\xA9\xC3\n", "A", "k", "\xC3\x83\xC2\xA9\xC3\x83", Ansi}, // cut short
    {"", "A", "k", ""},
    {"\x01\x02[A]\xFF\nk\n", "A", "k", "", Ansi}, // garbage
};

TEST(IniFile, LookupsFollowTheProfileReadersRules)
{
    for (const Lookup &row : Lookups) {
        // Latin-1 stands in for code page 1252: Linux's 8-bit encoding is UTF-8.
        const IniFile ini = IniFile::parse(QByteArray(row.file), QStringConverter::Latin1);
        EXPECT_EQ(ini.value(QString::fromUtf8(row.section), QString::fromUtf8(row.key)),
                  QString::fromUtf8(row.value))
            << "file: " << row.file;
        EXPECT_EQ(ini.encoding(), row.encoding) << "file: " << row.file;
    }
}

TEST(IniFile, Utf16Files)
{
    QByteArray utf16("\xFF\xFE", 2);
    for (const char c : QByteArray("[A]\r\nk=wide\r\n"))
        utf16.append(c).append('\0');
    EXPECT_EQ(IniFile::parse(utf16).value(u"A"_s, u"k"_s), u"wide"_s);
}

TEST(IniFile, LoadRefusesWhatIsNoOrdinaryFileOrTooBigWithoutOpeningIt)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "named pipes and /dev/zero: Windows has neither in its folders";
#else
    QTemporaryDir dir;
    const QString fifo = dir.filePath(u"fifo.ini"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString big = dir.filePath(u"big.ini"_s);
    QFile file(big);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[A]\nk=v\n");
    ASSERT_TRUE(file.resize(IniFile::MaxFileBytes + 1));
    file.close();

    const struct
    {
        QString path;
        int error;
    } cases[] = {{fifo, EINVAL},
                 {dir.path(), EINVAL},
                 {u"/dev/zero"_s, EINVAL},
                 {big, EFBIG},
                 {dir.filePath(u"missing.ini"_s), ENOENT}};
    for (const auto &row : cases) {
        FileError error;
        EXPECT_FALSE(IniFile::load(row.path, &error)) << row.path.toStdString();
        EXPECT_EQ(error.number, row.error) << row.path.toStdString();
    }
    ASSERT_TRUE(file.resize(8));
    EXPECT_EQ(IniFile::load(big)->value(u"A"_s, u"k"_s), u"v"_s);
#endif
}

} // namespace
