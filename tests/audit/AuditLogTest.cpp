#include "audit/AuditLog.h"

#include "support/QtPrinters.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

const QDate Today(2026, 12, 6);

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

int permissionBits(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

QStringList numberedLines(int from, int to)
{
    QStringList lines;
    for (int n = from; n <= to; ++n)
        lines.append(QStringLiteral("line ") + QString::number(n));
    return lines;
}

void appendAll(TestApp &app, const QStringList &texts)
{
    for (const QString &text : texts)
        app.ctx.AppendLog(text);
}

// While it lives, this process cannot write past `bytes` in any file.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
};

} // namespace

TEST(AuditLine, TimeTwoSpacesAndTheTextUnchanged)
{
    struct Case
    {
        const char *what;
        QTime time;
        QString text;
        QString line;
    };
    const QList<Case> cases{
        {"report", QTime(14, 3, 27), QStringLiteral("Form_Load| Application Started."),
         QStringLiteral("14:03:27  Form_Load| Application Started.")},
        {"empty text", QTime(14, 3, 27), QString(), QStringLiteral("14:03:27  ")},
        {"outer spaces kept", QTime(9, 5, 3), QStringLiteral("  padded  "),
         QStringLiteral("09:05:03    padded  ")},
        {"midnight", QTime(0, 0, 0), QStringLiteral("x"), QStringLiteral("00:00:00  x")},
        {"last second", QTime(23, 59, 59), QStringLiteral("x"), QStringLiteral("23:59:59  x")},
        {"nothing escaped", QTime(12, 0, 0), QStringLiteral("a\tb 'c' \"d\" %date%"),
         QStringLiteral("12:00:00  a\tb 'c' \"d\" %date%")},
    };
    TestApp app;
    QStringList expected;
    for (const Case &c : cases) {
        app.clock.set(Today, c.time);
        app.ctx.AppendLog(c.text);
        expected.append(c.line);
    }
    EXPECT_EQ(app.ctx.Audit.heldLines(), expected);
}

TEST(AuditLine, TimeStampUsesColonsWhateverTheLocale)
{
    TestApp app;
    QLocale::setDefault(QLocale(QStringLiteral("fi_FI")));
    app.ctx.AppendLog(QStringLiteral("x"));
    QLocale::setDefault(QLocale(QStringLiteral("en_GB")));
    EXPECT_EQ(app.ctx.Audit.heldLines(), QStringList({QStringLiteral("14:03:27  x")}));
}

TEST(AuditLine, AppendingNeverTouchesAFile)
{
    TestApp app;
    appendAll(app, numberedLines(1, 700));
    EXPECT_EQ(app.ctx.Audit.heldLines().size(), 700);
    EXPECT_FALSE(QFileInfo::exists(app.auditFolder()));
}

TEST(AuditFile, DailyFileNameUsesTheDateAtFlushTime)
{
    struct Case
    {
        QDate date;
        const char *name;
    };
    for (const Case &c : {Case{QDate(2026, 12, 6), "Tunebarn061226Adt.txt"},
                          Case{QDate(2027, 2, 1), "Tunebarn010227Adt.txt"},
                          Case{QDate(2100, 1, 31), "Tunebarn310100Adt.txt"}}) {
        SCOPED_TRACE(c.name);
        TestApp app;
        app.clock.set(c.date, QTime(8, 0));
        EXPECT_EQ(app.ctx.Audit.dailyFilePath(), app.auditFolder() + QString::fromLatin1(c.name));
    }
}

TEST(AuditFile, FlushWritesCrLfLinesInTheLocaleEncodingAndEmptiesTheBuffer)
{
    TestApp app;
    ASSERT_TRUE(QDir().mkpath(app.auditFolder()));
    app.ctx.AppendLog(QStringLiteral("one"));
    app.clock.advanceSeconds(1);
    app.ctx.AppendLog(QStringLiteral("Caf\u00e9"));
    app.ctx.AppendLog(QString());
    app.ctx.WriteLog();

    EXPECT_EQ(fileBytes(app.auditFolder() + QStringLiteral("Tunebarn061226Adt.txt")),
              QByteArray("14:03:27  one\r\n14:03:28  Caf\xC3\xA9\r\n14:03:28  \r\n"));
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
    EXPECT_FALSE(app.ctx.Audit.isFlushing());
}

