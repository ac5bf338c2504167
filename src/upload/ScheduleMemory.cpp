#include "upload/ScheduleMemory.h"

#include <QTimeZone>

QDateTime ScheduleMemory::wallMinute(const QDateTime &now)
{
    return QDateTime(now.date(), QTime(now.time().hour(), now.time().minute()), QTimeZone::utc());
}

qint64 ScheduleMemory::key(const QDateTime &minute)
{
    return minute.toSecsSinceEpoch() / 60;
}

bool ScheduleMemory::isHandled(const QDateTime &minute) const
{
    return m_slots.contains(key(minute));
}

void ScheduleMemory::markHandled(const QDateTime &minute)
{
    m_slots.insert(key(minute));
    m_last = minute;
}

QList<QDateTime> ScheduleMemory::missedBefore(const QDateTime &minute, int limit) const
{
    QList<QDateTime> missed;
    if (!m_last.isValid() || limit <= 0)
        return missed;
    QDateTime candidate = std::max(m_last.addSecs(60), minute.addSecs(-60LL * limit));
    for (; candidate < minute; candidate = candidate.addSecs(60)) {
        if (!isHandled(candidate))
            missed.append(candidate);
    }
    return missed;
}

void ScheduleMemory::forgetBefore(const QDate &date)
{
    const qint64 oldest = key(QDateTime(date, QTime(0, 0), QTimeZone::utc()));
    m_slots.removeIf([oldest](qint64 slot) { return slot < oldest; });
}
