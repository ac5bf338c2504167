#include "upload/UploadCommand.h"

#include "support/LoopbackReceiver.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

UploadRequest breakfastShow()
{
    return {QStringLiteral("/srv/shows/breakfast.mp3"),
            QStringLiteral("Breakfast Show - 06th December 2026"),
            QStringLiteral("Your requests and dedications."),
            QStringLiteral("/srv/shows/breakfast.jpg"),
            QStringLiteral("UPLOADURL"),
            QStringLiteral("/home/studio/.local/share/TunebarnUploader/upload.txt")};
}

const QString Curl = QStringLiteral("/opt/tunebarn/curl");

} // namespace

TEST(UploadCommand, ArgumentsAndDisplayLineOfAShowWithPicture)
{
    const CommandLine command = UploadCommand::build(Curl, breakfastShow());

    EXPECT_EQ(command.program, Curl);
    EXPECT_EQ(
        command.arguments,
        QStringList({"-o", "/home/studio/.local/share/TunebarnUploader/upload.txt", "-w",
                     "%{http_code}", "-k", "-X", "POST", "-F", "mp3=@/srv/shows/breakfast.mp3",
                     "--form-string", "name=Breakfast Show - 06th December 2026", "--form-string",
                     "description=Your requests and dedications.", "-F",
                     "picture=@/srv/shows/breakfast.jpg", "UPLOADURL"}));
    EXPECT_EQ(
        command.display,
        QStringLiteral(
            R"(/opt/tunebarn/curl -o "/home/studio/.local/share/TunebarnUploader/upload.txt" )"
            R"(-w "%{http_code}" -k -X POST -F "mp3=@/srv/shows/breakfast.mp3" )"
            R"(--form-string "name=Breakfast Show - 06th December 2026" )"
            R"(--form-string "description=Your requests and dedications." )"
            R"(-F "picture=@/srv/shows/breakfast.jpg" UPLOADURL)"));
}

TEST(UploadCommand, NoPictureNoPictureFieldAndEmptyValuesStayEmpty)
{
    UploadRequest request = breakfastShow();
    request.picture.clear();
    request.title.clear();
    request.description.clear();
    request.uploadUrl.clear();

    const CommandLine command = UploadCommand::build(Curl, request);

    EXPECT_EQ(command.arguments.mid(7),
              QStringList({"-F", "mp3=@/srv/shows/breakfast.mp3", "--form-string",
                           "name=", "--form-string", "description=", ""}));
    EXPECT_EQ(
        command.display,
        QStringLiteral(
            R"(/opt/tunebarn/curl -o "/home/studio/.local/share/TunebarnUploader/upload.txt" )"
            R"(-w "%{http_code}" -k -X POST -F "mp3=@/srv/shows/breakfast.mp3" )"
            R"(--form-string "name=" --form-string "description=" )"));
}

