#pragma once

#include "app/gui/UploadStatus.h"

#include <QMenu>
#include <QSystemTrayIcon>

class AppController;

// The program in the desktop's tray: idle, uploading or failed at a glance, the next upload and
// the last result as its tooltip, and the operator's commands in its menu.
class TrayIcon : public QSystemTrayIcon
{
    Q_OBJECT

public:
    explicit TrayIcon(AppController &controller, QObject *parent = nullptr);

    void showUploadStatus(const UploadStatus &status);

signals:
    void showWindowRequested();
    void scheduleRequested();
    void quitRequested();

private:
    QMenu m_menu;
    UploadStatus::State m_state = UploadStatus::State::Idle;
};
