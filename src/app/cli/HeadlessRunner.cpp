#include "app/cli/HeadlessRunner.h"

#include "app/cli/StderrView.h"
#include "app/core/AppController.h"
#include "app/core/Lifecycle.h"
#include "core/AppContext.h"
#include "platform/ConsoleOutput.h"
#include "platform/InstanceLock.h"
#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QTimer>

int runHeadless(QCoreApplication &app, Platform &platform)
{
    InstanceLock lock(localAppFolder(platform.environment));
    if (!lock.tryLock()) {
        ConsoleOutput::write(ConsoleOutput::Stream::Error,
                             QStringLiteral("Tunebarn Uploader is already running.\n"));
        return 1;
    }
    AppContext ctx(platform);
    StderrView view;
    ctx.setView(&view);
    AppController controller(ctx);

    QTimer timer;
    controller.attachTimer(timer);
    timer.start();

    const auto finish = [&] {
        timer.stop();
        controller.unload();
        app.quit();
    };
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &app, [&](int) {
        if (controller.requestClose())
            finish();
    });
    QObject::connect(&termination, &TerminationSignals::sessionEnding, &app, finish);
    QObject::connect(&controller, &AppController::readyToClose, &app, finish);
    // The service manager's reload: the configuration is read again, as Refresh Config does.
    QObject::connect(&termination, &TerminationSignals::hangUp, &controller,
                     &AppController::refreshConfig);

    controller.load();
    // A signal served while start-up yielded has closed the program already.
    if (controller.isUnloaded())
        return 0;
    return app.exec();
}
