#include "upload/ShowUpload.h"

#include "upload/UploadFixture.h"

#include <QDir>
#include <QFile>

namespace {

const QDate Today(2026, 12, 6);
const QTime UploadTime(14, 5, 9);

class ShowUploadTest : public UploadFixture
{
protected:
    void SetUp() override
    {
        UploadFixture::SetUp();
        app.clock.set(Today, UploadTime);
        recordingBytes = awkwardBytes();
        pictureBytes = QByteArray("\xff\xd8\xff\xe0 JFIF\0\r\n\x00\xff", 14) + awkwardBytes();
        recording = writeFile(QStringLiteral("shows/breakfast.mp3"), recordingBytes);
        picture = writeFile(QStringLiteral("shows/breakfast.jpg"), pictureBytes);
    }

    void setShow(int show, const QString &file, const QString &title, const QString &description,
                 const QString &image)
    {
        app.ctx.ShowTable.Filename[show] = file;
        app.ctx.ShowTable.Title[show] = title;
        app.ctx.ShowTable.Description[show] = description;
        app.ctx.ShowTable.Picture[show] = image;
    }

    // The audit lines of an upload up to the command, as the day's file holds them.
    QStringList linesUpToTheCommand(const QString &title, const QString &command) const
    {
        return {QStringLiteral("UploadShow| Tunebarn Title: '") + title + u'\'',
                QStringLiteral("UploadShow| Uploading: '") + recording +
                    QStringLiteral("' Date Created: ") + createdText(recording),
                QStringLiteral("UploadShow| DosCommand: '") + command + u'\'',
                QStringLiteral("Shell32Bit| Command: ") + command};
    }

    void expectFailedStatus() const
    {
        EXPECT_EQ(app.view.status, QStringLiteral("Upload Failed: 14:05:09"));
        EXPECT_EQ(app.view.statusHistory,
                  QStringList({QStringLiteral("Uploading..."), app.view.status}));
    }

    QByteArray recordingBytes;
    QByteArray pictureBytes;
    QString recording;
    QString picture;
};

} // namespace

TEST_F(ShowUploadTest, SendsRecordingExpandedTitleDescriptionAndPictureByteForByte)
{
    setShow(7, recording, QStringLiteral("Breakfast Show - %date%"),
            QStringLiteral("Your requests and dedications. %date%"), picture);

    UploadShow(app.ctx, 7);

    const LoopbackReceiver::Request &request = onlyRequest();
    EXPECT_EQ(text(request.method), "POST");
    EXPECT_EQ(text(request.path), "/upload");
    EXPECT_TRUE(request.multipartComplete);
    ASSERT_EQ(text(partNames(request)), "mp3,name,description,picture");
    const LoopbackReceiver::Part &mp3 = request.parts[0];
    EXPECT_TRUE(mp3.hasFilename);
    EXPECT_EQ(text(mp3.filename), "breakfast.mp3");
    EXPECT_EQ(mp3.bytes.toHex().toStdString(), recordingBytes.toHex().toStdString());
    EXPECT_FALSE(request.parts[1].hasFilename);
    EXPECT_EQ(text(request.parts[1].bytes), "Breakfast Show - 06th December 2026");
    EXPECT_FALSE(request.parts[2].hasFilename);
    EXPECT_EQ(text(request.parts[2].bytes), "Your requests and dedications. %date%");
    EXPECT_EQ(text(request.parts[3].filename), "breakfast.jpg");
    EXPECT_EQ(request.parts[3].bytes.toHex().toStdString(), pictureBytes.toHex().toStdString());

    const QString command =
        curl() + QStringLiteral(" -o \"") + app.localAppData() +
        QStringLiteral("/TunebarnUploader/upload.txt\" -w \"%{http_code}\" -k -X POST -F \"mp3=@") +
        recording +
        QStringLiteral("\" --form-string \"name=Breakfast Show - 06th December 2026\" "
                       "--form-string \"description=Your requests and dedications. %date%\" "
                       "-F \"picture=@") +
        picture + QStringLiteral("\" ") + receiver.url();
    EXPECT_EQ(app.ctx.DosCommand, command);
    EXPECT_EQ(app.view.command, command);
    EXPECT_EQ(app.view.title, QStringLiteral("Breakfast Show - 06th December 2026"));
    EXPECT_EQ(app.view.statusHistory, QStringList({QStringLiteral("Uploading..."),
                                                   QStringLiteral("Finished Upload: 14:05:09")}));
    EXPECT_EQ(app.ctx.ShowTable.Title[7], QStringLiteral("Breakfast Show - %date%"));
    EXPECT_EQ(text(fileBytes(responseFile())), R"({"ok":true})");
}

