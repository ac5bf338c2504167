#pragma once

#include <QDate>
#include <QString>

// The About window's "Debug" list: every date variable with its value on `today`, one per
// line, separated by line feeds only.
QString debugText(const QDate &today);
