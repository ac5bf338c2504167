// The built program run as a process in its command-line modes, in a temporary home. Where the
// minute matters, libfaketime moves the program's wall clock to a fixed date and time.

#include "support/LoopbackReceiver.h"
#include "support/ProgramProcess.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>

namespace {

// Friday, a minute before the week's last midnight.
const QDateTime FridayLate(QDate(2026, 12, 11), QTime(23, 59, 30));
// Thursday, a few seconds before the show of 21:00 is due.
const QDateTime ThursdayBeforeNine(QDate(2026, 12, 10), QTime(20, 59, 54));

const QString Description = QStringLiteral("Requests, dedications; and the news");

QString fakeTimeLibrary()
{
    QStringList folders{QStringLiteral("/usr/lib/faketime")};
    const QDir lib(QStringLiteral("/usr/lib"));
    for (const QString &multiarch : lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        folders.append(lib.filePath(multiarch) + QStringLiteral("/faketime"));
    for (const QString &folder : folders) {
        const QString library = folder + QStringLiteral("/libfaketime.so.1");
        if (QFileInfo::exists(library))
            return library;
    }
    return {};
}

struct Outcome
{
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    QStringList errLines() const { return QString::fromUtf8(err).split(u'\n', Qt::SkipEmptyParts); }
};

QString uploaderProgram()
{
    return builtProgram(QStringLiteral("tunebarn-uploader"));
}

// A show's recording and picture in place, and a wall clock that libfaketime can move.
class Home : public ProgramProcess
{
public:
    Home()
    {
        write(QStringLiteral("shows/late.mp3"), QByteArray(50000, 'm'));
        write(QStringLiteral("shows/late.png"), QByteArray(3000, 'p'));
    }

    QString recording() const { return path(QStringLiteral("shows/late.mp3")); }
    QString picture() const { return path(QStringLiteral("shows/late.png")); }

    // tunebarn.ini in the program's own data folder, where it looks without a playout setting.
    QString writeOwnConfig(const QByteArray &text) const
    {
        write(QStringLiteral("local/TunebarnUploader/tunebarn.ini"), text);
        return auditFolder() + QStringLiteral("tunebarn.ini");
    }

    // tunebarn.ini in the folder named by the playout system's "CFG Folder".
    QString writeSharedConfig(const QByteArray &text) const
    {
        write(QStringLiteral("home/.config/Rulmo Playout System.ini"),
              "[Settings]\nCFG Folder=" + path(QStringLiteral("config")).toUtf8() + '\n');
        write(QStringLiteral("config/tunebarn.ini"), text);
        return path(QStringLiteral("config/tunebarn.ini"));
    }

    // From now on the program's wall clock stands at `now` and runs on from there; every copy
    // started later shares that clock. False when libfaketime is not installed.
    bool fakeClock(const QDateTime &now)
    {
        m_fakeOffsetSeconds = QDateTime::currentDateTime().secsTo(now);
        m_fakeClock = true;
        return !fakeTimeLibrary().isEmpty();
    }

    QProcessEnvironment environment() const override
    {
        QProcessEnvironment env = ProgramProcess::environment();
        env.insert(QStringLiteral("TZ"), QStringLiteral("Europe/London"));
        if (m_fakeClock) {
            env.insert(QStringLiteral("LD_PRELOAD"), fakeTimeLibrary());
            env.insert(QStringLiteral("FAKETIME"), QString::asprintf("%+lld", m_fakeOffsetSeconds));
            // Timers keep real time; only the wall clock moves.
            env.insert(QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC"), QStringLiteral("1"));
            const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
            env.insert(QStringLiteral("ASAN_OPTIONS"),
                       (asan.isEmpty() ? QString() : asan + u':') +
                           QStringLiteral("verify_asan_link_order=0"));
        }
        return env;
    }

    // Runs the program to its end while this thread's events (a loopback receiver's) go on.
    Outcome run(const QStringList &arguments, int timeoutMs = 60000) const
    {
        QProcess process;
        start(process, uploaderProgram(), arguments);
        Outcome outcome;
        outcome.finished =
            process.waitForStarted(10000) &&
            QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
        if (!outcome.finished) {
            process.kill();
            process.waitForFinished(5000);
        }
        outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        outcome.out = process.readAllStandardOutput();
        outcome.err = process.readAllStandardError();
        expectNoSanitizerReport(outcome.err);
        return outcome;
    }

private:
    qint64 m_fakeOffsetSeconds = 0;
    bool m_fakeClock = false;
};

QByteArray showSection(int number, const QString &recording, const QByteArray &day,
                       const QByteArray &time, const QByteArray &more = QByteArray())
{
    return "[Show" + QByteArray::number(number) + "]\r\nFilename=" + recording.toUtf8() +
           "\r\nUploadDay=" + day + "\r\nUploadTime=" + time + "\r\n" + more;
}

// Show 1 on Thursdays at 21:00 with its picture, show 12 on Saturdays at midnight.
QByteArray cleanConfig(const Home &home, const QString &uploadUrl)
{
    return "[General]\r\nUploadURL=" + uploadUrl.toUtf8() + "\r\n" +
           showSection(1, home.recording(), "Thu", "21:00",
                       "Title=Late Show %date%\r\nDescription=" + Description.toUtf8() +
                           "\r\nPicture=" + home.picture().toUtf8() + "\r\n") +
           showSection(12, home.recording(), "Sat", "00:00", "Title=Breakfast %ddd% %dd%\r\n");
}

// Show 1 misspells a key and show 2 waits for a date gone by.
QByteArray faultyConfig(const Home &home)
{
    return "[General]\r\nUploadURL=https://shows.example/upload?token=s3cret\r\n" +
           showSection(1, home.recording(), "Thu", "21:00", "Tilte=Late Show\r\n") +
           showSection(2, home.recording(), "03/12/2026", "09:00");
}

const char *const FakeTimeMissing = "libfaketime is missing: run scripts/install-deps.sh";

} // namespace

TEST(CommandLineCheck, CleanScheduleIsPrintedAlignedAndExitsZero)
{
    Home home;
    const QString config = home.writeSharedConfig(
        cleanConfig(home, QStringLiteral("http://127.0.0.1:9/up?token=s3cret")));
    ASSERT_TRUE(home.fakeClock(FridayLate)) << FakeTimeMissing;

    const Outcome check = home.run({QStringLiteral("--check")});

    ASSERT_TRUE(check.finished);
    EXPECT_EQ(check.exitCode, 0) << check.err.constData();
    EXPECT_EQ(
        QString::fromUtf8(check.out),
        QStringLiteral("Configuration:  ") + config +
            QStringLiteral(
                "\n"
                "Upload address: http://127.0.0.1:9/up?token=****\n"
                "\n"
                "Show  Day  Time   Next upload           Recording  Picture  Title\n"
                "   1  Thu  21:00  Thu 17/12/2026 21:00  yes        yes      Late Show 17th "
                "December 2026\n"
                "  12  Sat  00:00  Sat 12/12/2026 00:00  yes        -        Breakfast Sat 12\n"
                "\n"
                "No problems found.\n"));
    EXPECT_TRUE(check.err.isEmpty()) << check.err.constData();
    EXPECT_FALSE(QFileInfo::exists(home.auditFolder())) << "a check leaves no audit trail";
}

TEST(CommandLineCheck, ProblemsAreNamedAndExitOne)
{
    Home home;
    home.writeOwnConfig(faultyConfig(home));
    ASSERT_TRUE(home.fakeClock(FridayLate)) << FakeTimeMissing;

    const Outcome check = home.run({QStringLiteral("--check")});

    ASSERT_TRUE(check.finished);
    EXPECT_EQ(check.exitCode, 1);
    const QString out = QString::fromUtf8(check.out);
    EXPECT_TRUE(out.startsWith(QStringLiteral("Configuration:  ") + home.auditFolder() +
                               QStringLiteral("tunebarn.ini\n")))
        << out.toStdString();
    EXPECT_TRUE(out.endsWith(QStringLiteral("\nProblems (2):\n"
                                            "  show 2: date 03/12/2026 at 09:00 is already past\n"
                                            "  line 7: key 'Tilte' in [Show1] is ignored\n")))
        << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("   2  03/12/2026  09:00  past ")))
        << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("s3cret")));
    EXPECT_FALSE(out.contains(QStringLiteral(" \n"))) << "no line ends in blanks";
    EXPECT_TRUE(home.auditFiles().isEmpty());
}