TEST_F(ShowUploadTest, SuccessfulUploadLogsEveryStepInOrderAndWritesThemOut)
{
    setShow(7, recording, QStringLiteral("Breakfast Show - %date%"), QStringLiteral("Requests."),
            picture);
    const QString title = QStringLiteral("Breakfast Show - 06th December 2026");
    const QString command = displayLine(recording, title, QStringLiteral("Requests."), picture);

    UploadShow(app.ctx, 7);

    const QStringList expected =
        QStringList{QStringLiteral("UploadShow| Started...")} +
        linesUpToTheCommand(title, command) +
        QStringList{QStringLiteral("Shell32Bit| Command exit value: 0"),
                    QStringLiteral("UploadShow| HTTP status: 200"),
                    QStringLiteral("UploadShow| Uploading: Finished Upload.")};
    EXPECT_EQ(app.auditTexts(Today), expected);
    for (const QString &line : app.auditLines(Today))
        EXPECT_TRUE(line.startsWith(QStringLiteral("14:05:09  "))) << line.toStdString();
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
}

TEST_F(ShowUploadTest, WithoutAPictureThreeFieldsGoAndTheAuditSaysWhy)
{
    const QString missingPicture = app.home() + QStringLiteral("/shows/gone.jpg");
    for (const QString &image : {QString(), missingPicture}) {
        SCOPED_TRACE(image.toStdString());
        app.ctx.Audit.reset();
        QFile::remove(app.auditFilePath(Today));
        setShow(3, recording, QStringLiteral("Drive Time"), QString(), image);
        const QString command = displayLine(recording, QStringLiteral("Drive Time"), QString());

        UploadShow(app.ctx, 3);

        EXPECT_EQ(app.ctx.DosCommand, command);
        const QStringList expected =
            QStringList{QStringLiteral("UploadShow| Started..."),
                        QStringLiteral("UploadShow| Picture file doesnt exist: '") + image +
                            u'\''} +
            linesUpToTheCommand(QStringLiteral("Drive Time"), command) +
            QStringList{QStringLiteral("Shell32Bit| Command exit value: 0"),
                        QStringLiteral("UploadShow| HTTP status: 200"),
                        QStringLiteral("UploadShow| Uploading: Finished Upload.")};
        EXPECT_EQ(app.auditTexts(Today), expected);
        ASSERT_FALSE(receiver.requests().isEmpty());
        const LoopbackReceiver::Request &request = receiver.requests().last();
        EXPECT_EQ(text(partNames(request)), "mp3,name,description");
        EXPECT_EQ(request.part("description")->size, 0);
    }
    EXPECT_EQ(receiver.requests().size(), 2);
}

TEST_F(ShowUploadTest, MissingRecordingLogsTwoLinesAndLeavesEverythingElseAlone)
{
    const QString missing = app.home() + QStringLiteral("/shows/not there.mp3");
    setShow(9, missing, QStringLiteral("Late Show %date%"), QStringLiteral("Night"), picture);
    app.ctx.DosCommand = QStringLiteral("the previous upload");
    app.writeFile(responseFile(), "previous reply");

    UploadShow(app.ctx, 9);

    EXPECT_EQ(
        app.auditTexts(Today),
        QStringList({QStringLiteral("UploadShow| Started..."),
                     QStringLiteral("UploadShow| Show file doesnt exist: '") + missing + u'\''}));
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
    EXPECT_EQ(app.ctx.DosCommand, QStringLiteral("the previous upload"));
    EXPECT_TRUE(app.view.statusHistory.isEmpty());
    EXPECT_TRUE(app.view.command.isEmpty());
    EXPECT_TRUE(app.view.title.isEmpty());
    EXPECT_TRUE(receiver.requests().isEmpty());
    EXPECT_EQ(text(fileBytes(responseFile())), "previous reply");
}

