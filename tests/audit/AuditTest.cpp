#include "audit/AuditLog.h"
#include "audit/AuditPurge.h"
#include "app/cli/HistoryCommand.h"
#include "audit/UploadHistory.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <gtest/gtest.h>

#include <sys/stat.h>
#ifndef Q_OS_WIN
#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

const QDate Sunday = TestApp::sunday().date();

int modeOf(const QString &path)
{
    struct stat status = {};
    ::stat(QFile::encodeName(path).constData(), &status);
    return int(status.st_mode & 0777);
}

TEST(AuditLine, TimeTwoSpacesAndTheTextWithControlCharactersEscaped)
{
    TestApp app;
    const struct
    {
        QString text;
        QString line;
    } cases[] = {
        {u"Form_Load| Application Started."_s, u"14:03:27  Form_Load| Application Started."_s},
        {QString(), u"14:03:27  "_s},
        {u"  spaces kept  "_s, u"14:03:27    spaces kept  "_s},
        {u"tab\tkept"_s, u"14:03:27  tab\tkept"_s},
        {u"first\n21:00:00  UploadShow| forged\r"_s,
         u"14:03:27  first\\x0A21:00:00  UploadShow| forged\\x0D"_s},
        {u"esc\x1b del\x7f c1\u0085 \u00e9"_s, u"14:03:27  esc\\x1B del\\x7F c1\\x85 \u00e9"_s},
    };
    for (const auto &c : cases) {
        app.ctx.Audit.reset();
        app.ctx.AppendLog(c.text);
        EXPECT_EQ(app.ctx.Audit.lines(), QStringList{c.line});
    }
    EXPECT_FALSE(QFileInfo::exists(app.auditFolder()));
}

TEST(AuditFile, DailyCrLfFilesNamedByTheDateAtFlushTime)
{
    TestApp app;
    CheckAuditFolderExists(app.ctx, app.ctx.CFG.LocalAppFolder);
    EXPECT_EQ(app.heldTexts(),
              QStringList{QStringLiteral(
                              "CheckAuditFolderExists| Local App path doesnt exist. Creating: ") +
                          app.auditFolder()});
    app.ctx.Audit.reset();
    WriteLog(app.ctx);
    EXPECT_EQ(fileBytes(app.auditFilePath(Sunday)), QByteArray());

    app.ctx.AppendLog(u"one \u00e9"_s);
    app.clock.set(QDate(2026, 12, 6), QTime(23, 59, 40));
    app.ctx.AppendLog(u"two"_s);
    app.clock.set(QDate(2026, 12, 7), QTime(0, 0, 5));
    WriteLog(app.ctx);
    app.ctx.AppendLog(u"three"_s);
    WriteLog(app.ctx);
    EXPECT_EQ(QFileInfo(app.auditFilePath(QDate(2026, 12, 7))).fileName(),
              u"Tunebarn071226Adt.txt"_s);
    EXPECT_TRUE(
        fileBytes(app.auditFilePath(QDate(2026, 12, 7)))
            .endsWith(
                u"14:03:27  one \u00e9\r\n23:59:40  two\r\n00:00:05  three\r\n"_s.toLocal8Bit()));
    EXPECT_EQ(fileBytes(app.auditFilePath(Sunday)), QByteArray());
    EXPECT_TRUE(app.ctx.Audit.lines().isEmpty());
#ifndef Q_OS_WIN
    EXPECT_EQ(modeOf(app.auditFolder()), 0700);
    EXPECT_EQ(modeOf(app.auditFilePath(QDate(2026, 12, 7))), 0600);
#endif
}

TEST(AuditFile, ANestedFlushReturnsAtOnce)
{
    TestApp app;
    app.ctx.AppendLog(u"held"_s);
    app.ctx.Audit.busy = true;
    WriteLog(app.ctx);
    EXPECT_FALSE(QFileInfo::exists(app.auditFilePath(Sunday)));
    EXPECT_EQ(app.heldTexts(), QStringList{u"held"_s});
}

TEST(AuditFolder, ExistingFolderAndFilesAreMadePrivateWithoutALine)
{
    SKIP_ON_WINDOWS("file modes 0700 and 0600 are POSIX's");
    TestApp app;
    const QString reply = app.writeFile(app.auditFolder() + u"upload.txt"_s, "{}");
    QFile::setPermissions(app.auditFolder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                 QFileDevice::ExeOther);
    QFile::setPermissions(reply, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                     QFileDevice::ReadOther);
    CheckAuditFolderExists(app.ctx, app.ctx.CFG.LocalAppFolder);
    EXPECT_EQ(modeOf(app.auditFolder()), 0700);
    EXPECT_EQ(modeOf(reply), 0600);
    EXPECT_TRUE(app.ctx.Audit.lines().isEmpty());
}

