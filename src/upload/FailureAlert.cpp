#include "upload/FailureAlert.h"

#include "core/AppContext.h"
#include "core/CountedNoun.h"
#include "platform/ChildProcess.h"
#include "platform/ControlText.h"
#include "platform/Environment.h"
#include "upload/UploadRun.h"

#include <QFileInfo>
#include <QTimer>

#include <optional>

namespace {

constexpr int TimeLimitMs = 60 * 1000;
constexpr int PollMs = 300;
constexpr int StopGraceMs = 5000;

enum class CommandEnd
{
    Ended,
    TimeLimit,
    Closed
};

// Waits for the command with events running; the time limit or the end of a close's grace
// stops it. The limit is a timer, not a check in this loop: an upload that starts inside the
// wait holds the loop until it ends, and the limit must hold meanwhile.
CommandEnd waitOrStop(AppContext &ctx, ChildProcess &process)
{
    QTimer limit;
    QTimer kill;
    limit.setSingleShot(true);
    kill.setSingleShot(true);
    std::optional<CommandEnd> stoppedFor;
    const auto stop = [&](CommandEnd why) {
        if (stoppedFor)
            return;
        stoppedFor = why;
        process.requestStop();
        kill.start(StopGraceMs);
    };
    QObject::connect(&limit, &QTimer::timeout, &process, [&] { stop(CommandEnd::TimeLimit); });
    QObject::connect(&kill, &QTimer::timeout, &process, [&process] { process.forceStop(); });
    limit.start(TimeLimitMs);
    while (process.isRunning() && !ctx.stopDue())
        process.waitProcessingEvents(PollMs);
    if (process.isRunning())
        stop(CommandEnd::Closed);
    while (process.isRunning())
        process.waitProcessingEvents(PollMs);
    return stoppedFor.value_or(CommandEnd::Ended);
}

QString endText(CommandEnd end, const ChildProcess &process)
{
    switch (end) {
    case CommandEnd::Ended:
        return QStringLiteral("ended: exit value %1").arg(process.exitValue());
    case CommandEnd::TimeLimit:
        return QStringLiteral("stopped: it did not end within ") +
               countedNoun(TimeLimitMs / 1000, QStringLiteral("second"));
    case CommandEnd::Closed:
        break;
    }
    return QStringLiteral("stopped by the close: it had not ended when the close's wait was over");
}

void runFailureCommand(AppContext &ctx, const QString &routine, int show, const QString &title,
                       const QString &reason)
{
    const QString command = ctx.Options.failureCommand;
    if (command.isEmpty())
        return;
    const QString prefix = routine + QStringLiteral("| FailureCommand ");
    ChildProcess process;
    const QString program = failureProgramPath(ctx.platform.environment, command);
    // An argument ends at its first NUL on the way to the program; none is cut short.
    const QStringList arguments{QString::number(show), ControlText::escaped(title),
                                ControlText::escaped(reason)};
    if (const auto failure = process.start(program, arguments)) {
        ctx.AppendLog(prefix + QStringLiteral("could not be started: '%1': %2 %3")
                                   .arg(program)
                                   .arg(failure->number)
                                   .arg(failure->text));
        return;
    }
    ctx.AppendLog(prefix + QStringLiteral("started: '") + program + u'\'');
    ++ctx.failureCommandsRunning;
    const CommandEnd end = waitOrStop(ctx, process);
    --ctx.failureCommandsRunning;
    ctx.AppendLog(prefix + endText(end, process));
}

} // namespace

QString failureProgramPath(const Environment &environment, const QString &command)
{
    if (QFileInfo(command).isAbsolute())
        return command;
    const QString found = environment.findOnPath(command);
    return found.isEmpty() ? command : found;
}

void alertFailure(AppContext &ctx, const QString &routine, const UploadSubject &subject,
                  const QString &reason)
{
    ctx.view().setLastFailure(subject.what(), reason);
    runFailureCommand(ctx, routine, subject.show, subject.title, reason);
}

void alertSkip(AppContext &ctx, const QString &routine, const UploadSubject &subject,
               const QString &reason)
{
    runFailureCommand(ctx, routine, subject.show, subject.title, reason);
}

void clearFailure(AppContext &ctx)
{
    ctx.view().setLastFailure({}, {});
}
