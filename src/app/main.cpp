#include "app/core/AppContext.h"
#include "app/core/AppController.h"
#include "app/core/Lifecycle.h"
#include "app/gui/MainWindow.h"
#include "app/gui/OrderlyShutdown.h"
#include "platform/Clock.h"
#include "platform/DesignFont.h"
#include "platform/DesktopLauncher.h"
#include "platform/DisplayCheck.h"
#include "platform/Environment.h"
#include "platform/EventPump.h"
#include "platform/InstanceLock.h"
#include "platform/QtDialogs.h"
#include "platform/SettingsStore.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>

#include <cstdio>

namespace {

void centreOnScreen(QWidget &window)
{
    const QScreen *screen = window.screen();
    if (!screen)
        return;
    window.setGeometry(
        QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window.size(), screen->availableGeometry()));
}

int runWindow(QApplication &app)
{
    SystemClock clock;
    QtDialogs dialogs;
    QtEventPump events;
    Environment environment;
    UserSettingsStore settings(environment);
    DesktopLauncher desktop([&dialogs](const QString &failure) {
        dialogs.showMessage(failure, AppContext::applicationTitle(), Dialogs::Icon::Critical);
    });
    Platform platform{clock, dialogs, events, settings, environment, desktop};

    InstanceLock lock(localAppFolder(environment));
    if (!lock.tryLock()) {
        dialogs.showMessage(QStringLiteral("Tunebarn Uploader is already running."), AppContext::applicationTitle(),
                            Dialogs::Icon::Critical);
        return 1;
    }

    AppContext ctx(platform);
    AppController controller(ctx);
    MainWindow window(ctx, controller);
    ctx.setView(&window);
    TerminationSignals termination;
    connectOrderlyShutdown(app, window, controller, termination);

    controller.load();
    centreOnScreen(window);
    window.show();
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    const QString noDisplay = missingDisplayReason();
    if (!noDisplay.isEmpty()) {
        std::fprintf(stderr, "tunebarn-uploader: %s\n", noDisplay.toLocal8Bit().constData());
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(AppContext::applicationTitle());
    QApplication::setApplicationVersion(AppContext::versionText());
    DesignFont::loadStandIns();
    return runWindow(app);
}