TEST(UploadCommand, TitlesAndDescriptionsGoAsTheyAreAndShowAsTheyAre)
{
    UploadRequest request = breakfastShow();
    request.title = QStringLiteral(R"(<"Live" @home, a;b \ c)");
    request.description = QStringLiteral(R"(@/etc/passwd" -F "evil=1)");

    const CommandLine command = UploadCommand::build(Curl, request);

    EXPECT_EQ(command.arguments.value(10), QStringLiteral(R"(name=<"Live" @home, a;b \ c)"));
    EXPECT_EQ(command.arguments.value(12),
              QStringLiteral(R"(description=@/etc/passwd" -F "evil=1)"));
    EXPECT_TRUE(command.display.contains(QStringLiteral(
        R"( --form-string "name=<"Live" @home, a;b \ c" --form-string "description=@/etc/passwd" -F "evil=1" -F "picture=@)")))
        << command.display.toStdString();
}

TEST(UploadCommand, FilePathsAreQuotedOnlyWhenCurlWouldReadThemAsSyntax)
{
    struct Case
    {
        QString path;
        QString written;
    };
    const Case cases[] = {
        {QStringLiteral("/srv/shows/Morning Show 06.12.mp3"),
         QStringLiteral("/srv/shows/Morning Show 06.12.mp3")},
        {QStringLiteral(R"(/srv/shows/back\slash.mp3)"),
         QStringLiteral(R"(/srv/shows/back\slash.mp3)")},
        {QStringLiteral("/srv/Café/ärger @<x>.mp3"), QStringLiteral("/srv/Café/ärger @<x>.mp3")},
        {QStringLiteral("/srv/a,b.mp3"), QStringLiteral(R"("/srv/a,b.mp3")")},
        {QStringLiteral("/srv/a;type=text/html.mp3"),
         QStringLiteral(R"("/srv/a;type=text/html.mp3")")},
        {QStringLiteral(R"(/srv/"Live".mp3)"), QStringLiteral(R"("/srv/\"Live\".mp3")")},
        {QStringLiteral(R"(/srv/x\y, "z"\.mp3)"), QStringLiteral(R"("/srv/x\\y, \"z\"\\.mp3")")},
        {QStringLiteral("/srv/late.mp3 "), QStringLiteral(R"("/srv/late.mp3 ")")},
        {QStringLiteral(" early.mp3"), QStringLiteral(R"(" early.mp3")")},
        {QStringLiteral("/srv/tab.mp3\t"), QStringLiteral("\"/srv/tab.mp3\t\"")},
        {QString(), QString()},
    };
    for (const Case &c : cases)
        EXPECT_EQ(UploadCommand::formFilePath(c.path), c.written) << c.path.toStdString();

    UploadRequest request = breakfastShow();
    request.recording = QStringLiteral("/srv/a,b.mp3");
    request.picture = QStringLiteral(R"(/srv/"p".jpg)");
    const CommandLine command = UploadCommand::build(Curl, request);
    EXPECT_EQ(command.arguments.value(8), QStringLiteral(R"(mp3=@"/srv/a,b.mp3")"));
    EXPECT_EQ(command.arguments.value(14), QStringLiteral(R"(picture=@"/srv/\"p\".jpg")"));
    EXPECT_TRUE(command.display.contains(QStringLiteral(R"( -F "mp3=@"/srv/a,b.mp3"" )")));
    EXPECT_TRUE(
        command.display.contains(QStringLiteral(R"( -F "picture=@"/srv/\"p\".jpg"" UPLOADURL)")));
}

TEST(UploadCommand, RealCurlSendsAnyFileNameWhole)
{
    LoopbackReceiver receiver;
    ASSERT_TRUE(receiver.listen());
    QTemporaryDir home;
    const QStringList names{QStringLiteral("a,b;c.mp3"),
                            QStringLiteral(R"(x\y, "z" \.mp3)"),
                            QStringLiteral("late.mp3 "),
                            QStringLiteral(" early.mp3"),
                            QStringLiteral("s;type=audio;filename=evil.mp3"),
                            QStringLiteral("Café ☕ @<x>, \"quoted\".jpg")};
    const auto contentOf = [](const QString &name) {
        return name.toUtf8() + QByteArray("\0bytes", 6);
    };
    for (int at = 0; at < names.size(); at += 2) {
        const QString recording = names[at];
        const QString picture = names[at + 1];
        for (const QString &name : {recording, picture}) {
            QFile file(home.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(contentOf(name));
        }
        // Relative paths, so that a blank at either end of the whole path is tried too.
        const UploadRequest request{
            recording, QStringLiteral("t"), QStringLiteral("d"),
            picture,   receiver.url(),      home.filePath(QStringLiteral("reply.txt"))};
        const CommandLine command = UploadCommand::build(QStringLiteral("/usr/bin/curl"), request);
        QProcess curl;
        curl.setWorkingDirectory(home.path());
        curl.start(command.program, command.arguments);
        ASSERT_TRUE(QTest::qWaitFor([&] { return curl.state() == QProcess::NotRunning; }, 60000));

        EXPECT_EQ(curl.exitCode(), 0) << curl.readAllStandardError().toStdString();
        EXPECT_EQ(curl.readAllStandardOutput().toStdString(), "200");
        ASSERT_FALSE(receiver.requests().isEmpty());
        const LoopbackReceiver::Request &sent = receiver.requests().last();
        ASSERT_EQ(sent.parts.size(), 4);
        for (const auto &[part, name] :
             {std::pair{&sent.parts[0], recording}, std::pair{&sent.parts[3], picture}}) {
            EXPECT_EQ(QString::fromUtf8(part->filename),
                      QString(name).replace(u'"', QStringLiteral("%22")));
            EXPECT_EQ(part->bytes, contentOf(name));
        }
    }
    EXPECT_EQ(receiver.requests().size(), 3);
}
