#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Tells how long the event loop went without running while a measured piece of work ran: a
// precise timer asks to fire every few milliseconds, and the widest gap between two of its
// shots (or between the start, a shot and the stop) is the longest stall.
class StallMeter : public QObject
{
    Q_OBJECT

public:
    explicit StallMeter(int intervalMs = 2, QObject *parent = nullptr);

    void start();
    void stop();
    double longestStallMs() const { return m_longestNs / 1e6; }

private:
    void mark();

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_longestNs = 0;
};
