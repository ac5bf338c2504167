#include "upload/ManualUpload.h"

#include "upload/ScheduleTick.h"
#include "upload/UploadFixture.h"

#include <QFile>
#include <QTimer>

namespace {

const QDate Today(2026, 12, 6);
const QString TitlePrompt =
    QStringLiteral("Enter a title for the upload.\reg. At Your Request - 20th July 2017");
const QString DescriptionPrompt =
    QStringLiteral("Enter a description for the upload.\reg. Your requests and dedications.");

class ManualUploadTest : public UploadFixture
{
protected:
    void SetUp() override
    {
        UploadFixture::SetUp();
        app.clock.set(Today, QTime(16, 42, 7));
        recordingBytes = awkwardBytes();
        recording = writeFile(QStringLiteral("music/At Your Request.MP3"), recordingBytes);
    }

    void answer(const QString &file, const QStringList &texts)
    {
        app.dialogs.fileAnswers = file.isEmpty() ? QStringList() : QStringList{file};
        app.dialogs.textAnswers = texts;
    }

    QStringList kindsShown() const
    {
        QStringList kinds;
        for (const ScriptedDialogs::Shown &shown : app.dialogs.shown)
            kinds.append(shown.kind);
        return kinds;
    }

    void expectNothingHappened() const
    {
        EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
        EXPECT_TRUE(app.view.statusHistory.isEmpty());
        EXPECT_TRUE(app.view.command.isEmpty());
        EXPECT_TRUE(app.view.title.isEmpty());
        EXPECT_EQ(app.ctx.DosCommand, QStringLiteral("the previous upload"));
        EXPECT_TRUE(receiver.requests().isEmpty());
    }

    QByteArray recordingBytes;
    QString recording;
};

} // namespace

TEST_F(ManualUploadTest, AsksForFileTitleAndDescriptionAndSendsThemWithoutAPicture)
{
    app.ctx.ShowTable.Picture[1] = writeFile(QStringLiteral("shows/show.jpg"), "picture");
    answer(recording,
           {QStringLiteral("At Your Request - 20th July 2017"), QStringLiteral("Your requests.")});

    manupmnu_Click(app.ctx);

    ASSERT_EQ(app.dialogs.shown.size(), 3);
    EXPECT_EQ(app.dialogs.shown[0].kind, QStringLiteral("file"));
    EXPECT_EQ(app.dialogs.shown[0].text, QStringLiteral("*.mp3 *.MP3"));
    EXPECT_EQ(app.dialogs.shown[0].title, QStringLiteral("*.mp3"));
    EXPECT_EQ(app.dialogs.shown[1].kind, QStringLiteral("text"));
    EXPECT_EQ(app.dialogs.shown[1].text, TitlePrompt);
    EXPECT_EQ(app.dialogs.shown[1].title, QStringLiteral("Title"));
    EXPECT_EQ(app.dialogs.shown[2].kind, QStringLiteral("text"));
    EXPECT_EQ(app.dialogs.shown[2].text, DescriptionPrompt);
    EXPECT_EQ(app.dialogs.shown[2].title, QStringLiteral("Description"));

    const LoopbackReceiver::Request &request = onlyRequest();
    ASSERT_EQ(text(partNames(request)), "mp3,name,description");
    EXPECT_EQ(text(request.parts[0].filename), "At Your Request.MP3");
    EXPECT_EQ(request.parts[0].bytes.toHex().toStdString(), recordingBytes.toHex().toStdString());
    EXPECT_EQ(text(request.parts[1].bytes), "At Your Request - 20th July 2017");
    EXPECT_EQ(text(request.parts[2].bytes), "Your requests.");

    const QString command =
        curl() + QStringLiteral(" -o \"") + app.localAppData() +
        QStringLiteral("/TunebarnUploader/upload.txt\" -w \"%{http_code}\" -k -X POST -F \"mp3=@") +
        recording +
        QStringLiteral("\" --form-string \"name=At Your Request - 20th July 2017\" "
                       "--form-string \"description=Your requests.\" ") +
        receiver.url();
    EXPECT_EQ(app.ctx.DosCommand, command);
    EXPECT_EQ(app.view.command, command);
    EXPECT_EQ(app.view.title, QStringLiteral("At Your Request - 20th July 2017"));
    EXPECT_EQ(app.view.statusHistory, QStringList({QStringLiteral("Uploading..."),
                                                   QStringLiteral("Finished Upload: 16:42:07")}));
}

