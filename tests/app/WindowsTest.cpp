#include "about/AboutDialog.h"
#include "app/cli/HeadlessRunner.h"
#include "app/core/AppController.h"
#include "app/gui/MainWindow.h"
#include "app/gui/ScheduleWindow.h"
#include "app/gui/TrayIcon.h"
#include "audit/UploadHistory.h"
#include "platform/DesignFont.h"
#include "platform/QtDialogs.h"
#include "platform/Twips.h"
#include "support/TestApp.h"

#include <QApplication>
#include <QCheckBox>
#ifndef Q_OS_WIN
#include <QDBusConnection>
#endif
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

struct DesignControl
{
    const char *name;
    const char *parent;
    int left, top, width, height;
};

template <typename T> T *control(const QWidget &window, const char *name)
{
    T *found = window.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        ADD_FAILURE() << "no control " << name;
    return found;
}

void expectDesign(const QWidget &window, const QList<DesignControl> &controls)
{
    const Twips twips = Twips::forWidget(&window);
    for (const DesignControl &design : controls) {
        const QWidget *widget = control<QWidget>(window, design.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(design.parent))
            << design.name;
        EXPECT_EQ(widget->geometry(),
                  twips.rect(design.left, design.top, design.width, design.height))
            << design.name;
    }
}

// Labels and buttons whose text does not fit their box in the font they use.
QStringList clipped(const QWidget &window)
{
    QStringList names;
    for (const QLabel *label : window.findChildren<QLabel *>()) {
        if (!label->wordWrap() &&
            label->fontMetrics().horizontalAdvance(label->text()) > label->width())
            names.append(label->objectName());
    }
    for (const QAbstractButton *button : window.findChildren<QAbstractButton *>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QSize needed = button->style()->sizeFromContents(
            qobject_cast<const QCheckBox *>(button) ? QStyle::CT_CheckBox : QStyle::CT_PushButton,
            &option, button->fontMetrics().size(Qt::TextShowMnemonic, button->text()), button);
        if (needed.width() > button->width())
            names.append(button->objectName());
    }
    return names;
}

// The context outlives the controller; no upload may report to its monitor once it is gone.
TEST(AppControllerTest, TheMonitorWatchesTheUploadsOnlyWhileTheControllerLives)
{
    TestApp app;
    const UploadWatch *unwatched = &app.ctx.watch();
    {
        AppController controller{app.ctx};
        EXPECT_NE(&app.ctx.watch(), unwatched);
    }
    EXPECT_EQ(&app.ctx.watch(), unwatched);
}

// A stop asked for while start-up shows a box closes the program there, and well.
TEST(HeadlessTest, ASignalDuringStartUpClosesItBeforeItsEventLoop)
{
    SKIP_ON_WINDOWS("the stop is a POSIX signal");
    TestApp app; // no configuration: start-up says so in a box
    app.dialogs.whileOpen = [&] {
        if (app.dialogs.shown.size() == 1)
            std::raise(SIGTERM);
    };
    QTimer looped; // should the signal wait for the event loop, the test still ends
    looped.setSingleShot(true);
    QObject::connect(&looped, &QTimer::timeout, qApp, &QCoreApplication::quit);
    looped.start(20000);
    EXPECT_EQ(runHeadless(*qApp, app.platform), 0);
    EXPECT_TRUE(looped.isActive());
    EXPECT_TRUE(app.auditTexts().contains(u"Form_Unload| Application Closing."_s));
}

class MainWindowTest : public ::testing::Test
{
protected:
    MainWindowTest() { app.ctx.setView(&window); }
    ~MainWindowTest() override { app.ctx.setView(nullptr); }

    TestApp app;
    AppController controller{app.ctx};
    MainWindow window{app.ctx, controller};
};

