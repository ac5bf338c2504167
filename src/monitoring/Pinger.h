#pragma once

#include <QObject>
#include <QString>

#include <map>

class AppContext;
class ChildProcess;

// Tells a monitor (the healthchecks convention) how things go, through curl, in the background:
// nothing waits for a ping. Pings to one address go out one after the other, in the order
// asked; a ping that fails is tried once more, and one that fails again is a warning.
class Pinger : public QObject
{
    Q_OBJECT

public:
    static constexpr int TimeLimitSeconds = 10;
    static constexpr int RetryDelayMs = 5000;

    enum class Kind
    {
        Start,   // <url>/start
        Success, // <url>
        Fail,    // <url>/fail
        Alive    // <url>
    };

    explicit Pinger(AppContext &ctx, QObject *parent = nullptr);
    ~Pinger() override;

    // `body`, when given, is posted with the ping.
    void ping(const QString &url, Kind kind, const QString &body = {});
    bool isIdle() const { return m_lanes.empty(); }
    // Waits at most `milliseconds` for the pings still to go, with events running, then gives
    // up the rest.
    void finish(int milliseconds);

signals:
    void idle();

private:
    struct Ping
    {
        Kind kind;
        QString body;
        int tries = 0;
    };
    struct Lane
    {
        std::vector<Ping> queue;
        ChildProcess *running = nullptr;
    };

    void startFront(const QString &url);
    void ended(const QString &url);
    void dropFront(const QString &url);
    void warn(const QString &url, const Ping &ping, const QString &what);

    AppContext &m_ctx;
    std::map<QString, Lane> m_lanes;
    bool m_finishing = false;
};
