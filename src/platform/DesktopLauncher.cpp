#include "platform/DesktopLauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>

namespace {
#ifdef Q_OS_WIN
constexpr bool OpenerExitIsMeaningless = true;
#else
constexpr bool OpenerExitIsMeaningless = false;
#endif
} // namespace

DesktopLauncher::DesktopLauncher(std::function<void(const QString &)> reportLateFailure)
    : m_reportLateFailure(std::move(reportLateFailure))
{
}

QString DesktopLauncher::launch(const QString &program, const QStringList &arguments,
                                const QString &what)
{
    const QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty())
        return QStringLiteral("Could not start %1 to open %2: the program was not found.")
            .arg(program, what);
    auto *process = new QProcess(QCoreApplication::instance());
    process->setProgram(found);
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    QObject::connect(
        process, &QProcess::finished, process,
        [this, process, program, what](int exitCode, QProcess::ExitStatus status) {
            process->deleteLater();
            // Explorer reports 1 even when it opened the folder.
            if (status == QProcess::NormalExit && (exitCode == 0 || OpenerExitIsMeaningless))
                return;
            if (m_reportLateFailure)
                m_reportLateFailure(QStringLiteral("%1 could not open %2 (exit value %3).")
                                        .arg(program, what)
                                        .arg(exitCode));
        });
    process->start();
    if (process->waitForStarted(5000))
        return {};
    const QString reason = process->errorString();
    process->deleteLater();
    return QStringLiteral("Could not start %1 to open %2: %3").arg(program, what, reason);
}

QString DesktopLauncher::openFolder(const QString &folder)
{
#if defined(Q_OS_WIN)
    return launch(QStringLiteral("explorer.exe"),
                  {QStringLiteral("/e,"), QDir::toNativeSeparators(folder)}, folder);
#elif defined(Q_OS_MACOS)
    return launch(QStringLiteral("open"), {folder}, folder);
#else
    return launch(QStringLiteral("xdg-open"), {folder}, folder);
#endif
}

QString DesktopLauncher::editTextFile(const QString &path)
{
#if defined(Q_OS_WIN)
    return launch(QStringLiteral("notepad.exe"), {QDir::toNativeSeparators(path)}, path);
#elif defined(Q_OS_MACOS)
    return launch(QStringLiteral("open"), {QStringLiteral("-t"), path}, path);
#else
    return launch(QStringLiteral("xdg-open"), {path}, path);
#endif
}

bool DesktopLauncher::hasSystemTray() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}
