#pragma once

#include "platform/Desktop.h"

#include <functional>

// Opens folders in the file manager and text files in an editor: Explorer and Notepad on
// Windows, the desktop's choice (xdg-open, or open on macOS) elsewhere.
class DesktopLauncher : public Desktop
{
public:
    // `reportLateFailure` hears of an opener that started but then ended in failure.
    explicit DesktopLauncher(std::function<void(const QString &)> reportLateFailure = {});

    QString openFolder(const QString &folder) override;
    QString editTextFile(const QString &path) override;
    bool hasSystemTray() const override;

private:
    QString launch(const QString &program, const QStringList &arguments, const QString &what);

    std::function<void(const QString &)> m_reportLateFailure;
};
