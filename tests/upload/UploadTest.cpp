#include "audit/AuditLog.h"
#include "upload/CommandRunner.h"
#include "upload/ManualUpload.h"
#include "upload/ShowUpload.h"
#include "support/Receiver.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

#include <mutex>
#include <unistd.h>

namespace {

const QByteArray Recording = QByteArray("ID3\x00\x01\xff", 6).repeated(5000);

class UploadTest : public ::testing::Test
{
protected:
    UploadTest()
    {
        app.environment.pathDirs = {QStringLiteral("/usr/bin"), QStringLiteral("/bin")};
        app.ctx.CFG.UploadURL = receiver.url();
        recording = app.writeFile(QStringLiteral("shows/rock, pop.mp3"), Recording);
        picture = app.writeFile(QStringLiteral("shows/pic.png"), "PNG picture");
        QDir().mkpath(app.auditFolder());
        ShowTableRecord &t = app.ctx.ShowTable;
        t.Filename[1] = recording;
        t.Title[1] = QStringLiteral("Breakfast \"%date%\"; <x @y\nz");
        t.Description[1] = QStringLiteral("@/etc/passwd <notes");
        t.Picture[1] = picture;
    }

    // A stand-in for curl beside the program: a shell script.
    void fakeCurl(const QByteArray &script)
    {
        const QString path = app.writeFile(QStringLiteral("program/curl"), "#!/bin/sh\n" + script);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QString replyFile() const { return app.auditFolder() + QStringLiteral("upload.txt"); }

    TestApp app;
    Receiver receiver;
    QString recording;
    QString picture;
};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The command lines of curl processes of this test, read as any local user could.
QByteArrayList curlCommandLines()
{
    QByteArrayList lines;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
        if (stat.contains("(curl)") && stat.split(' ').value(3).toLongLong() == ::getpid())
            lines.append(readFile(QStringLiteral("/proc/%1/cmdline").arg(pid)));
    }
    return lines;
}

TEST_F(UploadTest, SendsEverythingWholeLogsEveryStepAndIgnoresTheUsersCurlSettings)
{
    const QString curlHome = app.home() + QStringLiteral("/curlhome");
    app.writeFile(curlHome + QStringLiteral("/.curlrc"),
                  "form = \"leak=@/etc/hostname\"\noutput = \"" + (curlHome + QStringLiteral("/elsewhere")).toUtf8()
                      + "\"\nurl = \"http://127.0.0.1:1/second\"\n");
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", curlHome.toUtf8());
    qputenv("CURL_HOME", curlHome.toUtf8());
    std::mutex seenMutex;
    QByteArrayList seen;
    receiver.whileHeld([&] {
        const std::lock_guard lock(seenMutex);
        seen = curlCommandLines();
    });

    UploadShow(app.ctx, 1);
    qputenv("HOME", savedHome);
    qunsetenv("CURL_HOME");

    ASSERT_EQ(receiver.requests().size(), 1);
    const Receiver::Request request = receiver.requests().constFirst();
    EXPECT_EQ(request.target, "/upload?token=" + receiver.token());
    EXPECT_EQ(request.names(), QByteArrayList({"description", "mp3", "name", "picture"}));
    EXPECT_EQ(request.part("mp3"), Recording);
    EXPECT_EQ(request.parts[1].filename, "rock, pop.mp3");
    EXPECT_EQ(request.part("name"), "Breakfast \"06th December 2026\"; <x @y\nz");
    EXPECT_EQ(request.part("description"), "@/etc/passwd <notes");
    EXPECT_EQ(request.part("picture"), "PNG picture");
    EXPECT_EQ(readFile(replyFile()), "{\"ok\":true}");
    EXPECT_FALSE(QFile::exists(curlHome + QStringLiteral("/elsewhere")));
    ASSERT_EQ(seen.size(), 1);
    EXPECT_FALSE(seen[0].contains(receiver.token()));
    EXPECT_TRUE(seen[0].startsWith("/usr/bin/curl\0-q\0-o\0"));

    const QString shown = app.ctx.DosCommand;
    EXPECT_TRUE(shown.startsWith(QStringLiteral("/usr/bin/curl -q -o \"") + replyFile() + u'"'));
    EXPECT_TRUE(shown.endsWith(QStringLiteral(" ") + receiver.url()));
    EXPECT_EQ(app.view.command, shown);
    EXPECT_EQ(app.view.title, QStringLiteral("Breakfast \"06th December 2026\"; <x @y\nz"));
    EXPECT_EQ(app.view.statusHistory, QStringList({QStringLiteral("Uploading..."), QStringLiteral("Finished Upload: 14:03:27")}));
    expectTexts(app.auditTexts(),
                {QStringLiteral("UploadShow| Started..."),
                 QStringLiteral("UploadShow| Tunebarn Title: 'Breakfast \"06th December 2026\"; <x @y\\x0Az'"),
                 QStringLiteral("UploadShow| Uploading: '") + recording + QStringLiteral("' Date Created: *"),
                 QStringLiteral("UploadShow| DosCommand: '") + AuditBuffer::escapeControls(shown) + u'\'',
                 QStringLiteral("Shell32Bit| Command: ") + AuditBuffer::escapeControls(shown),
                 QStringLiteral("Shell32Bit| Command exit value: 0"), QStringLiteral("UploadShow| HTTP status: 200"),
                 QStringLiteral("UploadShow| Uploading: Finished Upload.")});
}

TEST_F(UploadTest, WithoutPictureOrRecording)
{
    app.ctx.ShowTable.Picture[1].clear();
    UploadShow(app.ctx, 1);
    ASSERT_EQ(receiver.requests().size(), 1);
    EXPECT_EQ(receiver.requests()[0].names(), QByteArrayList({"description", "mp3", "name"}));
    EXPECT_EQ(app.auditTexts().mid(0, 2), QStringList({QStringLiteral("UploadShow| Started..."),
                                                      QStringLiteral("UploadShow| Picture file doesnt exist: ''")}));

    app.view = RecordingView();
    QFile::remove(recording);
    for (const int show : {1, 101}) {
        app.ctx.Audit.reset();
        QFile::remove(app.auditFilePath(TestApp::sunday().date()));
        UploadShow(app.ctx, show);
        EXPECT_EQ(app.auditTexts(), QStringList({QStringLiteral("UploadShow| Started..."),
                                                 show == 1 ? QStringLiteral("UploadShow| Show file doesnt exist: '")
                                                                 + recording + u'\''
                                                           : QStringLiteral("UploadShow| ERROR: show number 101 out of range")}));
    }
    EXPECT_EQ(receiver.requests().size(), 1);
    EXPECT_EQ(app.view.status, QStringLiteral("Idle"));
    EXPECT_TRUE(app.view.command.isEmpty());
}

TEST_F(UploadTest, RefusalsAndBrokenConnectionsAreFailuresThatQuoteTheReply)
{
    const struct
    {
        int status;
        QByteArray body;
        QString url; // empty: the receiver's
        QString failure;
    } cases[] = {
        {401, "{\"error\":\"bad token\"}", {}, QStringLiteral("exit value 0, HTTP status 401, reply: '{\"error\":\"bad token\"}'")},
        {500, "line one\r\n\r\nline two", {}, QStringLiteral("exit value 0, HTTP status 500, reply: 'line one line two'")},
        {303, "see other", {}, {}},
        {200, {}, QStringLiteral("http://127.0.0.1:1/upload"), QStringLiteral("exit value 7, HTTP status 000, reply: ''")},
    };
    for (const auto &c : cases) {
        app.ctx.Audit.reset();
        app.view = RecordingView();
        receiver.setAnswers({Receiver::Answer{c.status, c.body}});
        app.ctx.CFG.UploadURL = c.url.isEmpty() ? receiver.url() : c.url;
        UploadShow(app.ctx, 1);
        const QStringList lines = app.auditTexts();
        QFile::remove(app.auditFilePath(TestApp::sunday().date()));
        EXPECT_EQ(app.view.status, c.failure.isEmpty() ? QStringLiteral("Finished Upload: 14:03:27")
                                                       : QStringLiteral("Upload Failed: 14:03:27"));
        if (c.failure.isEmpty()) {
            EXPECT_TRUE(lines.filter(QStringLiteral("FAILED")).isEmpty());
            continue;
        }
        EXPECT_TRUE(lines.contains(QStringLiteral("UploadShow| Upload FAILED: ") + c.failure)) << lines.join(u'\n').toStdString();
        EXPECT_EQ(lines.last(), QStringLiteral("UploadShow| Uploading: Finished Upload."));
        if (!c.url.isEmpty()) {
            EXPECT_EQ(lines.filter(QStringLiteral("UploadShow| curl said: 'curl: (7) Failed to connect")).size(), 1);
        }
    }
}

TEST_F(UploadTest, TakenWhenOnlyTheReplyCouldNotBeWritten)
{
    QDir().mkpath(replyFile());
    UploadShow(app.ctx, 1);
    EXPECT_EQ(receiver.requests().size(), 1);
    EXPECT_EQ(app.view.status, QStringLiteral("Finished Upload: 14:03:27"));
    const QStringList lines = app.auditTexts();
    EXPECT_TRUE(lines.contains(QStringLiteral("Shell32Bit| Command exit value: 23")));
    EXPECT_EQ(lines.filter(QStringLiteral("UploadShow| WARNING: the service took the upload but its reply could not be "
                                          "written: 'curl: (23)"))
                  .size(),
              1);
}

TEST_F(UploadTest, OnlyWhatTheServiceCannotHaveTakenIsTriedAgain)
{
    app.ctx.Options.retryCount = 1;
    app.ctx.Options.retryDelaySeconds = 0;
    const struct
    {
        int exitValue;
        const char *status;
        bool retried;
    } cases[] = {{5, "000", true},  {6, "000", true},  {7, "000", true},   {35, "000", true}, {0, "429", true},
                 {0, "503", true},  {52, "000", false}, {28, "000", false}, {0, "500", false}, {22, "404", false}};
    for (const auto &c : cases) {
        const QString runs = app.home() + QStringLiteral("/runs");
        QFile::remove(runs);
        fakeCurl(QByteArray("echo run >> '") + runs.toUtf8() + "'; printf " + c.status + "; exit "
                 + QByteArray::number(c.exitValue) + '\n');
        app.ctx.Audit.reset();
        UploadShow(app.ctx, 1);
        QFile::remove(app.auditFilePath(TestApp::sunday().date()));
        EXPECT_EQ(readFile(runs).count("run"), c.retried ? 2 : 1) << c.exitValue << ' ' << c.status;
    }
    app.ctx.Options.retryCount = 2;
    const QString runs = app.home() + QStringLiteral("/runs2");
    fakeCurl("echo run >> '" + runs.toUtf8() + "'; if [ $(wc -l < '" + runs.toUtf8()
             + "') -lt 2 ]; then printf 429; else printf 200; fi\n");
    UploadShow(app.ctx, 1);
    const QStringList lines = app.auditTexts();
    EXPECT_EQ(lines.filter(QStringLiteral("HTTP status:")),
              QStringList({QStringLiteral("UploadShow| HTTP status: 429"), QStringLiteral("UploadShow| HTTP status: 200")}));
    EXPECT_TRUE(lines.contains(QStringLiteral("UploadShow| Retry 1 of 2 in 0 seconds")));
    EXPECT_EQ(app.view.status, QStringLiteral("Finished Upload: 14:03:27"));
}

TEST_F(UploadTest, CurlThatCannotStartOrIsKilled)
{
    fakeCurl("kill -9 $$\n");
    UploadShow(app.ctx, 1);
    EXPECT_TRUE(app.auditTexts().contains(QStringLiteral("Shell32Bit| Command exit value: 137")));

    QFile::remove(app.home() + QStringLiteral("/program/curl"));
    QFile::remove(app.auditFilePath(TestApp::sunday().date()));
    app.environment.pathDirs.clear();
    UploadShow(app.ctx, 1);
    expectTexts(app.auditTexts(), {QStringLiteral("UploadShow| Started..."), QStringLiteral("UploadShow| Tunebarn Title: *"),
                                   QStringLiteral("UploadShow| Uploading: *"), QStringLiteral("UploadShow| DosCommand: *"),
                                   QStringLiteral("Shell32Bit| Error: 2 - No such file or directory"),
                                   QStringLiteral("UploadShow| Upload FAILED: curl could not be started"),
                                   QStringLiteral("UploadShow| Uploading: Finished Upload.")});
    ASSERT_EQ(app.dialogs.messages().size(), 1);
    EXPECT_EQ(app.dialogs.messages()[0].text, QStringLiteral("2 - No such file or directory"));
    EXPECT_EQ(app.dialogs.messages()[0].title, QStringLiteral("Tunebarn Uploader"));
    EXPECT_EQ(app.dialogs.messages()[0].icon, Dialogs::Icon::None);
}

TEST_F(UploadTest, CurlCheckLooksBesideTheProgramThenOnThePath)
{
    const QString beside = app.home() + QStringLiteral("/program/curl");
    fakeCurl("exit 0\n");
    EXPECT_EQ(CurlCheck(app.ctx), beside);
    QFile::remove(beside);
    EXPECT_EQ(CurlCheck(app.ctx), QStringLiteral("/usr/bin/curl"));
    app.environment.pathDirs.clear();
    EXPECT_EQ(CurlCheck(app.ctx), QString());
    EXPECT_EQ(app.heldTexts(), QStringList({QStringLiteral("CurlCheck| File exists: '") + beside + u'\'',
                                            QStringLiteral("CurlCheck| File exists: '/usr/bin/curl'"),
                                            QStringLiteral("CurlCheck| File doesnt exist. '") + beside + u'\''}));
    ASSERT_EQ(app.dialogs.messages().size(), 1);
    EXPECT_EQ(app.dialogs.messages()[0].text, QStringLiteral("File doesnt exist:\r'") + beside + u'\'');
    EXPECT_EQ(app.dialogs.messages()[0].title, QStringLiteral("Curl.exe is Missing."));
    EXPECT_EQ(app.dialogs.messages()[0].icon, Dialogs::Icon::Critical);
}

TEST_F(UploadTest, AnUploadInsideAnotherHasItsOwnReplyFile)
{
    receiver.setAnswers({Receiver::Answer{500, "outer reply", 1500}, Receiver::Answer{200, "inner reply"}});
    QString innerCommand;
    QTimer::singleShot(300, [&] {
        UploadShow(app.ctx, 1);
        innerCommand = app.ctx.DosCommand;
    });
    EXPECT_FALSE(uploadManually(app.ctx, recording, QStringLiteral("Manual"), QString()));
    EXPECT_TRUE(innerCommand.contains(app.auditFolder() + QStringLiteral("upload-2.txt")));
    EXPECT_FALSE(QFile::exists(app.auditFolder() + QStringLiteral("upload-2.txt")));
    EXPECT_EQ(readFile(replyFile()), "outer reply");
    WriteLog(app.ctx);
    EXPECT_TRUE(app.auditTexts().contains(
        QStringLiteral("Manupmnu_Click| Upload FAILED: exit value 0, HTTP status 500, reply: 'outer reply'")));
    EXPECT_EQ(app.ctx.uploadsInProgress, 0);
}

TEST_F(UploadTest, ManualUploadAsksThreeQuestionsAndSendsWhatWasTyped)
{
    // Cancelled file dialog, an empty title (cancelled, or typed and deleted): nothing happens.
    app.dialogs.fileAnswers = {QString(), recording, recording};
    app.dialogs.textAnswers = {QString(), QStringLiteral("")};
    for (int i = 0; i < 3; ++i)
        manupmnu_Click(app.ctx);
    EXPECT_EQ(app.dialogs.shown.size(), 5);
    EXPECT_TRUE(app.heldTexts().isEmpty());
    EXPECT_EQ(app.view.status, QStringLiteral("Idle"));

    app.dialogs.shown.clear();
    app.view.disabled = true;
    app.dialogs.fileAnswers = {recording};
    app.dialogs.textAnswers = {QStringLiteral("Live %date%")};
    manupmnu_Click(app.ctx);
    ASSERT_EQ(app.dialogs.shown.size(), 3);
    EXPECT_EQ(app.dialogs.shown[0].text, QStringLiteral("*.mp3 *.MP3"));
    EXPECT_EQ(app.dialogs.shown[1].text, QStringLiteral("Enter a title for the upload.\reg. At Your Request - 20th July 2017"));
    EXPECT_EQ(app.dialogs.shown[1].title, QStringLiteral("Title"));
    EXPECT_EQ(app.dialogs.shown[2].text, QStringLiteral("Enter a description for the upload.\reg. Your requests and dedications."));
    EXPECT_EQ(app.dialogs.shown[2].title, QStringLiteral("Description"));
    ASSERT_EQ(receiver.requests().size(), 1);
    EXPECT_EQ(receiver.requests()[0].names(), QByteArrayList({"description", "mp3", "name"}));
    EXPECT_EQ(receiver.requests()[0].part("name"), "Live %date%");
    EXPECT_EQ(receiver.requests()[0].part("description"), "");
    expectTexts(app.heldTexts(), {QStringLiteral("Manupmnu_Click| Manually Uploading: '") + recording
                                      + QStringLiteral(" Date Created: *"),
                                  QStringLiteral("Shell32Bit| Command: *"), QStringLiteral("Shell32Bit| Command exit value: 0"),
                                  QStringLiteral("Manupmnu_Click| HTTP status: 200"),
                                  QStringLiteral("Manupmnu_Click| Manually Uploading: Finished Upload.")});
    EXPECT_EQ(app.view.title, QStringLiteral("Live %date%"));
    EXPECT_EQ(app.view.status, QStringLiteral("Finished Upload: 14:03:27"));
}

TEST(FileChecks, ExistsOnlyForAFileAndTheTimeStampSaysWhatItCan)
{
    TestApp app;
    const QString file = app.writeFile(QStringLiteral("f.mp3"), "x");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(app.home()));
    EXPECT_FALSE(FileExists(QString()));
    EXPECT_TRUE(FileTimeStamp(file).contains(QRegularExpression(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d$"))));
    EXPECT_EQ(FileTimeStamp(app.home() + QStringLiteral("/none.mp3")), QStringLiteral("Not Available"));
    EXPECT_EQ(FileTimeStamp(app.home() + QStringLiteral("/no/folder.mp3")), QString());
}

} // namespace
