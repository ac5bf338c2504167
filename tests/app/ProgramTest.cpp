// The built program as a process, its clock moved by libfaketime, uploading through the real
// curl to a receiver on 127.0.0.1. These scenarios check the audit blocks whole, and what only
// the real timer, signals and restarts show.

#include "support/ProgramRun.h"
#include "support/Receiver.h"
#include "support/TestApp.h"
#include "support/TestCertificates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QDate Sunday(2026, 12, 6);
const QDate Monday(2026, 12, 7);
// Local time an hour ahead of UTC (British summer time).
const QDate SummerMonday(2026, 7, 6);

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

// Each show was found due once, in the minute given.
void expectFoundOnceAt(ProgramRun &run, std::initializer_list<std::pair<int, const char *>> due)
{
    const QStringList lines = run.auditLines();
    for (const auto &[show, minute] : due) {
        const QStringList found =
            lines.filter(u"Timer1_Timer| Show Upload [%1] Day found"_s.arg(show));
        ASSERT_EQ(found.size(), 1) << show;
        EXPECT_TRUE(found[0].startsWith(QLatin1String(minute))) << found[0].toStdString();
    }
}

TEST(Program, EachRunLeavesOneBlockAndTheStartMinuteCountsOnce)
{
    Receiver receiver;
    std::atomic<bool> answer = false;
    receiver.whileHeld([&] { ProgramRun::waitFor([&] { return answer.load(); }); });
    ProgramRun run;
    const QString folder = run.auditFolder();
    run.writeConfig("[General]\nUploadURL=" + receiver.url().toUtf8() + '\n' +
                    run.show(1, u"Sun"_s, u"14:03"_s));
    run.setClock(QDateTime(Sunday, QTime(14, 3, 27)), 1);
    QProcess &window = run.start();
    // The show due in the start minute goes out; a hang-up closes the window, which lets the
    // upload finish first.
    ASSERT_TRUE(receiver.waitForRequests(1));
    ::kill(pid_t(window.processId()), SIGHUP);
    ASSERT_TRUE(run.waitForAudit(
        u"Form_Unload| Closing waits up to 20 seconds for the running upload to finish"_s));
    answer = true;
    EXPECT_EQ(ProgramRun::stop(window, SIGHUP), 0);
    EXPECT_TRUE(run.auditLines().filter(u"Day found"_s).value(0).startsWith(u"14:03"_s));
    QStringList texts = run.auditTexts();
    EXPECT_EQ(texts.filter(u"UploadShow| HTTP status: 200"_s).size(), 1);
    texts.removeIf([](const QString &text) {
        return text.startsWith(u"UploadShow|"_s) || text.startsWith(u"Shell32Bit|"_s) ||
               text.startsWith(u"Timer1_Timer| Show Upload [1]"_s);
    });
    expectTexts(
        texts,
        {TestApp::asterisks(),
         u"Form_Load| Application Started."_s,
         u"Form_Load| Application Version: 1.0.46"_s,
         u"Form_Load| Date formats (for debug purposes). Dayof Week (ddd): 'SUN'"_s,
         QStringLiteral("Form_Load| Date formats (for debug purposes). Date string (dd/MM/yyyy): "
                        "'06/12/2026'"),
         u"Form_Load| Time formats (for debug purposes). (eg.'23:00'): '14:03'"_s,
         u"CurlCheck| File exists: '/usr/bin/curl'"_s,
         u"Configmnu_Click| Button Clicked."_s,
         u"GetConfigPath: Rulmo Config path not found. Using Local App path='"_s + folder + u'\'',
         u"GetConfigPath: CFG.ConfigPath='"_s + folder + u'\'',
         u"Configmnu_Click| Reading configuration: '"_s + folder + u"tunebarn.ini'"_s,
         u"Configmnu_Click| Configuration loaded successfully: '"_s + folder + u"tunebarn.ini'"_s,
         u"Form_Load| LocalAppFolder (audit location): '"_s + run.path(u"local/"_s) + u'\'',
         u"Form_Load| Working Directory: '"_s + buildDir() + u'\'',
         u"Form_Load| Configuration Directory: '"_s + folder + u'\'',
         u"Form_Load| PurgeFiles: Purge files before=29/11/2026 23:59:00"_s,
         u"PurgeFiles| About to search for audit files..."_s + folder + u"tunebarn*adt.txt"_s,
         u"PurgeFiles| Found 1st audit file="_s,
         u"Form_Load| PurgeFiles: Purged audit files=0"_s,
         u"Form_Load| No schedule state yet, starting afresh: '"_s + folder + u"schedule.state'"_s,
         u"Form_Unload| Closing waits up to 20 seconds for the running upload to finish"_s,
         u"Form_Unload| Application Closing."_s,
         TestApp::hyphens()});
    // Stamped by the program's own (faked) clock, however slowly it started.
    EXPECT_TRUE(run.auditLines().constFirst().startsWith(u"14:0"_s));

    // Started again in the same minute, which the first run handled. Without a configuration
    // the box goes to standard error where nobody could click it.
    QFile::remove(folder + u"tunebarn.ini"_s);
    QProcess &again = run.start();
    ASSERT_TRUE(run.waitForAudit(u"Timer1_Timer| Minute already handled: '14:03'"_s));
    EXPECT_EQ(ProgramRun::stop(again, SIGINT), 0);
    EXPECT_TRUE(again.readAllStandardError().contains(
        ("File doesnt exist.: " + folder + "tunebarn.ini").toUtf8()));
    // And where the example to start from is.
    EXPECT_TRUE(run.auditTexts().contains(
        "Configmnu_Click| WARNING: there is no configuration file '" + folder +
        "tunebarn.ini': copy the annotated example '" +
        QDir::cleanPath(buildDir() + u"../share/doc/tunebarn-uploader/tunebarn.ini.sample"_s) +
        "' there, set UploadURL and the shows, then reload"));
    EXPECT_EQ(run.auditTexts().last(), TestApp::hyphens());
}