TEST(CommandLineCheck, JsonCarriesTheSameReport)
{
    Home home;
    const QString config = home.writeOwnConfig(faultyConfig(home));
    ASSERT_TRUE(home.fakeClock(FridayLate)) << FakeTimeMissing;

    const Outcome check = home.run({QStringLiteral("--check"), QStringLiteral("--json")});

    ASSERT_TRUE(check.finished);
    EXPECT_EQ(check.exitCode, 1);
    QJsonParseError error;
    const QJsonObject report = QJsonDocument::fromJson(check.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << check.out.constData();
    EXPECT_EQ(report.value(QStringLiteral("configFile")).toString(), config);
    EXPECT_EQ(report.value(QStringLiteral("uploadUrl")).toString(),
              QStringLiteral("https://shows.example/upload?token=****"));

    const QJsonArray shows = report.value(QStringLiteral("shows")).toArray();
    ASSERT_EQ(shows.size(), 2);
    const QJsonObject thursday = shows[0].toObject();
    EXPECT_EQ(thursday.value(QStringLiteral("number")).toInt(), 1);
    EXPECT_EQ(thursday.value(QStringLiteral("uploadDay")).toString(), QStringLiteral("Thu"));
    EXPECT_EQ(thursday.value(QStringLiteral("uploadTime")).toString(), QStringLiteral("21:00"));
    EXPECT_EQ(thursday.value(QStringLiteral("nextUpload")).toString(),
              QStringLiteral("2026-12-17T21:00"));
    EXPECT_EQ(thursday.value(QStringLiteral("recording")).toString(), home.recording());
    EXPECT_TRUE(thursday.value(QStringLiteral("recordingExists")).toBool());
    EXPECT_EQ(thursday.value(QStringLiteral("picture")).toString(), QString());
    EXPECT_FALSE(thursday.value(QStringLiteral("pictureExists")).toBool());
    EXPECT_EQ(shows[1].toObject().value(QStringLiteral("nextUpload")).toString(),
              QStringLiteral("past"));

    const QJsonArray problems = report.value(QStringLiteral("problems")).toArray();
    ASSERT_EQ(problems.size(), 2);
    EXPECT_EQ(problems[0].toObject().value(QStringLiteral("show")).toInt(), 2);
    EXPECT_EQ(problems[0].toObject().value(QStringLiteral("text")).toString(),
              QStringLiteral("show 2: date 03/12/2026 at 09:00 is already past"));
    EXPECT_TRUE(problems[1].toObject().value(QStringLiteral("show")).isNull());
    EXPECT_EQ(problems[1].toObject().value(QStringLiteral("text")).toString(),
              QStringLiteral("line 7: key 'Tilte' in [Show1] is ignored"));

    const QString text = QString::fromUtf8(home.run({QStringLiteral("--check")}).out);
    for (const QJsonValue &problem : problems)
        EXPECT_TRUE(text.contains(problem.toObject().value(QStringLiteral("text")).toString()));
}

TEST(CommandLineCheck, ConfigurationThatCannotBeReadExitsTwo)
{
    Home home;
    const Outcome missing = home.run({QStringLiteral("--check")});

    ASSERT_TRUE(missing.finished);
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.out.isEmpty()) << missing.out.constData();
    EXPECT_EQ(missing.errLines(),
              QStringList{QStringLiteral("tunebarn-uploader: the configuration file does not "
                                         "exist: ") +
                          home.auditFolder() + QStringLiteral("tunebarn.ini")});

    QDir().mkpath(home.auditFolder() + QStringLiteral("tunebarn.ini"));
    const Outcome folder = home.run({QStringLiteral("--check"), QStringLiteral("--json")});
    EXPECT_EQ(folder.exitCode, 2) << "a folder where the file should be";
    EXPECT_TRUE(folder.out.isEmpty());
    EXPECT_EQ(folder.errLines().size(), 1);
}

