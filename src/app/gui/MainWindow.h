#pragma once

#include "platform/MainView.h"

#include <QMainWindow>

class AppContext;
class AppController;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QTimer;

// Form1: the status frame, the hidden command line and the three menu commands. It shows what
// the core reports and forwards every event to the controller.
class MainWindow : public QMainWindow, public MainView
{
    Q_OBJECT

public:
    static constexpr int TimerIntervalMs = 5000;
    static constexpr int ModalSweepMs = 100;

    MainWindow(AppContext &ctx, AppController &controller, QWidget *parent = nullptr);

    void setStatusText(const QString &text) override;
    void setTitleText(const QString &text) override;
    void setCommandText(const QString &text) override;
    void setCaption(const QString &text) override;
    bool uploadsDisabled() const override;

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

    AppContext &m_ctx;
    AppController &m_controller;
    QGroupBox *m_frame1 = nullptr;
    QLabel *m_label1 = nullptr;
    QLabel *m_label2 = nullptr;
    QLabel *m_label3 = nullptr;
    QCheckBox *m_check1 = nullptr;
    QLineEdit *m_text2 = nullptr;
    QTimer *m_timer1 = nullptr;
    QTimer *m_modalSweep = nullptr;
    bool m_closeWhenReady = false;
    bool m_centred = false;
};
