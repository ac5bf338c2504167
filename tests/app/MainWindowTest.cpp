#include "app/gui/MainWindow.h"

#include "about/AboutDialog.h"
#include "app/core/AppController.h"
#include "app/gui/Twips.h"
#include "support/QtPrinters.h"
#include "support/TestApp.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct DesignControl
{
    const char *name;
    const char *parent;
    int left, top, width, height;
};

const DesignControl Controls[] = {
    {"Frame1", "client", 120, 0, 5295, 1455},   {"Label2", "Frame1", 240, 480, 4815, 375},
    {"Label1", "Frame1", 240, 1080, 3255, 375}, {"Check1", "Frame1", 3720, 1080, 1455, 315},
    {"Text2", "client", 120, 2040, 5295, 375},  {"Label3", "client", 120, 1560, 855, 255},
};

const QByteArray ShowDueAt1404 =
    "[General]\nUploadURL=http://127.0.0.1:9/upload\n"
    "[Show1]\nFilename=/nowhere/show.mp3\nTitle=Sunday Show\nDescription=d\n"
    "UploadDay=Sun\nUploadTime=14:04\n";

class MainWindowTest : public ::testing::Test
{
protected:
    MainWindowTest() { app.ctx.setView(&window); }
    ~MainWindowTest() override { app.ctx.setView(nullptr); }

    template <typename T> T *control(const char *name)
    {
        T *found = window.findChild<T *>(QString::fromLatin1(name));
        if (!found)
            ADD_FAILURE() << "no control " << name;
        return found;
    }

    QAction *menuItem(const char *name) { return control<QAction>(name); }

    void showAtDesignSize()
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    void makeTaller()
    {
        window.resize(window.width(), window.height() + Twips::forWidget(&window).toPixels(1200));
        QCoreApplication::processEvents();
    }

    TestApp app;
    AppController controller{app.ctx};
    MainWindow window{app.ctx, controller};
};

TEST_F(MainWindowTest, ControlsSitWhereTheDesignPutsThem)
{
    showAtDesignSize();
    const Twips twips = Twips::forWidget(&window);
    EXPECT_EQ(window.centralWidget()->size(), QSize(twips.toPixels(5535), twips.toPixels(1530)));
    for (const DesignControl &design : Controls) {
        SCOPED_TRACE(design.name);
        auto *widget = control<QWidget>(design.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(design.parent));
        EXPECT_EQ(widget->geometry(),
                  twips.rect(design.left, design.top, design.width, design.height));
    }
}

TEST_F(MainWindowTest, DesignSizeShowsOnlyTheStatusFrame)
{
    showAtDesignSize();
    const int clientHeight = window.centralWidget()->height();
    EXPECT_LE(control<QGroupBox>("Frame1")->geometry().bottom(), clientHeight);
    EXPECT_GE(control<QLabel>("Label3")->y(), clientHeight);
    EXPECT_GE(control<QLineEdit>("Text2")->y(), clientHeight);
}

TEST_F(MainWindowTest, ResizingMovesNoControl)
{
    showAtDesignSize();
    QMap<QString, QRect> before;
    for (const DesignControl &design : Controls)
        before.insert(QString::fromLatin1(design.name), control<QWidget>(design.name)->geometry());

    window.resize(window.size() * 2);
    QCoreApplication::processEvents();
    for (const DesignControl &design : Controls)
        EXPECT_EQ(control<QWidget>(design.name)->geometry(),
                  before.value(QString::fromLatin1(design.name)))
            << design.name;
}

TEST_F(MainWindowTest, FrameIsResizableWithMinimiseButNoMaximise)
{
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_NE(window.minimumSize(), window.maximumSize());
}

TEST_F(MainWindowTest, IconIsOneImageOf24Pixels)
{
    EXPECT_EQ(window.windowIcon().availableSizes(), QList<QSize>{QSize(24, 24)});
}

TEST_F(MainWindowTest, FirstShowingIsCentredOnTheScreen)
{
    showAtDesignSize();
    const QPoint screenCentre = window.screen()->availableGeometry().center();
    EXPECT_LE((window.frameGeometry().center() - screenCentre).manhattanLength(), 2);
}

TEST_F(MainWindowTest, LaterShowingsKeepTheOperatorsPlace)
{
    showAtDesignSize();
    window.move(10, 20);
    window.hide();
    window.show();
    EXPECT_EQ(window.pos(), QPoint(10, 20));
}

