#pragma once

#include "upload/CommandLine.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

class AppContext;

struct CommandOutcome
{
    bool started = false;
    int exitValue = 0;
    QByteArray output;      // curl's standard output: the HTTP status it printed
    QByteArray errorOutput; // the tail of its error output
    bool timedOut = false;  // stopped because it ran past its time limit
    bool cut = false;       // stopped because the program closed
    // When the command started and when its end was seen, which an upload started inside the
    // wait does not delay.
    QDateTime startedAt;
    QDateTime endedAt;
    std::optional<qint64> bytesRead; // what it had read when last looked at, where that is known
};

// Starts the command hidden, waits for its end while window events keep running, and logs the
// command and its exit value, or the launch error (also shown in a message box).
// A positive `timeLimitMs` stops a command that runs longer; a close stops it once its grace is
// over. A command that ended by itself was stopped by neither, however late the wait resumes.
// `watch`, when given, sees what the command has written on its error output so far, after each
// pause of the wait.
CommandOutcome Shell32Bit(AppContext &ctx, const CommandLine &command, qint64 timeLimitMs = 0,
                          const std::function<void(const QByteArray &)> &watch = {});

// Looks for curl at start-up and warns the operator when there is none. Returns the path found.
QString CurlCheck(AppContext &ctx);
