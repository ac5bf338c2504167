#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// The most an upload may send per second, by time of day and weekday, written as rclone's
// --bwlimit is: one rate ("512k", "2M", "off") or a list such as "08:00,512k 23:00,off", whose
// every rate holds from its time until the next and the last past midnight, with weekday
// entries ("Mon-08:00,1M") and UP:DOWN pairs, of which the upload rate counts. A bare number is
// KiB/s; b, k, M, G, T and P are bytes, KiB, MiB, GiB, TiB and PiB per second.
class RateTimetable
{
public:
    struct Entry
    {
        int weekday = 0; // 1 for Monday to 7 for Sunday; 0 for every day
        QTime from;
        qint64 bytesPerSecond = 0; // 0: no limit
    };

    // An empty text is no limit. Nothing, with the reason in `problem`, when it is not understood.
    static std::optional<RateTimetable> parse(const QString &text, QString *problem);
    // The rate in force at the local time `at`; 0 for no limit.
    qint64 rateAt(const QDateTime &at) const;
    // "1 MiB/s", "no limit" or "Mon 08:00 512 KiB/s, 23:00 no limit".
    QString text() const;
    bool limits() const;
    // "512 KiB/s", "2 MiB/s", "1000 bytes/s" or "no limit".
    static QString rateText(qint64 bytesPerSecond);

private:
    QList<Entry> m_entries; // none for one rate alone
    qint64 m_single = 0;
};