TEST_F(ShowUploadTest, RefusedUploadIsAFailureThatQuotesTheReply)
{
    const QByteArray reply =
        "Token expired.\r\n\r\nPlease sign in\n\nagain.\r" + QByteArray(400, 'x');
    receiver.setAnswer(LoopbackReceiver::Answer(401, reply));
    setShow(4, recording, QStringLiteral("Drive Time"), QStringLiteral("Requests."), picture);
    const QString command =
        displayLine(recording, QStringLiteral("Drive Time"), QStringLiteral("Requests."), picture);

    UploadShow(app.ctx, 4);

    // 41 characters of text and line breaks, then 259 of the x's make up the first 300.
    const QString excerpt =
        QStringLiteral("Token expired. Please sign in again. ") + QString(259, u'x');
    const QStringList expected =
        QStringList{QStringLiteral("UploadShow| Started...")} +
        linesUpToTheCommand(QStringLiteral("Drive Time"), command) +
        QStringList{QStringLiteral("Shell32Bit| Command exit value: 0"),
                    QStringLiteral("UploadShow| HTTP status: 401"),
                    QStringLiteral("UploadShow| Upload FAILED: exit value 0, HTTP "
                                   "status 401, reply: '") +
                        excerpt + u'\'',
                    QStringLiteral("UploadShow| Uploading: Finished Upload.")};
    EXPECT_EQ(app.auditTexts(Today), expected);
    expectFailedStatus();
    EXPECT_EQ(onlyRequest().parts.size(), 4);
}

TEST_F(ShowUploadTest, RateLimitAndServerErrorFailRedirectIsTaken)
{
    setShow(4, recording, QStringLiteral("Drive Time"), QString(), QString());
    struct Case
    {
        int status;
        QByteArray body;
        QString outcome;
    };
    const Case cases[] = {
        {429, "Slow down – für 60 s",
         QStringLiteral(
             "Upload FAILED: exit value 0, HTTP status 429, reply: 'Slow down – für 60 s'")},
        {500, "", QStringLiteral("Upload FAILED: exit value 0, HTTP status 500, reply: ''")},
        {303, "See /shows/42", QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.status);
        receiver.setAnswer(LoopbackReceiver::Answer(c.status, c.body));

        UploadShow(app.ctx, 4);

        QStringList expected{QStringLiteral("Shell32Bit| Command exit value: 0"),
                             QStringLiteral("UploadShow| HTTP status: ") +
                                 QString::number(c.status)};
        if (!c.outcome.isEmpty())
            expected.append(QStringLiteral("UploadShow| ") + c.outcome);
        expected.append(QStringLiteral("UploadShow| Uploading: Finished Upload."));
        const QStringList texts = app.auditTexts(Today);
        EXPECT_EQ(texts.mid(texts.size() - expected.size()), expected);
        EXPECT_EQ(app.view.status, c.outcome.isEmpty() ? QStringLiteral("Finished Upload: 14:05:09")
                                                       : QStringLiteral("Upload Failed: 14:05:09"));
    }
    EXPECT_EQ(receiver.requests().size(), 3);
}

TEST_F(ShowUploadTest, RefusedConnectionFailsWithCurlsMessageAndNoStaleReply)
{
    const quint16 port = closedPort();
    ASSERT_NE(port, 0);
    app.ctx.CFG.UploadURL = QStringLiteral("http://127.0.0.1:%1/upload").arg(port);
    app.writeFile(responseFile(), "the reply to the previous upload");
    setShow(5, recording, QStringLiteral("Drive Time"), QString(), QString());

    UploadShow(app.ctx, 5);

    const QStringList texts = app.auditTexts(Today);
    ASSERT_GE(texts.size(), 5);
    const QStringList ending = texts.mid(texts.size() - 5);
    EXPECT_EQ(ending[0], QStringLiteral("Shell32Bit| Command exit value: 7"));
    EXPECT_EQ(ending[1], QStringLiteral("UploadShow| HTTP status: 000"));
    EXPECT_EQ(
        ending[2],
        QStringLiteral("UploadShow| Upload FAILED: exit value 7, HTTP status 000, reply: ''"));
    EXPECT_TRUE(ending[3].startsWith(
        QStringLiteral("UploadShow| curl said: 'curl: (7) Failed to connect to 127.0.0.1 port %1")
            .arg(port)))
        << ending[3].toStdString();
    EXPECT_TRUE(ending[3].endsWith(u'\'')) << ending[3].toStdString();
    EXPECT_EQ(ending[4], QStringLiteral("UploadShow| Uploading: Finished Upload."));
    expectFailedStatus();
    EXPECT_FALSE(QFile::exists(responseFile()));
}

