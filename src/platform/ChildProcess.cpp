#include "platform/ChildProcess.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <QDir>
#include <QRegularExpression>

#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif

namespace {

constexpr qsizetype ErrorTailBytes = 16 * 1024;
constexpr qsizetype OutputLimitBytes = 1024 * 1024;

// What the process has read so far, files through the page cache included; a count of 0 comes
// from a system that keeps none.
std::optional<qint64> readCount(qint64 processId)
{
    if (processId <= 0)
        return std::nullopt;
    qint64 count = 0;
#if defined(Q_OS_WIN)
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(processId));
    if (!process)
        return std::nullopt;
    IO_COUNTERS counters = {};
    if (GetProcessIoCounters(process, &counters))
        count = qint64(counters.ReadTransferCount);
    CloseHandle(process);
#elif defined(Q_OS_LINUX)
    QFile io(QStringLiteral("/proc/%1/io").arg(processId));
    if (!io.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            count = line.mid(6).trimmed().toLongLong();
    }
#endif
    return count > 0 ? std::optional<qint64>(count) : std::nullopt;
}

#ifdef Q_OS_WIN
// The system's own text for a Windows error number, its placeholder filled with the program.
QString systemErrorText(DWORD number, const QString &program)
{
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, number, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    QString text = QString::fromWCharArray(buffer, int(length)).trimmed();
    LocalFree(buffer);
    if (text.isEmpty())
        return QStringLiteral("Unknown error %1").arg(number);
    return text.replace(QStringLiteral("%1"), QDir::toNativeSeparators(program));
}

// QProcess reports a failed CreateProcess by text alone: the system's text, or "Unknown error"
// and the number in hexadecimal where that text has a placeholder. Give back the number too.
LaunchFailure failureFromText(const QString &text, const QString &program)
{
    static const QRegularExpression unknown(QStringLiteral("Unknown error 0x([0-9a-fA-F]+)"));
    const QRegularExpressionMatch match = unknown.match(text);
    if (match.hasMatch()) {
        const DWORD number = match.captured(1).toULong(nullptr, 16);
        return {int(number), systemErrorText(number, program)};
    }
    for (DWORD number = 1; number < 16000; ++number) {
        const QString description = systemErrorText(number, program);
        if (text.endsWith(description))
            return {int(number), description};
    }
    return {int(ERROR_GEN_FAILURE), text};
}

// Every program started here belongs to one job that the system kills when its last handle
// closes, which is when this process ends in any way, killed included: an upload must not
// go on without the program that logs it.
HANDLE killOnCloseJob()
{
    static const HANDLE job = [] {
        const HANDLE created = CreateJobObjectW(nullptr, nullptr);
        if (!created)
            return HANDLE(nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits,
                                     sizeof limits)) {
            CloseHandle(created);
            return HANDLE(nullptr);
        }
        return created;
    }();
    return job;
}

void joinKillOnCloseJob(qint64 processId)
{
    const HANDLE job = killOnCloseJob();
    if (!job)
        return;
    const HANDLE process =
        OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, DWORD(processId));
    if (!process)
        return;
    AssignProcessToJobObject(job, process);
    CloseHandle(process);
}

// Set on the started program rather than among the creation flags, which Wine ignores.
// Background mode proper can be entered by a process on itself alone.
void lowerPriority(qint64 processId)
{
    const HANDLE process = OpenProcess(PROCESS_SET_INFORMATION, FALSE, DWORD(processId));
    if (!process)
        return;
    SetPriorityClass(process, BELOW_NORMAL_PRIORITY_CLASS);
    CloseHandle(process);
}

// A console program ignores the WM_CLOSE that QProcess::terminate() posts; Ctrl+Break ends it.
// The program runs in a console of its own without a window and in a process group of its own,
// so the event is sent through that console to that group alone. Borrowing the console works
// only for a process that has none itself; false means the event could not be sent.
bool sendCtrlBreak(qint64 processId)
{
    if (processId <= 0 || !AttachConsole(DWORD(processId)))
        return false;
    const bool sent = GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, DWORD(processId));
    FreeConsole();
    return sent;
}
#else
constexpr int LowPriorityNice = 10;

// Runs in the child between fork and exec, where only plain system calls are safe. A program
// already set lower than this stays where it is; a failure leaves the priority as it was.
void lowerOwnPriority()
{
    if (::getpriority(PRIO_PROCESS, 0) < LowPriorityNice)
        ::setpriority(PRIO_PROCESS, 0, LowPriorityNice);
#ifdef Q_OS_LINUX
    // The idle class: the disk serves this program only when no other wants it.
    constexpr int IoprioWhoProcess = 1;
    constexpr int IoprioClassIdle = 3;
    constexpr int IoprioClassShift = 13;
    ::syscall(SYS_ioprio_set, IoprioWhoProcess, 0, IoprioClassIdle << IoprioClassShift);
#endif
}

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
        emit ended();
    });
#ifdef Q_OS_WIN
    m_process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments *arguments) {
        arguments->flags |= CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP;
    });
#else
    m_process.setChildProcessModifier([this] {
        if (m_lowPriority)
            lowerOwnPriority();
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
        return LaunchFailure{ERROR_FILE_NOT_FOUND, systemErrorText(ERROR_FILE_NOT_FOUND, program)};
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
#ifdef Q_OS_WIN
        joinKillOnCloseJob(m_process.processId());
        if (m_lowPriority)
            lowerPriority(m_process.processId());
#endif
        if (!input.isEmpty()) {
            m_process.write(input);
            m_process.closeWriteChannel();
        }
        return std::nullopt;
    }
#ifdef Q_OS_WIN
    return failureFromText(m_process.errorString(), program);
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
    noteBytesRead();
}

void ChildProcess::noteBytesRead()
{
    if (!isRunning())
        return;
    if (const std::optional<qint64> count = readCount(m_process.processId()))
        m_bytesRead = count;
}

void ChildProcess::requestStop()
{
    noteBytesRead();
#ifdef Q_OS_WIN
    // Where Ctrl+Break cannot be delivered (a console of this program's own, Wine) waiting
    // would only delay the end: the program is ended at once, with the exit value that
    // Ctrl+Break gives, so that the audit trail tells a stop that was asked for from a kill.
    const qint64 processId = m_process.processId();
    if (sendCtrlBreak(processId))
        return;
    if (const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, DWORD(processId))) {
        TerminateProcess(process, STATUS_CONTROL_C_EXIT);
        CloseHandle(process);
    }
#else
    m_process.terminate();
#endif
}

void ChildProcess::forceStop()
{
    noteBytesRead();
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