TEST_F(MainWindowTest, TheDesignAtItsSizeWithOnlyTheStatusFrameInView)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const Twips twips = Twips::forWidget(&window);
    EXPECT_EQ(window.centralWidget()->size(), QSize(twips.toPixels(5535), twips.toPixels(1530)));
    expectDesign(window, {{"Frame1", "client", 120, 0, 5295, 1455},
                          {"Label2", "Frame1", 240, 480, 4815, 375},
                          {"Label1", "Frame1", 240, 1080, 3255, 375},
                          {"Check1", "Frame1", 3720, 1080, 1455, 315},
                          {"Text2", "client", 120, 2040, 5295, 375},
                          {"Label3", "client", 120, 1560, 855, 255}});
    EXPECT_LE((window.geometry().center() - window.screen()->availableGeometry().center())
                  .manhattanLength(),
              2);
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(window.windowIcon().availableSizes(), QList<QSize>{QSize(24, 24)});
    EXPECT_EQ(clipped(window), QStringList());

    const auto *check = control<QCheckBox>(window, "Check1");
    EXPECT_EQ(check->text(), u"Disable Upload:"_s);
    EXPECT_EQ(check->layoutDirection(), Qt::RightToLeft);
    EXPECT_FALSE(check->isChecked());
    EXPECT_EQ(control<QLabel>(window, "Label1")->text(), u"Idle"_s);
    EXPECT_TRUE(control<QLineEdit>(window, "Text2")->isHidden());
    EXPECT_EQ(control<QTimer>(window, "Timer1")->interval(), 5000);
    EXPECT_TRUE(control<QTimer>(window, "Timer1")->isActive());
}

TEST_F(MainWindowTest, MenusForwardToTheCommandsAndTheBlankLabelTogglesTheCommandLine)
{
    QStringList captions;
    for (const QAction *action : window.menuBar()->actions())
        captions.append(action->text());
    EXPECT_EQ(captions, QStringList({u"Manual Upload"_s, u"Refresh Config"_s, u"About"_s}));
    app.writeConfig("[General]\nUploadURL=http://h/\n");
    control<QAction>(window, "configmnu")->trigger();
    EXPECT_EQ(control<QLabel>(window, "Label1")->text(), u"Config loaded.14:03"_s);
    control<QAction>(window, "manupmnu")->trigger();
    EXPECT_EQ(app.dialogs.shown.size(), 1);

    window.setCommandText(u"curl ..."_s);
    window.resize(window.width(), window.height() * 3);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto *label3 = control<QLabel>(window, "Label3");
    QTest::mouseClick(label3, Qt::LeftButton);
    EXPECT_TRUE(control<QLineEdit>(window, "Text2")->isVisible());
    EXPECT_EQ(control<QLineEdit>(window, "Text2")->text(), u"curl ..."_s);
    QTest::mouseClick(label3, Qt::LeftButton);
    EXPECT_TRUE(control<QLineEdit>(window, "Text2")->isHidden());
    control<QCheckBox>(window, "Check1")->setChecked(true);
    EXPECT_TRUE(window.uploadsDisabled());
}

TEST_F(MainWindowTest, AFailureInRedWithItsReasonAndTheShareSentWhileCurlRuns)
{
    auto *label1 = control<QLabel>(window, "Label1");
    auto *bar = control<QProgressBar>(window, "uploadProgress");
    const QColor normal = label1->palette().color(QPalette::WindowText);
    EXPECT_TRUE(bar->isHidden());
    window.setStatusText(QStringLiteral("Uploading..."));
    window.setProgress({42, QStringLiteral("12.3M"), QStringLiteral("1.2M")});
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->value(), 42);
    EXPECT_EQ(label1->toolTip(), QStringLiteral("42% sent (12.3M) at 1.2M/s"));

    window.setStatusText(QStringLiteral("Upload Failed: 14:03:30"));
    window.setLastFailure(QStringLiteral("show 3 'Breakfast'"),
                          QStringLiteral("exit value 7, HTTP status 000"));
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(label1->text(), QStringLiteral("Upload Failed: 14:03:30"));
    EXPECT_EQ(label1->palette().color(QPalette::WindowText), QColor(192, 0, 0));
    EXPECT_EQ(label1->toolTip(),
              QStringLiteral("show 3 'Breakfast': exit value 7, HTTP status 000"));

    window.setStatusText(QStringLiteral("Finished Upload: 14:04:02"));
    window.setLastFailure({}, {});
    EXPECT_EQ(label1->palette().color(QPalette::WindowText), normal);
    EXPECT_EQ(label1->toolTip(), QString());
}

