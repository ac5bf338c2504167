#include "upload/FailureAlert.h"

#include "core/AppContext.h"
#include "platform/ChildProcess.h"
#include "platform/Environment.h"
#include "upload/UploadRun.h"

#include <QFileInfo>
#include <QTimer>

namespace {

constexpr int TimeLimitMs = 60 * 1000;
constexpr int PollMs = 300;
constexpr int StopGraceMs = 5000;

// Waits for the command with events running; the time limit or the end of a close's grace
// stops it. The limit is a timer, not a check in this loop: an upload that starts inside the
// wait holds the loop until it ends, and the limit must hold meanwhile.
bool waitOrStop(AppContext &ctx, ChildProcess &process)
{
    QTimer limit;
    QTimer kill;
    limit.setSingleShot(true);
    kill.setSingleShot(true);
    bool stopped = false;
    const auto stop = [&] {
        if (stopped)
            return;
        stopped = true;
        process.requestStop();
        kill.start(StopGraceMs);
    };
    QObject::connect(&limit, &QTimer::timeout, &process, stop);
    QObject::connect(&kill, &QTimer::timeout, &process, [&process] { process.forceStop(); });
    limit.start(TimeLimitMs);
    while (process.isRunning() && !ctx.stopDue())
        process.waitProcessingEvents(PollMs);
    if (process.isRunning())
        stop();
    while (process.isRunning())
        process.waitProcessingEvents(PollMs);
    return !stopped;
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
    if (const auto failure = process.start(program, {QString::number(show), title, reason})) {
        ctx.AppendLog(prefix + QStringLiteral("could not be started: '%1': %2 %3")
                                   .arg(program)
                                   .arg(failure->number)
                                   .arg(failure->text));
        return;
    }
    ctx.AppendLog(prefix + QStringLiteral("started: '") + program + u'\'');
    if (waitOrStop(ctx, process))
        ctx.AppendLog(prefix + QStringLiteral("ended: exit value %1").arg(process.exitValue()));
    else
        ctx.AppendLog(
            prefix +
            QStringLiteral("stopped: it did not end within %1 seconds").arg(TimeLimitMs / 1000));
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
