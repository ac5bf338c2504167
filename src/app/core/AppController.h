#pragma once

#include "monitoring/Monitor.h"

#include <QObject>

class AppContext;
class QTimer;

// The program's event handlers as the window (or a headless run) calls them. It keeps a
// failure in one handler from reaching the event loop, and holds a close back until every
// running upload has finished its own steps, so each run leaves one complete audit block.
class AppController : public QObject
{
    Q_OBJECT

public:
    static constexpr int TimerIntervalMs = 5000;

    explicit AppController(AppContext &ctx, QObject *parent = nullptr);
    ~AppController() override;

    // Start-up; what was missed while the program was not running is caught up right after.
    void load();
    // Serves the schedule timer's ticks, also while a handler waits inside a tick, and sets
    // their pace, the same for the window and the headless service.
    void attachTimer(QTimer &timer);
    void timerTick();
    void manualUpload();
    void refreshConfig();
    // True when the program may close now. Otherwise running handlers are winding up (their
    // commands stopped, their waits cut short) and readyToClose() follows once they have.
    bool requestClose();
    // Writes the closing lines; later calls do nothing.
    void unload();

    bool isBusy() const { return m_depth > 0; }
    bool isUnloaded() const { return m_unloaded; }

signals:
    void readyToClose();
    void unloaded();

private:
    template <typename Handler> void run(const QString &routine, Handler &&handler);

    AppContext &m_ctx;
    Monitor m_monitor;
    int m_depth = 0;
    bool m_unloaded = false;
};
