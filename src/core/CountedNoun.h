#pragma once

#include <QString>

// "1 minute", "2 minutes": a count and its noun, for nouns whose plural adds an "s".
inline QString countedNoun(qint64 count, const QString &noun)
{
    return QString::number(count) + u' ' + noun + (count == 1 ? QString() : QStringLiteral("s"));
}
