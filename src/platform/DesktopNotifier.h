#pragma once

#include <QString>

// Notifications through the desktop's notification service (org.freedesktop.Notifications) on
// the session bus at `busAddress`. Sending never waits for the service; with no bus, or no
// service on it, a notification is lost and nothing else happens. Where Qt has no D-Bus
// (Windows, whose tray always takes the messages) nothing is sent.
class DesktopNotifier
{
public:
    explicit DesktopNotifier(const QString &busAddress);
    ~DesktopNotifier();
    DesktopNotifier(const DesktopNotifier &) = delete;
    DesktopNotifier &operator=(const DesktopNotifier &) = delete;

    // Critical, so desktops that can keep it until the operator has seen it.
    void notify(const QString &summary, const QString &body);

private:
    QString m_connectionName;
};
