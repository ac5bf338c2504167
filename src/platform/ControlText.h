#pragma once

#include <QString>

// Text from outside the program (a service's reply, a title, a value in tunebarn.ini, a file
// name) as it may be written anywhere: each control character but tab becomes \xNN, so that it
// can neither split a line, forge another, nor drive the terminal it is shown on.
namespace ControlText {

QString escaped(const QString &text);
// The same with line feeds kept, for whole outputs whose lines are the program's own.
QString escapedKeepingLineFeeds(const QString &text);

} // namespace ControlText