TEST(CommandLineOptions, HelpAndVersion)
{
    Home home;
    const Outcome help = home.run({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    for (const char *option : {"--check", "--json", "--headless", "--upload <FILE>",
                               "--title <TITLE>", "--description <TEXT>", "--version"})
        EXPECT_TRUE(help.out.contains(option)) << option << '\n' << help.out.constData();

    for (const QString &option : {QStringLiteral("--version"), QStringLiteral("-v")}) {
        const Outcome version = home.run({option});
        EXPECT_EQ(version.exitCode, 0);
        EXPECT_EQ(version.out, QByteArray("Tunebarn Uploader 1.0.46\n"));
    }
    EXPECT_FALSE(QFileInfo::exists(home.auditFolder()));
}

TEST(CommandLineOptions, UnusableArgumentsGetOneLineAndExitTwo)
{
    Home home;
    home.writeOwnConfig(cleanConfig(home, QStringLiteral("http://127.0.0.1:9/up")));
    const QList<QStringList> cases{
        {QStringLiteral("--bogus")},
        {QStringLiteral("--check"), QStringLiteral("--verbose")},
        {QStringLiteral("--upload")},
        {QStringLiteral("--upload"), home.recording(), QStringLiteral("--title")},
        {QStringLiteral("--upload"), home.recording()},
        {QStringLiteral("--check"), QStringLiteral("--headless")},
        {QStringLiteral("--headless"), QStringLiteral("--upload"), home.recording(),
         QStringLiteral("--title"), QStringLiteral("T")},
        {QStringLiteral("--json")},
        {QStringLiteral("--headless"), QStringLiteral("--json")},
        {QStringLiteral("--check"), QStringLiteral("--title"), QStringLiteral("T")},
        {QStringLiteral("--description"), QStringLiteral("D")},
        {QStringLiteral("--check"), QStringLiteral("tunebarn.ini")},
        {QStringLiteral("now")},
    };
    for (const QStringList &arguments : cases) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const Outcome outcome = home.run(arguments);

        ASSERT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_TRUE(outcome.out.isEmpty()) << outcome.out.constData();
        ASSERT_EQ(outcome.errLines().size(), 1) << outcome.err.constData();
        EXPECT_TRUE(outcome.errLines()[0].startsWith(QStringLiteral("tunebarn-uploader: ")))
            << outcome.err.constData();
    }
    EXPECT_TRUE(home.auditFiles().isEmpty());
}

class CommandLineUpload : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_receiver.listen()); }

    QString uploadUrl() const { return m_receiver.url(QStringLiteral("/upload?token=cli")); }

    Outcome upload(const QString &file, const QString &title = QStringLiteral("Late Show Extra"))
    {
        return m_home.run({QStringLiteral("--upload"), file, QStringLiteral("--title"), title,
                           QStringLiteral("--description"), Description});
    }

    QStringList expectedAudit(const QStringList &outcomeLines) const
    {
        const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
        return QStringList{QStringLiteral("Manupmnu_Click| Manually Uploading: '") +
                               m_home.recording() + QStringLiteral(" Date Created: *"),
                           QStringLiteral("Shell32Bit| Command: ") + curl + u'*'}
               << outcomeLines
               << QStringLiteral("Manupmnu_Click| Manually Uploading: Finished Upload.");
    }

    Home m_home;
    LoopbackReceiver m_receiver;
};

