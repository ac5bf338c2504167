#include "schedule/DayRule.h"

#include "platform/LocaleFormat.h"

namespace DayRule {

Match match(const QString &uploadDay, const QDate &date)
{
    const QString rule = uploadDay.toUpper();
    if (rule == LocaleFormat::shortDayName(date).toUpper())
        return Match::Day;
    // The date's text always holds '/'. Most rules are day names, and formatting the date is
    // most of what a match costs, which the schedule check pays thousands of times.
    if (rule.contains(u'/') && rule == LocaleFormat::dayMonthYear(date))
        return Match::Date;
    return Match::None;
}

} // namespace DayRule