TEST_F(ShowUploadTest, EmptyUploadAddressIsAFailedUpload)
{
    app.ctx.CFG.UploadURL.clear();
    setShow(5, recording, QStringLiteral("Drive Time"), QString(), QString());

    UploadShow(app.ctx, 5);

    EXPECT_TRUE(app.ctx.DosCommand.endsWith(QStringLiteral("--form-string \"description=\" ")));
    const QStringList texts = app.auditTexts(Today);
    ASSERT_GE(texts.size(), 5);
    EXPECT_EQ(
        texts.mid(texts.size() - 5),
        QStringList(
            {QStringLiteral("Shell32Bit| Command exit value: 3"),
             QStringLiteral("UploadShow| HTTP status: 000"),
             QStringLiteral("UploadShow| Upload FAILED: exit value 3, HTTP status 000, reply: ''"),
             QStringLiteral("UploadShow| curl said: 'curl: (3) URL using bad/illegal format or "
                            "missing URL'"),
             QStringLiteral("UploadShow| Uploading: Finished Upload.")}));
    expectFailedStatus();
    EXPECT_TRUE(receiver.requests().isEmpty());
}

TEST_F(ShowUploadTest, ReceiverHangingUpIsAFailedUpload)
{
    receiver.setAnswer(LoopbackReceiver::Answer::hangUp());
    setShow(5, recording, QStringLiteral("Drive Time"), QString(), QString());

    UploadShow(app.ctx, 5);

    const QStringList texts = app.auditTexts(Today);
    ASSERT_GE(texts.size(), 5);
    EXPECT_EQ(
        texts.mid(texts.size() - 5),
        QStringList(
            {QStringLiteral("Shell32Bit| Command exit value: 52"),
             QStringLiteral("UploadShow| HTTP status: 000"),
             QStringLiteral("UploadShow| Upload FAILED: exit value 52, HTTP status 000, reply: ''"),
             QStringLiteral("UploadShow| curl said: 'curl: (52) Empty reply from server'"),
             QStringLiteral("UploadShow| Uploading: Finished Upload.")}));
    expectFailedStatus();
}

TEST_F(ShowUploadTest, TakenByTheServiceButNotEndedWellByCurlIsAFailedUpload)
{
    ASSERT_TRUE(QDir().mkpath(responseFile()));
    setShow(5, recording, QStringLiteral("Drive Time"), QString(), QString());

    UploadShow(app.ctx, 5);

    const QStringList texts = app.auditTexts(Today);
    ASSERT_GE(texts.size(), 5);
    const QStringList ending = texts.mid(texts.size() - 5);
    EXPECT_EQ(ending[0], QStringLiteral("Shell32Bit| Command exit value: 23"));
    EXPECT_EQ(ending[1], QStringLiteral("UploadShow| HTTP status: 200"));
    EXPECT_EQ(
        ending[2],
        QStringLiteral("UploadShow| Upload FAILED: exit value 23, HTTP status 200, reply: ''"));
    EXPECT_TRUE(ending[3].startsWith(QStringLiteral("UploadShow| curl said: 'curl: (23) ")))
        << ending[3].toStdString();
    EXPECT_EQ(ending[4], QStringLiteral("UploadShow| Uploading: Finished Upload."));
    expectFailedStatus();
    EXPECT_EQ(receiver.requests().size(), 1);
}

