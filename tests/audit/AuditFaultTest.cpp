#include "upload/ScheduleTick.h"
#include "upload/ShowUpload.h"

#include "upload/UploadFixture.h"

namespace {

const QDate Today(2026, 12, 6); // a Sunday

// Audit faults met while the schedule runs and uploads: whatever the tick and the upload log
// while the trail cannot be written reaches the file later, once and in order.
class AuditFaultTest : public UploadFixture
{
protected:
    void SetUp() override
    {
        UploadFixture::SetUp();
        app.clock.set(Today, QTime(14, 4, 30));
        app.ctx.LastMinute = QStringLiteral("14:04");
        app.ctx.Options.retryCount = 2;
        app.ctx.Options.retryDelaySeconds = 1;
    }

    void setShow(int show, const QString &time)
    {
        app.ctx.ShowTable.Filename[show] = writeFile(QStringLiteral("shows/show%1.mp3").arg(show),
                                                     "audio " + QByteArray::number(show));
        app.ctx.ShowTable.Title[show] = QStringLiteral("Show %1").arg(show);
        app.ctx.ShowTable.UploadDay[show] = QStringLiteral("Sun");
        app.ctx.ShowTable.UploadTime[show] = time;
    }

    void tickAt(const QTime &time, const QDate &date = Today)
    {
        app.clock.set(date, time);
        Timer1_Timer(app.ctx);
    }

    QString auditFolderPath() const { return app.auditFolder().chopped(1); }
};

} // namespace

TEST_F(AuditFaultTest, FolderReplacedByAFileForMinutesLosesNoLineOfTheTicksOrTheUpload)
{
    setShow(1, QStringLiteral("14:07"));
    tickAt(QTime(14, 5, 2));

    ASSERT_TRUE(QDir(app.auditFolder()).removeRecursively());
    app.writeFile(auditFolderPath(), "a file where the audit folder was");
    tickAt(QTime(14, 6, 2));
    tickAt(QTime(14, 7, 2));
    tickAt(QTime(14, 8, 2));
    const QStringList held = app.ctx.Audit.heldLines();

    const QStringList texts = withoutTimes(held);
    const QString cannotMake = QStringLiteral("CheckAuditFolderExists| ERROR: 17 File exists");
    const QString cannotWrite = QStringLiteral("WriteLog| ERROR: 20 Not a directory");
    EXPECT_EQ(texts.count(cannotWrite), 4) << "one for each flush: three ticks and the upload";
    EXPECT_EQ(texts.count(QStringLiteral("UploadShow| Started...")), 1);
    EXPECT_EQ(texts.count(QStringLiteral("UploadShow| Uploading: Finished Upload.")), 1);
    EXPECT_TRUE(texts.contains(QStringLiteral("UploadShow| HTTP status: 200")));
    EXPECT_EQ(texts.count(cannotMake), 5)
        << "each flush's and the upload's attempt to make the folder";
    QStringList inTimeOrder = held;
    std::stable_sort(inTimeOrder.begin(), inTimeOrder.end(),
                     [](const QString &a, const QString &b) { return a.left(8) < b.left(8); });
    EXPECT_EQ(held, inTimeOrder);
    EXPECT_EQ(held.first().left(8), QStringLiteral("14:06:02"));
    EXPECT_EQ(held.last(), QStringLiteral("14:08:02  ") + cannotWrite);
    EXPECT_EQ(receiver.requests().size(), 1)
        << "a reply that cannot be saved is no reason to send again";

    ASSERT_TRUE(QFile::remove(auditFolderPath()));
    tickAt(QTime(14, 9, 2));

    EXPECT_EQ(app.auditLines(Today),
              held +
                  QStringList{QStringLiteral(
                                  "14:09:02  CheckAuditFolderExists| Local App path doesnt exist. "
                                  "Creating: ") +
                              app.auditFolder()});
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());

    tickAt(QTime(14, 10, 2));
    app.ctx.AppendLog(QStringLiteral("after"));
    tickAt(QTime(14, 11, 2));
    EXPECT_EQ(app.auditTexts(Today).last(), QStringLiteral("after"));
}

TEST_F(AuditFaultTest, DiskFullForTheDailyFileKeepsEveryLineForTheNextDaysFile)
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full here";
    setShow(1, QStringLiteral("23:58"));
    app.clock.set(Today, QTime(23, 57, 0));
    app.ctx.LastMinute = QStringLiteral("23:57");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), app.auditFilePath(Today)));

    tickAt(QTime(23, 58, 1));
    tickAt(QTime(23, 59, 1));
    const QStringList held = app.ctx.Audit.heldLines();
    const QStringList texts = withoutTimes(held);
    const QString full = QStringLiteral("WriteLog| ERROR: 28 No space left on device");
    EXPECT_EQ(texts.count(full), 3) << "the upload's flush and both ticks'";
    EXPECT_EQ(texts.count(QStringLiteral("UploadShow| Started...")), 1);
    EXPECT_EQ(held.last(), QStringLiteral("23:59:01  ") + full);
    EXPECT_EQ(app.view.status, QStringLiteral("Finished Upload: 23:58:01"));

    const QDate tomorrow = Today.addDays(1);
    tickAt(QTime(0, 0, 1), tomorrow);

    EXPECT_EQ(app.auditLines(tomorrow), held);
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
    ASSERT_TRUE(QFile::remove(app.auditFilePath(Today)));
    app.ctx.AppendLog(QStringLiteral("after"));
    tickAt(QTime(0, 1, 1), tomorrow);
    EXPECT_EQ(app.auditTexts(tomorrow), withoutTimes(held) + QStringList{QStringLiteral("after")});
    EXPECT_EQ(receiver.requests().size(), 1);
}

TEST_F(AuditFaultTest, FolderDeletedWhileRunningIsMadeAgainBeforeCurlWritesItsReply)
{
    setShow(1, QStringLiteral("14:05"));
    ASSERT_TRUE(QDir(app.auditFolder()).removeRecursively());

    tickAt(QTime(14, 5, 2));

    const QStringList texts = app.auditTexts(Today);
    EXPECT_EQ(texts.count(QStringLiteral(
                              "CheckAuditFolderExists| Local App path doesnt exist. Creating: ") +
                          app.auditFolder()),
              1);
    EXPECT_TRUE(texts.contains(QStringLiteral("Shell32Bit| Command exit value: 0")));
    EXPECT_EQ(app.view.status, QStringLiteral("Finished Upload: 14:05:02"));
    EXPECT_TRUE(QFileInfo(responseFile()).isFile());
    EXPECT_EQ(receiver.requests().size(), 1);
}
