#include "audit/AuditPurge.h"

#include "support/QtPrinters.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

const QDateTime Now(QDate(2026, 12, 6), QTime(14, 3, 27));
const QDateTime SevenDayCutoff(QDate(2026, 11, 29), QTime(23, 59, 0));

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

QStringList namesIn(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

QString searchLine(const TestApp &app)
{
    return QStringLiteral("PurgeFiles| About to search for audit files...") + app.auditFolder() +
           QStringLiteral("tunebarn*adt.txt");
}

// Sets the immutable attribute so that even root cannot delete the file; cleared when done.
class ImmutableFile
{
public:
    explicit ImmutableFile(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY))
    {
        m_set = m_fd >= 0 && setFlag(true);
    }
    ~ImmutableFile()
    {
        if (m_set)
            setFlag(false);
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isSet() const { return m_set; }

private:
    bool setFlag(bool on)
    {
        int flags = 0;
        if (::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) != 0)
            return false;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        return ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
    }

    int m_fd;
    bool m_set = false;
};

} // namespace

TEST(GetPurgeDate, CutoffIs2359OnTheDayRetentionDaysBeforeToday)
{
    struct Case
    {
        int retention;
        QDateTime now;
        QString text;
    };
    const QList<Case> cases{
        {7, Now, QStringLiteral("29/11/2026 23:59:00")},
        {7, QDateTime(QDate(2026, 12, 6), QTime(0, 0, 0)), QStringLiteral("29/11/2026 23:59:00")},
        {7, QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59)),
         QStringLiteral("29/11/2026 23:59:00")},
        {1, Now, QStringLiteral("05/12/2026 23:59:00")},
        {7, QDateTime(QDate(2027, 1, 3), QTime(0, 4)), QStringLiteral("27/12/2026 23:59:00")},
        {7, QDateTime(QDate(2028, 3, 6), QTime(0, 4)), QStringLiteral("28/02/2028 23:59:00")},
        {7, QDateTime(QDate(2026, 3, 31), QTime(0, 4)), QStringLiteral("24/03/2026 23:59:00")},
        {1366, Now, QStringLiteral("11/03/2023 23:59:00")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        TestApp app;
        EXPECT_EQ(AuditPurge::GetPurgeDate(app.ctx.Audit, c.now, c.retention), c.text);
        EXPECT_EQ(AuditPurge::cutoff(app.ctx.Audit, c.now, c.retention),
                  QDateTime(c.now.date().addDays(-c.retention), QTime(23, 59)));
        EXPECT_TRUE(app.heldTexts().isEmpty());
    }
}

TEST(GetPurgeDate, ZeroRetentionMeansNothingIsPurged)
{
    TestApp app;
    EXPECT_EQ(AuditPurge::GetPurgeDate(app.ctx.Audit, Now, 0), QStringLiteral("00:00:00"));
    EXPECT_FALSE(AuditPurge::cutoff(app.ctx.Audit, Now, 0).isValid());
    EXPECT_TRUE(app.heldTexts().isEmpty());
}

TEST(GetPurgeDate, RetentionOutsideTheRangeIsRefused)
{
    for (int retention : {-1, -32768, 1367, 32767}) {
        SCOPED_TRACE(retention);
        TestApp app;
        EXPECT_EQ(AuditPurge::GetPurgeDate(app.ctx.Audit, Now, retention),
                  QStringLiteral("00:00:00"));
        EXPECT_EQ(
            app.heldTexts(),
            QStringList(
                {QStringLiteral("GetPurgeDate| ERROR: retention of %1 days is outside 0 to 1366; "
                                "nothing is purged")
                     .arg(retention)}));
    }
}

TEST(PurgeFiles, DeletesMatchingFilesModifiedAtOrBeforeTheCutoff)
{
    TestApp app;
    const QDateTime longAgo(QDate(2020, 1, 1), QTime(12, 0));
    auditFile(app, QStringLiteral("Tunebarn291126Adt.txt"), SevenDayCutoff);
    auditFile(app, QStringLiteral("Tunebarn301126Adt.txt"), SevenDayCutoff.addSecs(1));
    auditFile(app, QStringLiteral("Tunebarn061226Adt.txt"), Now);
    auditFile(app, QStringLiteral("TUNEBARN011126ADT.TXT"), longAgo);
    auditFile(app, QStringLiteral("tunebarnadt.txt"), longAgo);
    auditFile(app, QStringLiteral("tunebarn.ini"), longAgo);
    auditFile(app, QStringLiteral("upload.txt"), longAgo);
    auditFile(app, QStringLiteral("Tunebarn011126Adt.txt.bak"), longAgo);
    auditFile(app, QStringLiteral("OldTunebarn011126Adt.txt"), longAgo);
    ASSERT_TRUE(QDir().mkpath(app.auditFolder() + QStringLiteral("Tunebarn021126Adt.txt")));

    EXPECT_EQ(AuditPurge::PurgeFiles(app.ctx.Audit, app.ctx.CFG.LocalAppFolder, AuditPurge::Pattern,
                                     SevenDayCutoff),
              3);

    EXPECT_EQ(namesIn(app.auditFolder()),
              QStringList({QStringLiteral("OldTunebarn011126Adt.txt"),
                           QStringLiteral("Tunebarn011126Adt.txt.bak"),
                           QStringLiteral("Tunebarn021126Adt.txt"),
                           QStringLiteral("Tunebarn061226Adt.txt"),
                           QStringLiteral("Tunebarn301126Adt.txt"), QStringLiteral("tunebarn.ini"),
                           QStringLiteral("upload.txt")}));
    const QStringList texts = app.heldTexts();
    ASSERT_EQ(texts.size(), 7);
    EXPECT_EQ(texts.at(0), searchLine(app));
    EXPECT_EQ(texts.at(1),
              QStringLiteral("PurgeFiles| Found 1st audit file=") + texts.at(2).section(u'=', 1));
    QStringList found = texts.mid(2);
    found.sort();
    EXPECT_EQ(found,
              QStringList({QStringLiteral("PurgeFiles| Found audit file=TUNEBARN011126ADT.TXT"),
                           QStringLiteral("PurgeFiles| Found audit file=Tunebarn061226Adt.txt"),
                           QStringLiteral("PurgeFiles| Found audit file=Tunebarn291126Adt.txt"),
                           QStringLiteral("PurgeFiles| Found audit file=Tunebarn301126Adt.txt"),
                           QStringLiteral("PurgeFiles| Found audit file=tunebarnadt.txt")}));
}

