#pragma once

#include <QString>

#include <ostream>

// Failure messages show Qt texts as text rather than as lists of 16-bit units.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
