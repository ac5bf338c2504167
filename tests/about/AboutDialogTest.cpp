#include "about/AboutDialog.h"

#include "about/DebugText.h"
#include "app/gui/Twips.h"
#include "support/QtPrinters.h"
#include "support/TestApp.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct DesignControl
{
    const char *name;
    int left, top, width, height;
};

const DesignControl Controls[] = {
    {"Image1", 120, 240, 1020, 1020},     {"lblTitle", 1680, 240, 3885, 480},
    {"lblVersion", 1680, 780, 3885, 225}, {"Label3", 1680, 1200, 3885, 345},
    {"Label2", 120, 1560, 3885, 285},     {"Label1", 120, 1920, 6765, 465},
    {"Command3", 1440, 2640, 1260, 345},  {"Command2", 2760, 2640, 1260, 345},
    {"Command1", 4200, 2640, 1260, 345},  {"cmdOK", 5640, 2640, 1260, 345},
};

class AboutDialogTest : public ::testing::Test
{
protected:
    AboutDialogTest()
    {
        app.ctx.CFG.ConfigPath = app.home() + QStringLiteral("/shared/");
        app.ctx.CFG.LocalAppFolder = app.localAppData() + u'/';
    }

    template <typename T> static T *control(const AboutDialog &about, const char *name)
    {
        T *found = about.findChild<T *>(QString::fromLatin1(name));
        if (!found)
            ADD_FAILURE() << "no control " << name;
        return found;
    }

    QString configFile() const { return app.ctx.CFG.ConfigPath + QStringLiteral("tunebarn.ini"); }

    void click(const char *button)
    {
        AboutDialog about(app.ctx);
        control<QPushButton>(about, button)->click();
    }

    static void showAndActivate(AboutDialog &about)
    {
        about.show();
        about.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    }

    TestApp app;
};

TEST_F(AboutDialogTest, LoadSetsCaptionTitleVersionAndConfigurationFile)
{
    AboutDialog about(app.ctx);
    EXPECT_EQ(about.objectName(), QStringLiteral("frmAbout"));
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Tunebarn Uploader"));
    EXPECT_EQ(control<QLabel>(about, "lblTitle")->text(), QStringLiteral("Tunebarn Uploader"));
    EXPECT_EQ(control<QLabel>(about, "lblVersion")->text(), QStringLiteral("Version 1.0.46"));
    EXPECT_EQ(control<QLabel>(about, "Label2")->text(), QStringLiteral("Configuration File:"));
    EXPECT_FALSE(control<QLabel>(about, "Label3")->text().isEmpty());
    // Shown whether or not the file exists.
    EXPECT_EQ(control<QLabel>(about, "Label1")->text(), configFile());
    EXPECT_EQ(control<QPushButton>(about, "Command3")->text(), QStringLiteral("Debug"));
    EXPECT_EQ(control<QPushButton>(about, "Command2")->text(), QStringLiteral("Config"));
    EXPECT_EQ(control<QPushButton>(about, "Command1")->text(), QStringLiteral("Audits"));
    EXPECT_EQ(control<QPushButton>(about, "cmdOK")->text(), QStringLiteral("OK"));
}

TEST_F(AboutDialogTest, EveryOpeningShowsTheCurrentConfigurationPath)
{
    {
        AboutDialog first(app.ctx);
    }
    app.ctx.CFG.ConfigPath = QStringLiteral("/srv/playout/config/");
    AboutDialog second(app.ctx);
    EXPECT_EQ(control<QLabel>(second, "Label1")->text(),
              QStringLiteral("/srv/playout/config/tunebarn.ini"));
}

TEST_F(AboutDialogTest, ControlsSitWhereTheDesignPutsThem)
{
    AboutDialog about(app.ctx);
    const Twips twips = Twips::forWidget(&about);
    EXPECT_EQ(about.size(), QSize(twips.toPixels(7005), twips.toPixels(3090)));
    for (const DesignControl &design : Controls) {
        SCOPED_TRACE(design.name);
        auto *widget = control<QWidget>(about, design.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(),
                  twips.rect(design.left, design.top, design.width, design.height));
    }
}

TEST_F(AboutDialogTest, PictureIs68PixelsSquare)
{
    AboutDialog about(app.ctx);
    EXPECT_EQ(control<QLabel>(about, "Image1")->pixmap().size(), QSize(68, 68));
}

TEST_F(AboutDialogTest, FixedDialogWithCloseBoxOnly)
{
    AboutDialog about(app.ctx);
    const Qt::WindowFlags flags = about.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
}

TEST_F(AboutDialogTest, ShownCentredOnTheScreen)
{
    AboutDialog about(app.ctx);
    showAndActivate(about);
    const QPoint screenCentre = about.screen()->availableGeometry().center();
    EXPECT_LE((about.frameGeometry().center() - screenCentre).manhattanLength(), 2);
}

TEST_F(AboutDialogTest, EtchedSeparatorIsAGreyLineOverAWhiteOne)
{
    AboutDialog about(app.ctx);
    const QImage image = about.grab().toImage();
    const Twips twips = Twips::forWidget(&about);
    const int greyRow = twips.toPixels(2445);
    const int whiteRow = twips.toPixels(2460);
    for (int x : {twips.toPixels(90), twips.toPixels(3000), twips.toPixels(6840) - 1})
        EXPECT_EQ(image.pixelColor(x, greyRow), QColor(128, 128, 128)) << "x " << x;
    for (int x : {twips.toPixels(105), twips.toPixels(3000), twips.toPixels(5400) - 1}) {
        EXPECT_EQ(image.pixelColor(x, whiteRow), QColor(255, 255, 255)) << "x " << x;
        EXPECT_EQ(image.pixelColor(x, whiteRow + 1), QColor(255, 255, 255)) << "x " << x;
    }
    // The white line is the shorter of the two.
    EXPECT_NE(image.pixelColor(twips.toPixels(6000), whiteRow), QColor(255, 255, 255));
}