TEST_F(MainWindowTest, WarningsMarkedBesideTheStatusAndTheCheckBoxFitsAWideFont)
{
    app.writeConfig("[General]\nUploadURL=http://h/\n[Show1]\nFilename=/nowhere/"
                    "a.mp3\nUploadDay=Sun\nUploadTime=09:00\n");
    control<QAction>(window, "configmnu")->trigger();
    auto *label1 = control<QLabel>(window, "Label1");
    auto *mark = control<QLabel>(window, "warningMark");
    auto *check = control<QCheckBox>(window, "Check1");
    EXPECT_EQ(label1->text(), QStringLiteral("Config loaded.14:03"));
    EXPECT_FALSE(mark->isHidden());
    EXPECT_EQ(mark->toolTip(), QStringLiteral("show 1: recording '/nowhere/a.mp3' does not exist"));

    // Where neither stand-in font is installed, the platform's wider default takes over.
    const int right = check->geometry().right();
    check->setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    EXPECT_EQ(clipped(window), QStringList());
    EXPECT_GT(check->width(), Twips::forWidget(&window).toPixels(1455));
    EXPECT_EQ(check->geometry().right(), right);
    for (const QFont &font : {check->font(), DesignFont::windowDefault()}) {
        check->setFont(font);
        EXPECT_FALSE(mark->geometry().intersects(check->geometry()));
        EXPECT_GE(mark->x(), label1->x() + label1->fontMetrics().horizontalAdvance(label1->text()));
    }
    window.setConfigWarnings({});
    EXPECT_TRUE(mark->isHidden());

    const QString title =
        QStringLiteral("The Breakfast Show with Every Request and Dedication - 06th December 2026");
    window.setTitleText(title);
    EXPECT_TRUE(control<QLabel>(window, "Label2")->text().endsWith(QChar(0x2026)));
    EXPECT_EQ(control<QLabel>(window, "Label2")->toolTip(), title);
    window.setTitleText(QStringLiteral("Drive Time"));
    EXPECT_EQ(control<QLabel>(window, "Label2")->text(), QStringLiteral("Drive Time"));
    EXPECT_EQ(control<QLabel>(window, "Label2")->toolTip(), QString());
}

QList<QStringList> rows(const QTableWidget &table)
{
    QList<QStringList> cells;
    for (int row = 0; row < table.rowCount(); ++row) {
        cells.append(QStringList());
        for (int column = 0; column < table.columnCount(); ++column)
            cells.last().append(table.item(row, column)->text());
    }
    return cells;
}

