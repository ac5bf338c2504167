#pragma once

#include "core/UploadWatch.h"
#include "monitoring/MetricsFile.h"
#include "monitoring/Pinger.h"
#include "monitoring/UploadCounters.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>

#include <functional>
#include <optional>

class AppContext;

// When a show is due, as the schedule works it out.
struct ShowTimes
{
    QDateTime nextUpload; // invalid when none is ahead
    QDateTime lastDue;    // invalid when it has not been due yet
};

// What the monitor asks of the rest of the program.
struct MonitorSources
{
    // Nothing for a show that is not configured, or whose one date has passed.
    std::function<std::optional<ShowTimes>(int show, const QDateTime &now)> showTimes;
    // The shows' finished tries that the upload history still holds, oldest first.
    std::function<QList<WatchedTry>(const QDateTime &now)> pastTries;
};

// The station seen from outside: pings to a monitor when a show starts and ends and while the
// program runs, and the figures for Prometheus, written every minute and after every upload.
class Monitor : public QObject, public UploadWatch
{
    Q_OBJECT

public:
    // How long a close waits for pings still going out.
    static constexpr int CloseWaitMs = 3000;

    Monitor(AppContext &ctx, MonitorSources sources, QObject *parent = nullptr);

    // Once the configuration is read: the counts and last results are taken up, and the first
    // figures written.
    void start();
    // Each tick of the schedule timer; a new minute writes the figures.
    void tick();
    // The configuration was read again.
    void configChanged();
    // An orderly close: the figures say the program is down, and pings still going out are
    // waited for a moment.
    void close();

    void curlStarting(int show) override;
    void tryEnded(const WatchedTry &attempt) override;

private:
    struct LastUpload
    {
        QString result;
        qint64 bytesSent = 0;
        double seconds = 0;
        QDateTime lastSuccess;
        double recordingSeconds = 0;
    };
    struct CachedTimes
    {
        std::optional<ShowTimes> times;
        QDateTime worked; // when they were worked out
    };

    void note(const WatchedTry &attempt);
    std::optional<ShowTimes> timesOf(int show, const QDateTime &now);
    void alivePing(const QDateTime &now);
    void writeMetrics(bool up = true);

    AppContext &m_ctx;
    MonitorSources m_sources;
    Pinger m_pinger;
    MetricsFile m_file;
    UploadCounters m_counters;
    QHash<int, LastUpload> m_last;
    QHash<int, CachedTimes> m_times;
    QDateTime m_started;
    QDateTime m_lastTick;
    QDateTime m_lastAlive;
    bool m_closed = false;
};
