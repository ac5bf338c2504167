#pragma once

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

// Date variables such as "%date%" in show titles, replaced with today's values so one weekly
// show goes out with a fresh dated title each week.
namespace DateVariables {

// "st", "nd", "rd" or "th" for a day of the month.
QString daySuffix(int day);
// Every variable with its value for `date`, in the order in which they are replaced.
QList<QPair<QString, QString>> values(const QDate &date);
QString expand(const QString &title, const QDate &date);
// Replaces every `variable`, resuming after each inserted value so it is never searched again.
QString replaceAll(const QString &text, const QString &variable, const QString &value);

} // namespace DateVariables

// File-name variables "%date%" and "%time%" from the locale's short date and time of day,
// with "." and ":" made safe for file names.
QString ParseFile(const QString &file, const QDateTime &now);
