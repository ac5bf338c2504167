#include "support/ProgramRun.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

QString program()
{
    return qEnvironmentVariable("TUNEBARN_BUILD_DIR") + u"/tunebarn-uploader"_s;
}

const QString FakeTimeLibrary = u"/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1"_s;

} // namespace

ProgramRun::ProgramRun()
{
    for (const char *sub : {"local", "shows", "home/.config", "home/.local/share", "run", "tmp"})
        QDir().mkpath(path(QString::fromLatin1(sub)));
}

ProgramRun::~ProgramRun()
{
    for (const auto &process : m_processes) {
        process->kill();
        process->waitForFinished(5000);
    }
    if (::testing::Test::HasFailure())
        printWhatHappened();
}

// A scenario that fails once in many runs must leave enough behind to tell why.
void ProgramRun::printWhatHappened() const
{
    std::fprintf(stderr, "--- audit lines of the failed scenario (%s)\n", qPrintable(m_home.path()));
    for (const QString &line : auditLines())
        std::fprintf(stderr, "%s\n", qPrintable(line));
    for (std::size_t i = 0; i < m_processes.size(); ++i) {
        QProcess &process = *m_processes[i];
        std::fprintf(stderr, "--- process %zu (%s), exit %d, output not yet read:\n%s%s", i,
                     qPrintable(process.arguments().join(u' ')), process.exitCode(),
                     process.readAllStandardOutput().constData(),
                     process.readAllStandardError().constData());
    }
}

void ProgramRun::write(const QString &sub, const QByteArray &bytes) const
{
    QDir().mkpath(QFileInfo(path(sub)).path());
    QFile file(path(sub));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path(sub)));
    file.write(bytes);
    file.flush();
    // A recording is judged by its age on the program's faked clock, not the machine's: every
    // scenario runs on 6 or 7 December 2026, when this is neither being written nor last week's.
    if (sub.startsWith(u"shows/"_s))
        file.setFileTime(RecordedAt, QFileDevice::FileModificationTime);
}

QByteArray ProgramRun::show(int number, const QString &day, const QString &time,
                            const QString &title) const
{
    const QString recording = path(u"shows/show%1.mp3"_s.arg(number));
    write(u"shows/show%1.mp3"_s.arg(number), "ID3 recording " + QByteArray::number(number));
    return QStringLiteral(
               "[Show%1]\nFilename=%2\nTitle=%3\nDescription=D%1\nUploadDay=%4\nUploadTime=%5\n")
        .arg(number)
        .arg(recording, title, day, time)
        .toUtf8();
}

void ProgramRun::setClock(const QDateTime &start, int speed)
{
    m_start = start;
    m_speed = speed;
}

QProcessEnvironment ProgramRun::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &name : env.keys()) {
        if (name.startsWith(u"LC_"_s) || name.endsWith(u"_proxy"_s, Qt::CaseInsensitive))
            env.remove(name);
    }
    env.remove(u"DISPLAY"_s);
    env.remove(u"WAYLAND_DISPLAY"_s);
    env.remove(u"JOURNAL_STREAM"_s);
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    env.insert(u"LANG"_s, u"en_GB.UTF-8"_s);
    env.insert(u"TZ"_s, u"Europe/London"_s);
    env.insert(u"HOME"_s, path(u"home"_s));
    env.insert(u"XDG_CONFIG_HOME"_s, path(u"home/.config"_s));
    env.insert(u"XDG_DATA_HOME"_s, path(u"home/.local/share"_s));
    env.insert(u"XDG_RUNTIME_DIR"_s, path(u"run"_s));
    env.insert(u"TMPDIR"_s, path(u"tmp"_s));
    env.insert(u"LocalAppData"_s, path(u"local"_s));
    env.insert(u"NO_PROXY"_s, u"*"_s);
    if (m_start.isValid()) {
        env.insert(u"LD_PRELOAD"_s, FakeTimeLibrary);
        env.insert(u"FAKETIME"_s,
                   m_start.toString(u"@yyyy-MM-dd HH:mm:ss"_s) + u" x%1"_s.arg(m_speed));
        // File times stay the kernel's, as the purge reads them.
        env.insert(u"NO_FAKE_STAT"_s, u"1"_s);
        env.insert(u"ASAN_OPTIONS"_s,
                   env.value(u"ASAN_OPTIONS"_s) + u":verify_asan_link_order=0"_s);
    }
    return env;
}

QProcess &ProgramRun::start(const QStringList &arguments, const QProcessEnvironment &environment)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment.isEmpty() ? this->environment() : environment);
    process->setWorkingDirectory(path(u"home"_s));
    process->start(program(), arguments);
    process->waitForStarted();
    m_processes.push_back(std::move(process));
    return *m_processes.back();
}

int ProgramRun::run(const QStringList &arguments, QByteArray *output, QByteArray *errors)
{
    QProcess &process = start(arguments);
    waitFor([&] { return process.state() == QProcess::NotRunning; });
    if (output)
        *output = process.readAllStandardOutput();
    if (errors)
        *errors = process.readAllStandardError();
    return process.state() == QProcess::NotRunning ? process.exitCode() : -1;
}

int ProgramRun::stop(QProcess &process, int signal)
{
    ::kill(pid_t(process.processId()), signal);
    if (!waitFor([&] { return process.state() == QProcess::NotRunning; }))
        return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QStringList ProgramRun::auditLines() const
{
    QStringList lines;
    const QDir folder(auditFolder());
    for (const QString &name : folder.entryList({u"Tunebarn*Adt.txt"_s}, QDir::Files, QDir::Name)) {
        QStringList fileLines =
            QString::fromLocal8Bit(fileBytes(folder.filePath(name))).split(u"\r\n"_s);
        fileLines.removeLast();
        lines += fileLines;
    }
    return lines;
}

QStringList ProgramRun::auditTexts() const
{
    return withoutTimes(auditLines());
}

bool ProgramRun::waitFor(const std::function<bool()> &condition)
{
    return QTest::qWaitFor(condition, 30000);
}

bool ProgramRun::waitForAudit(const QString &text) const
{
    return waitFor([&] { return auditTexts().contains(text); });
}
