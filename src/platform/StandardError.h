#pragma once

#include <QString>

// Lines for whoever reads the program's standard error: a person at a terminal, or the systemd
// journal, where each line carries its syslog priority so failures can be picked out.
namespace StandardError {

enum class Priority
{
    Error = 3,
    Warning = 4,
    Info = 6
};

// One line; line breaks in `text` become blanks, other control characters \xNN.
void print(Priority priority, const QString &text);
// Whether standard error is the journal's stream (JOURNAL_STREAM names its device and inode).
bool isJournal();

} // namespace StandardError
