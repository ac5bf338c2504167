#include "app/gui/MainWindow.h"

#include "about/AboutDialog.h"
#include "app/core/AppController.h"
#include "app/gui/FailureNotifier.h"
#include "app/gui/ScheduleWindow.h"
#include "app/gui/StatusFrame.h"
#include "app/gui/TrayIcon.h"
#include "core/AppContext.h"
#include "platform/DesignFont.h"
#include "platform/Desktop.h"
#include "platform/GuiResources.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QTimer>

MainWindow::MainWindow(AppContext &ctx, AppController &controller, QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_ctx(ctx), m_controller(controller)
{
    setObjectName(QStringLiteral("Form1"));
    loadGuiResources();
    buildControls();
    // Not before the controls: the first image read waits for Qt's image plugins, which main()
    // loads on another thread while the controls' fonts load here.
    setWindowIcon(QIcon(QStringLiteral(":/icons/tunebarn-24.png")));
    buildMenu();

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_controller.attachTimer(*m_timer1);
    m_timer1->start();

    // While a close waits for running handlers, every box they open is closed at once.
    m_modalSweep = new QTimer(this);
    m_modalSweep->setInterval(ModalSweepMs);
    connect(m_modalSweep, &QTimer::timeout, this, &MainWindow::closeModalDialogs);

    connect(&m_controller, &AppController::readyToClose, this, [this] {
        if (m_closeWhenReady)
            close();
    });
    // The window's layout gives the menu bar its height for the width, which Windows' own style
    // makes a pixel taller than the bar's size hint.
    resize(designClientSize() + QSize(0, menuBar()->heightForWidth(designClientSize().width())));
}

MainWindow::~MainWindow() = default;

QSize MainWindow::designClientSize() const
{
    const Twips twips = Twips::forWidget(this);
    return QSize(twips.toPixels(5535), twips.toPixels(1530));
}

void MainWindow::buildControls()
{
    const Twips twips = Twips::forWidget(this);
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    client->setFont(DesignFont::windowDefault());

    m_frame1 = new StatusFrame(client);
    connect(m_frame1, &StatusFrame::scheduleRequested, this, &MainWindow::showSchedule);

    m_label3 = new QLabel(client);
    m_label3->setObjectName(QStringLiteral("Label3"));
    m_label3->setGeometry(twips.rect(120, 1560, 855, 255));
    m_label3->installEventFilter(this);

    m_text2 = new QLineEdit(client);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setGeometry(twips.rect(120, 2040, 5295, 375));
    m_text2->hide();

    setTabOrder(m_text2, m_frame1->disableUploadBox());
}

void MainWindow::buildMenu()
{
    QMenuBar *bar = menuBar();
    QAction *manual = bar->addAction(QStringLiteral("Manual Upload"));
    manual->setObjectName(QStringLiteral("manupmnu"));
    connect(manual, &QAction::triggered, &m_controller, &AppController::manualUpload);
    QAction *config = bar->addAction(QStringLiteral("Refresh Config"));
    config->setObjectName(QStringLiteral("configmnu"));
    connect(config, &QAction::triggered, &m_controller, &AppController::refreshConfig);
    QAction *about = bar->addAction(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("aboutmnu"));
    connect(about, &QAction::triggered, this, &MainWindow::showAbout);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_label3 && event->type() == QEvent::MouseButtonPress) {
        m_text2->setVisible(m_text2->isHidden());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::setStatusText(const QString &text)
{
    m_frame1->setStatusText(text);
    m_uploadStatus.setStatusText(text);
    showUploadStatus();
    // An upload that has ended has a new last result, a Refresh Config a new schedule.
    if (!m_uploadStatus.running())
        refreshOpenSchedule();
}

void MainWindow::setTitleText(const QString &text)
{
    m_frame1->setTitleText(text);
}

void MainWindow::setCommandText(const QString &text)
{
    m_text2->setText(text);
}

void MainWindow::setCaption(const QString &text)
{
    setWindowTitle(text);
    // Set on every minute the schedule handles: the next uploads move on.
    refreshOpenSchedule();
}

bool MainWindow::uploadsDisabled() const
{
    return m_frame1->uploadsDisabled();
}

void MainWindow::setLastFailure(const QString &what, const QString &reason)
{
    m_uploadStatus.setFailure(what.isEmpty() ? QString() : what + QStringLiteral(": ") + reason);
    showUploadStatus();
    if (!what.isEmpty())
        notifier().uploadFailed(what, reason);
}

void MainWindow::reportRetry(const QString &what, const QString &text, bool failed)
{
    if (!failed)
        return;
    m_uploadStatus.setRetry(what + QStringLiteral(": ") + text);
    showUploadStatus();
}

void MainWindow::reportWarning(const QString &what, const QString &text)
{
    notifier().uploadWarning(what, text);
}

void MainWindow::setProgress(const UploadProgress &progress)
{
    m_uploadStatus.setProgress(progress);
    showUploadStatus();
}

void MainWindow::setConfigWarnings(const QStringList &warnings)
{
    m_frame1->setConfigWarnings(warnings);
}

void MainWindow::setNextUpload(const QString &text)
{
    m_uploadStatus.setNextUpload(text);
    showUploadStatus();
}

void MainWindow::reportAuditFailure(const QString &text)
{
    notifier().auditFailed(text);
}

void MainWindow::showUploadStatus()
{
    m_frame1->showUploadStatus(m_uploadStatus);
    if (m_tray)
        m_tray->showUploadStatus(m_uploadStatus);
}

FailureNotifier &MainWindow::notifier()
{
    if (!m_notifier) {
        m_notifier = std::make_unique<FailureNotifier>(m_ctx.platform.environment);
        m_notifier->setTray(m_tray);
    }
    return *m_notifier;
}

void MainWindow::addTrayIcon()
{
    if (m_tray || !m_ctx.platform.desktop.hasSystemTray())
        return;
    m_tray = new TrayIcon(m_controller, this);
    connect(m_tray, &TrayIcon::showWindowRequested, this, &MainWindow::showFromTray);
    connect(m_tray, &TrayIcon::scheduleRequested, this, &MainWindow::showSchedule);
    connect(m_tray, &TrayIcon::quitRequested, this, &QWidget::close);
    m_tray->showUploadStatus(m_uploadStatus);
    m_tray->show();
    if (m_notifier)
        m_notifier->setTray(m_tray);
}

void MainWindow::showFromTray()
{
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::refreshOpenSchedule()
{
    if (m_schedule && m_schedule->isVisible())
        m_schedule->refresh();
}

void MainWindow::showSchedule()
{
    if (!m_schedule)
        m_schedule = new ScheduleWindow(m_ctx, this);
    m_schedule->refresh();
    if (!m_schedule->isVisible())
        m_schedule->fitToScreen();
    m_schedule->show();
    m_schedule->raise();
    m_schedule->activateWindow();
}

void MainWindow::closeModalDialogs()
{
    while (QWidget *modal = QApplication::activeModalWidget()) {
        if (modal == this)
            return;
        modal->close();
        if (QApplication::activeModalWidget() == modal)
            return;
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The About window and any box must not keep a closing program alive.
    closeModalDialogs();
    if (m_controller.isUnloaded() || m_controller.requestClose()) {
        m_controller.unload();
        m_timer1->stop();
        m_modalSweep->stop();
        event->accept();
        return;
    }
    // A running upload is being stopped; the window closes when it has wound up.
    m_closeWhenReady = true;
    m_modalSweep->start();
    event->ignore();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Only the first showing is centred; after that the window stays where the operator put it.
    if (m_centred || !screen())
        return;
    m_centred = true;
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                    screen()->availableGeometry()));
}

void MainWindow::showAbout()
{
    AboutDialog about(m_ctx);
    about.exec();
}
