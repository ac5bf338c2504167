#pragma once

#include <QString>

// Every text the program writes to its standard output and error goes through here, so that
// all of it arrives in one encoding. A Windows console is given the characters themselves
// (UTF-16), which it shows whatever its code page; a file or a pipe, and every stream off
// Windows, gets UTF-8.
namespace ConsoleOutput {

enum class Stream
{
    Output,
    Error
};

// `text` with its control characters but line feeds and tabs escaped (ControlText); line ends
// are the caller's.
void write(Stream stream, const QString &text);

} // namespace ConsoleOutput
