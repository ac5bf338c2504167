#pragma once

#include "app/gui/UploadStatus.h"
#include "platform/MainView.h"

#include <QMainWindow>

#include <memory>

class AppContext;
class AppController;
class FailureNotifier;
class QLabel;
class QLineEdit;
class QTimer;
class ScheduleWindow;
class StatusFrame;
class TrayIcon;

// Form1: the status frame, the hidden command line and the three menu commands, and where the
// desktop has one, an icon in its tray. It shows what the core reports and forwards every event
// to the controller.
class MainWindow : public QMainWindow, public MainView
{
    Q_OBJECT

public:
    static constexpr int ModalSweepMs = 100;

    MainWindow(AppContext &ctx, AppController &controller, QWidget *parent = nullptr);
    ~MainWindow() override;

    void setStatusText(const QString &text) override;
    void setTitleText(const QString &text) override;
    void setCommandText(const QString &text) override;
    void setCaption(const QString &text) override;
    bool uploadsDisabled() const override;
    void setLastFailure(const QString &what, const QString &reason) override;
    void reportRetry(const QString &what, const QString &text, bool failed) override;
    void reportWarning(const QString &what, const QString &text) override;
    void setProgress(const UploadProgress &progress) override;
    void setConfigWarnings(const QStringList &warnings) override;
    void setNextUpload(const QString &text) override;
    void reportAuditFailure(const QString &text) override;

    // Where the desktop has a tray; it is not needed before the window is up.
    void addTrayIcon();

    // Client area of the design, in pixels for this screen.
    QSize designClientSize() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildMenu();
    void closeModalDialogs();
    void showAbout();
    void showFromTray();
    void showSchedule();
    void refreshOpenSchedule();
    void showUploadStatus();
    FailureNotifier &notifier();

    AppContext &m_ctx;
    AppController &m_controller;
    StatusFrame *m_frame1 = nullptr;
    QLabel *m_label3 = nullptr;
    QLineEdit *m_text2 = nullptr;
    TrayIcon *m_tray = nullptr;
    ScheduleWindow *m_schedule = nullptr;
    std::unique_ptr<FailureNotifier> m_notifier;
    UploadStatus m_uploadStatus;
    QTimer *m_timer1 = nullptr;
    QTimer *m_modalSweep = nullptr;
    bool m_closeWhenReady = false;
    bool m_centred = false;
};
