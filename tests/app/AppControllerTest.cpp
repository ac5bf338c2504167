#include "app/core/AppController.h"

#include "support/LoopbackReceiver.h"
#include "support/QtPrinters.h"
#include "support/TestApp.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// Thursday 20 July 2017.
const QDate Today(2017, 7, 20);
const QDateTime StartTime(Today, QTime(14, 3, 27));
// Longer than any test may take: only a stopped curl ends these uploads.
constexpr int SlowAnswerMs = 120000;

QString hyphens()
{
    return QString(108, u'-');
}

QString showEntry(int number, const QString &recording, const QString &time)
{
    return QStringLiteral(
               "[Show%1]\r\nFilename=%2\r\nTitle=Show %1\r\nDescription=About show %1\r\n"
               "UploadDay=Thu\r\nUploadTime=%3\r\n")
        .arg(number)
        .arg(recording, time);
}

// A program in a temporary home with curl beside it and recordings of shows due at `times`.
class RunningApp
{
public:
    explicit RunningApp(const QString &uploadUrl,
                        const QStringList &times = {QStringLiteral("14:04")})
    {
        QString config =
            QStringLiteral("[General]\r\nUploadURL=") + uploadUrl + QStringLiteral("\r\n");
        for (int show = 1; show <= times.size(); ++show) {
            const QString recording = app.home() + QStringLiteral("/shows/show%1.mp3").arg(show);
            app.writeFile(recording, QByteArray(20000, char('0' + show)));
            config += showEntry(show, recording, times[show - 1]);
        }
        app.writeConfig(config.toUtf8());
        QObject::connect(&controller, &AppController::readyToClose, &controller, [this] {
            ++readyCount;
            finishedWhenReady = app.auditTexts(Today).count(
                QStringLiteral("UploadShow| Uploading: Finished Upload."));
            closeLikeTheWindow();
        });
    }

    void linkCurl(const QString &target = QStringLiteral("/usr/bin/curl"))
    {
        ASSERT_TRUE(QFile::link(target, app.programFolder() + QStringLiteral("/curl")));
    }

    void load()
    {
        controller.load();
        ASSERT_TRUE(app.dialogs.shown.isEmpty());
    }

    // What the main window does when it is asked to close.
    bool closeLikeTheWindow()
    {
        if (!controller.requestClose())
            return false;
        controller.unload();
        return true;
    }

    // Runs the tick of 14:04 and tells how long it took.
    qint64 tickAt1404()
    {
        app.clock.set(Today, QTime(14, 4, 1));
        QElapsedTimer elapsed;
        elapsed.start();
        controller.timerTick();
        return elapsed.elapsed();
    }

    TestApp app{StartTime};
    AppController controller{app.ctx};
    int readyCount = 0;
    qsizetype finishedWhenReady = -1;
};

QStringList stoppedUploadEnd(int exitValue)
{
    const QString value = QString::number(exitValue);
    return {QStringLiteral("Shell32Bit| Command exit value: ") + value,
            QStringLiteral("UploadShow| HTTP status: 000"),
            QStringLiteral("UploadShow| Upload FAILED: exit value ") + value +
                QStringLiteral(", HTTP status 000, reply: ''"),
            QStringLiteral("UploadShow| Uploading: Finished Upload."),
            QStringLiteral("Form_Unload| Application Closing."),
            hyphens()};
}

QStringList fromCommandExit(const QStringList &texts)
{
    for (qsizetype at = 0; at < texts.size(); ++at) {
        if (texts[at].startsWith(QStringLiteral("Shell32Bit| Command exit value: ")))
            return texts.mid(at);
    }
    return {};
}

class FailingView : public RecordingView
{
public:
    void setCaption(const QString &text) override
    {
        if (failWith == 1)
            throw std::runtime_error("caption lost");
        if (failWith == 2)
            throw 42;
        RecordingView::setCaption(text);
    }
    int failWith = 0;
};

} // namespace

TEST(AppController, CloseDuringAnUploadStopsCurlAndClosesTheBlockAfterTheUpload)
{
    LoopbackReceiver receiver;
    ASSERT_TRUE(receiver.listen());
    LoopbackReceiver::Answer slow(200);
    slow.delayMs = SlowAnswerMs;
    receiver.setAnswer(slow);
    RunningApp running(receiver.url());
    running.linkCurl();
    running.load();
    bool closedAtOnce = true;
    QObject::connect(&receiver, &LoopbackReceiver::requestReceived,
                     [&] { closedAtOnce = running.closeLikeTheWindow(); });

    const qint64 tookMs = running.tickAt1404();

    EXPECT_FALSE(closedAtOnce) << "a close must wait for the running upload";
    EXPECT_LT(tookMs, 15000) << "curl was waited for instead of stopped";
    EXPECT_EQ(receiver.requests().size(), 1);
    EXPECT_EQ(running.readyCount, 1);
    EXPECT_TRUE(running.controller.isUnloaded());
    EXPECT_EQ(running.app.ctx.runningProcessCount(), 0);
    const QStringList texts = running.app.auditTexts(Today);
    EXPECT_EQ(fromCommandExit(texts), stoppedUploadEnd(128 + 15));
    EXPECT_EQ(texts.count(QString(108, u'*')), 1);
    EXPECT_EQ(texts.count(hyphens()), 1);
    EXPECT_EQ(running.app.view.status, QStringLiteral("Upload Failed: 14:04:01"));
}