TEST_F(CommandLineUpload, ServiceTakesItExitsZero)
{
    m_home.writeOwnConfig(cleanConfig(m_home, uploadUrl()));

    const Outcome outcome = upload(m_home.recording());

    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.constData();
    EXPECT_EQ(QString::fromUtf8(outcome.out), QStringLiteral("Uploaded '") + m_home.recording() +
                                                  QStringLiteral("' as 'Late Show Extra'.\n"));
    ASSERT_EQ(m_receiver.requests().size(), 1);
    const LoopbackReceiver::Request &request = m_receiver.requests()[0];
    EXPECT_EQ(request.path, QByteArray("/upload?token=cli"));
    ASSERT_NE(request.part("mp3"), nullptr);
    EXPECT_EQ(request.part("mp3")->size, 50000);
    ASSERT_NE(request.part("name"), nullptr);
    EXPECT_EQ(request.part("name")->bytes, QByteArray("Late Show Extra"));
    ASSERT_NE(request.part("description"), nullptr);
    EXPECT_EQ(request.part("description")->bytes, Description.toUtf8());
    EXPECT_EQ(request.part("picture"), nullptr);
    expectTexts(m_home.auditTexts(),
                expectedAudit({QStringLiteral("Shell32Bit| Command exit value: 0"),
                               QStringLiteral("Manupmnu_Click| HTTP status: 200")}));
}