TEST_F(MainWindowTest, TheScheduleFromTheStatusFramesContextMenuWritesNothingToTheAudit)
{
    const QByteArray show1 = "[Show1]\nFilename=" + app.writeFile("a.mp3", "ID3").toUtf8() +
                             "\nTitle=Breakfast\nUploadDay=Sun\nUploadTime=09:00\n";
    app.writeConfig(
        "[General]\nUploadURL=http://h/\n" + show1 +
        "[Show2]\nFilename=/nowhere/b.mp3\nTitle=Drive\nUploadDay=Mon\nUploadTime=21:00\nPicture=/"
        "nowhere/b.jpg\nTilte=x\n");
    control<QAction>(window, "configmnu")->trigger();
    const QString history = app.auditFolder() + u"uploads.jsonl"_s;
    const auto tried = [](const char *outcome, const QTime &finished, const QString &reason) {
        return UploadAttempt{{},
                             1,
                             {},
                             QString::fromLatin1(outcome),
                             reason,
                             {},
                             0,
                             0,
                             QDateTime(TestApp::sunday().date(), finished)}
            .toJsonLine();
    };
    app.writeFile(history, tried("failed", QTime(9, 0, 2), u"the service refused it (HTTP 500)"_s));
    const QStringList held = app.heldTexts();
    const auto *frame = control<QGroupBox>(window, "Frame1");
    EXPECT_TRUE(frame->toolTip().startsWith(u"Right-click for the Schedule"_s));
    EXPECT_EQ(frame->contextMenuPolicy(), Qt::ActionsContextMenu);
    ASSERT_EQ(frame->actions().size(), 1);
    EXPECT_EQ(frame->actions()[0]->text(), QStringLiteral("Schedule"));
    frame->actions()[0]->trigger();

    auto *schedule = window.findChild<ScheduleWindow *>();
    ASSERT_NE(schedule, nullptr);
    EXPECT_TRUE(schedule->isVisible());
    auto *table = control<QTableWidget>(*schedule, "shows");
    EXPECT_EQ(rows(*table),
              QList<QStringList>(
                  {{"1", "Sun", "09:00", "Sun 13/12/2026 09:00",
                    "failed 06/12/2026 09:00:02: the service refused it (HTTP 500)", "yes", "-",
                    "Breakfast", ""},
                   {"2", "Mon", "21:00", "Mon 07/12/2026 21:00", "-", "MISSING", "MISSING", "Drive",
                    "show 2: recording '/nowhere/b.mp3' does not exist\n"
                    "show 2: picture '/nowhere/b.jpg' does not exist"}}));
    // Each row is as tall as its text: show 2's two problems make its row the taller.
    EXPECT_LT(table->rowHeight(0), table->rowHeight(1));
    EXPECT_EQ(control<QLabel>(*schedule, "fileProblems")->text(),
              QStringLiteral("line 14: key 'Tilte' in [Show2] is ignored"));
    // Read meanwhile, the recording is told for what it is.
    EXPECT_TRUE(QTest::qWaitFor([&] { return table->item(0, 5)->text() == u"BROKEN"_s; }));
    EXPECT_EQ(table->item(0, 8)->text(),
              u"show 1: recording '"_s + app.home() +
                  u"/a.mp3' is not MPEG audio: it holds no MPEG audio frames at its start"_s);
    // The table is wider than the screen: the window stays on it, and the table scrolls.
    EXPECT_TRUE(schedule->screen()->availableGeometry().contains(schedule->geometry()));
    EXPECT_EQ(app.heldTexts(), held);

    // Refresh Config, and every minute the schedule handles, show the schedule as it now is.
    app.writeConfig("[General]\nUploadURL=http://h/\n" + show1);
    control<QAction>(window, "configmnu")->trigger();
    EXPECT_EQ(table->rowCount(), 1);
    EXPECT_TRUE(control<QLabel>(*schedule, "fileProblems")->isHidden());
    app.writeFile(history, tried("taken", QTime(14, 3, 0), {}));
    app.clock.set(TestApp::sunday().date(), QTime(14, 4, 1));
    controller.timerTick();
    EXPECT_EQ(table->item(0, 4)->text(), u"taken 06/12/2026 14:03:00"_s);
    EXPECT_EQ(table->item(0, 7)->toolTip(), u"Breakfast"_s);
    EXPECT_TRUE(table->verticalHeader()->isHidden());
    EXPECT_EQ(window.windowTitle(), u"Tunebarn Uploader: 14:04"_s);
}

TEST_F(MainWindowTest, TheTrayIconOnlyWhereTheDesktopHasANotificationAreaWithTheNextUpload)
{
    window.addTrayIcon();
    EXPECT_EQ(window.findChild<TrayIcon *>(), nullptr);
    app.desktop.systemTray = true;
    window.addTrayIcon();
    window.addTrayIcon();
    ASSERT_EQ(window.findChildren<TrayIcon *>().size(), 1);
    window.setNextUpload(u"Mon 07/12/2026 21:00 show 2 'Drive'"_s);
    EXPECT_TRUE(window.findChild<TrayIcon *>()->toolTip().contains(
        u"\nNext upload: Mon 07/12/2026 21:00 show 2 'Drive'"_s));
}

