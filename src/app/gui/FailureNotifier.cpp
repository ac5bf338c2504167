#include "app/gui/FailureNotifier.h"

#include "platform/DesktopNotifier.h"
#include "platform/Environment.h"

#include <QSystemTrayIcon>

FailureNotifier::FailureNotifier(const Environment &environment) : m_environment(environment) {}

FailureNotifier::~FailureNotifier() = default;

void FailureNotifier::uploadFailed(const QString &what, const QString &reason)
{
    notify(QStringLiteral("Upload failed: ") + what, reason);
}

void FailureNotifier::uploadWarning(const QString &what, const QString &text)
{
    notify(QStringLiteral("Upload warning: ") + what, text);
}

void FailureNotifier::auditFailed(const QString &text)
{
    if (text == m_lastAuditFailure && m_sinceAuditFailure.isValid() &&
        m_sinceAuditFailure.elapsed() < AuditRepeatMs)
        return;
    m_lastAuditFailure = text;
    m_sinceAuditFailure.start();
    notify(QStringLiteral("Audit trail not written"), text);
}

void FailureNotifier::notify(const QString &summary, const QString &body)
{
    if (m_tray && m_tray->isVisible() && QSystemTrayIcon::supportsMessages()) {
        m_tray->showMessage(summary, body, QSystemTrayIcon::Critical);
        return;
    }
    if (!m_desktop)
        m_desktop = std::make_unique<DesktopNotifier>(
            m_environment.variable(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")));
    m_desktop->notify(summary, body);
}