TEST(Program, TicksGoOnWhileASlowUploadWaitsAndEachShowGoesOutInItsMinute)
{
    Receiver receiver;
    ProgramRun run;
    run.setClock(QDateTime(Monday, QTime(20, 59, 50)), 40);
    // Show 1 is refused after 20 seconds and tried again at once, in vain, and its
    // FailureCommand hangs; show 2, due meanwhile, waits 120 seconds for its reply, and show 3
    // is due after that.
    receiver.answer("Slow $(touch pwned)",
                    {{503, R"({"error":{"message":"storage backend down"}})", 20 * 1000 / run.speed()},
                     {500, "slow reply"}});
    receiver.answer("Second", {{200, "slow", 120 * 1000 / run.speed()}});
    const QString alerts = run.path(u"alerts"_s);
    run.write(u"alert.sh"_s, "#!/bin/sh\nprintf '%s|' \"$@\" >> '" + alerts.toUtf8() +
                                 "'\nsleep 600 & sleeper=$!\ntrap 'kill $sleeper; : > \"" +
                                 alerts.toUtf8() + ".stopped\"; exit 0' TERM\nwait\n");
    QFile::setPermissions(run.path(u"alert.sh"_s), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    run.writeConfig(
        "[General]\nUploadURL=" + receiver.url().toUtf8() +
        "\nRetryCount=1\nRetryDelaySeconds=10\nFailureCommand=" + run.path(u"alert.sh"_s).toUtf8() +
        '\n' + run.show(1, u"Mon"_s, u"21:00"_s, u"Slow $(touch pwned)"_s) +
        run.show(2, u"Mon"_s, u"21:01"_s, u"Second"_s) + run.show(3, u"Mon"_s, u"21:04"_s) +
        "Tilte=typo\n");
    // Standard error is the journal's stream, as under systemd.
    const QString log = run.path(u"journal"_s);
    run.write(u"journal"_s, {});
    struct stat status = {};
    ::stat(QFile::encodeName(log).constData(), &status);
    QProcessEnvironment env = run.environment();
    env.insert(u"JOURNAL_STREAM"_s,
               u"%1:%2"_s.arg(quint64(status.st_dev)).arg(quint64(status.st_ino)));
    QProcess headless;
    headless.setProcessEnvironment(env);
    headless.setStandardErrorFile(log);
    headless.start(buildDir() + u"tunebarn-uploader"_s, {u"--headless"_s});
    // The FailureCommand is stopped after its minute while show 2's upload runs inside it.
    ASSERT_TRUE(ProgramRun::waitFor([&] { return QFile::exists(alerts + u".stopped"_s); }));
    EXPECT_TRUE(run.auditTexts().filter(u"Uploading: Finished Upload."_s).isEmpty());
    ASSERT_TRUE(receiver.waitForRequests(4));
    ASSERT_TRUE(run.waitForAudit(QStringLiteral(
        "UploadShow| Upload FAILED: exit value 0, HTTP status 500, reply: 'slow reply'")));
    // The service's reload reads the configuration again.
    ::kill(pid_t(headless.processId()), SIGHUP);
    ASSERT_TRUE(ProgramRun::waitFor([&] {
        return run.auditTexts().filter(u"Configmnu_Click| Button Clicked."_s).size() == 2;
    }));
    EXPECT_EQ(ProgramRun::stop(headless, SIGTERM), 0);

    const QStringList stderrLines = QString::fromUtf8(fileBytes(log)).split(u'\n');
    const QString reason = u"the service refused it (HTTP 500: slow reply); no retry"_s;
    EXPECT_TRUE(stderrLines.contains(u"<3>failed: show 1 'Slow $(touch pwned)': "_s + reason));
    EXPECT_EQ(stderrLines
                  .filter(QRegularExpression(QStringLiteral(
                      "^<4>retry: show 1 'Slow \\$\\(touch pwned\\)': the service refused it "
                      "\\(HTTP 503: storage backend down\\); trying again at "
                      "\\d\\d:\\d\\d:\\d\\d \\(1 of 1\\)$")))
                  .size(),
              1);
    EXPECT_EQ(stderrLines.filter(u"<4>warning: line "_s).size(),
              2); // at start and at the reload
    EXPECT_FALSE(
        stderrLines.filter(QRegularExpression(u"^<6>progress: 100% sent \\(\\d+\\) at \\d+k?/s$"_s))
            .isEmpty());
    EXPECT_TRUE(stderrLines.filter(u"<6>command: "_s).first().endsWith(u"/upload?token=****"_s));
    EXPECT_FALSE(stderrLines.join(u'\n').contains(QString::fromLatin1(receiver.token())));
    EXPECT_EQ(fileBytes(alerts), "1|Slow $(touch pwned)|" + reason.toUtf8() + '|');
    EXPECT_FALSE(QFile::exists(run.path(u"home/pwned"_s)));
    EXPECT_EQ(
        run.auditTexts().filter(u"UploadShow| FailureCommand "_s),
        QStringList({u"UploadShow| FailureCommand started: '"_s + run.path(u"alert.sh"_s) + u'\'',
                     u"UploadShow| FailureCommand stopped: it did not end within 60 seconds"_s}));
    EXPECT_EQ(run.auditTexts().filter(u"Configmnu_Click| WARNING: line "_s).size(), 2);

    expectFoundOnceAt(run, {{1, "21:00"}, {2, "21:01"}, {3, "21:04"}});
    const QStringList texts = run.auditTexts();
    const QString second = run.path(u"shows/show2.mp3"_s);
    expectTexts(
        block(texts,
              u"Timer1_Timer| Show Upload [2] Time found: '"_s + second +
                  u"' Show Upload date: 'MON'"_s,
              u"UploadShow| Uploading: Finished Upload."_s),
        {u"Timer1_Timer| Show Upload [2] Time found: '"_s + second + u"' Show Upload date: 'MON'"_s,
         u"Timer1_Timer| Show Upload [2] Day found: '"_s + second + u'\'',
         u"UploadShow| Started..."_s, u"UploadShow| WARNING: show 2 'Second': the recording *"_s,
         u"UploadShow| Picture file doesnt exist: ''"_s, u"UploadShow| Tunebarn Title: 'Second'"_s,
         u"UploadShow| Uploading: '"_s + second + u"' Date Created: *"_s,
         u"UploadShow| Recording: is not MPEG audio: it holds an ID3 tag and no audio"_s,
         u"UploadShow| DosCommand: '/usr/bin/curl -q -o \""_s + run.auditFolder() +
             u"upload-2.txt\" -w \"%{http_code} %{size_upload} %{redirect_url}\" -X POST -F \"mp3=@"_s +
             second + u"\" --form-string \"name=Second\" --form-string \"description=D2\" "_s +
             receiver.url() + u'\'',
         u"Shell32Bit| Command: /usr/bin/curl -q -o *"_s, u"Shell32Bit| Command exit value: 0"_s,
         u"UploadShow| HTTP status: 200"_s, u"UploadShow| Uploading: Finished Upload."_s});
    QByteArrayList names;
    for (const Receiver::Request &request : receiver.requests())
        names.append(request.part("name"));
    EXPECT_EQ(names.count("Second"), 1);
    // The status line follows the failure line, within the same minute.
    EXPECT_EQ(stderrLines
                  .filter(u"<6>status: Upload Failed: "_s +
                          run.auditLines().filter(u"Upload FAILED"_s).first().left(5))
                  .size(),
              1);
    EXPECT_EQ(texts.last(), TestApp::hyphens());
}

TEST(Program, RetryWaitsTimeLimitsAndTheNightlyPurgeAllGoOnTogether)
{
    Receiver receiver;
    ProgramRun run;
    run.setClock(QDateTime(Sunday, QTime(23, 59, 50)), 40);
    // Show 1 is refused for now and tried again 90 seconds later, across 00:04, when show 2 is
    // due and the files of the day that has just left the seven are purged; show 3's reply
    // never comes within its minute. Show 3 is due well after the retry, so that a busy machine
    // cannot start it first and hold the retry inside it.
    receiver.answer("One", {{503, "busy"}, {503, "still busy"}});
    receiver.answer("Three", {{200, "late", 90 * 1000 / run.speed()}});
    run.write(u"local/TunebarnUploader/Tunebarn301126Adt.txt"_s, "old\r\n");
    QFile old(run.auditFolder() + u"Tunebarn301126Adt.txt"_s);
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(old.setFileTime(QDateTime(QDate(2026, 11, 30), QTime(12, 0)),
                                QFileDevice::FileModificationTime));
    old.close();
    run.writeConfig("[General]\nUploadURL=" + receiver.url().toUtf8() +
                    "\nRetryCount=1\nRetryDelaySeconds=90\nUploadTimeoutMinutes=1\n" +
                    run.show(1, u"Mon"_s, u"00:03"_s, u"One"_s) +
                    run.show(2, u"Mon"_s, u"00:04"_s, u"Two"_s) +
                    run.show(3, u"Mon"_s, u"00:06"_s, u"Three"_s));
    QProcess &headless = run.start({u"--headless"_s});
    ASSERT_TRUE(run.waitForAudit(u"UploadShow| Upload stopped after 1 minute"_s));
    EXPECT_EQ(ProgramRun::stop(headless, SIGTERM), 0);

    const QStringList lines = run.auditLines();
    EXPECT_EQ(lines.filter(u"UploadShow| Retry 1 of 1 in 90 seconds"_s).size(), 1);
    EXPECT_TRUE(
        lines.filter(u"Timer1_Timer| Show Upload [2] Day found"_s).value(0).startsWith(u"00:04"_s));
    EXPECT_TRUE(run.auditTexts().contains(u"Timer1_Timer| PurgeFiles: Purged audit files=1"_s));
    EXPECT_FALSE(old.exists());
    EXPECT_TRUE(run.auditTexts().contains(QStringLiteral(
        "UploadShow| Upload FAILED: exit value 0, HTTP status 503, reply: 'still busy'")));
    EXPECT_EQ(receiver.requests().size(), 4);

    // Every try is in the upload history, with its due minute and how it ended.
    QByteArray out;
    ASSERT_EQ(run.run({u"--history"_s, u"--json"_s}, &out), 0);
    QStringList tries;
    for (const QJsonValue &attempt : QJsonDocument::fromJson(out)[u"attempts"_s].toArray())
        tries.append(u"%1 %2 %3 %4 %5"_s.arg(attempt[u"show"_s].toInt())
                         .arg(attempt[u"due"_s].toString(), attempt[u"outcome"_s].toString(),
                              attempt[u"httpStatus"_s].toString(),
                              attempt[u"reason"_s].toString()));
    tries.sort();
    EXPECT_EQ(
        tries,
        QStringList({u"1 2026-12-07T00:03 failed 503 the service refused it (HTTP 503: still "
                     "busy)"_s,
                     u"1 2026-12-07T00:03 retried 503 the service refused it (HTTP 503: busy)"_s,
                     u"2 2026-12-07T00:04 taken 200 "_s,
                     u"3 2026-12-07T00:06 failed 000 it timed out and was stopped after 1 "
                     "minute"_s}));
}

TEST(Program, ARestartNeverSendsAShowTwiceCatchesUpWhatItMissedAndNamesWhatWasCutOff)
{
    Receiver receiver;
    receiver.answer("One", {{200, "held", 20000}});
    ProgramRun run;
    run.writeConfig("[General]\nUploadURL=" + receiver.url().toUtf8() + "\nCatchUpMinutes=10\n" +
                    run.show(1, u"Mon"_s, u"21:01"_s, u"One"_s) + run.show(2, u"Mon"_s, u"21:03"_s));
    run.setClock(QDateTime(SummerMonday, QTime(21, 0, 50)), 20);
    QProcess &first = run.start({u"--headless"_s});
    ASSERT_TRUE(receiver.waitForRequests(1));
    // Killed outright during show 1's upload; its curl must not run on.
    EXPECT_EQ(ProgramRun::stop(first, SIGKILL), -1);
    ASSERT_TRUE(ProgramRun::waitFor([] {
        QProcess pgrep;
        pgrep.start(u"pgrep"_s, {u"-f"_s, u"upload-2.txt|upload.txt.*show1.mp3"_s});
        pgrep.waitForFinished();
        return pgrep.exitCode() == 1;
    }));

    // Back at 21:05: 21:01 was handled, 21:02 to 21:04 were missed and show 2 goes out once.
    run.setClock(QDateTime(SummerMonday, QTime(21, 5, 10)), 20);
    QProcess &second = run.start({u"--headless"_s});
    ASSERT_TRUE(run.waitForAudit(u"Timer1_Timer| Catching up missed minute: '21:04'"_s));
    ASSERT_TRUE(receiver.waitForRequests(2));
    EXPECT_EQ(ProgramRun::stop(second, SIGTERM), 0);

    const QStringList texts = run.auditTexts();
    EXPECT_EQ(texts.filter(u"WARNING: the upload of show 1 due at 21:01 did not finish"_s),
              QStringList{QStringLiteral(
                  "Form_Load| WARNING: the upload of show 1 due at 21:01 did not finish")});
    EXPECT_EQ(texts.filter(u"Catching up"_s),
              QStringList({u"Timer1_Timer| Catching up missed minute: '21:02'"_s,
                           u"Timer1_Timer| Catching up missed minute: '21:03'"_s,
                           u"Timer1_Timer| Catching up missed minute: '21:04'"_s}));
    EXPECT_EQ(receiver.requests().size(), 2);
    EXPECT_EQ(receiver.requests()[1].part("description"), "D2");
}

// Whether the curl that sends `recording` is running, among any on the machine.
bool curlRunsFor(const QString &recording)
{
    QProcess pgrep;
    pgrep.start(u"pgrep"_s, {u"-f"_s, u"upload.txt.*"_s + recording});
    pgrep.waitForFinished();
    return pgrep.exitCode() == 0;
}

TEST(Program, StopsTheOrderlyWayDuringAnUploadAndNoSecondCopyRuns)
{
    Receiver receiver;
    receiver.answerOthers({200, "held", 30000});
    // Show 1 is refused while show 2, started inside its wait, is still sent; the stop comes
    // after that refusal, so it cuts show 2 alone.
    receiver.answer("Refused", {{500, "no room", 12000}});
    ProgramRun run;
    run.writeConfig("[General]\nUploadURL=" + receiver.url().toUtf8() + '\n' +
                    run.show(1, u"Mon"_s, u"21:01"_s, u"Refused"_s) +
                    run.show(2, u"Mon"_s, u"21:02"_s));
    run.setClock(QDateTime(Monday, QTime(21, 0, 58)), 10);
    QProcess &headless = run.start({u"--headless"_s});
    ASSERT_TRUE(receiver.waitForRequests(2));

    // Another environment, the same data folder.
    QProcessEnvironment elsewhere = run.environment();
    for (const char *name : {"XDG_RUNTIME_DIR", "TMPDIR", "HOME"})
        elsewhere.insert(QString::fromLatin1(name), run.path(u"shows"_s));
    QProcess &second = run.start({u"--headless"_s}, elsewhere);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_EQ(second.readAllStandardError(), "Tunebarn Uploader is already running.\n");

    // Show 2 is cut once the grace has run; the service had its body and may have it.
    ASSERT_TRUE(ProgramRun::waitFor([&] { return !curlRunsFor(run.path(u"shows/show1.mp3"_s)); }));
    EXPECT_EQ(ProgramRun::stop(headless, SIGTERM), 0);
    const QStringList lines = run.auditLines();
    const qsizetype waits = run.auditTexts().indexOf(
        u"Form_Unload| Closing waits up to 20 seconds for the running upload to finish"_s);
    expectTexts(run.auditTexts().mid(waits + 1),
                {u"Shell32Bit| Command exit value: 143"_s, u"UploadShow| HTTP status: 000"_s,
                 QStringLiteral("UploadShow| Upload cut by the stop: show 2 'T', the whole "
                                "recording was sent and the service may have it"),
                 u"UploadShow| Uploading: Finished Upload."_s,
                 u"Shell32Bit| Command exit value: 0"_s, u"UploadShow| HTTP status: 500"_s,
                 u"UploadShow| Upload FAILED: exit value 0, HTTP status 500, reply: 'no room'"_s,
                 u"UploadShow| Uploading: Finished Upload."_s,
                 u"Form_Unload| Application Closing."_s, TestApp::hyphens()});
    const auto stamp = [&](qsizetype at) { return QTime::fromString(lines.value(at).left(8)); };
    EXPECT_GE(stamp(waits).secsTo(stamp(waits + 1)), 20);
    // Each try is timed by its own curl, and the cut one counts what curl had sent.
    QByteArray out;
    ASSERT_EQ(run.run({u"--history"_s, u"--json"_s}, &out), 0);
    QMap<int, QJsonObject> tries;
    for (const QJsonValue &attempt : QJsonDocument::fromJson(out)[u"attempts"_s].toArray())
        tries.insert(attempt[u"show"_s].toInt(), attempt.toObject());
    const auto finished = [&](int show) {
        return QDateTime::fromString(tries[show][u"finished"_s].toString(), Qt::ISODate);
    };
    EXPECT_EQ(tries[1][u"outcome"_s].toString(), u"failed"_s);
    EXPECT_GE(finished(1).secsTo(finished(2)), 20);
    const QDateTime started = finished(1).addSecs(-qint64(tries[1][u"seconds"_s].toDouble()));
    EXPECT_LE(std::abs(started.secsTo(QDateTime(Monday, QTime(21, 1)))), 30);
    EXPECT_EQ(tries[2][u"outcome"_s].toString(), u"cut"_s);
    EXPECT_GT(tries[2][u"bytesSent"_s].toInteger(), QByteArray("ID3 recording 2").size());

    // A copy that was killed never blocks the next start, which names the cut upload and sends
    // it no second time.
    QProcess &killed = run.start({u"--headless"_s});
    ASSERT_TRUE(ProgramRun::waitFor(
        [&] { return run.auditTexts().filter(TestApp::asterisks()).size() == 2; }));
    ProgramRun::stop(killed, SIGKILL);
    QProcess &next = run.start({u"--headless"_s});
    ASSERT_TRUE(ProgramRun::waitFor(
        [&] { return run.auditTexts().filter(TestApp::asterisks()).size() == 3; }));
    EXPECT_EQ(ProgramRun::stop(next, SIGTERM), 0);
    const QStringList warnings = run.auditTexts().filter(u"Form_Load| WARNING: the upload of"_s);
    EXPECT_TRUE(warnings.contains(u"Form_Load| WARNING: the upload of show 2 due at 21:02 was cut "
                                  u"by the stop after the whole recording was sent; the service "
                                  u"may have it"_s));
    EXPECT_TRUE(warnings.filter(u"show 1 "_s).isEmpty());
    EXPECT_EQ(receiver.requests().size(), 2);
}

TEST(Program, AnUploadStoppedAtItsStartGoesOnceWholeForItsOwnDayButNotJustBeforeItsNextOne)
{
    Receiver receiver;
    receiver.holdBodies("/held");
    ProgramRun run;
    // More than the sockets between curl and the receiver can hold, which reads none of it; the
    // stop comes at once, before curl's meter knows the size.
    const QByteArray recording(40 * 1024 * 1024, 'x');
    const QByteArray show = run.show(1, u"Mon"_s, u"21:01"_s, u"Drive %date%"_s);
    run.write(u"shows/show1.mp3"_s, recording);
    const QByteArray url = receiver.url().toUtf8();
    run.writeConfig("[General]\nStopGraceSeconds=0\nUploadURL=" +
                    QByteArray(url).replace("/upload", "/held") + '\n' + show);
    run.setClock(QDateTime(Monday, QTime(21, 0, 58)), 10);
    QProcess &first = run.start({u"--headless"_s});
    ASSERT_TRUE(receiver.waitForRequests(1));
    EXPECT_EQ(ProgramRun::stop(first, SIGTERM), 0);
    QFile state(run.auditFolder() + u"schedule.state"_s);
    const QByteArray cut = fileBytes(state.fileName());
    const QByteArray interrupted = "interrupted 2026-12-07T21:01 1 unsent 41943040 ";
    ASSERT_TRUE(cut.contains('\n' + interrupted)) << cut.constData();
    const QByteArray cutLine = cut.mid(cut.indexOf(interrupted)).split('\n').first() + '\n';

    // The next day it goes, titled for its own.
    run.writeConfig("[General]\nUploadURL=" + url + '\n' + show);
    run.setClock(QDateTime(Monday.addDays(1), QTime(9, 0, 10)), 10);
    QProcess &second = run.start({u"--headless"_s});
    ASSERT_TRUE(receiver.waitForRequests(2));
    ASSERT_TRUE(run.waitForAudit(u"UploadShow| HTTP status: 200"_s));
    EXPECT_EQ(ProgramRun::stop(second, SIGTERM), 0);
    const QStringList texts = run.auditTexts();
    EXPECT_EQ(texts.filter(u"cut by the stop"_s),
              QStringList({u"UploadShow| Upload cut by the stop: show 1 'Drive 07th December "
                           u"2026', the recording was not fully sent"_s,
                           u"Timer1_Timer| Sending again show 1 due at 21:01 on 07/12/2026, cut "
                           u"by the stop before the recording was fully sent"_s}));
    ASSERT_EQ(receiver.requests().size(), 2);
    EXPECT_TRUE(receiver.requests()[0].parts.isEmpty());
    EXPECT_EQ(receiver.requests()[1].part("mp3"), recording);
    EXPECT_EQ(receiver.requests()[1].part("name"), "Drive 07th December 2026");

    // Started again a week later, just before its next upload: that one goes in its place.
    ASSERT_TRUE(state.open(QIODevice::Append));
    state.write(cutLine);
    state.close();
    run.setClock(QDateTime(Monday.addDays(7), QTime(20, 59, 40)), 10);
    QProcess &third = run.start({u"--headless"_s});
    ASSERT_TRUE(run.waitForAudit(u"Timer1_Timer| Not sending again show 1 due at 21:01 on "
                                 u"07/12/2026, cut by the stop: its next upload is less than an "
                                 u"hour away"_s));
    EXPECT_EQ(ProgramRun::stop(third, SIGTERM), 0);
    QByteArrayList names;
    for (const Receiver::Request &request : receiver.requests())
        names.append(request.part("name"));
    EXPECT_EQ(names.count("Drive 07th December 2026"), 1);
}

// A file's modification time on the program's faked clock, as a recorder would have left it.
void stamp(const QString &path, const QDateTime &modified)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
}