TEST_F(ManualUploadTest, LogsItsLinesButLeavesTheFlushToOthers)
{
    answer(recording, {QStringLiteral("Request Hour"), QStringLiteral("Dedications")});

    manupmnu_Click(app.ctx);

    const QString command =
        displayLine(recording, QStringLiteral("Request Hour"), QStringLiteral("Dedications"));
    EXPECT_EQ(
        app.heldTexts(),
        QStringList({QStringLiteral("Manupmnu_Click| Manually Uploading: '") + recording +
                         QStringLiteral(" Date Created: ") + createdText(recording),
                     QStringLiteral("Shell32Bit| Command: ") + command,
                     QStringLiteral("Shell32Bit| Command exit value: 0"),
                     QStringLiteral("Manupmnu_Click| HTTP status: 200"),
                     QStringLiteral("Manupmnu_Click| Manually Uploading: Finished Upload.")}));
    EXPECT_TRUE(app.auditTexts(Today).isEmpty());

    app.ctx.WriteLog();

    EXPECT_EQ(app.auditTexts(Today).size(), 5);
}

TEST_F(ManualUploadTest, CancelledFileDialogEndsSilently)
{
    app.ctx.DosCommand = QStringLiteral("the previous upload");
    answer(QString(), {QStringLiteral("never asked")});

    manupmnu_Click(app.ctx);

    EXPECT_EQ(kindsShown(), QStringList({QStringLiteral("file")}));
    expectNothingHappened();
}

TEST_F(ManualUploadTest, EmptyOrCancelledTitleEndsSilentlyWithoutAskingForTheDescription)
{
    app.ctx.DosCommand = QStringLiteral("the previous upload");
    for (const QStringList &texts :
         {QStringList{QString(), QStringLiteral("never asked")}, QStringList()}) {
        app.dialogs.shown.clear();
        answer(recording, texts);

        manupmnu_Click(app.ctx);

        EXPECT_EQ(kindsShown(), QStringList({QStringLiteral("file"), QStringLiteral("text")}));
        expectNothingHappened();
    }
}

TEST_F(ManualUploadTest, EmptyDescriptionIsSentEmpty)
{
    answer(recording, {QStringLiteral("Request Hour")});

    manupmnu_Click(app.ctx);

    EXPECT_EQ(app.ctx.DosCommand,
              displayLine(recording, QStringLiteral("Request Hour"), QString()));
    EXPECT_TRUE(app.ctx.DosCommand.contains(QStringLiteral(" --form-string \"description=\" ")));
    ASSERT_NE(onlyRequest().part("description"), nullptr);
    EXPECT_EQ(onlyRequest().part("description")->size, 0);
}

TEST_F(ManualUploadTest, TitleIsSentAsTypedWithoutDateVariablesOrSyntax)
{
    const QString secret = writeFile(QStringLiteral("secret.txt"), "not for the service");
    const QString title = QStringLiteral(R"(Request - %date% "live" <b>, a;b \ c)");
    const QString description = u'<' + secret;
    answer(recording, {title, description});

    manupmnu_Click(app.ctx);

    EXPECT_EQ(app.view.title, title);
    EXPECT_EQ(app.ctx.DosCommand, displayLine(recording, title, description));
    const LoopbackReceiver::Request &request = onlyRequest();
    EXPECT_EQ(text(partNames(request)), "mp3,name,description");
    EXPECT_EQ(request.part("name")->bytes, title.toUtf8());
    EXPECT_EQ(request.part("description")->bytes, description.toUtf8());
}

TEST_F(ManualUploadTest, RunsWithUploadsDisabled)
{
    app.view.disabled = true;
    answer(recording, {QStringLiteral("Request Hour"), QString()});

    manupmnu_Click(app.ctx);

    EXPECT_EQ(onlyRequest().part("name")->bytes, "Request Hour");
    EXPECT_EQ(app.view.status, QStringLiteral("Finished Upload: 16:42:07"));
}

TEST_F(ManualUploadTest, RefusedUploadIsReportedUnderItsOwnName)
{
    receiver.setAnswer(LoopbackReceiver::Answer(500, QByteArray("Internal\r\nError")));
    answer(recording, {QStringLiteral("Request Hour"), QString()});

    manupmnu_Click(app.ctx);

    const QStringList held = app.heldTexts();
    ASSERT_GE(held.size(), 3);
    EXPECT_EQ(
        held.mid(held.size() - 3),
        QStringList(
            {QStringLiteral("Manupmnu_Click| HTTP status: 500"),
             QStringLiteral("Manupmnu_Click| Upload FAILED: exit value 0, HTTP status 500, reply: "
                            "'Internal Error'"),
             QStringLiteral("Manupmnu_Click| Manually Uploading: Finished Upload.")}));
    EXPECT_EQ(app.view.status, QStringLiteral("Upload Failed: 16:42:07"));
}

