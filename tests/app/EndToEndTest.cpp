// The built program as a process, on the real clock, uploading through the real curl to the
// loopback receiver program, and closed by a termination signal.

#include "support/ProgramProcess.h"
#include "support/QtPrinters.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QLocale EnglishGB(QStringLiteral("en_GB"));

QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, '\0');
    for (char &byte : bytes)
        byte = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

// The loopback receiver as a process; it prints "LISTENING <port>", then one JSON line per request.
class ReceiverProcess
{
public:
    explicit ReceiverProcess(const QStringList &arguments)
    {
        m_process.start(builtProgram(QStringLiteral("tunebarn-test-receiver")), arguments);
    }

    ~ReceiverProcess()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }

    bool waitListening()
    {
        return QTest::qWaitFor(
                   [this] {
                       return !lines().isEmpty() || m_process.state() == QProcess::NotRunning;
                   },
                   20000) &&
               !lines().isEmpty() && lines().first().startsWith("LISTENING ");
    }

    QString uploadUrl() const
    {
        return QStringLiteral("http://127.0.0.1:") + QString::fromLatin1(m_lines.first().mid(10)) +
               QStringLiteral("/upload?token=e2e");
    }

    const QList<QByteArray> &lines()
    {
        m_buffer.append(m_process.readAllStandardOutput());
        for (qsizetype end = m_buffer.indexOf('\n'); end >= 0; end = m_buffer.indexOf('\n')) {
            m_lines.append(m_buffer.left(end));
            m_buffer.remove(0, end + 1);
        }
        return m_lines;
    }

    QList<QJsonObject> requests()
    {
        QList<QJsonObject> result;
        for (const QByteArray &line : lines().mid(1))
            result.append(QJsonDocument::fromJson(line).object());
        return result;
    }

private:
    QProcess m_process;
    QByteArray m_buffer;
    QList<QByteArray> m_lines;
};

// A copy of the program installed in a temporary home of its own.
class ProgramHome : public ProgramProcess
{
public:
    ProgramHome()
    {
        QDir().mkpath(path(QStringLiteral("program")));
        write(QStringLiteral("home/.config/Rulmo Playout System.ini"),
              "[Settings]\nCFG Folder=" + path(QStringLiteral("config")).toUtf8() + '\n');
    }

    // The program copied into its own folder with curl beside it, as it is installed.
    QString installProgram() const
    {
        const QString program = path(QStringLiteral("program/tunebarn-uploader"));
        if (!QFile::copy(builtProgram(QStringLiteral("tunebarn-uploader")), program) ||
            !QFile::link(QStringLiteral("/usr/bin/curl"), path(QStringLiteral("program/curl"))))
            return {};
        return program;
    }

    // The time stamp of the banner: when start-up ran, which its date and time lines report.
    QString firstLineTime() const
    {
        QFile file(QDir(auditFolder()).filePath(auditFiles().value(0)));
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readLine().left(8))
                                              : QString();
    }
};

// A show due at the next minute, the earliest a copy started now can upload in, unless so little
// of this minute is left that start-up might run into it (it takes well under a second).
struct DueShow
{
    DueShow()
    {
        const QDateTime now = QDateTime::currentDateTime();
        const int lead = now.time().second() >= 55 ? 2 : 1;
        due =
            QDateTime(now.date(), QTime(now.time().hour(), now.time().minute())).addSecs(60 * lead);
    }

    QString day() const { return EnglishGB.dayName(due.date().dayOfWeek(), QLocale::ShortFormat); }
    QString time() const { return due.time().toString(QStringLiteral("HH:mm")); }
    QString title() const
    {
        return QStringLiteral("Drive Time ") + due.date().toString(QStringLiteral("dd/MM/yyyy"));
    }

    QDateTime due;
};

const QString Description = QStringLiteral("Requests, dedications; and the news");

void writeShow(const ProgramHome &home, const DueShow &show, const QString &uploadUrl,
               const QByteArray &recording, const QByteArray &picture)
{
    home.write(QStringLiteral("shows/drive.mp3"), recording);
    home.write(QStringLiteral("shows/drive.png"), picture);
    home.write(
        QStringLiteral("config/tunebarn.ini"),
        "[General]\r\nUploadURL=" + uploadUrl.toUtf8() +
            "\r\n[Show1]\r\nFilename=" + home.path(QStringLiteral("shows/drive.mp3")).toUtf8() +
            "\r\nTitle=Drive Time %dd%/%mm%/%yyyy%\r\nDescription=" + Description.toUtf8() +
            "\r\nUploadDay=" + show.day().toUtf8() + "\r\nUploadTime=" + show.time().toUtf8() +
            "\r\nPicture=" + home.path(QStringLiteral("shows/drive.png")).toUtf8() + "\r\n");
}