TEST_F(MainWindowTest, TheTrayIconsMenuTooltipAndState)
{
    TrayIcon tray(controller);
    EXPECT_FALSE(tray.icon().isNull());
    tray.showUploadStatus(UploadStatus());
    EXPECT_EQ(tray.toolTip(), u"Tunebarn Uploader\nNext upload: none"_s);
    QStringList texts;
    for (const QAction *action : tray.contextMenu()->actions())
        texts.append(action->isSeparator() ? u"-"_s : action->text());
    EXPECT_EQ(texts, QStringList({"Show window", "-", "Manual Upload", "Refresh Config", "Schedule",
                                  "-", "Quit"}));
    const auto trigger = [&](const QString &text) {
        for (QAction *action : tray.contextMenu()->actions()) {
            if (action->text() == text)
                action->trigger();
        }
    };
    app.writeConfig("[General]\nUploadURL=http://h/\n");
    trigger(QStringLiteral("Refresh Config"));
    EXPECT_EQ(control<QLabel>(window, "Label1")->text(), QStringLiteral("Config loaded.14:03"));
    QSignalSpy shown(&tray, &TrayIcon::showWindowRequested),
        schedule(&tray, &TrayIcon::scheduleRequested), quit(&tray, &TrayIcon::quitRequested);
    for (const char *text : {"Show window", "Schedule", "Quit"})
        trigger(QString::fromLatin1(text));
    EXPECT_EQ(shown.size() + schedule.size() + quit.size(), 3);
    // A click or a double click on the icon shows the window too; a click for the menu does not.
    for (const auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick,
                              QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick})
        emit tray.activated(reason);
    EXPECT_EQ(shown.size(), 3);

    UploadStatus status;
    status.setNextUpload(QStringLiteral("Mon 07/12/2026 21:00 show 2 'Drive'"));
    status.setStatusText(QStringLiteral("Upload Failed: 14:03:30"));
    status.setFailure(QStringLiteral("show 3 'Breakfast': exit value 7"));
    tray.showUploadStatus(status);
    EXPECT_EQ(
        tray.toolTip(),
        QStringLiteral("Tunebarn Uploader\nNext upload: Mon 07/12/2026 21:00 show 2 'Drive'\n"
                       "Last upload: Upload Failed: 14:03:30\nshow 3 'Breakfast': exit value 7"));
    EXPECT_EQ(tray.icon().pixmap(24).toImage().pixelColor(18, 18), QColor(198, 40, 40));
    status.setProgress({42, QStringLiteral("12.3M"), QStringLiteral("1.2M")});
    tray.showUploadStatus(status);
    EXPECT_TRUE(tray.toolTip().endsWith(QStringLiteral("\n42% sent (12.3M) at 1.2M/s")));
    EXPECT_EQ(tray.icon().pixmap(24).toImage().pixelColor(18, 18), QColor(25, 118, 210));
    const QString retry = u"show 3 'Breakfast': the service could not be reached; trying again "
                          "at 14:05:07 (1 of 2)"_s;
    status.setRetry(retry);
    tray.showUploadStatus(status);
    EXPECT_TRUE(tray.toolTip().endsWith(u'\n' + retry));
}

#ifndef Q_OS_WIN
// The desktop's notification service, as far as a notifier uses it.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public slots:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &, int)
    {
        received.append({summary, body});
        return uint(received.size());
    }

public:
    QList<QStringList> received;
};
#endif

