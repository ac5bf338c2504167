#include "platform/ChildProcess.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace {

constexpr qsizetype ErrorTailBytes = 16 * 1024;
constexpr qsizetype OutputLimitBytes = 1024 * 1024;

#ifndef Q_OS_WIN
// QProcess reports an exec failure as "execve: <strerror text>"; give back the number too.
LaunchFailure failureFromText(const QString &text)
{
    for (int number = 1; number < 256; ++number) {
        const QString description = QString::fromLocal8Bit(std::strerror(number));
        if (text.endsWith(description))
            return {number, description};
    }
    return {EIO, text};
}

std::optional<LaunchFailure> checkRunnable(const QString &program)
{
    if (::access(QFile::encodeName(program).constData(), X_OK) == 0) {
        if (!QFileInfo(program).isDir())
            return std::nullopt;
        return LaunchFailure{EACCES, QString::fromLocal8Bit(std::strerror(EACCES))};
    }
    const int number = errno;
    return LaunchFailure{number, QString::fromLocal8Bit(std::strerror(number))};
}
#endif

} // namespace

ChildProcess::ChildProcess(QObject *parent) : QObject(parent)
{
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &ChildProcess::readOutput);
    connect(&m_process, &QProcess::readyReadStandardError, this, &ChildProcess::readErrorOutput);
    connect(&m_process, &QProcess::finished, this, [this] {
        readOutput();
        readErrorOutput();
    });
#ifdef Q_OS_WIN
    m_process.setCreateProcessArgumentsModifier(
        [](QProcess::CreateProcessArguments *arguments) { arguments->flags |= CREATE_NO_WINDOW; });
#else
    m_process.setChildProcessModifier([] {
        // What it writes (curl's reply) is for the user alone.
        ::umask(077);
#ifdef Q_OS_LINUX
        // A program killed outright must not leave an upload running on without it.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
    });
#endif
}

ChildProcess::~ChildProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

std::optional<LaunchFailure>
ChildProcess::start(const QString &program, const QStringList &arguments, const QByteArray &input)
{
#ifdef Q_OS_WIN
    if (!QFileInfo(program).isFile())
        return LaunchFailure{ERROR_FILE_NOT_FOUND,
                             QStringLiteral("The system cannot find the file specified.")};
#else
    if (auto failure = checkRunnable(program))
        return failure;
#endif
    m_process.setProgram(program);
    m_process.setArguments(arguments);
    if (input.isEmpty())
        m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.start(input.isEmpty() ? QIODevice::ReadOnly : QIODevice::ReadWrite);
    if (m_process.waitForStarted(-1)) {
        if (!input.isEmpty()) {
            m_process.write(input);
            m_process.closeWriteChannel();
        }
        return std::nullopt;
    }
#ifdef Q_OS_WIN
    return LaunchFailure{int(GetLastError()), m_process.errorString()};
#else
    return failureFromText(m_process.errorString());
#endif
}

bool ChildProcess::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

int ChildProcess::exitValue() const
{
    if (m_process.exitStatus() == QProcess::CrashExit) {
#ifdef Q_OS_WIN
        return m_process.exitCode();
#else
        return 128 + m_process.exitCode();
#endif
    }
    return m_process.exitCode();
}

void ChildProcess::waitProcessingEvents(int milliseconds)
{
    if (!isRunning())
        return;
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    connect(&m_process, &QProcess::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

void ChildProcess::requestStop()
{
    m_process.terminate();
}

void ChildProcess::forceStop()
{
    m_process.kill();
}

void ChildProcess::readOutput()
{
    m_output.append(m_process.readAllStandardOutput());
    if (m_output.size() > OutputLimitBytes)
        m_output = m_output.right(OutputLimitBytes);
}

void ChildProcess::readErrorOutput()
{
    m_errorTail.append(m_process.readAllStandardError());
    if (m_errorTail.size() > ErrorTailBytes)
        m_errorTail = m_errorTail.right(ErrorTailBytes);
}
