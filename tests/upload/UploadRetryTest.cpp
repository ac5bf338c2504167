#include "upload/UploadRun.h"

#include "config/ConfigReader.h"
#include "upload/CommandRunner.h"
#include "upload/ScheduleTick.h"
#include "upload/ShowUpload.h"
#include "upload/UploadFixture.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>

#include <functional>

namespace {

const QDate Today(2026, 12, 6); // a Sunday
const QTime UploadTime(14, 5, 9);

// Retries and the time limit of an upload, with the real curl against the loopback receiver.
class UploadRetryTest : public UploadFixture
{
protected:
    void SetUp() override
    {
        UploadFixture::SetUp();
        app.clock.set(Today, UploadTime);
        recording = writeFile(QStringLiteral("shows/drive.mp3"), awkwardBytes());
        app.ctx.ShowTable.Filename[4] = recording;
        app.ctx.ShowTable.Title[4] = QStringLiteral("Drive Time");
    }

    // Runs `action` once, as soon as the audit holds `text`: the moment the wait before a
    // retry begins, whatever curl's speed.
    void once(const QString &text, std::function<void()> action)
    {
        QObject::connect(&watch, &QTimer::timeout, [this, text, action] {
            if (!app.heldTexts().contains(text))
                return;
            watch.stop();
            action();
        });
        watch.start(10);
    }

    void retryOn(int count, int delaySeconds)
    {
        app.ctx.Options.retryCount = count;
        app.ctx.Options.retryDelaySeconds = delaySeconds;
    }

    QString command() const
    {
        return displayLine(recording, QStringLiteral("Drive Time"), QString());
    }

    // One try of the upload as the audit shows it.
    QStringList attempt(int exitValue, const QString &status) const
    {
        return {QStringLiteral("Shell32Bit| Command: ") + command(),
                QStringLiteral("Shell32Bit| Command exit value: %1").arg(exitValue),
                QStringLiteral("UploadShow| HTTP status: ") + status};
    }

    static QString retry(int n, int of, int seconds)
    {
        return QStringLiteral("UploadShow| Retry %1 of %2 in %3 seconds")
            .arg(n)
            .arg(of)
            .arg(seconds);
    }

    // The audit lines from the first command on.
    QStringList fromTheCommand() const
    {
        const QStringList texts = app.auditTexts(Today);
        const qsizetype first = texts.indexOf(QStringLiteral("Shell32Bit| Command: ") + command());
        return first < 0 ? texts : texts.mid(first);
    }

    QString recording;
    QTimer watch;
};

} // namespace

TEST_F(UploadRetryTest, RateLimitedThenTakenIsSentAgainAfterTheDelay)
{
    retryOn(2, 1);
    receiver.setAnswers({LoopbackReceiver::Answer(429, QByteArray("slow down")),
                         LoopbackReceiver::Answer(200, QByteArray("{\"id\":42}"))});
    QList<qint64> arrivals;
    QElapsedTimer since;
    since.start();
    QObject::connect(&receiver, &LoopbackReceiver::requestReceived,
                     [&] { arrivals.append(since.elapsed()); });

    UploadShow(app.ctx, 4);

    EXPECT_EQ(fromTheCommand(),
              attempt(0, QStringLiteral("429")) + QStringList{retry(1, 2, 1)} +
                  attempt(0, QStringLiteral("200")) +
                  QStringList{QStringLiteral("UploadShow| Uploading: Finished Upload.")});
    ASSERT_EQ(receiver.requests().size(), 2);
    for (const LoopbackReceiver::Request &request : receiver.requests()) {
        EXPECT_TRUE(request.multipartComplete);
        ASSERT_NE(request.part("mp3"), nullptr);
        EXPECT_EQ(request.part("mp3")->bytes, awkwardBytes());
    }
    ASSERT_EQ(arrivals.size(), 2);
    EXPECT_GE(arrivals[1] - arrivals[0], 900);
    EXPECT_EQ(fileBytes(responseFile()), QByteArray("{\"id\":42}"));
    const QStringList statuses{QStringLiteral("Uploading..."),
                               QStringLiteral("Finished Upload: 14:05:09")};
    EXPECT_EQ(app.view.statusHistory, statuses);
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
}

