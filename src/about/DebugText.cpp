#include "about/DebugText.h"

#include "upload/DateVariables.h"

QString debugText(const QDate &today)
{
    QString text = QStringLiteral("Variables to use in description for dates.\n\n");
    for (const auto &[variable, value] : DateVariables::values(today))
        text += variable + QStringLiteral(": ") + value + u'\n';
    return text;
}
