#include "StallMeter.h"

StallMeter::StallMeter(int intervalMs, QObject *parent) : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &StallMeter::mark);
}

void StallMeter::start()
{
    m_longestNs = 0;
    m_clock.start();
    m_lastNs = 0;
    m_timer.start();
}

void StallMeter::stop()
{
    mark();
    m_timer.stop();
}

void StallMeter::mark()
{
    const qint64 now = m_clock.nsecsElapsed();
    m_longestNs = qMax(m_longestNs, now - m_lastNs);
    m_lastNs = now;
}
