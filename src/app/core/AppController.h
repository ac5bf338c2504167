#pragma once

#include <QObject>

class AppContext;

// The program's event handlers as the window (or a headless run) calls them. It keeps a
// failure in one handler from reaching the event loop, and holds a close back until every
// running upload has finished its own steps, so each run leaves one complete audit block.
class AppController : public QObject
{
    Q_OBJECT

public:
    explicit AppController(AppContext &ctx, QObject *parent = nullptr);

    void load();
    void timerTick();
    void manualUpload();
    void refreshConfig();
    // True when the program may close now. Otherwise running uploads are being stopped and
    // readyToClose() follows once they have wound up.
    bool requestClose();
    // Writes the closing lines; later calls do nothing.
    void unload();

    bool isBusy() const { return m_depth > 0; }
    bool isUnloaded() const { return m_unloaded; }

signals:
    void readyToClose();

private:
    template <typename Handler>
    void run(const QString &routine, Handler &&handler);

    AppContext &m_ctx;
    int m_depth = 0;
    bool m_unloaded = false;
};
