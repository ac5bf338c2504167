#include "platform/DisplayCheck.h"

#include <QGuiApplication>

QString missingDisplayReason()
{
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return {};
    return QStringLiteral(
        "no display to open a window on (DISPLAY and WAYLAND_DISPLAY are not set)");
#else
    return {};
#endif
}

bool windowsCanBeSeen()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}
