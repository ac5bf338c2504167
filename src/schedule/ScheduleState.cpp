#include "schedule/ScheduleState.h"

#include "core/AppContext.h"
#include "platform/FileSystem.h"
#include "platform/LocaleFormat.h"

#include <QFileInfo>

namespace {

constexpr qint64 MaxStateBytes = 1024 * 1024;

QString quotedPath(const QString &path)
{
    return QStringLiteral(" '") + path + u'\'';
}

// What the last run left, or nothing when there is no usable file (logged).
std::optional<ScheduleMemory> loadEarlier(AppContext &ctx, const QString &path)
{
    if (!QFileInfo::exists(path)) {
        ctx.AppendLog(QStringLiteral("Form_Load| No schedule state yet, starting afresh:") +
                      quotedPath(path));
        return std::nullopt;
    }
    const FileRead read = readWholeFile(path, MaxStateBytes);
    if (read.error.failed()) {
        ctx.AppendLog(
            QStringLiteral(
                "Form_Load| WARNING: cannot read the schedule state (%1 %2), starting afresh:")
                .arg(read.error.number)
                .arg(read.error.text) +
            quotedPath(path));
        return std::nullopt;
    }
    std::optional<ScheduleMemory> earlier = ScheduleMemory::fromText(read.bytes);
    if (!earlier)
        ctx.AppendLog(
            QStringLiteral(
                "Form_Load| WARNING: the schedule state is empty or damaged, starting afresh:") +
            quotedPath(path));
    return earlier;
}

} // namespace

QString scheduleStateFile(const AppContext &ctx)
{
    return ctx.CFG.programFolder() + QStringLiteral("schedule.state");
}

void saveScheduleState(AppContext &ctx, const QString &routine)
{
    const QString path = scheduleStateFile(ctx);
    const FileError error = replaceFile(path, ctx.Schedule.toText());
    // Saved every minute and after every upload: a lasting fault is told once, with its mending.
    const QString reason =
        error.failed() ? QStringLiteral("%1 %2").arg(error.number).arg(error.text) : QString();
    if (reason == ctx.StateSaveError)
        return;
    ctx.StateSaveError = reason;
    if (reason.isEmpty())
        ctx.AppendLog(routine + QStringLiteral("| The schedule state is saved again:") +
                      quotedPath(path));
    else
        ctx.AppendLog(routine + QStringLiteral("| ERROR: cannot save the schedule state: ") +
                      reason + quotedPath(path));
}

QList<QDateTime> restoreScheduleState(AppContext &ctx, const QDateTime &startMinute)
{
    QList<QDateTime> missed;
    if (const std::optional<ScheduleMemory> earlier = loadEarlier(ctx, scheduleStateFile(ctx))) {
        for (const ScheduleMemory::Started &started : earlier->unfinished())
            ctx.AppendLog(
                QStringLiteral("Form_Load| WARNING: the upload of show %1 due at %2 did not finish")
                    .arg(started.show)
                    .arg(LocaleFormat::hourMinute(started.minute.time())));
        for (const ScheduleMemory::Interrupted &cut : earlier->interrupted()) {
            if (!cut.bodySent) {
                ctx.Schedule.uploadInterrupted(cut);
                continue;
            }
            ctx.AppendLog(QStringLiteral("Form_Load| WARNING: the upload of show %1 due at %2 was "
                                         "cut by the stop after the whole recording was sent; "
                                         "the service may have it")
                              .arg(cut.show)
                              .arg(LocaleFormat::hourMinute(cut.minute.time())));
        }
        missed = earlier->missedBefore(startMinute, ctx.Options.catchUpMinutes);
        ctx.Schedule.takeOverHandled(*earlier);
        for (const QDateTime &minute : missed)
            ctx.Schedule.markHandled(minute);
        ctx.Schedule.forgetBefore(startMinute.date().addDays(-1));
    }
    return missed;
}