TEST(AppController, CommandThatIgnoresTheStopRequestIsKilled)
{
    RunningApp running(QStringLiteral("http://127.0.0.1:9/upload"));
    // Real curl always obeys SIGTERM; a stuck one is played by a script that ignores it.
    const QString stubborn =
        running.app.writeFile(running.app.home() + QStringLiteral("/stubborn-curl"),
                              "#!/bin/sh\ntrap '' TERM\nexec sleep 60\n");
    QFile::setPermissions(stubborn, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    running.linkCurl(stubborn);
    running.load();
    QTimer::singleShot(500, &running.controller, [&] { running.closeLikeTheWindow(); });

    const qint64 tookMs = running.tickAt1404();

    EXPECT_GE(tookMs, 5000) << "killed before the stop request had its grace time";
    EXPECT_LT(tookMs, 20000);
    EXPECT_EQ(running.readyCount, 1);
    EXPECT_EQ(fromCommandExit(running.app.auditTexts(Today)), stoppedUploadEnd(128 + 9));
}

TEST(AppController, ReadyToCloseOnlyAfterTheOutermostHandlerReturns)
{
    LoopbackReceiver receiver;
    ASSERT_TRUE(receiver.listen());
    LoopbackReceiver::Answer slow(200);
    slow.delayMs = SlowAnswerMs;
    receiver.setAnswer(slow);
    RunningApp running(receiver.url(), {QStringLiteral("14:04"), QStringLiteral("14:05")});
    running.linkCurl();
    running.load();
    // Timer1 goes on ticking while an upload waits; the next minute starts the second show's
    // upload inside the first, and the close comes while both wait.
    QTimer timer1;
    QObject::connect(&timer1, &QTimer::timeout, &running.controller, &AppController::timerTick);
    timer1.start(50);
    QObject::connect(&receiver, &LoopbackReceiver::requestReceived, [&](int index) {
        if (index == 0) {
            running.app.clock.set(Today, QTime(14, 5, 1));
            return;
        }
        EXPECT_TRUE(running.controller.isBusy());
        EXPECT_FALSE(running.closeLikeTheWindow());
    });

    running.tickAt1404();

    EXPECT_EQ(receiver.requests().size(), 2);
    EXPECT_EQ(running.readyCount, 1);
    EXPECT_EQ(running.finishedWhenReady, 2) << "both uploads must have ended before the close";
    const QStringList texts = running.app.auditTexts(Today);
    EXPECT_EQ(texts.count(QStringLiteral("UploadShow| Started...")), 2);
    EXPECT_EQ(texts.mid(texts.size() - 2),
              QStringList({QStringLiteral("Form_Unload| Application Closing."), hyphens()}));
    EXPECT_EQ(texts.count(hyphens()), 1);
}

TEST(AppController, CloseDuringAStartUpBoxWaitsForTheWholeStartBlock)
{
    TestApp app(StartTime);
    AppController controller(app.ctx);
    int readyCount = 0;
    QObject::connect(&controller, &AppController::readyToClose, [&] {
        ++readyCount;
        EXPECT_TRUE(controller.requestClose());
        controller.unload();
    });
    bool closedAtOnce = true;
    app.dialogs.whileOpen = [&] {
        if (app.dialogs.shown.size() == 1)
            closedAtOnce = controller.requestClose();
    };

    controller.load();

    EXPECT_FALSE(closedAtOnce);
    EXPECT_EQ(readyCount, 1);
    EXPECT_TRUE(controller.isUnloaded());
    const QStringList texts = app.auditTexts(Today);
    ASSERT_GE(texts.size(), 3);
    EXPECT_EQ(texts[texts.size() - 3],
              QStringLiteral("Form_Load| PurgeFiles: Purged audit files=0"));
    EXPECT_EQ(texts.mid(texts.size() - 2),
              QStringList({QStringLiteral("Form_Unload| Application Closing."), hyphens()}));
}

TEST(AppController, FailureInsideAHandlerIsLoggedAndTheProgramGoesOn)
{
    struct Case
    {
        int failWith;
        QString logged;
    };
    for (const Case &c : {Case{1, QStringLiteral("Timer1_Timer| ERROR: caption lost")},
                          Case{2, QStringLiteral("Timer1_Timer| ERROR: unknown failure")}}) {
        SCOPED_TRACE(c.logged.toStdString());
        TestApp app(StartTime);
        FailingView view;
        app.ctx.setView(&view);
        AppController controller(app.ctx);
        int readyCount = 0;
        QObject::connect(&controller, &AppController::readyToClose, [&] { ++readyCount; });
        controller.load();

        view.failWith = c.failWith;
        app.clock.set(Today, QTime(14, 4, 1));
        EXPECT_NO_THROW(controller.timerTick());
        EXPECT_EQ(app.heldTexts(), QStringList{c.logged});
        EXPECT_FALSE(controller.isBusy());

        view.failWith = 0;
        app.clock.set(Today, QTime(14, 5, 1));
        controller.timerTick();
        EXPECT_TRUE(app.auditTexts(Today).endsWith(c.logged));
        EXPECT_EQ(view.caption, QStringLiteral("Tunebarn Uploader: 14:05"));
        EXPECT_TRUE(controller.requestClose());
        EXPECT_EQ(readyCount, 0);
    }
}

TEST(AppController, IdleProgramClosesAtOnceAndUnloadsOnce)
{
    TestApp app(StartTime);
    AppController controller(app.ctx);
    int readyCount = 0;
    QObject::connect(&controller, &AppController::readyToClose, [&] { ++readyCount; });
    controller.load();

    EXPECT_TRUE(controller.requestClose());
    controller.unload();
    controller.unload();

    EXPECT_EQ(readyCount, 0);
    EXPECT_EQ(app.auditTexts(Today).count(QStringLiteral("Form_Unload| Application Closing.")), 1);
}
