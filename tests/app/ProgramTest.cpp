// The built program as a process, its clock moved by libfaketime, uploading through the real
// curl to a receiver on 127.0.0.1. These scenarios check the audit blocks whole, and what only
// the real timer, signals and restarts show.

#include "support/ProgramRun.h"
#include "support/Receiver.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

namespace {

const QDate Sunday(2026, 12, 6);
const QDate Monday(2026, 12, 7);

QString buildDir()
{
    return qEnvironmentVariable("TUNEBARN_BUILD_DIR") + u'/';
}

// The lines between the last two lines that start with `first` and `last`, both included.
QStringList block(const QStringList &lines, const QString &first, const QString &last)
{
    const qsizetype from = lines.indexOf(first);
    qsizetype to = from;
    while (to >= 0 && to < lines.size() && !lines[to].startsWith(last))
        ++to;
    return from < 0 || to >= lines.size() ? QStringList() : lines.mid(from, to - from + 1);
}

TEST(Program, EachRunLeavesOneBlockInTheAuditTrail)
{
    ProgramRun run;
    const QString folder = run.auditFolder();
    run.writeConfig("[General]\nUploadURL=http://127.0.0.1:1/upload\n" + run.show(1, QStringLiteral("Sun"), QStringLiteral("14:03")));
    run.setClock(QDateTime(Sunday, QTime(14, 3, 27)), 1);
    QProcess &window = run.start();
    ASSERT_TRUE(run.waitForAudit(QStringLiteral("Form_Load| PurgeFiles: Purged audit files=0")));
    EXPECT_EQ(ProgramRun::stop(window, SIGTERM), 0);
    expectTexts(run.auditTexts(),
                {asterisks(), QStringLiteral("Form_Load| Application Started."),
                 QStringLiteral("Form_Load| Application Version: 1.0.46"),
                 QStringLiteral("Form_Load| Date formats (for debug purposes). Dayof Week (ddd): 'SUN'"),
                 QStringLiteral("Form_Load| Date formats (for debug purposes). Date string (dd/MM/yyyy): '06/12/2026'"),
                 QStringLiteral("Form_Load| Time formats (for debug purposes). (eg.'23:00'): '14:03'"),
                 QStringLiteral("CurlCheck| File exists: '/usr/bin/curl'"), QStringLiteral("Configmnu_Click| Button Clicked."),
                 QStringLiteral("GetConfigPath: Rulmo Config path not found. Using Local App path='") + folder + u'\'',
                 QStringLiteral("GetConfigPath: CFG.ConfigPath='") + folder + u'\'',
                 QStringLiteral("Configmnu_Click| Reading configuration: '") + folder + QStringLiteral("tunebarn.ini'"),
                 QStringLiteral("Configmnu_Click| Configuration loaded successfully: '") + folder + QStringLiteral("tunebarn.ini'"),
                 QStringLiteral("Form_Load| LocalAppFolder (audit location): '") + run.path(QStringLiteral("local/")) + u'\'',
                 QStringLiteral("Form_Load| Working Directory: '") + buildDir() + u'\'',
                 QStringLiteral("Form_Load| Configuration Directory: '") + folder + u'\'',
                 QStringLiteral("Form_Load| PurgeFiles: Purge files before=29/11/2026 23:59:00"),
                 QStringLiteral("PurgeFiles| About to search for audit files...") + folder + QStringLiteral("tunebarn*adt.txt"),
                 QStringLiteral("PurgeFiles| Found 1st audit file="), QStringLiteral("Form_Load| PurgeFiles: Purged audit files=0"),
                 QStringLiteral("Form_Load| No schedule state yet, starting afresh: '") + folder + QStringLiteral("schedule.state'"),
                 QStringLiteral("Form_Unload| Application Closing."), hyphens()});
    EXPECT_TRUE(run.auditLines().constFirst().startsWith(QStringLiteral("14:03:2")));

    // Without a configuration the box goes to standard error where nobody could click it.
    QFile::remove(folder + QStringLiteral("tunebarn.ini"));
    QProcess &again = run.start();
    ASSERT_TRUE(ProgramRun::waitFor([&] { return run.auditTexts().filter(QStringLiteral("Purged audit files")).size() == 2; }));
    EXPECT_EQ(ProgramRun::stop(again, SIGINT), 0);
    EXPECT_TRUE(again.readAllStandardError().contains(("File doesnt exist.: " + folder + "tunebarn.ini").toUtf8()));
    EXPECT_TRUE(run.auditTexts().contains(QStringLiteral("Configmnu_Click| Configuration file doesnt exist: '") + folder
                                          + QStringLiteral("tunebarn.ini'")));
    EXPECT_EQ(run.auditTexts().last(), hyphens());
}

TEST(Program, TicksGoOnWhileASlowUploadWaitsAndEachShowGoesOutInItsMinute)
{
    Receiver receiver;
    ProgramRun run;
    run.setClock(QDateTime(Monday, QTime(20, 59, 50)), 50);
    // Show 1's reply comes after 150 seconds; shows 2 and 3 are due meanwhile.
    receiver.setAnswers({{500, "slow reply", 150 * 1000 / run.speed()}, {200, "{\"ok\":true}"}});
    const QString alerts = run.path(QStringLiteral("alerts"));
    run.write(QStringLiteral("alert.sh"), "#!/bin/sh\nprintf '%s|' \"$@\" >> '" + alerts.toUtf8() + "'\n");
    QFile::setPermissions(run.path(QStringLiteral("alert.sh")), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    run.writeConfig("[General]\nUploadURL=" + receiver.url().toUtf8() + "\nFailureCommand=" + run.path(QStringLiteral("alert.sh")).toUtf8()
                    + '\n' + run.show(1, QStringLiteral("Mon"), QStringLiteral("21:00"), QStringLiteral("Slow $(touch pwned)"))
                    + run.show(2, QStringLiteral("Mon"), QStringLiteral("21:01"), QStringLiteral("Second"))
                    + run.show(3, QStringLiteral("Mon"), QStringLiteral("21:03")) + "Tilte=typo\n");
    // Standard error is the journal's stream, as under systemd.
    const QString log = run.path(QStringLiteral("journal"));
    run.write(QStringLiteral("journal"), {});
    struct stat status = {};
    ::stat(QFile::encodeName(log).constData(), &status);
    QProcessEnvironment env = run.environment();
    env.insert(QStringLiteral("JOURNAL_STREAM"), QStringLiteral("%1:%2").arg(quint64(status.st_dev)).arg(quint64(status.st_ino)));
    QProcess headless;
    headless.setProcessEnvironment(env);
    headless.setStandardErrorFile(log);
    headless.start(buildDir() + QStringLiteral("tunebarn-uploader"), {QStringLiteral("--headless")});
    ASSERT_TRUE(receiver.waitForRequests(3));
    ASSERT_TRUE(run.waitForAudit(QStringLiteral("UploadShow| Upload FAILED: exit value 0, HTTP status 500, reply: 'slow reply'")));
    // The service's reload reads the configuration again.
    ::kill(pid_t(headless.processId()), SIGHUP);
    ASSERT_TRUE(ProgramRun::waitFor([&] { return run.auditTexts().filter(QStringLiteral("Configmnu_Click| Button Clicked.")).size() == 2; }));
    EXPECT_EQ(ProgramRun::stop(headless, SIGTERM), 0);

    QFile journal(log);
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    const QStringList stderrLines = QString::fromUtf8(journal.readAll()).split(u'\n');
    EXPECT_TRUE(stderrLines.contains(QStringLiteral("<3>failed: show 1 'Slow $(touch pwned)': exit value 0, HTTP status 500")));
    EXPECT_EQ(stderrLines.filter(QStringLiteral("<4>warning: line ")).size(), 2); // at start and at the reload
    EXPECT_FALSE(stderrLines.filter(QRegularExpression(QStringLiteral("^<6>progress: 100% sent \\(\\d+\\) at \\d+k?/s$"))).isEmpty());
    EXPECT_TRUE(stderrLines.filter(QStringLiteral("<6>command: ")).first().endsWith(QStringLiteral("/upload?token=****")));
    EXPECT_FALSE(stderrLines.join(u'\n').contains(QString::fromLatin1(receiver.token())));
    QFile alerted(alerts);
    ASSERT_TRUE(alerted.open(QIODevice::ReadOnly));
    EXPECT_EQ(alerted.readAll(), "1|Slow $(touch pwned)|exit value 0, HTTP status 500|");
    EXPECT_FALSE(QFile::exists(run.path(QStringLiteral("home/pwned"))));
    EXPECT_EQ(run.auditTexts().filter(QStringLiteral("UploadShow| FailureCommand ")),
              QStringList({QStringLiteral("UploadShow| FailureCommand started: '") + run.path(QStringLiteral("alert.sh")) + u'\'',
                           QStringLiteral("UploadShow| FailureCommand ended: exit value 0")}));
    EXPECT_EQ(run.auditTexts().filter(QStringLiteral("Configmnu_Click| WARNING: line ")).size(), 2);

    const QStringList lines = run.auditLines();
    const QStringList texts = run.auditTexts();
    for (const auto &[show, minute] : {std::pair{1, "21:00"}, std::pair{2, "21:01"}, std::pair{3, "21:03"}}) {
        const QStringList found = lines.filter(QStringLiteral("Timer1_Timer| Show Upload [%1] Day found").arg(show));
        ASSERT_EQ(found.size(), 1) << show;
        EXPECT_TRUE(found[0].startsWith(QLatin1String(minute))) << found[0].toStdString();
    }
    const QString second = run.path(QStringLiteral("shows/show2.mp3"));
    expectTexts(block(texts, QStringLiteral("Timer1_Timer| Show Upload [2] Time found: '") + second
                                 + QStringLiteral("' Show Upload date: 'MON'"),
                      QStringLiteral("UploadShow| Uploading: Finished Upload.")),
                {QStringLiteral("Timer1_Timer| Show Upload [2] Time found: '") + second + QStringLiteral("' Show Upload date: 'MON'"),
                 QStringLiteral("Timer1_Timer| Show Upload [2] Day found: '") + second + u'\'',
                 QStringLiteral("UploadShow| Started..."), QStringLiteral("UploadShow| Picture file doesnt exist: ''"),
                 QStringLiteral("UploadShow| Tunebarn Title: 'Second'"),
                 QStringLiteral("UploadShow| Uploading: '") + second + QStringLiteral("' Date Created: *"),
                 QStringLiteral("UploadShow| DosCommand: '/usr/bin/curl -q -o \"") + run.auditFolder()
                     + QStringLiteral("upload-2.txt\" -w \"%{http_code}\" -k -X POST -F \"mp3=@") + second
                     + QStringLiteral("\" --form-string \"name=Second\" --form-string \"description=D2\" ") + receiver.url() + u'\'',
                 QStringLiteral("Shell32Bit| Command: /usr/bin/curl -q -o *"), QStringLiteral("Shell32Bit| Command exit value: 0"),
                 QStringLiteral("UploadShow| HTTP status: 200"), QStringLiteral("UploadShow| Uploading: Finished Upload.")});
    EXPECT_EQ(receiver.requests()[1].part("name"), "Second");
    EXPECT_TRUE(stderrLines.contains(QStringLiteral("<6>status: Upload Failed: ") + lines.filter(QStringLiteral("UploadShow| Upload FAILED")).first().left(8)));
    EXPECT_EQ(texts.last(), hyphens());
}

TEST(Program, RetryWaitsTimeLimitsAndTheNightlyPurgeAllGoOnTogether)
{
    Receiver receiver;
    ProgramRun run;
    run.setClock(QDateTime(Sunday, QTime(23, 59, 50)), 60);
    // Show 1 is refused for now and tried again 90 seconds later, across 00:04, when show 2 is
    // due and the files of the day that has just left the seven are purged; show 3's reply
    // never comes within its minute.
    receiver.setAnswers({{503, "busy"}, {200, "taken"}, {503, "still busy"}, {200, "late", 90 * 1000 / run.speed()}});
    run.write(QStringLiteral("local/TunebarnUploader/Tunebarn301126Adt.txt"), "old\r\n");
    QFile old(run.auditFolder() + QStringLiteral("Tunebarn301126Adt.txt"));
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(old.setFileTime(QDateTime(QDate(2026, 11, 30), QTime(12, 0)), QFileDevice::FileModificationTime));
    old.close();
    run.writeConfig("[General]\nUploadURL=" + receiver.url().toUtf8()
                    + "\nRetryCount=1\nRetryDelaySeconds=90\nUploadTimeoutMinutes=1\n"
                    + run.show(1, QStringLiteral("Mon"), QStringLiteral("00:03"))
                    + run.show(2, QStringLiteral("Mon"), QStringLiteral("00:04"))
                    + run.show(3, QStringLiteral("Mon"), QStringLiteral("00:05")));
    QProcess &headless = run.start({QStringLiteral("--headless")});
    ASSERT_TRUE(run.waitForAudit(QStringLiteral("UploadShow| Upload stopped after 1 minutes")));
    EXPECT_EQ(ProgramRun::stop(headless, SIGTERM), 0);

    const QStringList lines = run.auditLines();
    EXPECT_EQ(lines.filter(QStringLiteral("UploadShow| Retry 1 of 1 in 90 seconds")).size(), 1);
    EXPECT_TRUE(lines.filter(QStringLiteral("Timer1_Timer| Show Upload [2] Day found")).value(0).startsWith(QStringLiteral("00:04")));
    EXPECT_TRUE(run.auditTexts().contains(QStringLiteral("Timer1_Timer| PurgeFiles: Purged audit files=1")));
    EXPECT_FALSE(old.exists());
    EXPECT_TRUE(run.auditTexts().contains(QStringLiteral("UploadShow| Upload FAILED: exit value 0, HTTP status 503, reply: 'still busy'")));
    EXPECT_EQ(receiver.requests().size(), 4);
}

TEST(Program, ARestartNeverSendsAShowTwiceCatchesUpWhatItMissedAndNamesWhatWasCutOff)
{
    Receiver receiver;
    receiver.setAnswers({{200, "held", 20000}, {200, "{\"ok\":true}"}});
    ProgramRun run;
    run.writeConfig("[General]\nUploadURL=" + receiver.url().toUtf8() + "\nCatchUpMinutes=10\n"
                    + run.show(1, QStringLiteral("Mon"), QStringLiteral("21:01"))
                    + run.show(2, QStringLiteral("Mon"), QStringLiteral("21:03")));
    run.setClock(QDateTime(Monday, QTime(21, 0, 50)), 20);
    QProcess &first = run.start({QStringLiteral("--headless")});
    ASSERT_TRUE(receiver.waitForRequests(1));
    // Killed outright during show 1's upload; its curl must not run on.
    EXPECT_EQ(ProgramRun::stop(first, SIGKILL), -1);
    ASSERT_TRUE(ProgramRun::waitFor([] {
        QProcess pgrep;
        pgrep.start(QStringLiteral("pgrep"), {QStringLiteral("-f"), QStringLiteral("upload-2.txt|upload.txt.*show1.mp3")});
        pgrep.waitForFinished();
        return pgrep.exitCode() == 1;
    }));

    // Back at 21:05: 21:01 was handled, 21:02 to 21:04 were missed and show 2 goes out once.
    run.setClock(QDateTime(Monday, QTime(21, 5, 10)), 20);
    QProcess &second = run.start({QStringLiteral("--headless")});
    ASSERT_TRUE(run.waitForAudit(QStringLiteral("Timer1_Timer| Catching up missed minute: '21:04'")));
    ASSERT_TRUE(receiver.waitForRequests(2));
    EXPECT_EQ(ProgramRun::stop(second, SIGTERM), 0);
    // And once more within the same minute: nothing is caught up twice.
    run.setClock(QDateTime(Monday, QTime(21, 5, 40)), 20);
    QProcess &third = run.start({QStringLiteral("--headless")});
    ASSERT_TRUE(ProgramRun::waitFor([&] { return run.auditTexts().filter(asterisks()).size() == 3; }));
    EXPECT_EQ(ProgramRun::stop(third, SIGTERM), 0);

    const QStringList texts = run.auditTexts();
    EXPECT_EQ(texts.filter(QStringLiteral("WARNING: the upload of show 1 due at 21:01 did not finish")),
              QStringList{QStringLiteral("Form_Load| WARNING: the upload of show 1 due at 21:01 did not finish")});
    EXPECT_EQ(texts.filter(QStringLiteral("Catching up")),
              QStringList({QStringLiteral("Timer1_Timer| Catching up missed minute: '21:02'"),
                           QStringLiteral("Timer1_Timer| Catching up missed minute: '21:03'"),
                           QStringLiteral("Timer1_Timer| Catching up missed minute: '21:04'")}));
    EXPECT_EQ(receiver.requests().size(), 2);
    EXPECT_EQ(receiver.requests()[1].part("description"), "D2");
}

TEST(Program, StopsTheOrderlyWayDuringAnUploadAndNoSecondCopyRuns)
{
    Receiver receiver;
    receiver.setAnswers({{200, "held", 30000}});
    ProgramRun run;
    run.writeConfig("[General]\nUploadURL=" + receiver.url().toUtf8() + '\n'
                    + run.show(1, QStringLiteral("Mon"), QStringLiteral("21:01")));
    run.setClock(QDateTime(Monday, QTime(21, 0, 58)), 10);
    QProcess &headless = run.start({QStringLiteral("--headless")});
    ASSERT_TRUE(receiver.waitForRequests(1));

    // Another environment, the same data folder.
    QProcessEnvironment elsewhere = run.environment();
    for (const char *name : {"XDG_RUNTIME_DIR", "TMPDIR", "HOME"})
        elsewhere.insert(QString::fromLatin1(name), run.path(QStringLiteral("tmp")));
    QProcess &second = run.start({QStringLiteral("--headless")}, elsewhere);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_EQ(second.readAllStandardError(), "Tunebarn Uploader is already running.\n");

    EXPECT_EQ(ProgramRun::stop(headless, SIGTERM), 0);
    expectTexts(run.auditTexts().mid(run.auditTexts().indexOf(QStringLiteral("Shell32Bit| Command exit value: 143"))),
                {QStringLiteral("Shell32Bit| Command exit value: 143"), QStringLiteral("UploadShow| HTTP status: 000"),
                 QStringLiteral("UploadShow| Upload FAILED: exit value 143, HTTP status 000, reply: ''"),
                 QStringLiteral("UploadShow| Uploading: Finished Upload."), QStringLiteral("Form_Unload| Application Closing."),
                 hyphens()});

    // A copy that was killed never blocks the next start.
    QProcess &killed = run.start({QStringLiteral("--headless")});
    ASSERT_TRUE(ProgramRun::waitFor([&] { return run.auditTexts().filter(asterisks()).size() == 2; }));
    ProgramRun::stop(killed, SIGKILL);
    QProcess &next = run.start({QStringLiteral("--headless")});
    ASSERT_TRUE(ProgramRun::waitFor([&] { return run.auditTexts().filter(asterisks()).size() == 3; }));
    EXPECT_EQ(ProgramRun::stop(next, SIGTERM), 0);
}

TEST(Program, OneUploadFromTheCommandLine)
{
    Receiver receiver;
    ProgramRun run;
    run.writeConfig("[General]\nUploadURL=" + receiver.url().toUtf8() + '\n');
    run.write(QStringLiteral("shows/extra.mp3"), "ID3 extra");
    const QString extra = run.path(QStringLiteral("shows/extra.mp3"));
    QByteArray out;
    QByteArray err;
    EXPECT_EQ(run.run({QStringLiteral("--upload"), extra, QStringLiteral("--title"), QStringLiteral("Extra \"%date%\""),
                       QStringLiteral("--description"), QStringLiteral("Carols")},
                      &out, &err),
              0)
        << err.constData();
    EXPECT_EQ(out, "Uploaded '" + extra.toUtf8() + "' as 'Extra \"%date%\"'.\n");
    ASSERT_EQ(receiver.requests().size(), 1);
    EXPECT_EQ(receiver.requests()[0].part("name"), "Extra \"%date%\"");

    // SIGTERM stops curl, and the upload ends as a failure with its lines written.
    receiver.setAnswers({{200, "held", 30000}});
    QProcess &upload = run.start({QStringLiteral("--upload"), extra, QStringLiteral("--title"), QStringLiteral("T")});
    ASSERT_TRUE(receiver.waitForRequests(2));
    EXPECT_EQ(ProgramRun::stop(upload, SIGTERM), 1);
    EXPECT_EQ(upload.readAllStandardError(), "tunebarn-uploader: the upload failed: exit value 143, HTTP status 000\n");
    expectTexts(run.auditTexts().mid(run.auditTexts().size() - 3),
                {QStringLiteral("Manupmnu_Click| HTTP status: 000"),
                 QStringLiteral("Manupmnu_Click| Upload FAILED: exit value 143, HTTP status 000, reply: ''"),
                 QStringLiteral("Manupmnu_Click| Manually Uploading: Finished Upload.")});

    const struct
    {
        QStringList arguments;
        int status;
        QByteArray error;
    } refusals[] = {
        {{QStringLiteral("--upload"), run.path(QStringLiteral("none.mp3")), QStringLiteral("--title"), QStringLiteral("T")}, 2,
         "tunebarn-uploader: no such file: " + run.path(QStringLiteral("none.mp3")).toUtf8() + '\n'},
        {{QStringLiteral("--upload"), extra}, 2, "tunebarn-uploader: --upload needs --title (see --help)\n"},
        {{QStringLiteral("--check"), QStringLiteral("--headless")}, 2,
         "tunebarn-uploader: choose one of --check, --headless and --upload (see --help)\n"},
        {{QStringLiteral("--json")}, 2, "tunebarn-uploader: choose one of --check, --headless and --upload (see --help)\n"},
        {{QStringLiteral("--headless"), QStringLiteral("--json")}, 2, "tunebarn-uploader: --json goes with --check (see --help)\n"},
        {{QStringLiteral("--bogus")}, 2, "tunebarn-uploader: Unknown option 'bogus'. (see --help)\n"},
        {{QStringLiteral("--version")}, 0, ""},
    };
    for (const auto &refusal : refusals) {
        EXPECT_EQ(run.run(refusal.arguments, &out, &err), refusal.status) << refusal.arguments.join(u' ').toStdString();
        EXPECT_EQ(err, refusal.error);
    }
    EXPECT_EQ(out, "Tunebarn Uploader 1.0.46\n");
}

TEST(Program, OddConfigurationFilesNeverBlockOrCrash)
{
    ProgramRun run;
    const QString config = run.auditFolder() + QStringLiteral("tunebarn.ini");
    QDir().mkpath(run.auditFolder());
    ASSERT_EQ(::mkfifo(QFile::encodeName(config).constData(), 0600), 0);
    QProcess &window = run.start();
    ASSERT_TRUE(run.waitForAudit(QStringLiteral("ReadConfig| ERROR: 22 Not a regular file '") + config + u'\''));
    EXPECT_EQ(ProgramRun::stop(window, SIGTERM), 0);
    QByteArray err;
    EXPECT_EQ(run.run({QStringLiteral("--check")}, nullptr, &err), 2);
    EXPECT_EQ(err, "tunebarn-uploader: cannot read " + config.toUtf8() + ": Not a regular file\n");

    QFile::remove(config);
    QFile big(config);
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(50 * 1024 * 1024));
    big.close();
    EXPECT_EQ(run.run({QStringLiteral("--check")}, nullptr, &err), 2);
    EXPECT_EQ(err, "tunebarn-uploader: cannot read " + config.toUtf8() + ": File too large\n");
}

} // namespace