TEST_F(ShowUploadTest, MissingCurlIsReportedAndTheUploadFails)
{
    ASSERT_TRUE(QFile::remove(curl()));
    setShow(6, recording, QStringLiteral("Drive Time"), QString(), picture);
    const QString command =
        displayLine(recording, QStringLiteral("Drive Time"), QString(), picture);

    UploadShow(app.ctx, 6);

    const QStringList expected =
        QStringList{QStringLiteral("UploadShow| Started...")} +
        linesUpToTheCommand(QStringLiteral("Drive Time"), command).mid(0, 3) +
        QStringList{QStringLiteral("Shell32Bit| Error: 2 - No such file or directory"),
                    QStringLiteral("UploadShow| Upload FAILED: curl could not be started"),
                    QStringLiteral("UploadShow| Uploading: Finished Upload.")};
    EXPECT_EQ(app.auditTexts(Today), expected);
    ASSERT_EQ(app.dialogs.messages().size(), 1);
    EXPECT_EQ(app.dialogs.messages()[0].text, QStringLiteral("2 - No such file or directory"));
    EXPECT_EQ(app.dialogs.messages()[0].title, QStringLiteral("Tunebarn Uploader"));
    EXPECT_EQ(app.dialogs.messages()[0].icon, Dialogs::Icon::None);
    expectFailedStatus();
}

TEST_F(ShowUploadTest, CurlOnThePathIsUsedWhenTheProgramFolderHasNone)
{
    ASSERT_TRUE(QFile::remove(curl()));
    app.environment.pathDirs = {app.home() + QStringLiteral("/empty"), QStringLiteral("/usr/bin")};
    setShow(6, recording, QStringLiteral("Drive Time"), QString(), QString());

    UploadShow(app.ctx, 6);

    EXPECT_TRUE(app.ctx.DosCommand.startsWith(QStringLiteral("/usr/bin/curl -o \"")))
        << app.ctx.DosCommand.toStdString();
    EXPECT_EQ(onlyRequest().part("mp3")->bytes, recordingBytes);
    EXPECT_EQ(app.view.status, QStringLiteral("Finished Upload: 14:05:09"));
}

TEST_F(ShowUploadTest, HostileTitlesDescriptionsAndPathsArriveWholeWithNoExtraPart)
{
    const QByteArray secret = "not for the service";
    const QString secretFile = writeFile(QStringLiteral("secret.txt"), secret);
    const QString oddRecording = writeFile(
        QStringLiteral("shows, a;b \"c\" \\ d/Mix, \"Live\"; Vol\\1 – Café;type=text.mp3"),
        recordingBytes);
    const QString oddPicture =
        writeFile(QStringLiteral("Bilder/Frühstück ☕ @<x>.jpg"), pictureBytes);
    struct Case
    {
        QString title;
        QString description;
        QString sentTitle;
    };
    const Case cases[] = {
        {u'<' + secretFile, u'@' + secretFile, u'<' + secretFile},
        {QStringLiteral(R"(Say "hi" <now> @home, a;b \ c;type=text/html)"),
         QStringLiteral(R"(x;type=text/html" -F "evil=@)") + secretFile + u'"',
         QStringLiteral(R"(Say "hi" <now> @home, a;b \ c;type=text/html)")},
        {QStringLiteral("Frühstück – Café Ölmühle ☕ 早上好 %d!%"),
         QStringLiteral("\"\" ;;; ,,, \\\\ \t end"),
         QStringLiteral("Frühstück – Café Ölmühle ☕ 早上好 6th")},
    };
    setShow(8, oddRecording, QString(), QString(), oddPicture);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        app.ctx.ShowTable.Title[8] = c.title;
        app.ctx.ShowTable.Description[8] = c.description;
        const qsizetype before = receiver.requests().size();

        UploadShow(app.ctx, 8);

        ASSERT_EQ(receiver.requests().size(), before + 1);
        const LoopbackReceiver::Request &request = receiver.requests().last();
        EXPECT_TRUE(request.multipartComplete);
        ASSERT_EQ(text(partNames(request)), "mp3,name,description,picture");
        EXPECT_EQ(request.parts[0].filename,
                  QStringLiteral("Mix, %22Live%22; Vol\\1 – Café;type=text.mp3").toUtf8());
        EXPECT_TRUE(request.parts[0].bytes == recordingBytes);
        EXPECT_EQ(request.parts[1].bytes, c.sentTitle.toUtf8());
        EXPECT_EQ(request.parts[2].bytes, c.description.toUtf8());
        EXPECT_EQ(request.parts[3].filename, QStringLiteral("Frühstück ☕ @<x>.jpg").toUtf8());
        EXPECT_TRUE(request.parts[3].bytes == pictureBytes);
        EXPECT_EQ(app.view.status, QStringLiteral("Finished Upload: 14:05:09"));
    }
    EXPECT_EQ(app.view.title, cases[2].sentTitle);
    const QString shownRecording =
        u'"' + app.home() +
        QStringLiteral(R"(/shows, a;b \"c\" \\ d/Mix, \"Live\"; Vol\\1 – Café;type=text.mp3")");
    EXPECT_EQ(app.ctx.DosCommand,
              displayLine(shownRecording, cases[2].sentTitle, cases[2].description, oddPicture));
}

