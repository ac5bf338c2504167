#pragma once

#include <QDate>
#include <QString>

// How a show's UploadDay names a day: the locale's abbreviated day name in any letter case
// (every such weekday) or a dd/MM/yyyy date (that date only). The schedule and the schedule
// check both ask here, so they cannot disagree.
namespace DayRule {

enum class Match
{
    None,
    Day,
    Date
};

Match match(const QString &uploadDay, const QDate &date);

} // namespace DayRule
