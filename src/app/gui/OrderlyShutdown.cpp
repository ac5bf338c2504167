#include "app/gui/OrderlyShutdown.h"

#include "app/core/AppController.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QSessionManager>
#include <QWidget>

void connectOrderlyShutdown(QApplication &app, QWidget &window, AppController &controller,
                            TerminationSignals &termination)
{
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &window,
                     [&window](int) { window.close(); });
    // The session the window belongs to hung up: nobody is left to use it.
    QObject::connect(&termination, &TerminationSignals::hangUp, &window, &QWidget::close);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager &) { window.close(); });
    QObject::connect(&termination, &TerminationSignals::sessionEnding, &controller,
                     &AppController::unload);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &controller,
                     [&controller] { controller.unload(); });
    // Queued, so it reaches whatever event loop runs when the closing lines are written, a box's
    // included, and ends them all.
    QObject::connect(&controller, &AppController::unloaded, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
}
