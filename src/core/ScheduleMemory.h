#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSet>

#include <optional>

// The date-and-minute slots the schedule has handled, by wall-clock time, so a clock set back
// or a restart never uploads a show twice and minutes that were skipped can be told. Slots
// older than yesterday are forgotten, which keeps it small. It also knows which scheduled
// uploads have started and not yet finished, so that one cut off by a crash can be named, and
// which a stop cut, so that one the service cannot have is sent again.
class ScheduleMemory
{
public:
    struct Started
    {
        QDateTime minute;
        int show = 0;
        bool operator==(const Started &) const = default;
    };
    struct Interrupted
    {
        QDateTime minute;
        int show = 0;
        bool bodySent = false; // the service may have it
        // The recording as curl began to send it, so that another one is never sent in its
        // place; size -1 when curl never ran.
        qint64 recordingSize = -1;
        QDateTime recordingModified{};
    };

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

    void uploadStarted(const QDateTime &minute, int show) { m_started.append({minute, show}); }
    void uploadFinished(const QDateTime &minute, int show)
    {
        m_started.removeOne(Started{minute, show});
    }
    const QList<Started> &unfinished() const { return m_started; }
    void uploadInterrupted(const Interrupted &upload) { m_interrupted.append(upload); }
    const QList<Interrupted> &interrupted() const { return m_interrupted; }
    void forgetInterrupted() { m_interrupted.clear(); }

    // The minutes an earlier run handled count as handled here too, and skipped minutes are
    // counted from its last one until this run marks one.
    void takeOverHandled(const ScheduleMemory &earlier)
    {
        m_slots.unite(earlier.m_slots);
        if (!m_last.isValid())
            m_last = earlier.m_last;
    }

    // A small text: a version line, then "handled FIRST LAST" for each run of minutes,
    // "started MINUTE SHOW" for each unfinished upload and "interrupted MINUTE SHOW sent" (or
    // "unsent") for each one a stop cut, followed by the recording's size and modification time
    // (milliseconds since 1970 UTC) when curl had begun to send it; minutes as yyyy-MM-ddTHH:mm.
    QByteArray toText() const;
    // Nothing when the text is not such a file.
    static std::optional<ScheduleMemory> fromText(const QByteArray &text);

private:
    static qint64 key(const QDateTime &minute);
    static QDateTime minuteOf(qint64 key);

    QSet<qint64> m_slots;
    QDateTime m_last;
    QList<Started> m_started;
    QList<Interrupted> m_interrupted;
};