TEST_F(MainWindowTest, DesignTextsAreNotClipped)
{
    auto fits = [](const QWidget *widget, const QString &text, int available) {
        const QFontMetrics metrics(widget->font());
        EXPECT_LE(metrics.horizontalAdvance(text), available)
            << widget->objectName().toStdString() << ": " << text.toStdString();
        EXPECT_LE(metrics.height(), widget->height())
            << widget->objectName().toStdString() << ": " << text.toStdString();
    };
    auto *label1 = control<QLabel>("Label1");
    // The status texts the other commands write replace "Idle" in the same control.
    for (const QString &status :
         {QStringLiteral("Idle"), QStringLiteral("Config loaded.23:59"),
          QStringLiteral("Config Error.23:59"), QStringLiteral("Uploading..."),
          QStringLiteral("Finished Upload: 23:59:59")})
        fits(label1, status, label1->width());

    auto *frame = control<QGroupBox>("Frame1");
    fits(frame, frame->title(), frame->width());

    auto *check = control<QCheckBox>("Check1");
    const int box = check->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, check) +
                    check->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, check);
    fits(check, check->text(), check->width() - box);
}

TEST_F(MainWindowTest, DesignFontsResolveToTheStandIn)
{
    // Without the stand-in the platform default is about 15% wider and the texts above clip.
    EXPECT_EQ(QFontInfo(control<QLabel>("Label1")->font()).family(),
              QStringLiteral("Liberation Sans"))
        << "install the fonts-liberation package";
}

TEST_F(MainWindowTest, CheckBoxSitsRightOfItsText)
{
    auto *check = control<QCheckBox>("Check1");
    QStyleOptionButton option;
    option.initFrom(check);
    const QRect box = check->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, check);
    const QRect text = check->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, check);
    EXPECT_GE(box.left(), text.right());
    EXPECT_EQ(check->text(), QStringLiteral("Disable Upload:"));
    EXPECT_FALSE(check->isChecked());
}

TEST_F(MainWindowTest, OnlyTheTextBoxAndTheCheckBoxTakeFocusInDesignOrder)
{
    QStringList order;
    QWidget *widget = control<QLineEdit>("Text2");
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order.append(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget->objectName() != QStringLiteral("Text2"));
    EXPECT_EQ(order, (QStringList{QStringLiteral("Text2"), QStringLiteral("Check1")}));
}

TEST_F(MainWindowTest, MenuBarHoldsExactlyTheThreeCommands)
{
    QStringList captions;
    QStringList names;
    for (QAction *action : window.menuBar()->actions()) {
        captions.append(action->text());
        names.append(action->objectName());
        EXPECT_EQ(action->menu(), nullptr);
        EXPECT_TRUE(action->shortcut().isEmpty());
    }
    EXPECT_EQ(captions, (QStringList{QStringLiteral("Manual Upload"),
                                     QStringLiteral("Refresh Config"), QStringLiteral("About")}));
    EXPECT_EQ(names, (QStringList{QStringLiteral("manupmnu"), QStringLiteral("configmnu"),
                                  QStringLiteral("aboutmnu")}));
}

TEST_F(MainWindowTest, RefreshConfigWritesTheStatusLine)
{
    app.writeConfig(ShowDueAt1404);
    menuItem("configmnu")->trigger();
    EXPECT_EQ(control<QLabel>("Label1")->text(), QStringLiteral("Config loaded.14:03"));
}

TEST_F(MainWindowTest, RefreshConfigWithoutAFileLeavesIdle)
{
    menuItem("configmnu")->trigger();
    EXPECT_EQ(control<QLabel>("Label1")->text(), QStringLiteral("Idle"));
    ASSERT_EQ(app.dialogs.messages().size(), 1);
    EXPECT_EQ(app.dialogs.messages().first().title, QStringLiteral("File doesnt exist."));
}

TEST_F(MainWindowTest, ManualUploadAsksForTheRecording)
{
    menuItem("manupmnu")->trigger();
    ASSERT_FALSE(app.dialogs.shown.isEmpty());
    EXPECT_EQ(app.dialogs.shown.first().kind, QStringLiteral("file"));
}

