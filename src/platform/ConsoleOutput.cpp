#include "platform/ConsoleOutput.h"

#include "platform/ControlText.h"

#include <algorithm>
#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace ConsoleOutput {

namespace {

#ifdef Q_OS_WIN
// Setting the console's code page to UTF-8 instead would change it for the prompt that started
// the program too, and consoles before Windows 10 1903 break UTF-8 sequences split between
// writes; WriteConsoleW has neither fault.
bool writeToConsole(Stream stream, const QString &text)
{
    const HANDLE handle =
        GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return false;
    constexpr qsizetype Chunk = 4096;
    for (qsizetype done = 0; done < text.size();) {
        qsizetype length = std::min(Chunk, text.size() - done);
        // A surrogate pair stays whole.
        if (done + length < text.size() && text.at(done + length - 1).isHighSurrogate())
            --length;
        DWORD written = 0;
        if (!WriteConsoleW(handle, text.utf16() + done, DWORD(length), &written, nullptr) ||
            written == 0)
            return true;
        done += qsizetype(written);
    }
    return true;
}
#endif

} // namespace

void write(Stream stream, const QString &raw)
{
    const QString text = ControlText::escapedKeepingLineFeeds(raw);
    std::FILE *file = stream == Stream::Output ? stdout : stderr;
    std::fflush(file);
#ifdef Q_OS_WIN
    if (writeToConsole(stream, text))
        return;
#endif
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file);
    std::fflush(file);
}

} // namespace ConsoleOutput
