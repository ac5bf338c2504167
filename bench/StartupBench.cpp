// Start-up of tunebarn-uploader, from the process start to the end of its first flush (the audit
// file's start block closed on disk), and its resident memory once up, each set against a minimal
// Qt Widgets window started the same way in the same run.

#include "ProcStatus.h"
#include "ShowConfig.h"
#include "TargetReport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int WarmUps = 1;
// A start takes some 20 ms, and on a shared machine single starts stray by as much again: the
// medians of fewer starts wander by more than the margins judged here.
constexpr int Rounds = 31;
constexpr double TimeRatioTarget = 1.2;
constexpr double MemoryRatioTarget = 1.3;
constexpr int MarkerTimeoutMs = 15000;
// Time for the window to be shown and painted before its memory is read.
constexpr int SettleMs = 300;

struct Subject
{
    QString name;
    QString program;
    bool isUploader = false;
};

struct Sample
{
    double milliseconds = 0;
    long rssKib = 0;
};

double monotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// The uploader's whole world in `home`: its data folder with a full tunebarn.ini where the
// program looks when the playout system names no folder, and a PATH that leads to curl, so that
// no message box stops the start-up. The minimal window gets the same environment.
QStringList environmentIn(const QString &home, const QString &cacheFolder,
                          const QString &curlFolder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home + QStringLiteral("/home"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/home/.config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"),
                       home + QStringLiteral("/home/.local/share"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cacheFolder);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/run"));
    environment.insert(QStringLiteral("LocalAppData"), home + QStringLiteral("/local"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(
        QStringLiteral("PATH"),
        curlFolder + u':' +
            environment.value(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin")));
    return environment.toStringList();
}

QString dataFolder(const QString &home)
{
    return home + QStringLiteral("/local/TunebarnUploader");
}

bool prepareHome(const QString &home)
{
    QDir root(home);
    for (const char *folder : {"home/.config", "home/.local/share", "local/TunebarnUploader"})
        root.mkpath(QString::fromLatin1(folder));
    root.mkpath(QStringLiteral("run"));
    QFile::setPermissions(home + QStringLiteral("/run"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return writeFile(dataFolder(home) + QStringLiteral("/tunebarn.ini"), ShowConfig::full());
}

// Both programs' output (the offscreen plugin's complaints among it) goes to `outputFile`.
pid_t spawn(const QString &program, const QStringList &arguments, const QStringList &environment,
            const QString &outputFile)
{
    std::vector<QByteArray> argumentBytes{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        argumentBytes.push_back(argument.toLocal8Bit());
    std::vector<QByteArray> environmentBytes;
    for (const QString &variable : environment)
        environmentBytes.push_back(variable.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &argument : argumentBytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (QByteArray &variable : environmentBytes)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    const QByteArray output = QFile::encodeName(outputFile);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.constData(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

// Waits until a file whose name matches `marker` is closed after writing, and tells when. Sets
// `ended` when the process ended (and was reaped) first.
std::optional<double> waitForClosedMarker(int watcher, pid_t pid, const QRegularExpression &marker,
                                          bool *ended)
{
    const double deadline = monotonicMs() + MarkerTimeoutMs;
    alignas(inotify_event) char buffer[16 * 1024];
    while (monotonicMs() < deadline) {
        pollfd ready{watcher, POLLIN, 0};
        if (poll(&ready, 1, 100) > 0) {
            const double seen = monotonicMs();
            const ssize_t length = read(watcher, buffer, sizeof buffer);
            for (ssize_t offset = 0; offset < length;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
                if (event->len > 0 && marker.match(QFile::decodeName(event->name)).hasMatch())
                    return seen;
                offset += ssize_t(sizeof(inotify_event)) + event->len;
            }
        }
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            *ended = true;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

void stop(pid_t pid)
{
    if (kill(pid, SIGTERM) != 0)
        return;
    for (int waited = 0; waited < 100; ++waited) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        QThread::msleep(50);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

QString lastOutputLine(const QString &outputFile)
{
    QFile output(outputFile);
    if (!output.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = output.readAll().trimmed().split('\n');
    return QString::fromLocal8Bit(lines.last());
}

QString uploaderTrouble(const QString &home)
{
    const QStringList audits =
        QDir(dataFolder(home)).entryList({QStringLiteral("Tunebarn*Adt.txt")});
    QFile audit(dataFolder(home) + u'/' + audits.value(0));
    if (!audit.open(QIODevice::ReadOnly))
        return QStringLiteral("no audit file");
    const QByteArray text = audit.readAll();
    if (!text.contains("CurlCheck| File exists"))
        return QStringLiteral("curl was not found at start-up");
    if (!text.contains("Configmnu_Click| Configuration loaded successfully"))
        return QStringLiteral("the configuration was not loaded at start-up");
    return {};
}

struct Folders
{
    QString cache;
    QString curl;
};

struct StartedProcess
{
    pid_t pid = -1;
    double startUpMs = 0;
};

// Starts `subject` in `home` and waits until its start-up is over, leaving it running.
std::optional<StartedProcess> startUp(const Subject &subject, const QString &home,
                                      const Folders &folders, QString *error)
{
    const QString markerFolder = dataFolder(home);
    const QRegularExpression marker(subject.isUploader ? QStringLiteral("^Tunebarn\\d{6}Adt\\.txt$")
                                                       : QStringLiteral("^window-up\\.txt$"));
    const QStringList arguments =
        subject.isUploader ? QStringList()
                           : QStringList{markerFolder + QStringLiteral("/window-up.txt")};
    const QString output = home + QStringLiteral("/output.txt");

    const int watcher = inotify_init1(IN_CLOEXEC);
    if (watcher < 0 || inotify_add_watch(watcher, QFile::encodeName(markerFolder).constData(),
                                         IN_CLOSE_WRITE) < 0) {
        *error = QStringLiteral("inotify: ") + QString::fromLocal8Bit(strerror(errno));
        return std::nullopt;
    }
    const double started = monotonicMs();
    const pid_t pid =
        spawn(subject.program, arguments, environmentIn(home, folders.cache, folders.curl), output);
    bool ended = false;
    const std::optional<double> upAt =
        pid < 0 ? std::nullopt : waitForClosedMarker(watcher, pid, marker, &ended);
    close(watcher);
    if (pid < 0) {
        *error = QStringLiteral("cannot start ") + subject.program;
        return std::nullopt;
    }
    if (!upAt) {
        if (!ended)
            stop(pid);
        *error = subject.name +
                 QStringLiteral(" did not get through its start-up (a message box?): ") +
                 lastOutputLine(output);
        return std::nullopt;
    }
    return StartedProcess{pid, *upAt - started};
}

std::optional<Sample> measure(const Subject &subject, const Folders &folders, QString *error)
{
    QTemporaryDir home;
    if (!home.isValid() || !prepareHome(home.path())) {
        *error = QStringLiteral("cannot prepare a temporary home");
        return std::nullopt;
    }
    const std::optional<StartedProcess> started = startUp(subject, home.path(), folders, error);
    if (!started)
        return std::nullopt;
    QThread::msleep(SettleMs);
    const long rss = ProcStatus::kib(started->pid, "VmRSS");
    stop(started->pid);
    if (subject.isUploader) {
        *error = uploaderTrouble(home.path());
        if (!error->isEmpty())
            return std::nullopt;
    }
    return Sample{started->startUpMs, rss};
}

QString ms(double value)
{
    return QString::number(value, 'f', 1) + QStringLiteral(" ms");
}

struct Measurements
{
    std::vector<double> startUpMs[2];
    std::vector<double> rssKib[2];
};

std::optional<Measurements> measureAll(const Subject (&subjects)[2], const Folders &folders,
                                       QString *error)
{
    Measurements measured;
    for (int round = 0; round < WarmUps + Rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            // Taking turns at going first keeps a drift of the machine from favouring either side.
            const int which = (round + turn) % 2;
            const std::optional<Sample> sample = measure(subjects[which], folders, error);
            if (!sample)
                return std::nullopt;
            if (round < WarmUps)
                continue;
            measured.startUpMs[which].push_back(sample->milliseconds);
            measured.rssKib[which].push_back(double(sample->rssKib));
        }
    }
    return measured;
}

void checkTargets(TargetReport &report, const Measurements &measured)
{
    const double uploaderMs = median(measured.startUpMs[0]);
    const double minimalMs = median(measured.startUpMs[1]);
    const double uploaderKib = median(measured.rssKib[0]);
    const double minimalKib = median(measured.rssKib[1]);
    const double fastestUploaderMs =
        *std::min_element(measured.startUpMs[0].begin(), measured.startUpMs[0].end());
    const double fastestMinimalMs =
        *std::min_element(measured.startUpMs[1].begin(), measured.startUpMs[1].end());
    report.figure(
        QStringLiteral("medians of %1 starts each, after %2 warm-up; fastest starts: uploader %3, "
                       "minimal window %4, ratio %5")
            .arg(Rounds)
            .arg(WarmUps)
            .arg(ms(fastestUploaderMs), ms(fastestMinimalMs),
                 QString::number(fastestUploaderMs / fastestMinimalMs, 'f', 3)));
    report.check(
        QStringLiteral("start to end of first flush, uploader / minimal window <= %1")
            .arg(TimeRatioTarget),
        QStringLiteral("%1 (%2 against %3)")
            .arg(QString::number(uploaderMs / minimalMs, 'f', 3), ms(uploaderMs), ms(minimalMs)),
        uploaderMs / minimalMs <= TimeRatioTarget);
    report.check(QStringLiteral("resident memory after start-up, uploader / minimal window <= %1")
                     .arg(MemoryRatioTarget),
                 QStringLiteral("%1 (VmRSS %2 KiB against %3 KiB)")
                     .arg(QString::number(uploaderKib / minimalKib, 'f', 3))
                     .arg(qint64(uploaderKib))
                     .arg(qint64(minimalKib)),
                 uploaderKib / minimalKib <= MemoryRatioTarget);
}

int runBench()
{
    TargetReport report(QStringLiteral("startup"));
    const QString folder = QCoreApplication::applicationDirPath();
    const Subject subjects[2] = {
        {QStringLiteral("tunebarn-uploader"), folder + QStringLiteral("/tunebarn-uploader"), true},
        {QStringLiteral("minimal window"),
         folder + QStringLiteral("/tunebarn-bench-minimal-window"), false}};
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    // One font cache for all starts, so that only the first pays for filling it.
    QTemporaryDir cache;
    QString error = curl.isEmpty() ? QStringLiteral("curl is not installed") : QString();
    const std::optional<Measurements> measured =
        error.isEmpty() && cache.isValid()
            ? measureAll(subjects, {cache.path(), QFileInfo(curl).path()}, &error)
            : std::nullopt;
    if (!measured) {
        report.check(QStringLiteral("start-up benchmark ran"), error, false);
        return report.finish();
    }
    checkTargets(report, *measured);
    return report.finish();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return runBench();
}