TEST(AuditFile, FlushWithEmptyBufferCreatesAnEmptyFileAndLeavesAnExistingOneAlone)
{
    TestApp app;
    ASSERT_TRUE(QDir().mkpath(app.auditFolder()));
    const QString path = app.auditFilePath(Today);
    app.ctx.WriteLog();
    ASSERT_TRUE(QFileInfo(path).isFile());
    EXPECT_EQ(QFileInfo(path).size(), 0);

    app.writeFile(path, "10:00:00  earlier\r\n");
    app.ctx.WriteLog();
    EXPECT_EQ(fileBytes(path), QByteArray("10:00:00  earlier\r\n"));
}

TEST(AuditFile, FlushesOfOneDayAppendAndMidnightStartsANewFile)
{
    TestApp app;
    ASSERT_TRUE(QDir().mkpath(app.auditFolder()));
    app.clock.set(Today, QTime(23, 59, 30));
    app.ctx.AppendLog(QStringLiteral("first"));
    app.ctx.WriteLog();
    app.clock.set(Today, QTime(23, 59, 40));
    app.ctx.AppendLog(QStringLiteral("second"));
    app.ctx.WriteLog();
    app.clock.set(Today, QTime(23, 59, 50));
    app.ctx.AppendLog(QStringLiteral("before midnight"));
    app.clock.set(Today.addDays(1), QTime(0, 0, 10));
    app.ctx.WriteLog();

    EXPECT_EQ(app.auditLines(Today),
              QStringList({QStringLiteral("23:59:30  first"), QStringLiteral("23:59:40  second")}));
    EXPECT_EQ(app.auditLines(Today.addDays(1)),
              QStringList({QStringLiteral("23:59:50  before midnight")}));
}

TEST(AuditFile, FolderAndFilesArePrivateToTheUser)
{
    TestApp app;
    app.ctx.Audit.CheckAuditFolderExists(app.ctx.CFG.LocalAppFolder);
    app.ctx.AppendLog(QStringLiteral("token=secret"));
    app.ctx.WriteLog();
    EXPECT_EQ(permissionBits(app.auditFolder()), 0700);
    EXPECT_EQ(permissionBits(app.auditFilePath(Today)), 0600);
}

TEST(AuditFolder, CreatedWhenMissingAndLoggedOnlyThen)
{
    struct Case
    {
        const char *what;
        QString localAppFolder; // relative to the test home
    };
    for (const Case &c : {Case{"parent exists", QStringLiteral("/local/")},
                          Case{"parents missing too", QStringLiteral("/fresh/.local/share/")}}) {
        SCOPED_TRACE(c.what);
        TestApp app;
        const QString folder = app.home() + c.localAppFolder;
        const QString auditFolder = folder + QStringLiteral("TunebarnUploader/");
        app.ctx.CFG.LocalAppFolder = folder;

        app.ctx.Audit.CheckAuditFolderExists(folder);
        EXPECT_TRUE(QFileInfo(auditFolder).isDir());
        EXPECT_EQ(
            app.heldTexts(),
            QStringList(
                {QStringLiteral("CheckAuditFolderExists| Local App path doesnt exist. Creating: ") +
                 auditFolder}));
        app.ctx.Audit.CheckAuditFolderExists(folder);
        EXPECT_EQ(app.heldTexts().size(), 1);
        EXPECT_EQ(app.ctx.CFG.LocalAppFolder, folder);
    }
}

TEST(AuditFolder, ThatCannotBeMadeIsLoggedAndTheLinesWait)
{
    TestApp app;
    const QString blocker = app.home() + QStringLiteral("/blocker");
    app.writeFile(blocker, "a file where a folder should be");
    app.ctx.CFG.LocalAppFolder = blocker + u'/';
    const QString auditFolder = blocker + QStringLiteral("/TunebarnUploader/");

    app.ctx.Audit.CheckAuditFolderExists(app.ctx.CFG.LocalAppFolder);
    app.ctx.AppendLog(QStringLiteral("waiting"));
    app.ctx.WriteLog();
    EXPECT_EQ(
        app.heldTexts(),
        QStringList(
            {QStringLiteral("CheckAuditFolderExists| Local App path doesnt exist. Creating: ") +
                 auditFolder,
             QStringLiteral("CheckAuditFolderExists| ERROR: 17 File exists"),
             QStringLiteral("waiting"),
             QStringLiteral("CheckAuditFolderExists| Local App path doesnt exist. Creating: ") +
                 auditFolder,
             QStringLiteral("CheckAuditFolderExists| ERROR: 17 File exists"),
             QStringLiteral("WriteLog| ERROR: 20 Not a directory")}));
    EXPECT_TRUE(app.dialogs.shown.isEmpty());
}