TEST_F(CommandLineUpload, RefusedUploadExitsOneWithTheReason)
{
    m_home.writeOwnConfig(cleanConfig(m_home, uploadUrl()));
    m_receiver.setAnswer(LoopbackReceiver::Answer(401, QByteArray("{\"error\":\"bad token\"}")));

    const Outcome outcome = upload(m_home.recording());

    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_TRUE(outcome.out.isEmpty());
    EXPECT_EQ(outcome.errLines(),
              QStringList{QStringLiteral("tunebarn-uploader: the upload "
                                         "failed: exit value 0, HTTP status 401")});
    EXPECT_EQ(m_receiver.requests().size(), 1);
    expectTexts(m_home.auditTexts(),
                expectedAudit({QStringLiteral("Shell32Bit| Command exit value: 0"),
                               QStringLiteral("Manupmnu_Click| HTTP status: 401"),
                               QStringLiteral("Manupmnu_Click| Upload FAILED: exit value 0, HTTP "
                                              "status 401, reply: '{\"error\":\"bad token\"}'")}));
}

TEST_F(CommandLineUpload, NoAnswerAtAllExitsOne)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    m_home.writeOwnConfig(
        cleanConfig(m_home, QStringLiteral("http://127.0.0.1:%1/upload?token=cli").arg(port)));

    const Outcome outcome = upload(m_home.recording());

    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_TRUE(outcome.out.isEmpty());
    ASSERT_EQ(outcome.errLines().size(), 1) << outcome.err.constData();
    EXPECT_TRUE(outcome.errLines()[0].startsWith(
        QStringLiteral("tunebarn-uploader: the upload failed: exit value 7, HTTP status 000")))
        << outcome.err.constData();
    expectTexts(m_home.auditTexts(),
                expectedAudit({QStringLiteral("Shell32Bit| Command exit value: 7"),
                               QStringLiteral("Manupmnu_Click| HTTP status: 000"),
                               QStringLiteral("Manupmnu_Click| Upload FAILED: exit value 7, HTTP "
                                              "status 000, reply: ''"),
                               QStringLiteral("Manupmnu_Click| curl said: 'curl: (7) *")}));
}

TEST_F(CommandLineUpload, WrongFileOrConfigurationExitsTwoWithoutUploading)
{
    m_home.writeOwnConfig(cleanConfig(m_home, uploadUrl()));
    const QString missing = m_home.path(QStringLiteral("shows/missing.mp3"));
    const QList<QPair<QStringList, QString>> cases{
        {{missing, QStringLiteral("T")}, QStringLiteral("no such file: ") + missing},
        {{m_home.path(QStringLiteral("shows")), QStringLiteral("T")},
         QStringLiteral("no such file: ") + m_home.path(QStringLiteral("shows"))},
        {{m_home.recording(), QString()}, QStringLiteral("the title is empty")},
    };
    for (const auto &[arguments, reason] : cases) {
        SCOPED_TRACE(reason.toStdString());
        const Outcome outcome = upload(arguments[0], arguments[1]);

        ASSERT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_EQ(outcome.errLines(), QStringList{QStringLiteral("tunebarn-uploader: ") + reason});
    }

    m_home.writeOwnConfig("[General]\r\nUploadURL=\r\n");
    const Outcome noAddress = upload(m_home.recording());
    EXPECT_EQ(noAddress.exitCode, 2);
    EXPECT_EQ(noAddress.errLines(),
              QStringList{QStringLiteral("tunebarn-uploader: the configuration file has no upload "
                                         "address: ") +
                          m_home.auditFolder() + QStringLiteral("tunebarn.ini")});

    EXPECT_TRUE(m_receiver.requests().isEmpty());
    EXPECT_TRUE(m_home.auditFiles().isEmpty());
}