TEST_F(ManualUploadTest, MissingCurlFailsAfterTheLaunchError)
{
    ASSERT_TRUE(QFile::remove(curl()));
    answer(recording, {QStringLiteral("Request Hour"), QString()});

    manupmnu_Click(app.ctx);

    const QStringList held = app.heldTexts();
    ASSERT_EQ(held.size(), 4);
    EXPECT_EQ(
        held.mid(1),
        QStringList({QStringLiteral("Shell32Bit| Error: 2 - No such file or directory"),
                     QStringLiteral("Manupmnu_Click| Upload FAILED: curl could not be started"),
                     QStringLiteral("Manupmnu_Click| Manually Uploading: Finished Upload.")}));
    ASSERT_EQ(app.dialogs.messages().size(), 1);
    EXPECT_EQ(app.dialogs.messages()[0].text, QStringLiteral("2 - No such file or directory"));
    EXPECT_EQ(app.view.status, QStringLiteral("Upload Failed: 16:42:07"));
}

TEST_F(ManualUploadTest, ScheduledUploadCanStartWhileTheTitleBoxIsOpen)
{
    const QString show = writeFile(QStringLiteral("shows/news.mp3"), "news");
    app.ctx.ShowTable.Filename[1] = show;
    app.ctx.ShowTable.Title[1] = QStringLiteral("News %d!%");
    app.ctx.ShowTable.UploadDay[1] = QStringLiteral("SUN");
    app.ctx.ShowTable.UploadTime[1] = QStringLiteral("16:43");
    app.ctx.LastMinute = QStringLiteral("16:42");
    bool ticked = false;
    app.dialogs.whileOpen = [&] {
        if (ticked || app.dialogs.shown.last().title != QStringLiteral("Title"))
            return;
        ticked = true;
        app.clock.set(Today, QTime(16, 43, 1));
        Timer1_Timer(app.ctx);
    };
    answer(recording, {QStringLiteral("Request Hour"), QString()});

    manupmnu_Click(app.ctx);

    ASSERT_EQ(receiver.requests().size(), 2);
    EXPECT_EQ(receiver.requests()[0].part("name")->bytes, "News 6th");
    EXPECT_EQ(receiver.requests()[1].part("name")->bytes, "Request Hour");
    EXPECT_EQ(app.ctx.DosCommand,
              displayLine(recording, QStringLiteral("Request Hour"), QString()));
    EXPECT_EQ(
        app.view.statusHistory,
        QStringList({QStringLiteral("Uploading..."), QStringLiteral("Finished Upload: 16:43:01"),
                     QStringLiteral("Uploading..."), QStringLiteral("Finished Upload: 16:43:01")}));
    EXPECT_EQ(app.auditTexts(Today).last(),
              QStringLiteral("UploadShow| Uploading: Finished Upload."));
    EXPECT_EQ(app.heldTexts().last(),
              QStringLiteral("Manupmnu_Click| Manually Uploading: Finished Upload."));
}

TEST_F(ManualUploadTest, ManualUploadCanRunInsideAScheduledOne)
{
    LoopbackReceiver::Answer slow(200);
    slow.delayMs = 2000;
    receiver.setAnswers({slow, LoopbackReceiver::Answer(200)});
    const QString show = writeFile(QStringLiteral("shows/news.mp3"), "news");
    app.ctx.ShowTable.Filename[1] = show;
    app.ctx.ShowTable.Title[1] = QStringLiteral("News");
    app.ctx.ShowTable.UploadDay[1] = QStringLiteral("sun");
    app.ctx.ShowTable.UploadTime[1] = QStringLiteral("16:43");
    app.ctx.LastMinute = QStringLiteral("16:42");
    answer(recording, {QStringLiteral("Request Hour"), QStringLiteral("Dedications")});
    QTimer::singleShot(500, [&] { manupmnu_Click(app.ctx); });
    app.clock.set(Today, QTime(16, 43, 1));

    Timer1_Timer(app.ctx);

    ASSERT_EQ(receiver.requests().size(), 2);
    EXPECT_EQ(receiver.requests()[0].part("name")->bytes, "News");
    EXPECT_EQ(receiver.requests()[1].part("name")->bytes, "Request Hour");
    EXPECT_EQ(app.ctx.DosCommand, displayLine(recording, QStringLiteral("Request Hour"),
                                              QStringLiteral("Dedications")));
    EXPECT_EQ(app.view.title, QStringLiteral("Request Hour"));
    EXPECT_EQ(app.view.statusHistory,
              QStringList({QStringLiteral("Uploading..."), QStringLiteral("Uploading..."),
                           QStringLiteral("Finished Upload: 16:43:01"),
                           QStringLiteral("Finished Upload: 16:43:01")}));
    const QStringList texts = app.auditTexts(Today);
    const qsizetype manualEnd =
        texts.indexOf(QStringLiteral("Manupmnu_Click| Manually Uploading: Finished Upload."));
    ASSERT_GE(manualEnd, 0);
    EXPECT_EQ(texts.mid(manualEnd + 1),
              QStringList({QStringLiteral("Shell32Bit| Command exit value: 0"),
                           QStringLiteral("UploadShow| HTTP status: 200"),
                           QStringLiteral("UploadShow| Uploading: Finished Upload.")}));
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
}