// Flushes that fail, with the buffer past its cap: every line reaches the file whole, or is
// counted.
TEST(AuditFailure, EveryLineIsWrittenWholeOrCounted)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "the full disk is made with POSIX's file size limit (setrlimit, SIGXFSZ)";
#else
    TestApp app;
    // A file where the folder should be: neither the folder nor the daily file can be made.
    app.writeFile(app.localAppData() + u"/TunebarnUploader"_s, "in the way");
    app.ctx.AppendLog(u"first"_s);
    WriteLog(app.ctx);
    const QString creating =
        u"CheckAuditFolderExists| Local App path doesnt exist. Creating: "_s + app.auditFolder();
    const QStringList failed{u"first"_s, creating,
                             u"CheckAuditFolderExists| ERROR: 17 File exists"_s,
                             u"WriteLog| ERROR: 20 Not a directory"_s};
    EXPECT_EQ(app.heldTexts(), failed);
    QFile::remove(app.localAppData() + u"/TunebarnUploader"_s);
    WriteLog(app.ctx);
    EXPECT_EQ(app.auditTexts(), failed + QStringList{creating});

    // Then a full disk: the file opens, and no write gets further than a piece of a line.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit saved = {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto writeLogWithRoomFor = [&](qsizetype bytes) {
        rlimit tight = saved;
        tight.rlim_cur = rlim_t(fileBytes(app.auditFilePath(Sunday)).size() + bytes);
        ::setrlimit(RLIMIT_FSIZE, &tight);
        WriteLog(app.ctx);
        ::setrlimit(RLIMIT_FSIZE, &saved);
    };
    app.ctx.AppendLog(u"kept"_s);
    writeLogWithRoomFor(2);
    EXPECT_EQ(app.heldTexts(), (QStringList{u"kept"_s, u"WriteLog| ERROR: 27 File too large"_s}));
    WriteLog(app.ctx);

    const QByteArray before = fileBytes(app.auditFilePath(Sunday));
    const int total = AuditBuffer::MaxHeldLines + 1000;
    for (int i = 0; i < total; ++i)
        app.ctx.AppendLog(u"line %1"_s.arg(i));
    for (int flush = 0; flush < 3; ++flush)
        writeLogWithRoomFor(30); // room for a line, not for the notice that must come first
    EXPECT_EQ(fileBytes(app.auditFilePath(Sunday)), before);
    EXPECT_EQ(app.heldTexts().last(), u"WriteLog| ERROR: 27 File too large"_s);

    WriteLog(app.ctx);
    // The lines and one error line of each failed flush, less those that fit.
    const int dropped = total + 3 - AuditBuffer::MaxHeldLines;
    const QStringList written = app.auditTexts().mid(failed.size() + 3);
    ASSERT_EQ(written.size(), AuditBuffer::MaxHeldLines + 1);
    EXPECT_EQ(written.first(), u"WriteLog| ERROR: %1 audit lines were dropped"_s.arg(dropped));
    EXPECT_EQ(written[1], u"line %1"_s.arg(dropped));
    EXPECT_EQ(written.last(), u"WriteLog| ERROR: 27 File too large"_s);
    // Told once: later flushes have nothing more to report.
    app.ctx.AppendLog(u"after"_s);
    WriteLog(app.ctx);
    EXPECT_EQ(app.auditTexts().filter(u"audit lines were dropped"_s).size(), 1);
    EXPECT_EQ(app.auditTexts().last(), u"after"_s);

    // A line of the upload history too: told, and its file let go.
    const qsizetype openFiles = QDir(u"/proc/self/fd"_s).count();
    const rlimit none = {0, saved.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &none);
    UploadHistory::record(app.ctx.Audit, app.ctx.CFG, u"UploadShow"_s, {});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(QDir(u"/proc/self/fd"_s).count(), openFiles);
    expectTexts(app.heldTexts(),
                {u"UploadShow| ERROR: cannot write the upload history: 27 File too large *"_s});
#endif
}

// A file in the audit folder last modified at `modified`.
QString auditFile(const TestApp &app, const QString &name, const QDateTime &modified)
{
    const QString path = app.writeFile(app.auditFolder() + name, "10:00:00  x\r\n");
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) ||
        !file.setFileTime(modified, QFileDevice::FileModificationTime))
        qFatal("cannot set the time of %s", qPrintable(path));
    return path;
}

TEST(Purge, CutOffIs2359OnTheDayRetentionDaysBack)
{
    TestApp app;
    AuditBuffer &log = app.ctx.Audit;
    EXPECT_EQ(AuditPurge::GetPurgeDate(log, TestApp::sunday(), 7), u"29/11/2026 23:59:00"_s);
    EXPECT_EQ(AuditPurge::GetPurgeDate(log, QDateTime(Sunday, QTime(0, 0)), 1),
              u"05/12/2026 23:59:00"_s);
    EXPECT_EQ(AuditPurge::GetPurgeDate(log, TestApp::sunday(), 0), u"00:00:00"_s);
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(AuditPurge::GetPurgeDate(log, TestApp::sunday(), 1367), u"00:00:00"_s);
    EXPECT_EQ(app.heldTexts(),
              QStringList{QStringLiteral("GetPurgeDate| ERROR: retention of 1367 days is outside 0 "
                                         "to 1366; nothing is purged")});
    EXPECT_EQ(
        AuditPurge::PurgeFiles(log, app.ctx.CFG.LocalAppFolder, AuditPurge::Pattern, QDateTime()),
        0);
    EXPECT_EQ(app.heldTexts().size(), 1);
}