TEST_F(MainWindowTest, FailuresToldThroughTheDesktopsNotificationServiceAndWithoutABusNothingWaits)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "the notification service is D-Bus's; Windows has none";
#else
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"),
               QStringLiteral("--print-address")});
    ASSERT_TRUE(bus.waitForReadyRead(5000)) << "dbus-daemon (Debian package dbus-daemon) is needed";
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    FakeNotifications fake;
    {
        QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("fake"));
        ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                           QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }
    app.environment.variables.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    window.setLastFailure(QStringLiteral("show 3 'Breakfast'"),
                          QStringLiteral("exit value 7, HTTP status 000"));
    window.reportAuditFailure(QStringLiteral("WriteLog| Error: 28 - No space left on device"));
    window.reportWarning(u"show 1 'T'"_s, u"the recording is short"_s);
    EXPECT_TRUE(QTest::qWaitFor([&] { return fake.received.size() == 3; }, 5000));
    EXPECT_EQ(fake.received,
              QList<QStringList>(
                  {{"Upload failed: show 3 'Breakfast'", "exit value 7, HTTP status 000"},
                   {"Audit trail not written", "WriteLog| Error: 28 - No space left on device"},
                   {"Upload warning: show 1 'T'", "the recording is short"}}));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake"));
    bus.terminate();
    bus.waitForFinished();

    for (const QString &none : {QString(), address}) {
        app.environment.variables.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), none);
        MainWindow alone(app.ctx, controller);
        QElapsedTimer took;
        took.start();
        alone.setLastFailure(QStringLiteral("show 3 'Breakfast'"), QStringLiteral("exit value 7"));
        alone.reportAuditFailure(QStringLiteral("WriteLog| Error: 28 - No space left on device"));
        EXPECT_LT(took.elapsed(), 1000);
    }
#endif
}

class AboutDialogTest : public ::testing::Test
{
protected:
    AboutDialogTest() { app.ctx.CFG.ConfigPath = app.home() + u"/shared/"_s; }
    QString configFile() const { return app.ctx.CFG.ConfigPath + u"tunebarn.ini"_s; }
    void click(const char *button)
    {
        AboutDialog about(app.ctx);
        control<QPushButton>(about, button)->click();
    }
    TestApp app;
};

TEST_F(AboutDialogTest, TextsAndTheDesign)
{
    AboutDialog about(app.ctx);
    EXPECT_EQ(about.objectName(), u"frmAbout"_s);
    EXPECT_EQ(about.windowTitle(), u"About Tunebarn Uploader"_s);
    EXPECT_EQ(control<QLabel>(about, "lblTitle")->text(), u"Tunebarn Uploader"_s);
    EXPECT_EQ(control<QLabel>(about, "lblVersion")->text(), u"Version 1.0.46"_s);
    EXPECT_EQ(control<QLabel>(about, "Label2")->text(), u"Configuration File:"_s);
    EXPECT_EQ(control<QLabel>(about, "Label1")->text(), configFile());
    EXPECT_EQ(control<QLabel>(about, "Image1")->pixmap().size(), QSize(68, 68));
    for (const auto &[name, text] : {std::pair{"cmdOK", u"OK"_s},
                                     {"Command1", u"Audits"_s},
                                     {"Command2", u"Config"_s},
                                     {"Command3", u"Debug"_s}})
        EXPECT_EQ(control<QPushButton>(about, name)->text(), text) << name;
    const Twips twips = Twips::forWidget(&about);
    EXPECT_EQ(about.size(), QSize(twips.toPixels(7005), twips.toPixels(3090)));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    expectDesign(about, {{"Image1", "frmAbout", 120, 240, 1020, 1020},
                         {"lblTitle", "frmAbout", 1680, 240, 3885, 480},
                         {"lblVersion", "frmAbout", 1680, 780, 3885, 225},
                         {"Label3", "frmAbout", 1680, 1200, 3885, 345},
                         {"Label2", "frmAbout", 120, 1560, 3885, 285},
                         {"Label1", "frmAbout", 120, 1920, 6765, 465},
                         {"Command3", "frmAbout", 1440, 2640, 1260, 345},
                         {"Command2", "frmAbout", 2760, 2640, 1260, 345},
                         {"Command1", "frmAbout", 4200, 2640, 1260, 345},
                         {"cmdOK", "frmAbout", 5640, 2640, 1260, 345}});
    EXPECT_EQ(clipped(about), QStringList());
    // The groove: a grey line over a white one, each drawn from its first pixel to its last.
    const QImage picture = about.grab().toImage();
    const QColor grey(128, 128, 128);
    const QColor white(255, 255, 255);
    const struct
    {
        int x, y;
        QColor colour;
        bool drawn;
    } groove[] = {{90, 2445, grey, true},    {75, 2445, grey, false},  {6825, 2445, grey, true},
                  {6840, 2445, grey, false}, {105, 2460, white, true}, {90, 2460, white, false},
                  {5385, 2475, white, true}, {5400, 2460, white, false}};
    for (const auto &point : groove)
        EXPECT_EQ(picture.pixelColor(twips.toPixels(point.x), twips.toPixels(point.y)) ==
                      point.colour,
                  point.drawn)
            << point.x << ',' << point.y;
}

