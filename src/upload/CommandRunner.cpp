#include "upload/CommandRunner.h"

#include "core/AppContext.h"
#include "platform/ChildProcess.h"
#include "platform/Clock.h"
#include "platform/CurlProgram.h"
#include "platform/Dialogs.h"
#include "platform/EventPump.h"

#include <QElapsedTimer>

namespace {

constexpr int PollMilliseconds = 300;
constexpr qint64 StopGraceMilliseconds = 5000;

// A command is asked to stop when the program closes or its time is up, and killed when it
// does not go in time.
void stopWhenAsked(bool stopWanted, ChildProcess &process, QElapsedTimer &sinceStopAsked)
{
    if (!stopWanted)
        return;
    if (!sinceStopAsked.isValid()) {
        process.requestStop();
        sinceStopAsked.start();
        return;
    }
    if (sinceStopAsked.elapsed() >= StopGraceMilliseconds)
        process.forceStop();
}

} // namespace

CommandOutcome Shell32Bit(AppContext &ctx, const CommandLine &command, qint64 timeLimitMs,
                          const std::function<void(const QByteArray &)> &watch)
{
    CommandOutcome outcome;
    outcome.startedAt = ctx.platform.clock.now();
    ChildProcess process;
    process.setLowPriority(command.lowPriority);
    if (const auto failure = process.start(command.program, command.arguments, command.input)) {
        const QString error =
            QString::number(failure->number) + QStringLiteral(" - ") + failure->text;
        ctx.AppendLog(QStringLiteral("Shell32Bit| Error: ") + error);
        ctx.platform.dialogs.showMessage(error, AppContext::applicationTitle(),
                                         Dialogs::Icon::None);
        outcome.endedAt = outcome.startedAt;
        return outcome;
    }
    outcome.started = true;
    QObject::connect(&process, &ChildProcess::ended, &process,
                     [&] { outcome.endedAt = ctx.platform.clock.now(); });
    ctx.AppendLog(QStringLiteral("Shell32Bit| Command: ") + command.display);

    QElapsedTimer running;
    running.start();
    QElapsedTimer sinceStopAsked;
    for (;;) {
        ctx.platform.events.processPendingEvents();
        const bool stillRunning = process.isRunning();
        ctx.platform.events.processPendingEvents();
        if (!stillRunning)
            break;
        // The pause ends the moment the command does, so its end is noticed at once.
        process.waitProcessingEvents(PollMilliseconds);
        if (watch)
            watch(process.errorOutputTail());
        // An upload started inside the wait may have held it long after this command ended.
        if (!process.isRunning())
            continue;
        if (timeLimitMs > 0 && running.elapsed() >= timeLimitMs && !outcome.cut)
            outcome.timedOut = true;
        if (ctx.stopDue() && !outcome.timedOut)
            outcome.cut = true;
        stopWhenAsked(outcome.cut || outcome.timedOut, process, sinceStopAsked);
    }

    outcome.exitValue = process.exitValue();
    outcome.output = process.standardOutput();
    outcome.errorOutput = process.errorOutputTail();
    outcome.bytesRead = process.bytesRead();
    if (!outcome.endedAt.isValid())
        outcome.endedAt = ctx.platform.clock.now();
    ctx.AppendLog(QStringLiteral("Shell32Bit| Command exit value: ") +
                  QString::number(outcome.exitValue));
    return outcome;
}

QString CurlCheck(AppContext &ctx)
{
    const QString found = CurlProgram::locate(ctx.platform.environment, ctx.WorkingDirectory);
    if (!found.isEmpty()) {
        ctx.AppendLog(QStringLiteral("CurlCheck| File exists: '") + found + u'\'');
        return found;
    }
    const QString expected = ctx.WorkingDirectory + CurlProgram::fileName();
    ctx.AppendLog(QStringLiteral("CurlCheck| File doesnt exist. '") + expected + u'\'');
    ctx.platform.dialogs.showMessage(QStringLiteral("File doesnt exist:\r'") + expected + u'\'',
                                     QStringLiteral("Curl.exe is Missing."),
                                     Dialogs::Icon::Critical);
    return {};
}