TEST(AuditFolder, VanishedBetweenFlushesIsMadeAgain)
{
    TestApp app;
    app.ctx.AppendLog(QStringLiteral("before"));
    app.ctx.WriteLog();
    ASSERT_TRUE(QDir(app.auditFolder()).removeRecursively());

    app.ctx.AppendLog(QStringLiteral("after"));
    app.ctx.WriteLog();
    EXPECT_EQ(app.auditTexts(Today),
              QStringList({QStringLiteral("after"),
                           QStringLiteral(
                               "CheckAuditFolderExists| Local App path doesnt exist. Creating: ") +
                               app.auditFolder()}));
    EXPECT_EQ(permissionBits(app.auditFolder()), 0700);
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
}

TEST(AuditFailure, FailedFlushKeepsTheLinesAndTheNextFlushWritesThemThenTheError)
{
    struct Case
    {
        const char *what;
        std::function<bool(TestApp &)> breakIt;
        std::function<bool(TestApp &)> mendIt;
        QStringList failureLines;
        bool folderMadeAgain = false;
    };
    const auto dailyFile = [](TestApp &app) { return app.auditFilePath(Today); };
    const auto auditFolderPath = [](TestApp &app) { return app.auditFolder().chopped(1); };
    const QList<Case> cases{
        {"the daily file is a folder",
         [&](TestApp &app) { return QDir().mkpath(dailyFile(app)); },
         [&](TestApp &app) { return QDir().rmdir(dailyFile(app)); },
         {QStringLiteral("WriteLog| ERROR: 21 Is a directory")}},
        {"the disk is full",
         [&](TestApp &app) {
             return QFileInfo::exists(QStringLiteral("/dev/full")) &&
                    QDir().mkpath(app.auditFolder()) &&
                    QFile::link(QStringLiteral("/dev/full"), dailyFile(app));
         },
         [&](TestApp &app) { return QFile::remove(dailyFile(app)); },
         {QStringLiteral("WriteLog| ERROR: 28 No space left on device")}},
        {"the audit folder is a file",
         [&](TestApp &app) {
             app.writeFile(auditFolderPath(app), "not a folder");
             return true;
         },
         [&](TestApp &app) { return QFile::remove(auditFolderPath(app)); },
         {QStringLiteral("CheckAuditFolderExists| Local App path doesnt exist. Creating: "),
          QStringLiteral("CheckAuditFolderExists| ERROR: 17 File exists"),
          QStringLiteral("WriteLog| ERROR: 20 Not a directory")},
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestApp app;
        QStringList failureLines = c.failureLines;
        if (c.folderMadeAgain)
            failureLines[0] += app.auditFolder();
        ASSERT_TRUE(c.breakIt(app));
        appendAll(app, {QStringLiteral("one"), QStringLiteral("two")});

        app.ctx.WriteLog();
        const QStringList retained =
            QStringList({QStringLiteral("one"), QStringLiteral("two")}) + failureLines;
        EXPECT_EQ(app.heldTexts(), retained);
        EXPECT_FALSE(app.ctx.Audit.isFlushing());
        EXPECT_TRUE(app.dialogs.shown.isEmpty());

        ASSERT_TRUE(c.mendIt(app));
        app.ctx.WriteLog();
        QStringList written = retained;
        if (c.folderMadeAgain)
            written << QStringLiteral(
                           "CheckAuditFolderExists| Local App path doesnt exist. Creating: ") +
                           app.auditFolder();
        EXPECT_EQ(app.auditTexts(Today), written);
        EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());

        app.ctx.AppendLog(QStringLiteral("later"));
        app.ctx.WriteLog();
        EXPECT_EQ(app.auditTexts(Today), written + QStringList({QStringLiteral("later")}));
    }
}

TEST(AuditFailure, WriteFailingMidwayNeitherDuplicatesNorLosesLines)
{
    TestApp app;
    app.ctx.Audit.CheckAuditFolderExists(app.ctx.CFG.LocalAppFolder);
    app.ctx.Audit.reset();
    appendAll(app, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    {
        // Each line is "14:03:27  x\r\n", 13 bytes: room for exactly two of them.
        const FileSizeLimit limit(26);
        app.ctx.WriteLog();
    }
    EXPECT_EQ(app.auditTexts(Today), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(app.heldTexts(), QStringList({QStringLiteral("c"),
                                            QStringLiteral("WriteLog| ERROR: 27 File too large")}));

    app.ctx.WriteLog();
    EXPECT_EQ(app.auditTexts(Today),
              QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                           QStringLiteral("WriteLog| ERROR: 27 File too large")}));
}

