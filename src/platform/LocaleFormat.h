#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// Date and time texts in the user's regional settings (QLocale()), and the fixed forms that the
// schedule compares against, which must not follow the locale.
namespace LocaleFormat {

QString hourMinute(const QTime &time);       // "HH:mm", always colons
QString hourMinuteSecond(const QTime &time); // "HH:mm:ss", always colons
QString dayMonthYear(const QDate &date);     // "dd/MM/yyyy", literal slashes
QString shortDayName(const QDate &date);     // locale's abbreviated weekday
QString longDayName(const QDate &date);
QString shortMonthName(const QDate &date);
QString longMonthName(const QDate &date);
QString shortDate(const QDate &date);            // locale's short date
QString timeOfDayWithSeconds(const QTime &time); // locale's time of day, with seconds
// Locale short date, then the time with seconds unless it is midnight.
QString generalDate(const QDateTime &dateTime);

} // namespace LocaleFormat
