#include "app/gui/TrayIcon.h"

#include "app/core/AppController.h"
#include "app/gui/UploadStatus.h"
#include "platform/GuiResources.h"

#include <QPainter>

namespace {

// The window's icon with a coloured dot in its lower right corner.
QPixmap badged(const QString &resource, const QColor &badge)
{
    QPixmap pixmap(resource);
    if (!badge.isValid())
        return pixmap;
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, pixmap.width() / 16.0));
    painter.setBrush(badge);
    const qreal diameter = pixmap.width() * 0.5;
    painter.drawEllipse(
        QRectF(pixmap.width() - diameter, pixmap.height() - diameter, diameter, diameter)
            .adjusted(1, 1, -1, -1));
    return pixmap;
}

QIcon stateIcon(UploadStatus::State state)
{
    const QColor badge = state == UploadStatus::State::Uploading ? QColor(25, 118, 210)
                         : state == UploadStatus::State::Failed  ? QColor(198, 40, 40)
                                                                 : QColor();
    QIcon icon;
    for (const char *resource : {":/icons/tunebarn-24.png", ":/icons/tunebarn-68.png"})
        icon.addPixmap(badged(QString::fromLatin1(resource), badge));
    return icon;
}

} // namespace

TrayIcon::TrayIcon(AppController &controller, QObject *parent) : QSystemTrayIcon(parent)
{
    loadGuiResources();
    setIcon(stateIcon(m_state));
    connect(m_menu.addAction(QStringLiteral("Show window")), &QAction::triggered, this,
            &TrayIcon::showWindowRequested);
    m_menu.addSeparator();
    connect(m_menu.addAction(QStringLiteral("Manual Upload")), &QAction::triggered, &controller,
            &AppController::manualUpload);
    connect(m_menu.addAction(QStringLiteral("Refresh Config")), &QAction::triggered, &controller,
            &AppController::refreshConfig);
    connect(m_menu.addAction(QStringLiteral("Schedule")), &QAction::triggered, this,
            &TrayIcon::scheduleRequested);
    m_menu.addSeparator();
    connect(m_menu.addAction(QStringLiteral("Quit")), &QAction::triggered, this,
            &TrayIcon::quitRequested);
    setContextMenu(&m_menu);
    connect(this, &QSystemTrayIcon::activated, this, [this](ActivationReason reason) {
        if (reason == Trigger || reason == DoubleClick)
            emit showWindowRequested();
    });
}

void TrayIcon::showUploadStatus(const UploadStatus &status)
{
    setToolTip(status.summary());
    // A tray redraws on every new icon; progress comes several times a second.
    if (status.state() == m_state)
        return;
    m_state = status.state();
    setIcon(stateIcon(m_state));
}