// The scheduler without a window, on a wall clock that reaches Thursday 21:00 within seconds.
class HeadlessRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_receiver.listen());
        m_home.writeOwnConfig(
            cleanConfig(m_home, m_receiver.url(QStringLiteral("/upload?token=cli"))));
        ASSERT_TRUE(m_home.fakeClock(ThursdayBeforeNine)) << FakeTimeMissing;
    }

    void TearDown() override
    {
        if (m_program.state() != QProcess::NotRunning) {
            m_program.kill();
            m_program.waitForFinished(5000);
        }
    }

    bool waitForAudit(const QString &text, int timeoutMs)
    {
        return QTest::qWaitFor([&] { return m_home.auditContains(text); }, timeoutMs);
    }

    bool stop(int signalNumber)
    {
        ::kill(pid_t(m_program.processId()), signalNumber);
        return QTest::qWaitFor([&] { return m_program.state() == QProcess::NotRunning; }, 20000);
    }

    QStringList startBlock() const
    {
        const QString folder = m_home.auditFolder();
        const QString config = folder + QStringLiteral("tunebarn.ini");
        return {
            asterisks(),
            QStringLiteral("Form_Load| Application Started."),
            QStringLiteral("Form_Load| Application Version: 1.0.46"),
            QStringLiteral("Form_Load| Date formats (for debug purposes). Dayof Week (ddd): 'THU'"),
            QStringLiteral("Form_Load| Date formats (for debug purposes). Date string "
                           "(dd/MM/yyyy): '10/12/2026'"),
            QStringLiteral("Form_Load| Time formats (for debug purposes). (eg.'23:00'): '20:59'"),
            QStringLiteral("CurlCheck| File exists: '") +
                QStandardPaths::findExecutable(QStringLiteral("curl")) + u'\'',
            QStringLiteral("Configmnu_Click| Button Clicked."),
            QStringLiteral("GetConfigPath: Rulmo Config path not found. Using Local App path='") +
                folder + u'\'',
            QStringLiteral("GetConfigPath: CFG.ConfigPath='") + folder + u'\'',
            QStringLiteral("Configmnu_Click| Reading configuration: '") + config + u'\'',
            QStringLiteral("Configmnu_Click| Configuration loaded successfully: '") + config +
                u'\'',
            QStringLiteral("Form_Load| LocalAppFolder (audit location): '") +
                m_home.path(QStringLiteral("local/'")),
            QStringLiteral("Form_Load| Working Directory: '") + QFileInfo(uploaderProgram()).path() +
                QStringLiteral("/'"),
            QStringLiteral("Form_Load| Configuration Directory: '") + folder + u'\'',
            QStringLiteral("Form_Load| PurgeFiles: Purge files before=03/12/2026 23:59:00"),
            QStringLiteral("PurgeFiles| About to search for audit files...") + folder +
                QStringLiteral("tunebarn*adt.txt"),
            QStringLiteral("PurgeFiles| Found 1st audit file="),
            QStringLiteral("Form_Load| PurgeFiles: Purged audit files=0")};
    }

    Home m_home;
    LoopbackReceiver m_receiver;
    QProcess m_program;
};

const QString LastStartLine = QStringLiteral("Form_Load| PurgeFiles: Purged audit files=0");
const QString ShowFinished = QStringLiteral("UploadShow| Uploading: Finished Upload.");

