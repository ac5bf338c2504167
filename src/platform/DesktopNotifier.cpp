#include "platform/DesktopNotifier.h"

#if QT_CONFIG(dbus)

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace {

constexpr uchar CriticalUrgency = 2;

} // namespace

DesktopNotifier::DesktopNotifier(const QString &busAddress)
    : m_connectionName(QStringLiteral("tunebarn-notifier-%1").arg(quintptr(this)))
{
    // An empty address would let the bus library start a bus of its own and wait for it.
    if (!busAddress.isEmpty())
        QDBusConnection::connectToBus(busAddress, m_connectionName);
}

DesktopNotifier::~DesktopNotifier()
{
    QDBusConnection::disconnectFromBus(m_connectionName);
}

void DesktopNotifier::notify(const QString &summary, const QString &body)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(CriticalUrgency)}};
    call << QCoreApplication::applicationName() << 0u << QStringLiteral("tunebarn-uploader")
         << summary << body << QStringList() << hints << -1;
    QDBusConnection(m_connectionName).send(call);
}

#else

DesktopNotifier::DesktopNotifier(const QString &) {}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::notify(const QString &, const QString &) {}

#endif
