#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

#include <memory>

class DesktopNotifier;
class Environment;
class QSystemTrayIcon;

// Tells the operator of a failure on the desktop: as the tray icon's message where there is a
// tray, else through the desktop's notification service; where neither exists, not at all.
class FailureNotifier
{
public:
    static constexpr qint64 AuditRepeatMs = 60 * 60 * 1000;

    explicit FailureNotifier(const Environment &environment);
    ~FailureNotifier();

    void setTray(QSystemTrayIcon *tray) { m_tray = tray; }
    void uploadFailed(const QString &what, const QString &reason);
    void uploadWarning(const QString &what, const QString &text);
    // A full disk fails every flush; the same failure is told again only after an hour.
    void auditFailed(const QString &text);

private:
    void notify(const QString &summary, const QString &body);

    const Environment &m_environment;
    QPointer<QSystemTrayIcon> m_tray;
    std::unique_ptr<DesktopNotifier> m_desktop;
    QString m_lastAuditFailure;
    QElapsedTimer m_sinceAuditFailure;
};