QStringList startBlock(const ProgramHome &home, const QString &startTime)
{
    QDate day = QDate::currentDate();
    if (QTime::fromString(startTime, QStringLiteral("HH:mm:ss")) > QTime::currentTime())
        day = day.addDays(-1);
    const QString local = home.path(QStringLiteral("local"));
    const QString config = home.path(QStringLiteral("config/"));
    return {
        asterisks(),
        QStringLiteral("Form_Load| Application Started."),
        QStringLiteral("Form_Load| Application Version: 1.0.46"),
        QStringLiteral("CheckAuditFolderExists| Local App path doesnt exist. Creating: ") +
            home.auditFolder(),
        QStringLiteral("Form_Load| Date formats (for debug purposes). Dayof Week (ddd): '") +
            EnglishGB.dayName(day.dayOfWeek(), QLocale::ShortFormat).toUpper() + u'\'',
        QStringLiteral(
            "Form_Load| Date formats (for debug purposes). Date string (dd/MM/yyyy): '") +
            day.toString(QStringLiteral("dd/MM/yyyy")) + u'\'',
        QStringLiteral("Form_Load| Time formats (for debug purposes). (eg.'23:00'): '") +
            startTime.left(5) + u'\'',
        QStringLiteral("CurlCheck| File exists: '") + home.path(QStringLiteral("program/curl'")),
        QStringLiteral("Configmnu_Click| Button Clicked."),
        QStringLiteral("GetConfigPath: CFG.ConfigPath='") + config + u'\'',
        QStringLiteral("Configmnu_Click| Reading configuration: '") + config +
            QStringLiteral("tunebarn.ini'"),
        QStringLiteral("Configmnu_Click| Configuration loaded successfully: '") + config +
            QStringLiteral("tunebarn.ini'"),
        QStringLiteral("Form_Load| LocalAppFolder (audit location): '") + local +
            QStringLiteral("/'"),
        QStringLiteral("Form_Load| Working Directory: '") + home.path(QStringLiteral("program/'")),
        QStringLiteral("Form_Load| Configuration Directory: '") + config + u'\'',
        QStringLiteral("Form_Load| PurgeFiles: Purge files before=") +
            day.addDays(-7).toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" 23:59:00"),
        QStringLiteral("PurgeFiles| About to search for audit files...") + home.auditFolder() +
            QStringLiteral("tunebarn*adt.txt"),
        QStringLiteral("PurgeFiles| Found 1st audit file="),
        QStringLiteral("Form_Load| PurgeFiles: Purged audit files=0")};
}

QStringList uploadLines(const ProgramHome &home, const DueShow &show)
{
    const QString recording = home.path(QStringLiteral("shows/drive.mp3"));
    return {QStringLiteral("Timer1_Timer| Show Upload [1] Time found: '") + recording +
                QStringLiteral("' Show Upload date: '") + show.day().toUpper() + u'\'',
            QStringLiteral("Timer1_Timer| Show Upload [1] Day found: '") + recording + u'\'',
            QStringLiteral("UploadShow| Started..."),
            QStringLiteral("UploadShow| Tunebarn Title: '") + show.title() + u'\'',
            QStringLiteral("UploadShow| Uploading: '") + recording +
                QStringLiteral("' Date Created: *"),
            QStringLiteral("UploadShow| DosCommand: '*"),
            QStringLiteral("Shell32Bit| Command: *")};
}

QJsonObject partNamed(const QJsonObject &request, const QString &name)
{
    for (const QJsonValue &part : request.value(QStringLiteral("parts")).toArray()) {
        if (part.toObject().value(QStringLiteral("name")).toString() == name)
            return part.toObject();
    }
    return {};
}

void expectFilePart(const QJsonObject &request, const QString &name, const QByteArray &bytes)
{
    const QJsonObject part = partNamed(request, name);
    EXPECT_EQ(part.value(QStringLiteral("size")).toInteger(), bytes.size()) << name.toStdString();
    EXPECT_EQ(part.value(QStringLiteral("sha256")).toString().toLatin1(), sha256(bytes))
        << name.toStdString();
}

} // namespace

TEST(EndToEnd, WithoutADisplayTheProgramEndsWithOneLine)
{
    ProgramHome home;
    QProcessEnvironment env = home.environment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(builtProgram(QStringLiteral("tunebarn-uploader")), {});
    ASSERT_TRUE(program.waitForFinished(30000));

    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(program.exitCode(), 0);
    const QByteArray errorOutput = program.readAllStandardError();
    EXPECT_EQ(errorOutput.count('\n'), 1) << errorOutput.constData();
    EXPECT_TRUE(errorOutput.endsWith('\n'));
    EXPECT_TRUE(errorOutput.contains("no display")) << errorOutput.constData();
    EXPECT_FALSE(QFileInfo::exists(home.auditFolder()));
}

