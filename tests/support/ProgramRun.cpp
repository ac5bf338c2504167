#include "support/ProgramRun.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <csignal>

namespace {

QString program()
{
    return qEnvironmentVariable("TUNEBARN_BUILD_DIR") + QStringLiteral("/tunebarn-uploader");
}

const QString FakeTimeLibrary = QStringLiteral("/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1");

} // namespace

QString asterisks()
{
    return QString(108, u'*');
}

QString hyphens()
{
    return QString(108, u'-');
}

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
}

void ProgramRun::write(const QString &sub, const QByteArray &bytes) const
{
    QDir().mkpath(QFileInfo(path(sub)).path());
    QFile file(path(sub));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path(sub)));
    file.write(bytes);
}

QByteArray ProgramRun::show(int number, const QString &day, const QString &time, const QString &title) const
{
    const QString recording = path(QStringLiteral("shows/show%1.mp3").arg(number));
    write(QStringLiteral("shows/show%1.mp3").arg(number), "ID3 recording " + QByteArray::number(number));
    return QStringLiteral("[Show%1]\nFilename=%2\nTitle=%3\nDescription=D%1\nUploadDay=%4\nUploadTime=%5\n")
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
        if (name.startsWith(QStringLiteral("LC_")) || name.endsWith(QStringLiteral("_proxy"), Qt::CaseInsensitive))
            env.remove(name);
    }
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("JOURNAL_STREAM"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("en_GB.UTF-8"));
    env.insert(QStringLiteral("TZ"), QStringLiteral("Europe/London"));
    env.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("home/.config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("home/.local/share")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("run")));
    env.insert(QStringLiteral("TMPDIR"), path(QStringLiteral("tmp")));
    env.insert(QStringLiteral("LocalAppData"), path(QStringLiteral("local")));
    env.insert(QStringLiteral("NO_PROXY"), QStringLiteral("*"));
    if (m_start.isValid()) {
        env.insert(QStringLiteral("LD_PRELOAD"), FakeTimeLibrary);
        env.insert(QStringLiteral("FAKETIME"), m_start.toString(QStringLiteral("@yyyy-MM-dd HH:mm:ss"))
                                                   + QStringLiteral(" x%1").arg(m_speed));
        // File times stay the kernel's, as the purge reads them.
        env.insert(QStringLiteral("NO_FAKE_STAT"), QStringLiteral("1"));
        env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS"))
                                                       + QStringLiteral(":verify_asan_link_order=0"));
    }
    return env;
}

QProcess &ProgramRun::start(const QStringList &arguments, const QProcessEnvironment &environment)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment.isEmpty() ? this->environment() : environment);
    process->setWorkingDirectory(path(QStringLiteral("home")));
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
    for (const QString &name : folder.entryList({QStringLiteral("Tunebarn*Adt.txt")}, QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QStringList fileLines = QString::fromLocal8Bit(file.readAll()).split(QStringLiteral("\r\n"));
        fileLines.removeLast();
        lines += fileLines;
    }
    return lines;
}

QStringList ProgramRun::auditTexts() const
{
    QStringList texts;
    for (const QString &line : auditLines())
        texts.append(line.mid(10));
    return texts;
}

bool ProgramRun::waitFor(const std::function<bool()> &condition)
{
    const QDeadlineTimer deadline(30000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
    return true;
}

bool ProgramRun::waitForAudit(const QString &text) const
{
    return waitFor([&] { return auditTexts().contains(text); });
}
