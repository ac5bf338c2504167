#include "upload/ScheduleTick.h"
#include "upload/ShowUpload.h"

#include "upload/UploadFixture.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QTimer>

#include <csignal>
#include <unistd.h>

namespace {

const QDate Today(2026, 12, 6); // a Sunday

// The pids of this process's children that run `name`, read from /proc.
QList<pid_t> childrenNamed(const QByteArray &name)
{
    QList<pid_t> pids;
    QDirIterator entries(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        QFile stat(entries.next() + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (comm) state ppid ..."; comm may hold blanks, so it is read up to the last ')'.
        const QByteArray line = stat.readAll();
        const qsizetype open = line.indexOf('(');
        const qsizetype close = line.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> rest = line.mid(close + 2).split(' ');
        if (line.mid(open + 1, close - open - 1) == name && rest.size() > 1 &&
            rest[1].toInt() == ::getpid())
            pids.append(pid_t(line.left(open).trimmed().toInt()));
    }
    return pids;
}

// Faults around curl that an upload must survive, with retries switched on so that none of
// them is taken for a failure worth sending the show again.
class UploadFaultTest : public UploadFixture
{
protected:
    void SetUp() override
    {
        UploadFixture::SetUp();
        app.clock.set(Today, QTime(14, 5, 30));
        app.ctx.LastMinute = QStringLiteral("14:05");
        app.ctx.Options.retryCount = 3;
        app.ctx.Options.retryDelaySeconds = 1;
        for (const int show : {1, 2}) {
            const QString recording = writeFile(QStringLiteral("shows/show%1.mp3").arg(show),
                                                "audio " + QByteArray::number(show));
            app.ctx.ShowTable.Filename[show] = recording;
            app.ctx.ShowTable.Title[show] = QStringLiteral("Show %1").arg(show);
            app.ctx.ShowTable.UploadDay[show] = QStringLiteral("Sun");
            app.ctx.ShowTable.UploadTime[show] =
                QStringLiteral("14:%1").arg(5 + show, 2, 10, QChar(u'0'));
        }
    }

    void tickAt(const QTime &time)
    {
        app.clock.set(Today, time);
        Timer1_Timer(app.ctx);
    }

    // The upload's own lines after its command was logged, up to its end.
    QStringList afterTheCommand(int show) const
    {
        const QStringList texts = app.auditTexts(Today);
        const QString recording = app.ctx.ShowTable.Filename[show];
        const qsizetype dos = texts.indexOf(
            QRegularExpression(QStringLiteral("UploadShow\\| DosCommand: .*") +
                               QRegularExpression::escape(recording) + QStringLiteral(".*")));
        if (dos < 0)
            return {};
        const qsizetype end =
            texts.indexOf(QStringLiteral("UploadShow| Uploading: Finished Upload."), dos);
        return texts.mid(dos + 1, end - dos);
    }

    QStringList titlesSent() const
    {
        QStringList titles;
        for (const LoopbackReceiver::Request &request : receiver.requests())
            titles.append(
                QString::fromUtf8(request.part("name") ? request.part("name")->bytes : "?"));
        return titles;
    }
};

} // namespace

TEST_F(UploadFaultTest, MissingCurlFailsOnceWithoutRetriesAndTheNextShowGoesOutWhenItIsBack)
{
    ASSERT_TRUE(QFile::remove(curl()));

    tickAt(QTime(14, 6, 2));

    EXPECT_EQ(afterTheCommand(1),
              QStringList({QStringLiteral("Shell32Bit| Error: 2 - No such file or directory"),
                           QStringLiteral("UploadShow| Upload FAILED: curl could not be started"),
                           QStringLiteral("UploadShow| Uploading: Finished Upload.")}));
    EXPECT_EQ(app.dialogs.messages().size(), 1);
    EXPECT_EQ(app.view.status, QStringLiteral("Upload Failed: 14:06:02"));

    ASSERT_TRUE(QFile::link(QStringLiteral("/usr/bin/curl"), curl()));
    tickAt(QTime(14, 7, 2));

    EXPECT_EQ(titlesSent(), QStringList({QStringLiteral("Show 2")}));
    EXPECT_EQ(app.view.status, QStringLiteral("Finished Upload: 14:07:02"));
    EXPECT_EQ(app.dialogs.messages().size(), 1);
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
}

TEST_F(UploadFaultTest, CurlKilledMidUploadIsAFailureThatIsNeverSentAgain)
{
    LoopbackReceiver::Answer slow(200);
    slow.delayMs = 20000;
    receiver.setAnswers({slow, LoopbackReceiver::Answer(200)});
    QList<pid_t> killed;
    QObject::connect(&receiver, &LoopbackReceiver::requestReceived, [&](int index) {
        if (index != 0)
            return;
        killed = childrenNamed("curl");
        for (const pid_t pid : killed)
            ::kill(pid, SIGKILL);
    });

    tickAt(QTime(14, 6, 2));

    ASSERT_EQ(killed.size(), 1);
    EXPECT_EQ(
        afterTheCommand(1).mid(1),
        QStringList({QStringLiteral("Shell32Bit| Command exit value: 137"),
                     QStringLiteral("UploadShow| HTTP status: 000"),
                     QStringLiteral(
                         "UploadShow| Upload FAILED: exit value 137, HTTP status 000, reply: ''"),
                     QStringLiteral("UploadShow| Uploading: Finished Upload.")}));
    EXPECT_EQ(app.view.status, QStringLiteral("Upload Failed: 14:06:02"));
    EXPECT_EQ(app.ctx.runningProcessCount(), 0);
    EXPECT_TRUE(childrenNamed("curl").isEmpty());

    tickAt(QTime(14, 7, 2));

    EXPECT_EQ(titlesSent(), QStringList({QStringLiteral("Show 1"), QStringLiteral("Show 2")}));
    EXPECT_EQ(app.view.status, QStringLiteral("Finished Upload: 14:07:02"));
    EXPECT_TRUE(app.dialogs.shown.isEmpty());
}
