#include "upload/DateVariables.h"

#include "platform/LocaleFormat.h"

namespace DateVariables {

QString daySuffix(int day)
{
    if (day >= 11 && day <= 13)
        return QStringLiteral("th");
    switch (day % 10) {
    case 1:
        return QStringLiteral("st");
    case 2:
        return QStringLiteral("nd");
    case 3:
        return QStringLiteral("rd");
    default:
        return QStringLiteral("th");
    }
}

QList<QPair<QString, QString>> values(const QDate &date)
{
    const QString suffix = daySuffix(date.day());
    const QString day = QString::number(date.day());
    const QString day2 = QStringLiteral("%1").arg(date.day(), 2, 10, QLatin1Char('0'));
    const QString month = QString::number(date.month());
    const QString month2 = QStringLiteral("%1").arg(date.month(), 2, 10, QLatin1Char('0'));
    const QString year = QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
    const QString longMonth = LocaleFormat::longMonthName(date);
    return {
        {QStringLiteral("%date%"), day2 + suffix + u' ' + longMonth + u' ' + year},
        {QStringLiteral("%d!%"), day + suffix},
        {QStringLiteral("%dd!%"), day2 + suffix},
        {QStringLiteral("%d%"), day},
        {QStringLiteral("%dd%"), day2},
        {QStringLiteral("%ddd%"), LocaleFormat::shortDayName(date)},
        {QStringLiteral("%dddd%"), LocaleFormat::longDayName(date)},
        {QStringLiteral("%m%"), month},
        {QStringLiteral("%mm%"), month2},
        {QStringLiteral("%mmm%"), LocaleFormat::shortMonthName(date)},
        {QStringLiteral("%mmmm%"), longMonth},
        {QStringLiteral("%yyyy%"), year},
    };
}

QString replaceAll(const QString &text, const QString &variable, const QString &value)
{
    QString result;
    qsizetype from = 0;
    for (;;) {
        const qsizetype found = text.indexOf(variable, from, Qt::CaseSensitive);
        if (found < 0)
            break;
        result += QStringView(text).mid(from, found - from);
        result += value;
        from = found + variable.size();
    }
    result += QStringView(text).mid(from);
    return result;
}

QString expand(const QString &title, const QDate &date)
{
    QString result = title;
    for (const auto &[variable, value] : values(date))
        result = replaceAll(result, variable, value);
    return result;
}

} // namespace DateVariables

QString ParseFile(const QString &file, const QDateTime &now)
{
    const QString date = LocaleFormat::shortDate(now.date()).replace(u'.', u'-');
    const QString time = LocaleFormat::timeOfDayWithSeconds(now.time()).replace(u':', u'_');
    return DateVariables::replaceAll(
        DateVariables::replaceAll(file, QStringLiteral("%date%"), date), QStringLiteral("%time%"),
        time);
}