TEST(EndToEnd, ScheduledShowIsUploadedAndEveryCloseEndsItsBlock)
{
    const DueShow show;
    ReceiverProcess fast({QStringLiteral("--once")});
    ReceiverProcess slow(
        {QStringLiteral("--once"), QStringLiteral("--delay-ms"), QStringLiteral("120000")});
    ASSERT_TRUE(fast.waitListening());
    ASSERT_TRUE(slow.waitListening());

    // Copy A uploads and is closed afterwards; copy B is closed while its curl still waits.
    ProgramHome homeA;
    ProgramHome homeB;
    const QByteArray recording = randomBytes(300000);
    const QByteArray picture = randomBytes(3000);
    writeShow(homeA, show, fast.uploadUrl(), recording, picture);
    writeShow(homeB, show, slow.uploadUrl(), recording, picture);
    const QString programA = homeA.installProgram();
    const QString programB = homeB.installProgram();
    ASSERT_FALSE(programA.isEmpty());
    ASSERT_FALSE(programB.isEmpty());
    QProcess copyA;
    QProcess copyB;
    homeA.start(copyA, programA, {});
    homeB.start(copyB, programB, {});
    const QString lastStartLine = QStringLiteral("Form_Load| PurgeFiles: Purged audit files=0");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return homeA.auditContains(lastStartLine) && homeB.auditContains(lastStartLine); },
        30000));
    ASSERT_LT(QDateTime::currentDateTime(), show.due)
        << "start-up took too long to catch the due minute";

    {
        SCOPED_TRACE("a second copy on the same data folder");
        QProcess second;
        homeA.start(second, programA, {});
        ASSERT_TRUE(second.waitForFinished(30000));
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), 1);
        const QByteArray errorOutput = second.readAllStandardError();
        EXPECT_TRUE(errorOutput.contains("Tunebarn Uploader is already running."))
            << errorOutput.constData();
        expectNoSanitizerReport(errorOutput);
    }

    const int untilDueMs = int(QDateTime::currentDateTime().msecsTo(show.due));
    const QString finished = QStringLiteral("UploadShow| Uploading: Finished Upload.");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return homeA.auditContains(finished) && slow.requests().size() == 1; },
        untilDueMs + 30000));
    copyB.terminate();
    ASSERT_TRUE(copyB.waitForFinished(15000)) << "closing during an upload must not hang";
    copyA.terminate();
    ASSERT_TRUE(copyA.waitForFinished(15000));

    for (QProcess *copy : {&copyA, &copyB}) {
        EXPECT_EQ(copy->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(copy->exitCode(), 0);
        expectNoSanitizerReport(copy->readAllStandardError());
    }

    const QList<QJsonObject> received = fast.requests();
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received[0].value(QStringLiteral("path")).toString(),
              QStringLiteral("/upload?token=e2e"));
    expectFilePart(received[0], QStringLiteral("mp3"), recording);
    expectFilePart(received[0], QStringLiteral("picture"), picture);
    EXPECT_EQ(
        partNamed(received[0], QStringLiteral("name")).value(QStringLiteral("value")).toString(),
        show.title());
    EXPECT_EQ(partNamed(received[0], QStringLiteral("description"))
                  .value(QStringLiteral("value"))
                  .toString(),
              Description);

    const QStringList closing{QStringLiteral("Form_Unload| Application Closing."), hyphens()};
    expectTexts(homeA.auditTexts(), QStringList()
                                        << startBlock(homeA, homeA.firstLineTime())
                                        << uploadLines(homeA, show)
                                        << QStringLiteral("Shell32Bit| Command exit value: 0")
                                        << QStringLiteral("UploadShow| HTTP status: 200")
                                        << finished << closing);
    expectTexts(homeB.auditTexts(),
                QStringList()
                    << startBlock(homeB, homeB.firstLineTime()) << uploadLines(homeB, show)
                    << QStringLiteral("Shell32Bit| Command exit value: 143")
                    << QStringLiteral("UploadShow| HTTP status: 000")
                    << QStringLiteral(
                           "UploadShow| Upload FAILED: exit value 143, HTTP status 000, reply: ''")
                    << finished << closing);
    EXPECT_EQ(QDir(homeA.auditFolder()).entryList(QDir::Files).size(), 2)
        << "the day's file and upload.txt only";
}
