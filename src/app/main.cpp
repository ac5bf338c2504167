#include "app/cli/CommandLineMode.h"
#include "app/core/AppController.h"
#include "app/core/Lifecycle.h"
#include "app/gui/MainWindow.h"
#include "app/gui/OrderlyShutdown.h"
#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/ConsoleOutput.h"
#include "platform/DesignFont.h"
#include "platform/DesktopLauncher.h"
#include "platform/DisplayCheck.h"
#include "platform/Environment.h"
#include "platform/EventPump.h"
#include "platform/FontConfiguration.h"
#include "platform/InstanceLock.h"
#include "platform/QtDialogs.h"
#include "platform/SettingsStore.h"
#include "platform/StderrDialogs.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QImageReader>
#include <QTimer>

#include <thread>

namespace {

int runWindow(QApplication &app)
{
    // Qt loads every image format plugin before it reads the first image, the menu bar's icons
    // included; loaded on another core while the window's fonts load, they hold up nothing.
    std::jthread imagePlugins([] { QImageReader::supportedImageFormats(); });
    SystemClock clock;
    QtDialogs windowDialogs;
    StderrDialogs lineDialogs;
    // Where no one can see a box, its text goes to standard error and nothing waits for a click.
    Dialogs &dialogs = windowsCanBeSeen() ? static_cast<Dialogs &>(windowDialogs) : lineDialogs;
    QtEventPump events;
    Environment environment;
    UserSettingsStore settings(environment);
    DesktopLauncher desktop([&dialogs](const QString &failure) {
        dialogs.showMessage(failure, AppContext::applicationTitle(), Dialogs::Icon::Critical);
    });
    Platform platform{clock, dialogs, events, settings, environment, desktop};

    InstanceLock lock(localAppFolder(environment));
    if (!lock.tryLock()) {
        dialogs.showMessage(QStringLiteral("Tunebarn Uploader is already running."),
                            AppContext::applicationTitle(), Dialogs::Icon::Critical);
        return 1;
    }

    AppContext ctx(platform);
    AppController controller(ctx);
    MainWindow window(ctx, controller);
    imagePlugins.join();
    ctx.setView(&window);
    TerminationSignals termination;
    connectOrderlyShutdown(app, window, controller, termination);

    controller.load();
    // A termination signal served while a start-up box was open has already closed the window.
    if (controller.isUnloaded())
        return 0;
    window.show();
    // The tray waits until the first flush is on disk and the window is up.
    QTimer::singleShot(0, &window, &MainWindow::addTrayIcon);
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    // Any argument makes this a command-line tool; a plain start opens the window.
    if (argc > 1)
        return runCommandLine(argc, argv);
    const QString noDisplay = missingDisplayReason();
    if (!noDisplay.isEmpty()) {
        ConsoleOutput::write(ConsoleOutput::Stream::Error,
                             QStringLiteral("tunebarn-uploader: %1\n").arg(noDisplay));
        return 1;
    }
    std::jthread fontConfiguration = loadFontConfiguration();
    QApplication app(argc, argv);
    QApplication::setApplicationName(AppContext::applicationTitle());
    QApplication::setApplicationVersion(AppContext::versionText());
    // Joined before the toolkit's first font, which would otherwise load the configuration again.
    fontConfiguration.join();
    DesignFont::loadStandIns();
    return runWindow(app);
}
