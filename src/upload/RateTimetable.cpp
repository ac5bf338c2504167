#include "upload/RateTimetable.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace {

constexpr int MinutesPerDay = 24 * 60;

// rclone's own multipliers; a rate of more than this many bytes a second is no rate.
constexpr double MaxBytesPerSecond = 1e15;

std::optional<qint64> bytesPerSecond(const QString &rate)
{
    if (rate.compare(QStringLiteral("off"), Qt::CaseInsensitive) == 0)
        return 0;
    static const QRegularExpression form(QStringLiteral("^(\\d+\\.?\\d*|\\.\\d+)([bkmgtp]?)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(rate);
    if (!match.hasMatch())
        return std::nullopt;
    const QString suffix = match.captured(2).toLower();
    const int shift = suffix == u'b'   ? 0
                      : suffix == u'm' ? 20
                      : suffix == u'g' ? 30
                      : suffix == u't' ? 40
                      : suffix == u'p' ? 50
                                       : 10;
    const double bytes = std::ldexp(match.captured(1).toDouble(), shift);
    if (bytes > MaxBytesPerSecond)
        return std::nullopt;
    return qint64(bytes);
}

// Of an UP:DOWN pair the first is the upload's; the other must still be a rate.
std::optional<qint64> uploadRate(const QString &value, QString *problem)
{
    const QStringList pair = value.split(u':');
    const std::optional<qint64> up = bytesPerSecond(pair.constFirst());
    if (pair.size() <= 2 && up && (pair.size() == 1 || bytesPerSecond(pair.constLast())))
        return up;
    *problem = QStringLiteral("'%1' is not a rate such as 512k, 2M or off").arg(value);
    return std::nullopt;
}

int weekdayOf(const QString &name)
{
    for (int day = 1; day <= 7; ++day) {
        const QString full = QLocale::c().dayName(day, QLocale::LongFormat);
        if (name.compare(full, Qt::CaseInsensitive) == 0 ||
            name.compare(full.left(3), Qt::CaseInsensitive) == 0)
            return day;
    }
    return 0;
}

std::optional<RateTimetable::Entry> entryOf(const QString &token, QString *problem)
{
    const QStringList timeAndRate = token.split(u',');
    if (timeAndRate.size() != 2) {
        *problem = QStringLiteral("'%1' is not a time and a rate such as 08:00,512k").arg(token);
        return std::nullopt;
    }
    RateTimetable::Entry entry;
    QString time = timeAndRate.constFirst();
    if (const qsizetype dash = time.indexOf(u'-'); dash >= 0) {
        entry.weekday = weekdayOf(time.left(dash));
        if (entry.weekday == 0) {
            *problem = QStringLiteral("'%1' is not a weekday such as Mon").arg(time.left(dash));
            return std::nullopt;
        }
        time = time.mid(dash + 1);
    }
    static const QRegularExpression hourMinute(QStringLiteral("^([01]\\d|2[0-3]):[0-5]\\d$"));
    if (!hourMinute.match(time).hasMatch()) {
        *problem = QStringLiteral("'%1' is not a time HH:mm").arg(time);
        return std::nullopt;
    }
    entry.from = QTime::fromString(time, QStringLiteral("HH:mm"));
    const std::optional<qint64> rate = uploadRate(timeAndRate.constLast(), problem);
    if (!rate)
        return std::nullopt;
    entry.bytesPerSecond = *rate;
    return entry;
}

int minuteOfWeek(int weekday, const QTime &time)
{
    return (weekday - 1) * MinutesPerDay + time.hour() * 60 + time.minute();
}

} // namespace

std::optional<RateTimetable> RateTimetable::parse(const QString &text, QString *problem)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList tokens = text.split(blanks, Qt::SkipEmptyParts);
    RateTimetable timetable;
    if (tokens.isEmpty())
        return timetable;
    if (tokens.size() == 1 && !tokens.constFirst().contains(u',')) {
        const std::optional<qint64> rate = uploadRate(tokens.constFirst(), problem);
        if (!rate)
            return std::nullopt;
        timetable.m_single = *rate;
        return timetable;
    }
    for (const QString &token : tokens) {
        const std::optional<Entry> entry = entryOf(token, problem);
        if (!entry)
            return std::nullopt;
        timetable.m_entries.append(*entry);
    }
    return timetable;
}

qint64 RateTimetable::rateAt(const QDateTime &at) const
{
    if (m_entries.isEmpty())
        return m_single;
    const int now = minuteOfWeek(at.date().dayOfWeek(), at.time());
    // The entry that began last before now; before the week's first, the week's last goes on.
    int latestBefore = -1;
    int latest = -1;
    qint64 rateBefore = 0;
    qint64 rateLatest = 0;
    for (const Entry &entry : m_entries) {
        for (int day = 1; day <= 7; ++day) {
            if (entry.weekday != 0 && entry.weekday != day)
                continue;
            const int minute = minuteOfWeek(day, entry.from);
            if (minute <= now && minute >= latestBefore) {
                latestBefore = minute;
                rateBefore = entry.bytesPerSecond;
            }
            if (minute >= latest) {
                latest = minute;
                rateLatest = entry.bytesPerSecond;
            }
        }
    }
    return latestBefore >= 0 ? rateBefore : rateLatest;
}

QString RateTimetable::text() const
{
    if (m_entries.isEmpty())
        return rateText(m_single);
    QStringList parts;
    for (const Entry &entry : m_entries) {
        const QString day = entry.weekday == 0
                                ? QString()
                                : QLocale::c().dayName(entry.weekday, QLocale::ShortFormat) + u' ';
        parts.append(day + entry.from.toString(QStringLiteral("HH:mm")) + u' ' +
                     rateText(entry.bytesPerSecond));
    }
    return parts.join(QStringLiteral(", "));
}

bool RateTimetable::limits() const
{
    if (m_entries.isEmpty())
        return m_single > 0;
    return std::any_of(m_entries.cbegin(), m_entries.cend(),
                       [](const Entry &entry) { return entry.bytesPerSecond > 0; });
}

QString RateTimetable::rateText(qint64 bytesPerSecond)
{
    if (bytesPerSecond <= 0)
        return QStringLiteral("no limit");
    if (bytesPerSecond % (1 << 20) == 0)
        return QStringLiteral("%1 MiB/s").arg(bytesPerSecond >> 20);
    if (bytesPerSecond % (1 << 10) == 0)
        return QStringLiteral("%1 KiB/s").arg(bytesPerSecond >> 10);
    return QStringLiteral("%1 bytes/s").arg(bytesPerSecond);
}
