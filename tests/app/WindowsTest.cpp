#include "about/AboutDialog.h"
#include "app/core/AppController.h"
#include "app/gui/MainWindow.h"
#include "platform/QtDialogs.h"
#include "platform/Twips.h"
#include "support/ProgramRun.h"
#include "support/TestApp.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

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
    const Twips twips = Twips::forWidget(&about);
    EXPECT_EQ(about.size(), QSize(twips.toPixels(7005), twips.toPixels(3090)));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    expectDesign(about, {{"lblTitle", "frmAbout", 1680, 240, 3885, 480},
                         {"lblVersion", "frmAbout", 1680, 780, 3885, 225},
                         {"Label3", "frmAbout", 1680, 1200, 3885, 345},
                         {"Label2", "frmAbout", 120, 1560, 3885, 285},
                         {"Label1", "frmAbout", 120, 1920, 6765, 465},
                         {"Command3", "frmAbout", 1440, 2640, 1260, 345},
                         {"Command2", "frmAbout", 2760, 2640, 1260, 345},
                         {"Command1", "frmAbout", 4200, 2640, 1260, 345},
                         {"cmdOK", "frmAbout", 5640, 2640, 1260, 345}});
    EXPECT_EQ(clipped(about), QStringList());
    const QImage picture = about.grab().toImage();
    EXPECT_EQ(picture.pixelColor(twips.toPixels(3000), twips.toPixels(2445)),
              QColor(128, 128, 128));
    EXPECT_EQ(picture.pixelColor(twips.toPixels(3000), twips.toPixels(2460)),
              QColor(255, 255, 255));
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
    StopTest() { ctx.setView(&window); }
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
        if (!QTest::qWaitFor([&] { return controller.isUnloaded() && modalReturnedAt >= 0; },
                             10000))
            return false;
        return modalReturnedAt < 5000 && !window.isVisible();
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
    ctx.CFG.LocalAppFolder = app.ctx.CFG.LocalAppFolder;
    window.show();
    EXPECT_TRUE(stopsWhileOpen([&] { control<QAction>(window, "aboutmnu")->trigger(); }));
    EXPECT_TRUE(app.auditTexts().contains(u"Form_Unload| Application Closing."_s));
}

TEST_F(StopTest, BoxesInsideHandlersAreClosedAndTheHandlersFinishTheirLines)
{
    ctx.CFG.LocalAppFolder = app.ctx.CFG.LocalAppFolder;
    ctx.WorkingDirectory = app.ctx.WorkingDirectory;
    ctx.CFG.UploadURL = u"http://127.0.0.1:1/"_s;
    ctx.ShowTable.Filename[1] = app.writeFile(u"shows/a.mp3"_s, "ID3");
    ctx.ShowTable.UploadDay[1] = u"Sun"_s;
    ctx.ShowTable.UploadTime[1] = u"14:03"_s;
    window.show();
    // No curl anywhere: the launch error comes up in a box in the middle of the upload.
    EXPECT_TRUE(stopsWhileOpen([&] { controller.timerTick(); }));
    expectTexts(app.auditTexts().mid(app.auditTexts().size() - 5),
                {u"Shell32Bit| Error: 2 - No such file or directory"_s,
                 u"UploadShow| Upload FAILED: curl could not be started"_s,
                 u"UploadShow| Uploading: Finished Upload."_s,
                 u"Form_Unload| Application Closing."_s, hyphens()});
}

TEST_F(StopTest, TheFileDialogOfAManualUploadIsClosedToo)
{
    window.show();
    EXPECT_TRUE(stopsWhileOpen([&] { controller.manualUpload(); }));
}

} // namespace