TEST_F(HeadlessRun, UploadsTheDueShowAndClosesTheOrderlyWayOnSigterm)
{
    m_home.start(m_program, uploaderProgram(), {QStringLiteral("--headless")});
    ASSERT_TRUE(waitForAudit(LastStartLine, 30000)) << m_program.readAllStandardError().constData();

    {
        SCOPED_TRACE("a second scheduler on the same data folder");
        for (const QStringList &arguments :
             {QStringList{QStringLiteral("--headless")}, QStringList{}}) {
            const Outcome second = m_home.run(arguments);
            EXPECT_EQ(second.exitCode, 1);
            EXPECT_TRUE(second.err.contains("Tunebarn Uploader is already running."))
                << second.err.constData();
        }
    }

    ASSERT_TRUE(waitForAudit(ShowFinished, 30000)) << m_program.readAllStandardError().constData();
    ASSERT_EQ(m_receiver.requests().size(), 1);
    const LoopbackReceiver::Request &scheduled = m_receiver.requests()[0];
    EXPECT_EQ(scheduled.path, QByteArray("/upload?token=cli"));
    ASSERT_NE(scheduled.part("name"), nullptr);
    EXPECT_EQ(scheduled.part("name")->bytes, QByteArray("Late Show 10th December 2026"));
    ASSERT_NE(scheduled.part("picture"), nullptr);
    EXPECT_EQ(scheduled.part("picture")->size, 3000);

    {
        SCOPED_TRACE("a check and a one-off upload beside the running scheduler");
        const Outcome check = m_home.run({QStringLiteral("--check")});
        EXPECT_EQ(check.exitCode, 0) << check.out.constData();
        EXPECT_TRUE(check.out.contains("No problems found.")) << check.out.constData();
        const Outcome upload = m_home.run({QStringLiteral("--upload"), m_home.recording(),
                                           QStringLiteral("--title"), QStringLiteral("Extra")});
        EXPECT_EQ(upload.exitCode, 0) << upload.err.constData();
        EXPECT_EQ(m_receiver.requests().size(), 2);
    }

    ASSERT_TRUE(stop(SIGTERM));
    EXPECT_EQ(m_program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_program.exitCode(), 0);

    const QString recording = m_home.recording();
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    expectTexts(m_home.auditTexts(),
                QStringList()
                    << startBlock()
                    << QStringLiteral("Timer1_Timer| Show Upload [1] Time found: '") + recording +
                           QStringLiteral("' Show Upload date: 'THU'")
                    << QStringLiteral("Timer1_Timer| Show Upload [1] Day found: '") + recording +
                           u'\''
                    << QStringLiteral("UploadShow| Started...")
                    << QStringLiteral("UploadShow| Tunebarn Title: 'Late Show 10th December 2026'")
                    << QStringLiteral("UploadShow| Uploading: '") + recording +
                           QStringLiteral("' Date Created: *")
                    << QStringLiteral("UploadShow| DosCommand: '") + curl + u'*'
                    << QStringLiteral("Shell32Bit| Command: ") + curl + u'*'
                    << QStringLiteral("Shell32Bit| Command exit value: 0")
                    << QStringLiteral("UploadShow| HTTP status: 200") << ShowFinished
                    << QStringLiteral("Manupmnu_Click| Manually Uploading: '") + recording +
                           QStringLiteral(" Date Created: *")
                    << QStringLiteral("Shell32Bit| Command: ") + curl + u'*'
                    << QStringLiteral("Shell32Bit| Command exit value: 0")
                    << QStringLiteral("Manupmnu_Click| HTTP status: 200")
                    << QStringLiteral("Manupmnu_Click| Manually Uploading: Finished Upload.")
                    << QStringLiteral("Form_Unload| Application Closing.") << hyphens());
    EXPECT_EQ(m_home.auditFiles(), QStringList{QStringLiteral("Tunebarn101226Adt.txt")});

    const QByteArray errorOutput = m_program.readAllStandardError();
    expectNoSanitizerReport(errorOutput);
    expectTexts(QString::fromUtf8(errorOutput).split(u'\n', Qt::SkipEmptyParts),
                {QStringLiteral("status: Config loaded.20:59"),
                 QStringLiteral("command: ") + curl + u'*',
                 QStringLiteral("title: Late Show 10th December 2026"),
                 QStringLiteral("status: Uploading..."),
                 QStringLiteral("status: Finished Upload: 21:00:*")});
}

TEST_F(HeadlessRun, SigintClosesAndAMessageBoxIsOneLineWithoutWaiting)
{
    QFile::remove(m_home.auditFolder() + QStringLiteral("tunebarn.ini"));
    m_home.start(m_program, uploaderProgram(), {QStringLiteral("--headless")});
    ASSERT_TRUE(waitForAudit(LastStartLine, 30000)) << m_program.readAllStandardError().constData();

    ASSERT_TRUE(stop(SIGINT));
    EXPECT_EQ(m_program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_program.exitCode(), 0);
    const QString config = m_home.auditFolder() + QStringLiteral("tunebarn.ini");
    const QStringList audit = m_home.auditTexts();
    EXPECT_TRUE(audit.contains(
        QStringLiteral("Configmnu_Click| Configuration file doesnt exist: '") + config + u'\''));
    ASSERT_GE(audit.size(), 2);
    EXPECT_EQ(audit.mid(audit.size() - 2),
              (QStringList{QStringLiteral("Form_Unload| Application Closing."), hyphens()}));
    const QByteArray errorOutput = m_program.readAllStandardError();
    expectNoSanitizerReport(errorOutput);
    EXPECT_EQ(QString::fromUtf8(errorOutput).split(u'\n', Qt::SkipEmptyParts),
              QStringList{QStringLiteral("File doesnt exist.: ") + config});
}