TEST_F(AboutDialogTest, DesignTextsAreNotClipped)
{
    AboutDialog about(app.ctx);
    for (const char *name : {"lblTitle", "lblVersion", "Label3", "Label2"}) {
        auto *label = control<QLabel>(about, name);
        const QFontMetrics metrics(label->font());
        EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width()) << name;
        EXPECT_LE(metrics.height(), label->height()) << name;
    }
    for (const char *name : {"Command3", "Command2", "Command1", "cmdOK"}) {
        auto *button = control<QPushButton>(about, name);
        const QFontMetrics metrics(button->font());
        const int margins =
            2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        EXPECT_LE(metrics.horizontalAdvance(button->text()), button->width() - margins) << name;
        EXPECT_LE(metrics.height(), button->height()) << name;
    }
}

TEST_F(AboutDialogTest, OnlyTheButtonsTakeFocusStartingWithOk)
{
    AboutDialog about(app.ctx);
    showAndActivate(about);
    EXPECT_EQ(QApplication::focusWidget(), control<QPushButton>(about, "cmdOK"));

    QStringList order;
    QWidget *widget = control<QPushButton>(about, "cmdOK");
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order.append(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget != control<QPushButton>(about, "cmdOK"));
    EXPECT_EQ(order, (QStringList{QStringLiteral("cmdOK"), QStringLiteral("Command1"),
                                  QStringLiteral("Command2"), QStringLiteral("Command3")}));
}

TEST_F(AboutDialogTest, EnterCloses)
{
    AboutDialog about(app.ctx);
    showAndActivate(about);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(about.isVisible());
}

TEST_F(AboutDialogTest, EscapeCloses)
{
    AboutDialog about(app.ctx);
    showAndActivate(about);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(about.isVisible());
}

TEST_F(AboutDialogTest, OkClosesAModalShowing)
{
    AboutDialog about(app.ctx);
    QTimer::singleShot(0, &about, [&] { control<QPushButton>(about, "cmdOK")->click(); });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
}

TEST_F(AboutDialogTest, AuditsOpensTheAuditFolder)
{
    click("Command1");
    EXPECT_EQ(app.desktop.openedFolders, QStringList{app.auditFolder()});
    EXPECT_TRUE(app.dialogs.shown.isEmpty());
}

TEST_F(AboutDialogTest, ConfigOpensAnExistingConfigurationFile)
{
    app.writeFile(configFile(), "[General]\n");
    click("Command2");
    EXPECT_EQ(app.desktop.editedFiles, QStringList{configFile()});
    EXPECT_TRUE(app.dialogs.shown.isEmpty());
}

TEST_F(AboutDialogTest, ConfigWithoutTheFileDoesNothing)
{
    click("Command2");
    EXPECT_TRUE(app.desktop.editedFiles.isEmpty());
    EXPECT_TRUE(app.dialogs.shown.isEmpty());
}

TEST_F(AboutDialogTest, ConfigIgnoresAFolderOfTheFilesName)
{
    QDir().mkpath(configFile());
    click("Command2");
    EXPECT_TRUE(app.desktop.editedFiles.isEmpty());
}

TEST_F(AboutDialogTest, FailingFileManagerOrEditorIsReported)
{
    app.writeFile(configFile(), "[General]\n");
    app.desktop.failure =
        QStringLiteral("Could not start xdg-open to open the folder: the program was not found.");
    click("Command1");
    click("Command2");
    const auto messages = app.dialogs.messages();
    ASSERT_EQ(messages.size(), 2);
    for (const auto &message : messages) {
        EXPECT_EQ(message.text, app.desktop.failure);
        EXPECT_EQ(message.title, QStringLiteral("Tunebarn Uploader"));
        EXPECT_EQ(message.icon, Dialogs::Icon::Critical);
    }
}

TEST_F(AboutDialogTest, DebugShowsTodaysDateVariablesWithoutIcon)
{
    app.clock.set(QDate(2026, 3, 2), QTime(9, 15, 0));
    click("Command3");
    const auto messages = app.dialogs.messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.first().text, debugText(QDate(2026, 3, 2)));
    EXPECT_TRUE(messages.first().text.contains(QStringLiteral("%date%: 02nd March 2026\n")));
    EXPECT_EQ(messages.first().title, QStringLiteral("Tunebarn Uploader"));
    EXPECT_EQ(messages.first().icon, Dialogs::Icon::None);
}

TEST_F(AboutDialogTest, ButtonsWriteNothingToTheAudit)
{
    app.writeFile(configFile(), "[General]\n");
    const QStringList before = app.ctx.Audit.heldLines();
    click("Command1");
    click("Command2");
    click("Command3");
    EXPECT_EQ(app.ctx.Audit.heldLines(), before);
    EXPECT_FALSE(QFileInfo::exists(app.auditFilePath(QDate(2026, 12, 6))));
}

} // namespace