TEST_F(AboutDialogTest, FocusStartsOnOkAndEnterOrEscapeClose)
{
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        AboutDialog about(app.ctx);
        about.show();
        about.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
        QStringList order;
        QWidget *focus = about.focusWidget();
        for (int i = 0; i < 4; ++i, focus = focus->nextInFocusChain()) {
            while (focus->focusPolicy() == Qt::NoFocus)
                focus = focus->nextInFocusChain();
            order.append(focus->objectName());
        }
        EXPECT_EQ(order, QStringList({"cmdOK", "Command1", "Command2", "Command3"}));
        QTest::keyClick(&about, key);
        EXPECT_FALSE(about.isVisible());
    }
}

TEST_F(AboutDialogTest, AuditsConfigAndDebug)
{
    click("Command1");
    EXPECT_EQ(app.desktop.openedFolders, QStringList{app.auditFolder()});
    click("Command2");
    app.writeFile(configFile() + u"/x"_s, "a folder of the file's name");
    click("Command2");
    EXPECT_TRUE(app.desktop.editedFiles.isEmpty());
    QFile::remove(configFile() + u"/x"_s);
    QDir().rmdir(configFile());
    app.writeFile(configFile(), "[General]\n");
    click("Command2");
    EXPECT_EQ(app.desktop.editedFiles, QStringList{configFile()});

    app.desktop.failure = u"Could not start xdg-open to open it: the program was not found."_s;
    click("Command1");
    click("Command3");
    ASSERT_EQ(app.dialogs.messages().size(), 2);
    EXPECT_EQ(app.dialogs.messages()[0].text, app.desktop.failure);
    EXPECT_EQ(app.dialogs.messages()[0].icon, Dialogs::Icon::Critical);
    EXPECT_TRUE(app.dialogs.messages()[1].text.startsWith(QStringLiteral(
        "Variables to use in description for dates.\n\n%date%: 06th December 2026\n")));
    EXPECT_EQ(app.dialogs.messages()[1].title, u"Tunebarn Uploader"_s);
    EXPECT_EQ(app.dialogs.messages()[1].icon, Dialogs::Icon::None);
    EXPECT_TRUE(app.heldTexts().isEmpty());
}

// A stop request (what SIGTERM and the end of the session send) with a modal window open.
class StopTest : public ::testing::Test
{
protected:
    StopTest()
    {
        ctx.setView(&window);
        ctx.CFG.LocalAppFolder = app.ctx.CFG.LocalAppFolder;
        ctx.Options.stopGraceSeconds = 0;
    }
    ~StopTest() override { ctx.setView(nullptr); }