TEST(AuditReentry, NestedFlushReturnsAtOnceAndLinesAddedMeanwhileSurvive)
{
    TestApp app;
    ASSERT_TRUE(QDir().mkpath(app.auditFolder()));
    appendAll(app, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    const QString path = app.auditFilePath(Today);
    bool nestedRan = false;
    QTimer::singleShot(0, [&] {
        nestedRan = true;
        EXPECT_TRUE(app.ctx.Audit.isFlushing());
        const QStringList heldBefore = app.ctx.Audit.heldLines();
        const QByteArray fileBefore = fileBytes(path);
        app.ctx.WriteLog();
        EXPECT_EQ(app.ctx.Audit.heldLines(), heldBefore);
        EXPECT_EQ(fileBytes(path), fileBefore);
        EXPECT_TRUE(app.ctx.Audit.isFlushing());
        app.ctx.AppendLog(QStringLiteral("from a handler"));
        QTimer::singleShot(0,
                           [&app] { app.ctx.AppendLog(QStringLiteral("from a later handler")); });
    });
    app.ctx.WriteLog();

    ASSERT_TRUE(nestedRan);
    EXPECT_EQ(app.auditTexts(Today),
              QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(app.heldTexts(), QStringList({QStringLiteral("from a handler"),
                                            QStringLiteral("from a later handler")}));

    app.ctx.WriteLog();
    EXPECT_EQ(
        app.auditTexts(Today),
        QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                     QStringLiteral("from a handler"), QStringLiteral("from a later handler")}));
}

TEST(AuditCapacity, PastTheCapTheOldestAreDroppedAndTheNextFlushSaysSoFirst)
{
    TestApp app;
    ASSERT_TRUE(QDir().mkpath(app.auditFolder()));
    const int extra = 5;
    appendAll(app, numberedLines(1, AuditLog::MaxHeldLines + extra));
    ASSERT_EQ(app.ctx.Audit.heldLines().size(), AuditLog::MaxHeldLines);
    EXPECT_EQ(app.heldTexts().first(), QStringLiteral("line 6"));

    app.clock.set(Today, QTime(14, 5, 0));
    app.ctx.WriteLog();
    const QStringList lines = app.auditLines(Today);
    ASSERT_EQ(lines.size(), AuditLog::MaxHeldLines + 1);
    EXPECT_EQ(lines.first(),
              QStringLiteral("14:05:00  WriteLog| ERROR: 5 audit lines were dropped"));
    EXPECT_EQ(withoutTimes(lines.mid(1)), numberedLines(extra + 1, AuditLog::MaxHeldLines + extra));

    app.ctx.AppendLog(QStringLiteral("after"));
    app.ctx.WriteLog();
    EXPECT_EQ(app.auditTexts(Today).last(), QStringLiteral("after"));
    EXPECT_EQ(app.auditLines(Today).size(), AuditLog::MaxHeldLines + 2);
}

TEST(AuditCapacity, LineAddedDuringAFlushOfAFullBufferLosesNothing)
{
    TestApp app;
    ASSERT_TRUE(QDir().mkpath(app.auditFolder()));
    appendAll(app, numberedLines(1, AuditLog::MaxHeldLines));
    QTimer::singleShot(0, [&app] { app.ctx.AppendLog(QStringLiteral("late")); });
    app.ctx.WriteLog();

    EXPECT_EQ(app.auditTexts(Today), numberedLines(1, AuditLog::MaxHeldLines));
    EXPECT_EQ(app.heldTexts(), QStringList({QStringLiteral("late")}));
    app.ctx.WriteLog();
    EXPECT_EQ(app.auditTexts(Today).last(), QStringLiteral("late"));
    EXPECT_EQ(app.auditLines(Today).size(), AuditLog::MaxHeldLines + 1);
}

TEST(AuditState, ResetEmptiesTheBuffer)
{
    TestApp app;
    ASSERT_TRUE(QDir().mkpath(app.auditFolder()));
    appendAll(app, numberedLines(1, 3));
    app.ctx.Audit.reset();
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
    app.ctx.WriteLog();
    EXPECT_TRUE(app.auditLines(Today).isEmpty());
}
