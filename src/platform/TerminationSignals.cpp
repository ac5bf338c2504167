#include "platform/TerminationSignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_WIN
#include <QMetaObject>

#include <csignal>
#include <mutex>
#include <windows.h>

namespace {

// Windows has no SIGTERM to send; a program is asked to close by WM_CLOSE to its top-level
// windows (taskkill without /F), by the end of the session, or by its console (Ctrl+C,
// Ctrl+Break, the console closed). Without a window of its own, as with --headless and
// --upload, nothing would ever reach it but the kill; so it gets a hidden one.
// The installer finds running copies by this name (packaging/windows/installer.nsi).
constexpr wchar_t WindowClassName[] = L"TunebarnUploaderTermination";

std::mutex currentGuard;
TerminationSignals *current = nullptr;
HWND hiddenWindow = nullptr;
// Set when the closing lines are written; a console being closed waits for it.
HANDLE finished = nullptr;

// From any thread: the signal reaches the object on its own thread's event loop.
void postTermination(int signalNumber, bool sessionEnds = false)
{
    const std::lock_guard<std::mutex> lock(currentGuard);
    if (!current)
        return;
    TerminationSignals *target = current;
    QMetaObject::invokeMethod(
        target,
        [target, signalNumber, sessionEnds] {
            emit target->terminationRequested(signalNumber);
            if (sessionEnds)
                emit target->sessionEnding();
        },
        Qt::QueuedConnection);
}

LRESULT CALLBACK hiddenWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        postTermination(SIGTERM);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // The session may end the moment this returns: the closing lines are written now, by
        // the handlers connected to the signals, on this very thread, even while a handler
        // waits for a box or an upload and could not wind up in time.
        if (wParam && current) {
            emit current->terminationRequested(SIGTERM);
            emit current->sessionEnding();
        }
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

BOOL WINAPI consoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
        postTermination(SIGINT);
        return TRUE;
    case CTRL_BREAK_EVENT:
        postTermination(SIGBREAK);
        return TRUE;
    case CTRL_CLOSE_EVENT:
        // The system ends the program when this returns, or after five seconds: too soon for a
        // running upload's grace, so the closing lines are written at once, as at the end of
        // the session.
        postTermination(SIGTERM, true);
        if (finished)
            WaitForSingleObject(finished, 4500);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace
#endif

#ifndef Q_OS_WIN
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void forwardSignal(int signalNumber)
{
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
}

} // namespace
#endif

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
#ifdef Q_OS_WIN
    {
        const std::lock_guard<std::mutex> lock(currentGuard);
        current = this;
    }
    if (!finished)
        finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    else
        ResetEvent(finished);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = hiddenWindowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = WindowClassName;
    RegisterClassW(&windowClass);
    // A top-level window that is never shown: taskkill and the session's end address those.
    hiddenWindow = CreateWindowExW(0, WindowClassName, L"Tunebarn Uploader", WS_OVERLAPPED, 0, 0, 0,
                                   0, nullptr, nullptr, windowClass.hInstance, nullptr);
    SetConsoleCtrlHandler(consoleEvent, TRUE);
#else
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    // Not inherited by curl or any other program the uploader starts.
    for (const int fd : signalPipe)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    m_notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    struct sigaction action = {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signalNumber, &action, nullptr);
#endif
}

TerminationSignals::~TerminationSignals()
{
#ifdef Q_OS_WIN
    SetConsoleCtrlHandler(consoleEvent, FALSE);
    if (hiddenWindow)
        DestroyWindow(hiddenWindow);
    hiddenWindow = nullptr;
    {
        const std::lock_guard<std::mutex> lock(currentGuard);
        if (current == this)
            current = nullptr;
    }
    if (finished)
        SetEvent(finished);
#else
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signalNumber, &action, nullptr);
    for (int &fd : signalPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
#endif
}

void TerminationSignals::readSignal()
{
#ifndef Q_OS_WIN
    unsigned char byte = 0;
    if (::read(signalPipe[1], &byte, 1) != 1)
        return;
    if (byte == SIGHUP)
        emit hangUp();
    else
        emit terminationRequested(byte);
#endif
}
