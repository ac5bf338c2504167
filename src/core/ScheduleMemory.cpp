#include "core/ScheduleMemory.h"

#include <QTimeZone>

#include <algorithm>

namespace {

const QByteArray Header = "Tunebarn Uploader schedule state 1";
const QString MinuteFormat = QStringLiteral("yyyy-MM-ddTHH:mm");

QByteArray minuteText(const QDateTime &minute)
{
    return minute.toString(MinuteFormat).toLatin1();
}

QDateTime parseMinute(const QByteArray &text)
{
    QDateTime minute = QDateTime::fromString(QString::fromLatin1(text), MinuteFormat);
    if (!minute.isValid())
        return {};
    minute.setTimeZone(QTimeZone::utc());
    return minute;
}

// "interrupted MINUTE SHOW sent|unsent", with "SIZE MODIFIED" after it once curl had run.
std::optional<ScheduleMemory::Interrupted> interruptedFrom(const QList<QByteArray> &words,
                                                           const QDateTime &minute)
{
    if ((words.size() != 4 && words.size() != 6) || (words[3] != "sent" && words[3] != "unsent"))
        return std::nullopt;
    bool ok = false;
    ScheduleMemory::Interrupted cut{minute, words[2].toInt(&ok), words[3] == "sent"};
    if (!ok)
        return std::nullopt;
    if (words.size() == 4)
        return cut;
    bool sizeOk = false;
    bool timeOk = false;
    cut.recordingSize = words[4].toLongLong(&sizeOk);
    cut.recordingModified =
        QDateTime::fromMSecsSinceEpoch(words[5].toLongLong(&timeOk), QTimeZone::utc());
    if (!sizeOk || !timeOk || cut.recordingSize < 0)
        return std::nullopt;
    return cut;
}

} // namespace

QDateTime ScheduleMemory::wallMinute(const QDateTime &now)
{
    return QDateTime(now.date(), QTime(now.time().hour(), now.time().minute()), QTimeZone::utc());
}

qint64 ScheduleMemory::key(const QDateTime &minute)
{
    return minute.toSecsSinceEpoch() / 60;
}

QDateTime ScheduleMemory::minuteOf(qint64 key)
{
    return QDateTime::fromSecsSinceEpoch(key * 60, QTimeZone::utc());
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

QByteArray ScheduleMemory::toText() const
{
    QList<qint64> keys(m_slots.cbegin(), m_slots.cend());
    std::sort(keys.begin(), keys.end());
    QByteArray text = Header + '\n';
    for (qsizetype first = 0; first < keys.size();) {
        qsizetype last = first;
        while (last + 1 < keys.size() && keys[last + 1] == keys[last] + 1)
            ++last;
        text += "handled " + minuteText(minuteOf(keys[first])) + ' ' +
                minuteText(minuteOf(keys[last])) + '\n';
        first = last + 1;
    }
    if (m_last.isValid())
        text += "last " + minuteText(m_last) + '\n';
    for (const Started &started : m_started)
        text +=
            "started " + minuteText(started.minute) + ' ' + QByteArray::number(started.show) + '\n';
    for (const Interrupted &cut : m_interrupted) {
        text += "interrupted " + minuteText(cut.minute) + ' ' + QByteArray::number(cut.show) +
                (cut.bodySent ? " sent" : " unsent");
        if (cut.recordingSize >= 0)
            text += ' ' + QByteArray::number(cut.recordingSize) + ' ' +
                    QByteArray::number(cut.recordingModified.toMSecsSinceEpoch());
        text += '\n';
    }
    return text;
}

std::optional<ScheduleMemory> ScheduleMemory::fromText(const QByteArray &text)
{
    const QList<QByteArray> lines = text.split('\n');
    if (lines.value(0) != Header)
        return std::nullopt;
    ScheduleMemory memory;
    for (qsizetype index = 1; index < lines.size(); ++index) {
        const QList<QByteArray> words = lines[index].split(' ');
        if (words == QList<QByteArray>{QByteArray()})
            continue;
        const QDateTime first = parseMinute(words.value(1));
        if (!first.isValid())
            return std::nullopt;
        if (words[0] == "handled" && words.size() == 3) {
            const QDateTime last = parseMinute(words[2]);
            // A damaged range must not make a loop of years.
            if (!last.isValid() || last < first || key(last) - key(first) > 3 * 24 * 60)
                return std::nullopt;
            for (qint64 slot = key(first); slot <= key(last); ++slot)
                memory.m_slots.insert(slot);
        } else if (words[0] == "last" && words.size() == 2) {
            memory.m_last = first;
        } else if (words[0] == "started" && words.size() == 3) {
            bool ok = false;
            const int show = words[2].toInt(&ok);
            if (!ok)
                return std::nullopt;
            memory.m_started.append({first, show});
        } else if (words[0] == "interrupted") {
            const std::optional<Interrupted> cut = interruptedFrom(words, first);
            if (!cut)
                return std::nullopt;
            memory.m_interrupted.append(*cut);
        } else {
            return std::nullopt;
        }
    }
    return memory;
}