TEST_F(MainWindowTest, BlankLabelTogglesTheCommandLine)
{
    showAtDesignSize();
    makeTaller();
    auto *text2 = control<QLineEdit>("Text2");
    auto *label3 = control<QLabel>("Label3");
    EXPECT_TRUE(text2->isHidden());
    QTest::mouseClick(label3, Qt::LeftButton);
    EXPECT_TRUE(text2->isVisible());
    QTest::mouseClick(label3, Qt::LeftButton);
    EXPECT_TRUE(text2->isHidden());
}

TEST_F(MainWindowTest, CommandLineKeepsTheLastCommandWhileHidden)
{
    showAtDesignSize();
    makeTaller();
    app.ctx.view().setCommandText(QStringLiteral("curl -F \"mp3=@/a.mp3\" http://127.0.0.1/first"));
    app.ctx.view().setCommandText(
        QStringLiteral("curl -F \"mp3=@/b.mp3\" http://127.0.0.1/second"));
    auto *text2 = control<QLineEdit>("Text2");
    EXPECT_TRUE(text2->isHidden());
    QTest::mouseClick(control<QLabel>("Label3"), Qt::LeftButton);
    EXPECT_EQ(text2->text(), QStringLiteral("curl -F \"mp3=@/b.mp3\" http://127.0.0.1/second"));
}

TEST_F(MainWindowTest, StatusTitleAndCaptionShowWhatTheCoreReports)
{
    app.ctx.view().setStatusText(QStringLiteral("Uploading..."));
    app.ctx.view().setTitleText(QStringLiteral("Sunday Show - 06th December 2026"));
    app.ctx.view().setCaption(QStringLiteral("Tunebarn Uploader: 14:03"));
    EXPECT_EQ(control<QLabel>("Label1")->text(), QStringLiteral("Uploading..."));
    EXPECT_EQ(control<QLabel>("Label2")->text(),
              QStringLiteral("Sunday Show - 06th December 2026"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tunebarn Uploader: 14:03"));
}

TEST_F(MainWindowTest, TickedCheckBoxStopsTheScheduledUpload)
{
    showAtDesignSize();
    app.writeConfig(ShowDueAt1404);
    menuItem("configmnu")->trigger();
    QTest::mouseClick(control<QCheckBox>("Check1"), Qt::LeftButton);
    EXPECT_TRUE(app.ctx.view().uploadsDisabled());

    app.clock.set(QDate(2026, 12, 6), QTime(14, 4, 2));
    controller.timerTick();
    EXPECT_FALSE(
        app.auditTexts(QDate(2026, 12, 6)).join(u'\n').contains(QStringLiteral("Time found")));
}

TEST_F(MainWindowTest, UntickedCheckBoxLetsTheScheduledUploadStart)
{
    app.writeConfig(ShowDueAt1404);
    menuItem("configmnu")->trigger();
    EXPECT_FALSE(app.ctx.view().uploadsDisabled());

    app.clock.set(QDate(2026, 12, 6), QTime(14, 4, 2));
    controller.timerTick();
    EXPECT_TRUE(
        app.auditTexts(QDate(2026, 12, 6)).join(u'\n').contains(QStringLiteral("Time found")));
}

TEST_F(MainWindowTest, TimerRunsOnWhileTheAboutWindowIsOpen)
{
    auto *timer = control<QTimer>("Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 5000);
    EXPECT_TRUE(timer->isActive());
    // A short interval keeps the test quick; the tick itself is the real one.
    timer->setInterval(20);
    showAtDesignSize();

    bool aboutWasOpen = false;
    QString captionWhileOpen;
    QTimer::singleShot(0, [&] {
        auto *about = qobject_cast<AboutDialog *>(QApplication::activeModalWidget());
        aboutWasOpen = about != nullptr;
        app.clock.set(QDate(2026, 12, 6), QTime(14, 4, 0));
        if (!QTest::qWaitFor(
                [&] { return window.windowTitle() == QStringLiteral("Tunebarn Uploader: 14:04"); },
                5000))
            ADD_FAILURE() << "no tick arrived while the About window was open";
        captionWhileOpen = window.windowTitle();
        if (about)
            about->accept();
    });
    menuItem("aboutmnu")->trigger();

    EXPECT_TRUE(aboutWasOpen);
    EXPECT_EQ(captionWhileOpen, QStringLiteral("Tunebarn Uploader: 14:04"));
}

} // namespace
