#include "platform/LocaleFormat.h"

namespace LocaleFormat {

namespace {

QString digits2(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QString hourMinute(const QTime &time)
{
    return digits2(time.hour()) + u':' + digits2(time.minute());
}

QString hourMinuteSecond(const QTime &time)
{
    return hourMinute(time) + u':' + digits2(time.second());
}

QString dayMonthYear(const QDate &date)
{
    return digits2(date.day()) + u'/' + digits2(date.month()) + u'/' +
           QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
}

QString shortDayName(const QDate &date)
{
    return QLocale().dayName(date.dayOfWeek(), QLocale::ShortFormat);
}

QString longDayName(const QDate &date)
{
    return QLocale().dayName(date.dayOfWeek(), QLocale::LongFormat);
}

QString shortMonthName(const QDate &date)
{
    return QLocale().monthName(date.month(), QLocale::ShortFormat);
}

QString longMonthName(const QDate &date)
{
    return QLocale().monthName(date.month(), QLocale::LongFormat);
}

QString shortDate(const QDate &date)
{
    return QLocale().toString(date, QLocale::ShortFormat);
}

QString timeOfDayWithSeconds(const QTime &time)
{
    QString format = QLocale().timeFormat(QLocale::ShortFormat);
    if (!format.contains(u's')) {
        const qsizetype minutes = format.lastIndexOf(QStringLiteral("mm"));
        if (minutes >= 0)
            format.insert(minutes + 2, QStringLiteral(":ss"));
        else
            format += QStringLiteral(":ss");
    }
    return QLocale().toString(time, format);
}

QString generalDate(const QDateTime &dateTime)
{
    const QString date = shortDate(dateTime.date());
    if (dateTime.time() == QTime(0, 0))
        return date;
    return date + u' ' + timeOfDayWithSeconds(dateTime.time());
}

} // namespace LocaleFormat
