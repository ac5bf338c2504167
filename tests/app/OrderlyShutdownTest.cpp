#include "app/gui/OrderlyShutdown.h"

#include "app/core/AppController.h"
#include "app/gui/MainWindow.h"
#include "platform/TerminationSignals.h"
#include "support/QtPrinters.h"
#include "support/TestApp.h"

#include <QApplication>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>

namespace {

const QDate Today(2017, 7, 20);

QStringList closingLines()
{
    return {QStringLiteral("Form_Unload| Application Closing."), QString(108, u'-')};
}

// The program as main() puts it together, on a fixed clock in a temporary home.
class OrderlyShutdownTest : public ::testing::Test
{
protected:
    OrderlyShutdownTest()
    {
        QFile::link(QStringLiteral("/usr/bin/curl"), app.programFolder() + QStringLiteral("/curl"));
        app.writeConfig("[General]\r\nUploadURL=http://127.0.0.1:9/upload\r\n");
        app.ctx.setView(&window);
        connectOrderlyShutdown(*qobject_cast<QApplication *>(QCoreApplication::instance()), window,
                               controller, termination);
        controller.load();
        window.show();
    }
    ~OrderlyShutdownTest() override { app.ctx.setView(nullptr); }

    TestApp app{QDateTime(Today, QTime(14, 3, 27))};
    AppController controller{app.ctx};
    MainWindow window{app.ctx, controller};
    TerminationSignals termination;
};

} // namespace

TEST_F(OrderlyShutdownTest, TerminationSignalClosesTheWindowAndKeepsWhatWasBuffered)
{
    controller.refreshConfig();
    const QStringList buffered = app.heldTexts();
    ASSERT_FALSE(buffered.isEmpty());

    ASSERT_EQ(std::raise(SIGTERM), 0);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window.isVisible(); }, 5000));

    const QStringList texts = app.auditTexts(Today);
    EXPECT_EQ(texts.mid(texts.size() - buffered.size() - 2), QStringList()
                                                                 << buffered << closingLines());
    EXPECT_TRUE(app.ctx.Audit.heldLines().isEmpty());
}

TEST_F(OrderlyShutdownTest, ApplicationEndingWithTheWindowOpenStillClosesTheBlock)
{
    // The end of the desktop session can end the event loop without closing the window.
    QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
    QApplication::exec();

    EXPECT_TRUE(app.auditTexts(Today).endsWith(closingLines().last()));
    window.close();
    EXPECT_EQ(app.auditTexts(Today).count(closingLines().first()), 1);
}