TEST(PurgeFiles, NoAuditFilesLeavesTheFirstFileLineEmpty)
{
    struct Case
    {
        const char *what;
        bool folderExists;
    };
    for (const Case &c :
         {Case{"only other files in the audit folder", true}, Case{"no audit folder", false}}) {
        SCOPED_TRACE(c.what);
        TestApp app;
        if (c.folderExists)
            auditFile(app, QStringLiteral("tunebarn.ini"),
                      QDateTime(QDate(2020, 1, 1), QTime(12, 0)));
        EXPECT_EQ(AuditPurge::PurgeFiles(app.ctx.Audit, app.ctx.CFG.LocalAppFolder,
                                         AuditPurge::Pattern, SevenDayCutoff),
                  0);
        EXPECT_EQ(
            app.heldTexts(),
            QStringList({searchLine(app), QStringLiteral("PurgeFiles| Found 1st audit file=")}));
    }
}

TEST(PurgeFiles, ZeroCutoffSearchesNothingAndLogsNothing)
{
    TestApp app;
    const QString old = auditFile(app, QStringLiteral("Tunebarn011120Adt.txt"),
                                  QDateTime(QDate(2020, 11, 1), QTime(9, 0)));
    EXPECT_EQ(AuditPurge::PurgeFiles(app.ctx.Audit, app.ctx.CFG.LocalAppFolder, AuditPurge::Pattern,
                                     AuditPurge::cutoff(app.ctx.Audit, Now, 0)),
              0);
    EXPECT_TRUE(QFile::exists(old));
    EXPECT_TRUE(app.heldTexts().isEmpty());
}

TEST(PurgeFiles, FileThatCannotBeDeletedIsLoggedNotCountedAndThePurgeGoesOn)
{
    TestApp app;
    const QDateTime longAgo(QDate(2020, 1, 1), QTime(12, 0));
    const QString stuck = auditFile(app, QStringLiteral("Tunebarn010120Adt.txt"), longAgo);
    const QString other = auditFile(app, QStringLiteral("Tunebarn020120Adt.txt"), longAgo);
    const ImmutableFile immutable(stuck);
    if (!immutable.isSet())
        GTEST_SKIP() << "this file system cannot make a file undeletable";

    EXPECT_EQ(AuditPurge::PurgeFiles(app.ctx.Audit, app.ctx.CFG.LocalAppFolder, AuditPurge::Pattern,
                                     SevenDayCutoff),
              1);
    EXPECT_TRUE(QFile::exists(stuck));
    EXPECT_FALSE(QFile::exists(other));
    EXPECT_TRUE(app.heldTexts().contains(QStringLiteral(
        "PurgeFiles| ERROR: cannot delete 'Tunebarn010120Adt.txt': 1 Operation not permitted")));
}

TEST(PurgeOldFiles, LogsTheCutoffAndTheCountUnderTheCallersName)
{
    TestApp app;
    auditFile(app, QStringLiteral("Tunebarn291126Adt.txt"), SevenDayCutoff);
    auditFile(app, QStringLiteral("Tunebarn061226Adt.txt"), Now);
    AuditPurge::purgeOldFiles(app.ctx.Audit, app.ctx.CFG, Now, QStringLiteral("Form_Load"));

    const QStringList texts = app.heldTexts();
    ASSERT_GE(texts.size(), 2);
    EXPECT_EQ(texts.first(),
              QStringLiteral("Form_Load| PurgeFiles: Purge files before=29/11/2026 23:59:00"));
    EXPECT_EQ(texts.at(1), searchLine(app));
    EXPECT_EQ(texts.last(), QStringLiteral("Form_Load| PurgeFiles: Purged audit files=1"));
    EXPECT_EQ(namesIn(app.auditFolder()), QStringList({QStringLiteral("Tunebarn061226Adt.txt")}));
}