QStringList historyOf(ProgramRun &run)
{
    QByteArray out;
    run.run({u"--history"_s, u"--json"_s}, &out);
    QStringList tries;
    for (const QJsonValue &attempt : QJsonDocument::fromJson(out)[u"attempts"_s].toArray())
        tries.append(u"%1 %2 %3 %4"_s.arg(attempt[u"show"_s].toInt())
                         .arg(attempt[u"due"_s].toString(), attempt[u"outcome"_s].toString(),
                              attempt[u"reason"_s].toString()));
    tries.sort();
    return tries;
}

TEST(Program, EachRecordingIsCheckedAheadAndAtItsMinute)
{
    Receiver receiver;
    ProgramRun run;
    const QString alerts = run.path(u"alerts"_s);
    run.write(u"alert.sh"_s, "#!/bin/sh\nprintf '%s|' \"$@\" >> '" + alerts.toUtf8() + "'\n");
    QFile::setPermissions(run.path(u"alert.sh"_s), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const QByteArray general =
        "[General]\nUploadURL=" + receiver.url().toUtf8() +
        "\nRetryCount=1\nRetryDelaySeconds=10\nFailureCommand=" + run.path(u"alert.sh"_s).toUtf8() +
        '\n';
    run.writeConfig(general + run.show(1, u"Mon"_s, u"21:00"_s, u"Gone"_s) +
                    run.show(2, u"Mon"_s, u"21:01"_s, u"Old"_s) +
                    run.show(3, u"Mon"_s, u"21:02"_s, u"Empty"_s));
    // Show 1's recording is gone 13 minutes before its minute, show 2's is 8 days old and show
    // 3's is empty.
    const QString gone = run.path(u"shows/show1.mp3"_s);
    QFile::remove(gone);
    const QString old = run.path(u"shows/show2.mp3"_s);
    stamp(old, QDateTime(QDate(2026, 11, 29), QTime(20, 0)));
    run.write(u"shows/show3.mp3"_s, {});
    const QString empty = run.path(u"shows/show3.mp3"_s);
    run.setClock(QDateTime(Monday, QTime(20, 46, 50)), 40);
    QProcess &headless = run.start({u"--headless"_s});
    const QString missing = u"show 1 due at 21:00: recording '"_s + gone + u"' does not exist"_s;
    ASSERT_TRUE(run.waitForAudit(u"Timer1_Timer| WARNING: "_s + missing));
    run.write(u"shows/show1.mp3"_s, "ID3 recording 1");
    ASSERT_TRUE(run.waitForAudit(u"Timer1_Timer| Mended before "_s + missing));
    ASSERT_TRUE(run.waitForAudit(u"UploadShow| Upload FAILED: the recording is empty: '"_s +
                                 empty + u'\''));
    EXPECT_EQ(ProgramRun::stop(headless, SIGTERM), 0);

    const QString modified = u"was last modified 29/11/2026 20:00:00, before the show's "
                             u"previous run at 30/11/2026 21:01:00"_s;
    const QString stale = u"recording '"_s + old + u"' "_s + modified;
    // Told ten minutes ahead, once, and again once mended.
    EXPECT_TRUE(run.auditLines().filter(u"WARNING: "_s + missing).value(0).startsWith(u"20:50"_s));
    QStringList texts = run.auditTexts();
    QStringList warned = texts.filter(u"Timer1_Timer| WARNING: show"_s);
    warned.sort(); // the recordings' readings end in either order
    EXPECT_EQ(warned,
              QStringList({u"Timer1_Timer| WARNING: "_s + missing,
                           u"Timer1_Timer| WARNING: show 1 due at 21:00: recording '"_s + gone +
                               u"' is not MPEG audio: it holds an ID3 tag and no audio"_s,
                           u"Timer1_Timer| WARNING: show 2 due at 21:01: recording '"_s + old +
                               u"' is not MPEG audio: it holds an ID3 tag and no audio"_s,
                           u"Timer1_Timer| WARNING: show 2 due at 21:01: "_s + stale,
                           u"Timer1_Timer| WARNING: show 3 due at 21:02: recording '"_s + empty +
                               u"' is empty (0 bytes)"_s}));
    EXPECT_TRUE(texts.contains(u"UploadShow| WARNING: show 2 'Old': the recording "_s + modified));
    EXPECT_EQ(texts.filter(u"UploadShow| Retry 1 of 1 in 10 seconds"_s).size(), 1);
    // A recording finished long ago goes at once.
    EXPECT_TRUE(texts.filter(u"Waiting for the recording"_s).isEmpty());
    const QString errors = QString::fromUtf8(headless.readAllStandardError());
    EXPECT_TRUE(errors.contains(u"warning: show 2 'Old': the recording "_s + modified));
    EXPECT_TRUE(errors.contains(u"warning: show 1 due at 21:00: mended: recording"_s));
    EXPECT_EQ(fileBytes(alerts),
              "3|Empty|the recording is empty (0 bytes); no retry left after 1|");

    // With SkipStaleRecordings last week's recording stays home; --check tells it once near.
    run.writeConfig(general + "SkipStaleRecordings=1\n" +
                    QByteArray(run.show(2, u"Mon"_s, u"21:05"_s, u"Old"_s)));
    stamp(old, QDateTime(QDate(2026, 11, 29), QTime(20, 0)));
    run.setClock(QDateTime(Monday, QTime(21, 4, 50)), 40);
    QByteArray report;
    EXPECT_EQ(run.run({u"--check"_s}, &report), 1);
    const QString staleNow = QString(stale).replace(u"30/11/2026 21:01"_s, u"30/11/2026 21:05"_s);
    EXPECT_TRUE(report.contains((u"show 2: "_s + staleNow).toUtf8())) << report.constData();
    QProcess &skipping = run.start({u"--headless"_s});
    ASSERT_TRUE(run.waitForAudit(
        u"UploadShow| Upload skipped: show 2 'Old', SkipStaleRecordings is set"_s));
    EXPECT_EQ(ProgramRun::stop(skipping, SIGTERM), 0);
    EXPECT_TRUE(fileBytes(alerts).endsWith(
        "|2|Old|the recording " + QString(modified).replace(u"21:01"_s, u"21:05"_s).toUtf8() +
        "; skipped, SkipStaleRecordings is set|"));
    EXPECT_EQ(run.auditTexts().filter(u"UploadShow| FailureCommand started"_s).size(), 2);
    ASSERT_EQ(receiver.requests().size(), 2);
    EXPECT_EQ(receiver.requests()[0].part("mp3"), "ID3 recording 1");
    const QString emptyReason = u"the recording is empty (0 bytes)"_s;
    EXPECT_EQ(historyOf(run),
              QStringList({u"1 2026-12-07T21:00 taken "_s, u"2 2026-12-07T21:01 taken "_s,
                           u"2 2026-12-07T21:05 skipped the recording "_s +
                               QString(modified).replace(u"21:01"_s, u"21:05"_s),
                           u"3 2026-12-07T21:02 failed "_s + emptyReason,
                           u"3 2026-12-07T21:02 retried "_s + emptyReason}));
}

TEST(Program, ARecordingStillWrittenIsWaitedForAndAStopMeanwhileLeavesItToTheNextStart)
{
    Receiver receiver;
    ProgramRun run;
    const QByteArray general = "[General]\nUploadURL=" + receiver.url().toUtf8() +
                               "\nRecordingSettleSeconds=60\nRecordingWaitMinutes=2\n";
    run.writeConfig(general + run.show(1, u"Mon"_s, u"21:01"_s, u"Whole"_s) +
                    run.show(2, u"Mon"_s, u"21:03"_s, u"Limit"_s) +
                    run.show(3, u"Mon"_s, u"21:06"_s, u"Cut"_s));
    // Each recording was last written half a minute after its minute, as a recorder closing it
    // late would: within the settle time of any tick in that minute, however late it comes.
    for (const auto &[show, minute] : {std::pair{1, 1}, std::pair{2, 3}, std::pair{3, 6}})
        stamp(run.path(u"shows/show%1.mp3"_s.arg(show)), QDateTime(Monday, QTime(21, minute, 30)));
    run.setClock(QDateTime(Monday, QTime(21, 0, 50)), 20);
    QProcess &headless = run.start({u"--headless"_s});
    const auto waiting = [&](int show) {
        return run.waitForAudit(u"UploadShow| Waiting for the recording to be finished: '"_s +
                                run.path(u"shows/show%1.mp3"_s.arg(show)) +
                                u"' changed within the last 60 seconds"_s);
    };
    // The recorder writes on past the minute; show 1 goes once it has stood still, whole.
    const auto writer = [&](int show, const QString &loop) {
        auto *process = new QProcess(&headless);
        process->start(u"sh"_s, {u"-c"_s, loop + u"; sleep 0.05; done"_s,
                                 run.path(u"shows/show%1.mp3"_s.arg(show))});
        return process;
    };
    ASSERT_TRUE(waiting(1));
    QProcess *first = writer(1, u"for i in 1 2 3 4 5 6 7 8 9 10; do printf more >> \"$0\""_s);
    ASSERT_TRUE(first->waitForFinished());
    // Show 2's recorder never lets go of it (touching it, so that what curl reads stays whole):
    // it goes as it is once the wait runs out.
    ASSERT_TRUE(waiting(2));
    QProcess *second = writer(2, u"while :; do touch \"$0\""_s);
    ASSERT_TRUE(run.waitForAudit(u"UploadShow| WARNING: show 2 'Limit': the recording was still "
                                 u"changing after 2 minutes; sent as it is"_s));
    second->kill();
    second->waitForFinished();
    // A stop during show 3's wait: nothing was sent, so the next start sends it.
    ASSERT_TRUE(waiting(3));
    EXPECT_EQ(ProgramRun::stop(headless, SIGTERM), 0);
    EXPECT_TRUE(fileBytes(run.auditFolder() + u"schedule.state"_s)
                    .contains("\ninterrupted 2026-12-07T21:06 3 unsent\n"));
    const QString errors = QString::fromUtf8(headless.readAllStandardError());
    EXPECT_TRUE(errors.contains(u"warning: show 2 'Limit': the recording was still changing"_s));

    run.write(u"shows/show3.mp3"_s, "ID3 recording 3");
    run.setClock(QDateTime(Monday, QTime(21, 7, 10)), 20);
    QProcess &again = run.start({u"--headless"_s});
    ASSERT_TRUE(receiver.waitForRequests(3));
    ASSERT_TRUE(run.waitForAudit(u"UploadShow| Uploading: Finished Upload."_s));
    EXPECT_EQ(ProgramRun::stop(again, SIGTERM), 0);
    QMap<QByteArray, QByteArray> sent;
    for (const Receiver::Request &request : receiver.requests())
        sent.insert(request.part("name"), request.part("mp3"));
    EXPECT_EQ(sent.value("Whole"), "ID3 recording 1" + QByteArray("more").repeated(10));
    EXPECT_EQ(sent.value("Limit"), "ID3 recording 2");
    EXPECT_EQ(sent.value("Cut"), "ID3 recording 3");
    EXPECT_TRUE(run.auditTexts().contains(
        u"UploadShow| Upload cut by the stop: show 3 'Cut', the recording was not fully sent"_s));
    EXPECT_TRUE(historyOf(run).contains(
        u"3 2026-12-07T21:06 cut stopped while the recording was still written"_s));
}

TEST(Program, OneUploadFromTheCommandLine)
{
    Receiver receiver;
    ProgramRun run;
    run.writeConfig("[General]\nUploadURL=" + receiver.url().toUtf8() + '\n');
    run.write(u"shows/extra.mp3"_s, "ID3 extra");
    const QString extra = run.path(u"shows/extra.mp3"_s);
    QByteArray out;
    QByteArray err;
    EXPECT_EQ(run.run({u"--upload"_s, extra, u"--title"_s, u"Extra \"%date%\""_s,
                       u"--description"_s, u"Carols"_s},
                      &out, &err),
              0)
        << err.constData();
    EXPECT_EQ(out, "Uploaded '" + extra.toUtf8() + "' as 'Extra \"%date%\"'.\n");
    ASSERT_EQ(receiver.requests().size(), 1);
    EXPECT_EQ(receiver.requests()[0].part("name"), "Extra \"%date%\"");

    receiver.answer("Refused", {{401, "no"}});
    receiver.answer("Moved", {{302, {}, 0, "https://login.example/sso?token=abc"}});
    // SIGTERM stops curl at once, and the upload ends as cut (its lines as under --headless).
    receiver.answer("T", {{200, "held", 30000}});
    QProcess &upload = run.start({u"--upload"_s, extra, u"--title"_s, u"T"_s});
    ASSERT_TRUE(receiver.waitForRequests(2));
    EXPECT_EQ(ProgramRun::stop(upload, SIGTERM), 1);
    EXPECT_EQ(upload.readAllStandardError(),
              "tunebarn-uploader: Upload cut by the stop: manual upload 'T', the whole recording "
              "was sent and the service may have it\n");

    run.write(u"shows/empty.mp3"_s, {});
    const struct
    {
        QStringList arguments;
        int status;
        QByteArray error;
    } refusals[] = {
        {{u"--upload"_s, extra, u"--title"_s, u"Refused"_s},
         1,
         "the upload failed: the service refused it (HTTP 401: no); no retry"},
        {{u"--upload"_s, extra, u"--title"_s, u"Moved"_s},
         1,
         "the upload failed: the service redirected it to https://login.example/sso?token=**** "
         "(HTTP 302), so nothing was stored; no retry"},
        {{u"--upload"_s, run.path(u"shows/empty.mp3"_s), u"--title"_s, u"Empty"_s},
         1,
         "the upload failed: the recording is empty (0 bytes); no retry"},
        {{u"--upload"_s, run.path(u"none.mp3"_s), u"--title"_s, u"T"_s},
         2,
         "no such file: " + run.path(u"none.mp3"_s).toUtf8()},
        {{u"--upload"_s, extra}, 2, "--upload needs --title (see --help)"},
        {{u"--upload"_s, extra, u"--title"_s, u""_s}, 2, "the title is empty"},
        {{u"--check"_s, u"--headless"_s},
         2,
         "choose one of --check, --headless, --upload and --history (see --help)"},
        {{u"--history"_s, u"--days"_s, u"91"_s},
         2,
         "--days takes a whole number from 1 to 90 (see --help)"},
        {{u"--check"_s, u"--days"_s, u"7"_s}, 2, "--days goes with --history (see --help)"},
        {{u"--headless"_s, u"--json"_s}, 2, "--json goes with --check or --history (see --help)"},
        {{u"--check"_s, u"--title"_s, u"T"_s},
         2,
         "--title and --description go with --upload (see --help)"},
        {{u"--bogus"_s}, 2, "Unknown option 'bogus'. (see --help)"},
        {{u"--version"_s}, 0, ""},
    };
    for (const auto &refusal : refusals) {
        EXPECT_EQ(run.run(refusal.arguments, &out, &err), refusal.status)
            << refusal.arguments.join(u' ').toStdString();
        EXPECT_EQ(err, refusal.error.isEmpty() ? "" : "tunebarn-uploader: " + refusal.error + '\n');
    }
    EXPECT_EQ(out, "Tunebarn Uploader 1.0.46\n");

    // The program and each option are told with what they do.
    ASSERT_EQ(run.run({u"--help"_s}, &out), 0);
    EXPECT_TRUE(out.contains("\nUploads the station's weekly shows at their day and minute."));
    for (const char *option :
         {"--check               Print the schedule and its problems; upload nothing.",
          "--json                With --check or --history: print one JSON document.",
          "--headless            Run the scheduler without a window until stopped",
          "--upload <FILE>       Upload FILE now, like Manual Upload.",
          "--title <TITLE>       With --upload: the title to send.",
          "--description <TEXT>  With --upload: the description to send.",
          "--history             Print the results of the uploads tried in the last",
          "--days <N>            With --history: how many days back, today included (1"})
        EXPECT_TRUE(out.contains(QByteArray("\n  ") + option + '\n')) << option;

    // A label longer than 63 characters is refused before any name server is asked.
    const QByteArray host = QByteArray(64, 'a') + ".invalid";
    run.writeConfig("[General]\nUploadURL=http://" + host + "/upload\n");
    EXPECT_EQ(run.run({u"--upload"_s, extra, u"--title"_s, u"T"_s}, &out, &err), 1);
    EXPECT_EQ(err, "tunebarn-uploader: the upload failed: the service could not be reached "
                   "(Could not resolve host: " +
                       host + "); no retry\n");
    EXPECT_TRUE(run.auditTexts().contains(
        u"Manupmnu_Click| curl said: 'curl: (6) Could not resolve host: "_s + host + u'\''));

    // A plain start where no window can be seen says why instead of aborting in the toolkit.
    QProcessEnvironment headless = run.environment();
    for (const QString &name : {u"QT_QPA_PLATFORM"_s, u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s})
        headless.remove(name);
    QProcess &window = run.start({}, headless);
    ASSERT_TRUE(ProgramRun::waitFor([&] { return window.state() == QProcess::NotRunning; }));
    EXPECT_EQ(window.exitCode(), 1);
    EXPECT_EQ(window.readAllStandardError(),
              "tunebarn-uploader: no display to open a window on (DISPLAY and WAYLAND_DISPLAY are "
              "not set)\n");

    run.writeConfig("[General]\n");
    EXPECT_EQ(run.run({u"--upload"_s, extra, u"--title"_s, u"T"_s}, &out, &err), 2);
    EXPECT_TRUE(err.startsWith("tunebarn-uploader: the configuration file has no upload address: "))
        << err.data();
}

TEST(Program, OutsideWordsAreEscapedAndTheTokenMaskedOnEveryOutput)
{
    // The service echoes the token and drives the terminal; the title holds controls too.
    Receiver receiver;
    receiver.answerOthers({401, R"({"message":"\u001b[2Jbad token s3cr3t-token\u0007\u0000"})"});
    ProgramRun run;
    const QString paged = run.path(u"paged"_s);
    run.write(u"paged.sh"_s, "#!/bin/sh\nprintf '%s|' \"$@\" >> '" + paged.toUtf8() +
                                 "'\n[ \"$1\" = 1 ] && exec sleep 600\n");
    QFile::setPermissions(paged + u".sh"_s, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const QByteArray general =
        "[General]\nStopGraceSeconds=1\nUploadURL=" + receiver.url().toUtf8() +
        "\nFailureCommand=" + paged.toUtf8() + ".sh\n[Show2]\nUploadTime=09" + QByteArray(1, '\0') +
        ":00\n";
    run.writeConfig(general + run.show(1, u"Mon"_s, u"21:01"_s, u"T\x1b]0;owned\x07"_s));
    run.setClock(QDateTime(Monday, QTime(21, 0, 58)), 10);
    QProcess &headless = run.start({u"--headless"_s});
    // Closed while only the FailureCommand runs: the close waits for it, then stops it.
    ASSERT_TRUE(ProgramRun::waitFor([&] { return QFile::exists(paged); }));
    EXPECT_EQ(ProgramRun::stop(headless, SIGTERM), 0);
    EXPECT_TRUE(run.auditTexts().join(u'\n').contains(
        u"Form_Unload| Closing waits up to 1 second for the running FailureCommand to end\n"
        u"UploadShow| FailureCommand stopped by the close: it had not ended when the close's wait "
        u"was over"_s));
    const QByteArray refused =
        R"(the service refused it (HTTP 401: \x1B[2Jbad token ****\x07\x00))";
    const QByteArray title = R"(T\x1B]0;owned\x07)";
    const QByteArray errors = headless.readAllStandardError();
    EXPECT_TRUE(errors.contains("failed: show 1 '" + title + "': " + refused)) << errors.data();

    // The title's line break forges no row of the history, nor a line of --upload's error.
    QByteArray out;
    QByteArray err;
    EXPECT_EQ(run.run({u"--upload"_s, run.path(u"shows/show1.mp3"_s), u"--title"_s, u"Bad\nRow"_s},
                      &out, &err),
              1);
    EXPECT_EQ(err, "tunebarn-uploader: the upload failed: " + refused + "; no retry\n");
    ASSERT_EQ(run.run({u"--history"_s}, &out), 0);
    EXPECT_EQ(out.count('\n'), 3) << out.data();
    EXPECT_TRUE(out.contains(title + "  " + refused) && out.contains("Bad\\x0ARow ")) << out.data();
    EXPECT_EQ(fileBytes(paged),
              "1|" + title + '|' + refused + "; no retry|0|Bad\\x0ARow|" + refused + "; no retry|");
    // A NUL in a value of the file.
    EXPECT_EQ(run.run({u"--check"_s}, &out), 1);
    EXPECT_TRUE(out.contains("show 2: time '09\\x00:00' is not HH:mm")) << out.data();
    for (const QByteArray &output : {errors, err, out})
        EXPECT_FALSE(output.contains('\x1b') || output.contains('\0') ||
                     output.contains(receiver.token()));
}

TEST(Program, AServiceCertifiedByTheStationsOwnAuthorityIsTrustedWhenItIsNamed)
{
    ProgramRun run;
    ASSERT_TRUE(TestCertificates::make(run.path(u"tmp"_s)));
    Receiver receiver(run.path(u"tmp/cert"_s), run.path(u"tmp/key"_s));
    const QByteArray general = "[General]\nUploadURL=" + receiver.url().toUtf8() + '\n';
    const struct
    {
        QByteArray setting;
        int status;
        QByteArray error;
    } rows[] = {
        {"", 1,
         "tunebarn-uploader: the upload failed: the service's certificate could not be verified"},
        {"CACertificates=" + run.path(u"tmp/ca.pem"_s).toUtf8(), 0, ""},
        {"InsecureTLS=1", 0,
         "tunebarn-uploader: warning: [General] InsecureTLS=1: the service's certificate is not "
         "checked"},
    };
    QByteArray out;
    QByteArray err;
    ASSERT_EQ(run.run({u"--history"_s, u"--days"_s, u"1"_s}, &out), 0);
    EXPECT_EQ(out, "No uploads in the last day.\n");
    for (const auto &row : rows) {
        run.writeConfig(general + row.setting + '\n');
        EXPECT_EQ(
            run.run({u"--upload"_s, run.path(u"tmp/csr"_s), u"--title"_s, u"T"_s}, &out, &err),
            row.status)
            << row.setting.data() << err.data();
        EXPECT_TRUE(err.startsWith(row.error)) << err.data();
    }
    EXPECT_EQ(receiver.requests().size(), 2);
}

TEST(Program, PingsTellAMonitorHowEachShowEndedAndNoPingHoldsUpTheSchedule)
{
    Receiver receiver;
    // Show 2 is tried again once, in vain.
    receiver.answer("Refused", {{503, "busy"}, {500, "no"}});
    // Show 3's monitor never answers; the alive ping's refuses.
    receiver.holdBodies("/hang/h-id/start");
    ProgramRun run;
    run.setClock(QDateTime(Monday, QTime(20, 59, 50)), 20);
    const QString metrics = run.path(u"metrics/tunebarn.prom"_s);
    QDir().mkpath(run.path(u"metrics"_s));
    const auto pingUrl = [&](const char *path) {
        return "PingURL=" + receiver.address(QString::fromLatin1(path)).toUtf8() + '\n';
    };
    run.writeConfig("[General]\nUploadURL=" + receiver.url().toUtf8() +
                    "\nRetryCount=1\nRetryDelaySeconds=5\n" + pingUrl("/a-id") +
                    "AlivePingURL=http://127.0.0.1:1/alive-id\nMetricsFile=" + metrics.toUtf8() +
                    '\n' + run.show(1, u"Mon"_s, u"21:00"_s, u"First"_s) +
                    run.show(2, u"Mon"_s, u"21:01"_s, u"Refused"_s) + pingUrl("/b-id") +
                    run.show(3, u"Mon"_s, u"21:02"_s, u"Held"_s) + pingUrl("/hang/h-id") +
                    run.show(4, u"Mon"_s, u"21:03"_s, u"Last"_s));
    QProcess &headless = run.start({u"--headless"_s});
    ASSERT_TRUE(ProgramRun::waitFor([&] {
        return run.auditTexts().filter(u"UploadShow| HTTP status: "_s).size() == 5 &&
               run.auditTexts().filter(u"Ping| WARNING: the alive ping"_s).size() == 1;
    }));
    EXPECT_EQ(ProgramRun::stop(headless, SIGTERM), 0);

    expectFoundOnceAt(run, {{1, "21:00"}, {2, "21:01"}, {3, "21:02"}, {4, "21:03"}});
    QMap<QByteArray, QByteArrayList> pings;
    for (const Receiver::Request &request : receiver.requests()) {
        if (request.parts.isEmpty())
            pings[request.target.left(5)].append(request.target.mid(5) + ' ' + request.body);
    }
    // Shows 1 and 4 ping the address of [General].
    EXPECT_EQ(pings["/a-id"], QByteArrayList({"/start ", " ", "/start ", " "}));
    EXPECT_EQ(pings["/b-id"], QByteArrayList({"/start ", "/fail failed: the service refused it "
                                                         "(HTTP 500: no)"}));
    EXPECT_EQ(run.auditTexts().filter(u"Ping| WARNING: the alive ping to 'http://127.0.0.1/****' "
                                      "failed after 2 tries: curl: (7) "_s)
                  .size(),
              1);
    const QString audit = run.auditTexts().join(u'\n');
    for (const char *secret : {"a-id", "b-id", "h-id", "alive-id"})
        EXPECT_FALSE(audit.contains(QLatin1String(secret))) << secret;
    const QByteArray figures = fileBytes(metrics);
    EXPECT_TRUE(figures.contains("\ntunebarn_up 0\n"));
    EXPECT_TRUE(figures.contains("\ntunebarn_uploads_total{result=\"taken\"} 3\n"));
    EXPECT_TRUE(figures.contains("\ntunebarn_uploads_total{result=\"failed\"} 1\n"));
    EXPECT_TRUE(figures.contains("\ntunebarn_uploads_total{result=\"retried\"} 1\n"));
    const QRegularExpressionMatch tick =
        QRegularExpression(u"\ntunebarn_last_tick_timestamp_seconds (\\d+)\n"_s)
            .match(QString::fromUtf8(figures));
    EXPECT_GE(tick.captured(1).toLongLong(),
              QDateTime(Monday, QTime(21, 3)).toSecsSinceEpoch());
}

TEST(Program, ATerminationWhileAStartUpBoxWaitsClosesTheBoxAndEndsTheProgramCleanly)
{
    // A real X server, where the box that start-up shows is a real one waiting for a click.
    QProcess server;
    server.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-nolisten"_s, u"tcp"_s, u"-screen"_s,
                             u"0"_s, u"1024x768x24"_s});
    ASSERT_TRUE(server.waitForStarted()) << "Xvfb is missing (scripts/install-deps.sh)";
    ASSERT_TRUE(ProgramRun::waitFor([&] { return server.canReadLine(); }));
    const QString display = u':' + QString::fromLatin1(server.readLine().trimmed());
    ProgramRun run;
    QProcessEnvironment seen = run.environment();
    seen.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    seen.insert(u"DISPLAY"_s, display);
    // No configuration: "File doesnt exist." waits during start-up.
    QProcess &window = run.start({}, seen);
    const auto boxShown = [&] {
        QProcess windows;
        windows.start(u"xwininfo"_s, {u"-display"_s, display, u"-root"_s, u"-tree"_s});
        windows.waitForFinished();
        return windows.readAllStandardOutput().contains("\"File doesnt exist.\"");
    };
    ASSERT_TRUE(ProgramRun::waitFor(boxShown)) << "xwininfo is missing (scripts/install-deps.sh)";
    EXPECT_EQ(ProgramRun::stop(window, SIGTERM), 0);
    EXPECT_TRUE(run.auditTexts().contains(u"Form_Unload| Application Closing."_s));
    server.terminate();
    server.waitForFinished();
}

} // namespace
