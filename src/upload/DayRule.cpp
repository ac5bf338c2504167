#include "upload/DayRule.h"

#include "platform/LocaleFormat.h"

namespace DayRule {

Match match(const QString &uploadDay, const QDate &date)
{
    const QString rule = uploadDay.toUpper();
    if (rule == LocaleFormat::shortDayName(date).toUpper())
        return Match::Day;
    if (rule == LocaleFormat::dayMonthYear(date))
        return Match::Date;
    return Match::None;
}

} // namespace DayRule