    // Runs `openModal` from the event loop, asks the window to close once a modal window is up,
    // and says whether everything wound up within five seconds.
    bool stopsWhileOpen(const std::function<void()> &openModal)
    {
        QElapsedTimer clock;
        clock.start();
        qint64 modalReturnedAt = -1;
        QTimer::singleShot(0, [&] {
            openModal();
            modalReturnedAt = clock.elapsed();
        });
        QTimer stopper;
        QObject::connect(&stopper, &QTimer::timeout, [&] {
            if (QApplication::activeModalWidget())
                window.close();
        });
        stopper.start(100);
        // Should a box never close, the test must still end.
        QTimer::singleShot(8000, [] {
            while (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        });
        return QTest::qWaitFor([&] { return controller.isUnloaded() && modalReturnedAt >= 0; },
                               10000) &&
               modalReturnedAt < 5000 && !window.isVisible();
    }

    TestApp app;
    QtDialogs dialogs;
    Platform platform{app.clock, dialogs, app.events, app.settings, app.environment, app.desktop};
    AppContext ctx{platform};
    AppController controller{ctx};
    MainWindow window{ctx, controller};
};

TEST_F(StopTest, TheAboutWindowDoesNotKeepAClosingProgramAlive)
{
    window.show();
    EXPECT_TRUE(stopsWhileOpen([&] { control<QAction>(window, "aboutmnu")->trigger(); }));
    EXPECT_TRUE(app.auditTexts().contains(u"Form_Unload| Application Closing."_s));
}

TEST_F(StopTest, BoxesInsideHandlersAreClosedAndTheHandlersFinishTheirLines)
{
    ctx.CFG.LocalAppFolder = app.ctx.CFG.LocalAppFolder;
    QDir().mkpath(app.auditFolder());
    ctx.WorkingDirectory = app.ctx.WorkingDirectory;
    ctx.CFG.UploadURL = u"http://127.0.0.1:1/"_s;
    ctx.ShowTable.Filename[1] = app.writeFile(u"shows/a.mp3"_s, "ID3");
    ctx.ShowTable.UploadDay[1] = u"Sun"_s;
    ctx.ShowTable.UploadTime[1] = u"14:03"_s;
    window.show();
    // No curl anywhere: the launch error comes up in a box in the middle of the upload.
    EXPECT_TRUE(stopsWhileOpen([&] { controller.timerTick(); }));
    expectTexts(app.auditTexts().mid(app.auditTexts().size() - 5),
                {u"Shell32Bit| Error: 2 - "_s + qt_error_string(2),
                 u"UploadShow| Upload FAILED: curl could not be started"_s,
                 u"UploadShow| Uploading: Finished Upload."_s,
                 u"Form_Unload| Application Closing."_s, TestApp::hyphens()});
}

TEST_F(StopTest, TheFileDialogOfAManualUploadIsClosedToo)
{
    window.show();
    EXPECT_TRUE(stopsWhileOpen([&] { controller.manualUpload(); }));
}

TEST_F(StopTest, TheClosingLinesWaitForTheOuterUploadWhenAnInnerOneEndsFirst)
{
    ctx.CFG.LocalAppFolder = app.ctx.CFG.LocalAppFolder;
    ctx.WorkingDirectory = app.ctx.WorkingDirectory;
    const QString curl = app.writeFile(u"program/curl"_s, "#!/bin/sh\nexec sleep 30\n");
    QFile::setPermissions(curl, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    for (const int show : {1, 2, 3}) {
        ctx.ShowTable.Filename[show] = app.writeFile(u"shows/a.mp3"_s, "ID3");
        ctx.ShowTable.UploadDay[show] = u"Sun"_s;
        ctx.ShowTable.UploadTime[show] = u"14:0%1"_s.arg(show + 2);
    }
    // Show 2's upload starts inside show 1's, and the close comes while both run; show 3, due in
    // a minute begun after the close, is not started.
    QTimer::singleShot(0, &controller, &AppController::timerTick);
    QTimer::singleShot(300, [&] {
        app.clock.set(TestApp::sunday().date(), QTime(14, 4, 1));
        controller.timerTick();
    });
    QTimer::singleShot(600, [&] {
        window.close();
        app.clock.set(TestApp::sunday().date(), QTime(14, 5, 1));
        controller.timerTick();
    });
    bool early = false;
    QObject::connect(&controller, &AppController::readyToClose,
                     [&] { early = early || controller.isBusy(); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller.isUnloaded(); }, 10000));
    EXPECT_FALSE(early);
    const QStringList texts = app.auditTexts();
    EXPECT_EQ(texts.filter(u"Uploading: Finished Upload."_s).size(), 2);
    EXPECT_EQ(texts.filter(u"Show 3"_s), QStringList{});
    EXPECT_EQ(texts.last(), TestApp::hyphens());
}

} // namespace

#include "WindowsTest.moc"
