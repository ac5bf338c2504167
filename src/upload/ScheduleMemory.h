#pragma once

#include <QDateTime>
#include <QList>
#include <QSet>

// The date-and-minute slots the schedule has handled in this run, by wall-clock time, so a
// clock set back never uploads a show twice and minutes that were skipped can be told.
// Slots older than yesterday are forgotten, which keeps it small.
class ScheduleMemory
{
public:
    // The wall-clock minute of `now`, in a form where adding minutes never meets a summer-time gap.
    static QDateTime wallMinute(const QDateTime &now);

    bool isHandled(const QDateTime &minute) const;
    // Skipped minutes are counted from the minute marked last, not from the latest one: a clock
    // that ran ahead and was put right must not hide the minutes it skips afterwards.
    void markHandled(const QDateTime &minute);
    // Minutes after the one marked last and before `minute`, at most `limit` back, oldest first,
    // not yet handled.
    QList<QDateTime> missedBefore(const QDateTime &minute, int limit) const;
    void forgetBefore(const QDate &date);
    qsizetype size() const { return m_slots.size(); }
    QDateTime lastHandled() const { return m_last; }

private:
    static qint64 key(const QDateTime &minute);

    QSet<qint64> m_slots;
    QDateTime m_last;
};