TEST_F(UploadRetryTest, ServiceUnavailableIsRetriedUntilTheCountIsUsedUp)
{
    retryOn(2, 1);
    receiver.setAnswer(LoopbackReceiver::Answer(503, QByteArray("maintenance")));

    UploadShow(app.ctx, 4);

    const QStringList expected =
        attempt(0, QStringLiteral("503")) + QStringList{retry(1, 2, 1)} +
        attempt(0, QStringLiteral("503")) + QStringList{retry(2, 2, 1)} +
        attempt(0, QStringLiteral("503")) +
        QStringList{QStringLiteral("UploadShow| Upload FAILED: exit value 0, HTTP status "
                                   "503, reply: 'maintenance'"),
                    QStringLiteral("UploadShow| Uploading: Finished Upload.")};
    EXPECT_EQ(fromTheCommand(), expected);
    EXPECT_EQ(receiver.requests().size(), 3);
    EXPECT_EQ(app.view.status, QStringLiteral("Upload Failed: 14:05:09"));
}

TEST_F(UploadRetryTest, FailuresTheServiceMayHaveTakenAreNeverRetried)
{
    retryOn(3, 1);
    struct Case
    {
        const char *what;
        LoopbackReceiver::Answer answer;
        QString exitAndStatus;
    };
    const Case cases[] = {
        {"server error", LoopbackReceiver::Answer(500),
         QStringLiteral("exit value 0, HTTP status 500")},
        {"refused", LoopbackReceiver::Answer(401), QStringLiteral("exit value 0, HTTP status 401")},
        {"bad gateway", LoopbackReceiver::Answer(502),
         QStringLiteral("exit value 0, HTTP status 502")},
        {"hung up after reading it all", LoopbackReceiver::Answer::hangUp(),
         QStringLiteral("exit value 52, HTTP status 000")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const qsizetype before = receiver.requests().size();
        receiver.setAnswer(c.answer);

        UploadShow(app.ctx, 4);

        EXPECT_EQ(receiver.requests().size(), before + 1);
        const QStringList texts = app.auditTexts(Today);
        EXPECT_FALSE(texts.join(u'\n').contains(QStringLiteral("| Retry")));
        const qsizetype failure =
            texts.lastIndexOf(QRegularExpression(QStringLiteral("UploadShow\\| Upload FAILED.*")));
        ASSERT_GE(failure, 0);
        EXPECT_TRUE(texts[failure].startsWith(QStringLiteral("UploadShow| Upload FAILED: ") +
                                              c.exitAndStatus))
            << texts[failure].toStdString();
        EXPECT_EQ(app.view.status, QStringLiteral("Upload Failed: 14:05:09"));
    }
}

TEST_F(UploadRetryTest, RefusedConnectionIsRetriedThenFailsFinally)
{
    retryOn(1, 1);
    const quint16 port = closedPort();
    ASSERT_NE(port, 0);
    app.ctx.CFG.UploadURL = QStringLiteral("http://127.0.0.1:%1/upload").arg(port);

    UploadShow(app.ctx, 4);

    const QStringList texts = fromTheCommand();
    const QStringList tries = attempt(7, QStringLiteral("000"));
    ASSERT_EQ(texts.size(), 10);
    EXPECT_EQ(texts.mid(0, 7), tries + QStringList{retry(1, 1, 1)} + tries);
    EXPECT_EQ(texts[7], QStringLiteral(
                            "UploadShow| Upload FAILED: exit value 7, HTTP status 000, reply: ''"));
    EXPECT_TRUE(texts[8].startsWith(
        QStringLiteral("UploadShow| curl said: 'curl: (7) Failed to connect to 127.0.0.1 port %1")
            .arg(port)))
        << texts[8].toStdString();
    EXPECT_EQ(texts[9], QStringLiteral("UploadShow| Uploading: Finished Upload."));
    EXPECT_EQ(app.view.status, QStringLiteral("Upload Failed: 14:05:09"));
}

TEST_F(UploadRetryTest, ServiceBackDuringTheWaitTakesTheNextTry)
{
    retryOn(3, 1);
    LoopbackReceiver lateReceiver;
    const quint16 port = closedPort();
    ASSERT_NE(port, 0);
    app.ctx.CFG.UploadURL = QStringLiteral("http://127.0.0.1:%1/upload").arg(port);
    once(retry(1, 3, 1), [&] { ASSERT_TRUE(lateReceiver.listen(port)); });

    UploadShow(app.ctx, 4);

    EXPECT_EQ(fromTheCommand(),
              attempt(7, QStringLiteral("000")) + QStringList{retry(1, 3, 1)} +
                  attempt(0, QStringLiteral("200")) +
                  QStringList{QStringLiteral("UploadShow| Uploading: Finished Upload.")});
    ASSERT_EQ(lateReceiver.requests().size(), 1);
    EXPECT_EQ(lateReceiver.requests()[0].part("mp3")->bytes, awkwardBytes());
    EXPECT_EQ(app.view.status, QStringLiteral("Finished Upload: 14:05:09"));
}

TEST_F(UploadRetryTest, WindowAndScheduleGoOnDuringTheWait)
{
    retryOn(1, 2);
    receiver.setAnswers({LoopbackReceiver::Answer(429), LoopbackReceiver::Answer(200)});
    app.ctx.LastMinute = QStringLiteral("14:05");
    writeFile(QStringLiteral("shows/news.mp3"), "news");
    app.ctx.ShowTable.Filename[9] = app.home() + QStringLiteral("/shows/news.mp3");
    app.ctx.ShowTable.Title[9] = QStringLiteral("News");
    app.ctx.ShowTable.UploadDay[9] = QStringLiteral("Sun");
    app.ctx.ShowTable.UploadTime[9] = QStringLiteral("14:06");
    int fired = 0;
    QTimer window;
    QObject::connect(&window, &QTimer::timeout, [&] { ++fired; });
    window.start(100);
    once(retry(1, 1, 2), [&] {
        app.clock.set(Today, QTime(14, 6, 2));
        Timer1_Timer(app.ctx);
    });

    UploadShow(app.ctx, 4);

    QStringList titles;
    for (const LoopbackReceiver::Request &request : receiver.requests())
        titles.append(QString::fromUtf8(request.part("name")->bytes));
    const QStringList expected{QStringLiteral("Drive Time"), QStringLiteral("News"),
                               QStringLiteral("Drive Time")};
    EXPECT_EQ(titles, expected);
    EXPECT_GE(fired, 5);
    EXPECT_EQ(app.view.status, QStringLiteral("Finished Upload: 14:06:02"));
}

TEST_F(UploadRetryTest, ClosingDuringTheWaitEndsTheUploadWithoutAnotherTry)
{
    retryOn(5, 60);
    receiver.setAnswer(LoopbackReceiver::Answer(503));
    once(retry(1, 5, 60), [&] { app.ctx.requestShutdown(); });
    QElapsedTimer elapsed;
    elapsed.start();

    UploadShow(app.ctx, 4);

    EXPECT_LT(elapsed.elapsed(), 30000);
    EXPECT_EQ(receiver.requests().size(), 1);
    const QStringList expected =
        attempt(0, QStringLiteral("503")) + QStringList{retry(1, 5, 60)} +
        QStringList{QStringLiteral("UploadShow| Upload FAILED: exit value 0, HTTP status "
                                   "503, reply: '{\"ok\":false}'"),
                    QStringLiteral("UploadShow| Uploading: Finished Upload.")};
    EXPECT_EQ(fromTheCommand(), expected);
}

TEST_F(UploadRetryTest, TimeLimitStopsACurlThatHangs)
{
    LoopbackReceiver::Answer hang(200);
    hang.delayMs = 120000;
    receiver.setAnswer(hang);
    const CommandLine upload = UploadCommand::build(
        curl(), UploadRequest{recording, QStringLiteral("Drive Time"), QString(), QString(),
                              receiver.url(), responseFile()});
    QElapsedTimer elapsed;
    elapsed.start();

    const CommandOutcome outcome = Shell32Bit(app.ctx, upload, 1000);

    EXPECT_GE(elapsed.elapsed(), 1000);
    EXPECT_LT(elapsed.elapsed(), 30000);
    EXPECT_TRUE(outcome.started);
    EXPECT_TRUE(outcome.timedOut);
    EXPECT_EQ(outcome.exitValue, 143);
    EXPECT_EQ(app.heldTexts(),
              QStringList({QStringLiteral("Shell32Bit| Command: ") + upload.display,
                           QStringLiteral("Shell32Bit| Command exit value: 143")}));
    EXPECT_EQ(onlyRequest().part("mp3")->bytes, awkwardBytes());
    EXPECT_EQ(app.ctx.runningProcessCount(), 0);
}

TEST_F(UploadRetryTest, TimeLimitCountsInMinutesAndZeroMeansNone)
{
    LoopbackReceiver::Answer slow(200);
    slow.delayMs = 1500;
    receiver.setAnswer(slow);
    for (const int minutes : {1, 0}) {
        SCOPED_TRACE(minutes);
        app.ctx.Options.uploadTimeoutMinutes = minutes;

        UploadShow(app.ctx, 4);

        EXPECT_EQ(app.view.status, QStringLiteral("Finished Upload: 14:05:09"));
        EXPECT_FALSE(app.auditTexts(Today).join(u'\n').contains(QStringLiteral("Upload stopped")));
    }
    EXPECT_EQ(receiver.requests().size(), 2);
}

TEST_F(UploadRetryTest, SafeguardsAreReadFromGeneralAndBadValuesGiveTheDefaults)
{
    struct Case
    {
        QByteArray general;
        int catchUp, retries, delay, timeout;
    };
    const Case cases[] = {
        {"", 0, 0, 60, 0},
        {"CatchUpMinutes=15\r\nRetryCount=2\r\nRetryDelaySeconds=5\r\nUploadTimeoutMinutes=30\r\n",
         15, 2, 5, 30},
        {"CatchUpMinutes= 15 \r\nRetryCount=0\r\nRetryDelaySeconds=0\r\n", 15, 0, 0, 0},
        {"CatchUpMinutes=-1\r\nRetryCount=two\r\nRetryDelaySeconds=1.5\r\nUploadTimeoutMinutes="
         "\r\n",
         0, 0, 60, 0},
        {"CatchUpMinutes=99999\r\nRetryCount=99999\r\nRetryDelaySeconds="
         "999999\r\nUploadTimeoutMinutes=99999999\r\n",
         24 * 60, 100, 24 * 60 * 60, 7 * 24 * 60},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.general.toStdString());
        app.ctx.Options = UploadOptions{7, 7, 7, 7};
        const QString ini = app.writeConfig("[General]\r\nUploadURL=" + receiver.url().toUtf8() +
                                            "\r\n" + c.general);

        ASSERT_TRUE(ReadConfig(app.ctx, ini));

        EXPECT_EQ(app.ctx.Options.catchUpMinutes, c.catchUp);
        EXPECT_EQ(app.ctx.Options.retryCount, c.retries);
        EXPECT_EQ(app.ctx.Options.retryDelaySeconds, c.delay);
        EXPECT_EQ(app.ctx.Options.uploadTimeoutMinutes, c.timeout);
    }
}

TEST_F(UploadRetryTest, RetriesReadFromTheConfigurationTakeEffect)
{
    app.writeConfig("[General]\r\nUploadURL=" + receiver.url().toUtf8() +
                    "\r\nRetryCount=1\r\nRetryDelaySeconds=1\r\n");
    ASSERT_TRUE(ReadConfig(app.ctx, app.auditFolder() + QStringLiteral("tunebarn.ini")));
    app.ctx.ShowTable.Filename[4] = recording;
    app.ctx.ShowTable.Title[4] = QStringLiteral("Drive Time");
    receiver.setAnswers({LoopbackReceiver::Answer(503), LoopbackReceiver::Answer(200)});

    UploadShow(app.ctx, 4);

    EXPECT_TRUE(fromTheCommand().contains(retry(1, 1, 1)));
    EXPECT_EQ(receiver.requests().size(), 2);
    EXPECT_EQ(app.view.status, QStringLiteral("Finished Upload: 14:05:09"));
}