TEST_F(ShowUploadTest, RecordingPathWithTrailingBlankArrives)
{
    const QString spaced = writeFile(QStringLiteral("shows/Late Show.mp3 "), recordingBytes);
    setShow(2, spaced, QStringLiteral("Late"), QString(), QString());

    UploadShow(app.ctx, 2);

    EXPECT_EQ(app.view.status, QStringLiteral("Finished Upload: 14:05:09"));
    EXPECT_EQ(text(onlyRequest().part("mp3") ? onlyRequest().part("mp3")->filename : QByteArray()),
              "Late Show.mp3 ");
}

TEST_F(ShowUploadTest, ShowNumbersZeroToHundredAreTaken)
{
    setShow(100, recording, QStringLiteral("Last"), QString(), QString());

    UploadShow(app.ctx, 0);
    UploadShow(app.ctx, 100);

    const QStringList texts = app.auditTexts(Today);
    ASSERT_GE(texts.size(), 4);
    EXPECT_EQ(texts.mid(0, 3),
              QStringList({QStringLiteral("UploadShow| Started..."),
                           QStringLiteral("UploadShow| Show file doesnt exist: ''"),
                           QStringLiteral("UploadShow| Started...")}));
    EXPECT_EQ(texts.last(), QStringLiteral("UploadShow| Uploading: Finished Upload."));
    EXPECT_EQ(onlyRequest().part("name")->bytes, "Last");
}

TEST_F(ShowUploadTest, ShowNumbersOutsideZeroToHundredAreRefusedAndWrittenOut)
{
    for (const int show : {101, -1, 32767, -32768}) {
        SCOPED_TRACE(show);
        QFile::remove(app.auditFilePath(Today));

        UploadShow(app.ctx, show);

        EXPECT_EQ(
            app.auditTexts(Today),
            QStringList(
                {QStringLiteral("UploadShow| Started..."),
                 QStringLiteral("UploadShow| ERROR: show number %1 out of range").arg(show)}));
        EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
    }
    EXPECT_TRUE(app.view.statusHistory.isEmpty());
    EXPECT_TRUE(receiver.requests().isEmpty());
}

TEST(FileExists, OnlyForAnOrdinaryFile)
{
    TestApp app;
    const QString file = app.writeFile(app.home() + QStringLiteral("/shows/a.mp3"), "x");
    const QString empty = app.writeFile(app.home() + QStringLiteral("/shows/empty.mp3"), "");

    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(FileExists(empty));
    EXPECT_FALSE(FileExists(app.home() + QStringLiteral("/shows")));
    EXPECT_FALSE(FileExists(app.home() + QStringLiteral("/shows/b.mp3")));
    EXPECT_FALSE(FileExists(file + QStringLiteral("/inside.mp3")));
    EXPECT_FALSE(FileExists(QString()));
}

TEST(FileTimeStamp, CreationTimeNotAvailableOrEmpty)
{
    TestApp app;
    const QString file = app.writeFile(app.home() + QStringLiteral("/shows/a.mp3"), "x");

    const QString stamp = FileTimeStamp(file);
    EXPECT_EQ(stamp, createdText(file));
    if (!stamp.isEmpty()) {
        EXPECT_TRUE(QDateTime::fromString(stamp, QStringLiteral("dd/MM/yyyy HH:mm:ss")).isValid())
            << stamp.toStdString();
    }
    EXPECT_EQ(FileTimeStamp(app.home() + QStringLiteral("/shows/missing.mp3")),
              QStringLiteral("Not Available"));
    EXPECT_EQ(FileTimeStamp(app.home() + QStringLiteral("/no folder/missing.mp3")), QString());
    EXPECT_EQ(FileTimeStamp(file + QStringLiteral("/under a file.mp3")), QString());
}