TEST(Purge, DeletesMatchingFilesModifiedAtOrBeforeTheCutOffInWholeSeconds)
{
    TestApp app;
    const QDateTime cutoff(QDate(2026, 11, 29), QTime(23, 59, 0));
    auditFile(app, u"Tunebarn281126Adt.txt"_s, cutoff.addDays(-1));
    auditFile(app, u"TUNEBARN291126ADT.TXT"_s, cutoff.addMSecs(400));
    auditFile(app, u"Tunebarn301126Adt.txt"_s, cutoff.addSecs(1));
    auditFile(app, u"Tunebarn061226Adt.txt"_s, TestApp::sunday());
    auditFile(app, u"tunebarn.ini"_s, cutoff.addDays(-30));
    // The upload history keeps 90 days, to midnight: 7 September 2026 stays, the 6th goes.
    const auto tried = [](const QDateTime &finished, const char *outcome) {
        return UploadAttempt{finished.addSecs(-60),
                             2,
                             u"Drive"_s,
                             QString::fromLatin1(outcome),
                             {},
                             u"200"_s,
                             1234,
                             2.5,
                             finished}
            .toJsonLine();
    };
    const QByteArray kept = tried(QDateTime(QDate(2026, 9, 7), QTime(0, 0)), "taken") +
                            "not a line of the history\n" +
                            tried(TestApp::sunday().addSecs(-3), "taken");
    app.writeFile(app.auditFolder() + u"uploads.jsonl"_s,
                  tried(QDateTime(QDate(2026, 9, 6), QTime(23, 59, 59)), "failed") + kept);
    [[maybe_unused]] const QString locked =
        auditFile(app, u"Tunebarn011126Adt.txt"_s, cutoff.addDays(-28));
    bool immutable = false;
#ifndef Q_OS_WIN
    // Immutable: not even root can delete it, so it stays and is not counted.
    const int fd = ::open(QFile::encodeName(locked).constData(), O_RDONLY);
    int flags = 0;
    immutable = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
#endif

    AuditPurge::purgeOldFiles(app.ctx.Audit, app.ctx.CFG, TestApp::sunday(), u"Form_Load"_s);
#ifndef Q_OS_WIN
    if (immutable) {
        flags &= ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    ::close(fd);
#endif

    QStringList left = QDir(app.auditFolder()).entryList(QDir::Files, QDir::Name);
    QStringList expectedLeft{u"Tunebarn061226Adt.txt"_s, u"Tunebarn301126Adt.txt"_s,
                             u"tunebarn.ini"_s, u"uploads.jsonl"_s};
    if (immutable)
        expectedLeft.prepend(u"Tunebarn011126Adt.txt"_s);
    EXPECT_EQ(left, expectedLeft);
    QStringList expected{u"Form_Load| PurgeFiles: Purge files before=29/11/2026 23:59:00"_s,
                         u"PurgeFiles| About to search for audit files..."_s + app.auditFolder() +
                             u"tunebarn*adt.txt"_s,
                         u"PurgeFiles| Found 1st audit file=TUNEBARN291126ADT.TXT"_s,
                         u"PurgeFiles| Found audit file=TUNEBARN291126ADT.TXT"_s,
                         u"PurgeFiles| Found audit file=Tunebarn011126Adt.txt"_s};
    if (immutable)
        expected.append(QStringLiteral(
            "PurgeFiles| ERROR: cannot delete 'Tunebarn011126Adt.txt': 1 Operation not permitted"));
    expected += {u"PurgeFiles| Found audit file=Tunebarn061226Adt.txt"_s,
                 u"PurgeFiles| Found audit file=Tunebarn281126Adt.txt"_s,
                 u"PurgeFiles| Found audit file=Tunebarn301126Adt.txt"_s,
                 u"Form_Load| PurgeFiles: Purged audit files=%1"_s.arg(immutable ? 2 : 3),
                 u"Form_Load| PurgeFiles: Purged upload history lines=1"_s};
    EXPECT_EQ(app.heldTexts(), expected);
    EXPECT_EQ(fileBytes(app.auditFolder() + u"uploads.jsonl"_s), kept);

    QString out;
    QTextStream stream(&out);
    EXPECT_EQ(runHistory(app.platform, 1, false, stream), 0);
    EXPECT_EQ(out, QStringLiteral(
                       "Show  Due               Finished             Outcome  HTTP  Bytes  Seconds  "
                       "Title  Reason\n"
                       "   2  06/12/2026 14:02  06/12/2026 14:03:24  taken    200   1234   2.5      "
                       "Drive\n"));
}

} // namespace
