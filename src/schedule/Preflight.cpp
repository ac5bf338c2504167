#include "schedule/Preflight.h"

#include "core/AppContext.h"
#include "core/ShowTableRecord.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/LocaleFormat.h"
#include "recording/RecordingReader.h"
#include "schedule/DayRule.h"
#include "upload/RecordingCheck.h"
#include "upload/RecordingReady.h"

namespace Preflight {

namespace {

// The show's next due minute after `slot` and no later than `minutes` after it; invalid when
// there is none.
QDateTime dueWithin(const ShowTableRecord &table, int show, const QDateTime &slot, int minutes)
{
    const QTime time = QTime::fromString(table.UploadTime[show], QStringLiteral("HH:mm"));
    if (!time.isValid())
        return {};
    QDateTime due(slot.date(), time);
    if (due <= slot)
        due = due.addDays(1);
    if (slot.secsTo(due) > minutes * 60LL)
        return {};
    return DayRule::match(table.UploadDay[show], due.date()) == DayRule::Match::None ? QDateTime()
                                                                                     : due;
}

void tell(AppContext &ctx, const QString &which, const QString &text, bool mended)
{
    ctx.AppendLog(
        QStringLiteral("Timer1_Timer| ") +
        (mended ? QStringLiteral("Mended before ") + which : QStringLiteral("WARNING: ") + which) +
        QStringLiteral(": ") + text);
    ctx.view().reportWarning(which, (mended ? QStringLiteral("mended: ") : QString()) + text);
}

QDateTime minuteOf(const QDateTime &time)
{
    return QDateTime(time.date(), QTime(time.time().hour(), time.time().minute()));
}

void checkShows(AppContext &ctx, const QDateTime &slot, bool followReadings);

// What reading the recording found wrong; nothing while it is read or still being written. A
// reading that ends within the minute has its problems told at once, not a minute later.
std::optional<QStringList> contentProblems(AppContext &ctx, int show, const QDateTime &slot,
                                           bool followReading)
{
    const QString recording = ctx.ShowTable.Filename[show];
    const RecordingReady::FileState state = RecordingReady::stateOf(recording);
    if (state.size <= 0)
        return QStringList();
    if (RecordingReady::isRecent(state.modified, ctx.platform.clock.now(),
                                 ctx.Options.recordingSettleSeconds))
        return std::nullopt;
    const auto whenRead = [&ctx, slot] {
        if (minuteOf(ctx.platform.clock.now()) == slot)
            checkShows(ctx, slot, false);
    };
    const std::optional<RecordingFindings> findings = RecordingReader::findings(
        ctx, recording, followReading ? std::function<void()>(whenRead) : nullptr);
    if (!findings)
        return std::nullopt;
    return RecordingCheck::texts(recording, RecordingCheck::problems(ctx, show, *findings));
}

} // namespace

QStringList recordingProblems(const QString &recording, const QDateTime &due)
{
    const RecordingReady::FileState state = RecordingReady::stateOf(recording);
    if (state.size < 0)
        return {};
    const QString named = QStringLiteral("recording '") + recording + QStringLiteral("' ");
    if (state.size == 0)
        return {named + QStringLiteral("is empty (0 bytes)")};
    const QDateTime previous = RecordingReady::previousOccurrence(due);
    if (RecordingReady::isStale(state.modified, previous))
        return {named + RecordingReady::staleText(state.modified, previous)};
    return {};
}

QStringList problems(const ShowTableRecord &table, int show, const QString &uploadUrl,
                     const QDateTime &due)
{
    QStringList found;
    const QString recording = table.Filename[show];
    if (!fileExists(recording))
        found.append(QStringLiteral("recording '") + recording +
                     QStringLiteral("' does not exist"));
    found.append(recordingProblems(recording, due));
    const QString picture = table.Picture[show];
    if (!picture.isEmpty() && !fileExists(picture))
        found.append(QStringLiteral("picture '") + picture + QStringLiteral("' does not exist"));
    if (uploadUrl.isEmpty())
        found.append(QStringLiteral("the upload address is empty"));
    return found;
}

void check(AppContext &ctx, const QDateTime &slot)
{
    checkShows(ctx, slot, true);
}

namespace {

void checkShows(AppContext &ctx, const QDateTime &slot, bool followReadings)
{
    const int minutes = ctx.Options.preflightMinutes;
    for (int show = 1; show <= ShowTableRecord::MaxShows; ++show) {
        const QDateTime due =
            minutes > 0 ? dueWithin(ctx.ShowTable, show, slot, minutes) : QDateTime();
        if (!due.isValid()) {
            ctx.Preflight.remove(show);
            continue;
        }
        PreflightNote &note = ctx.Preflight[show];
        if (note.due != due)
            note = {due, {}, {}};
        if (const std::optional<QStringList> content =
                contentProblems(ctx, show, slot, followReadings))
            note.recordingProblems = *content;
        const QStringList now =
            problems(ctx.ShowTable, show, ctx.CFG.UploadURL, due) + note.recordingProblems;
        const QString which =
            QStringLiteral("show %1 due at %2").arg(show).arg(LocaleFormat::hourMinute(due.time()));
        for (const QString &problem : now) {
            if (!note.problems.contains(problem))
                tell(ctx, which, problem, false);
        }
        for (const QString &problem : std::as_const(note.problems)) {
            if (!now.contains(problem))
                tell(ctx, which, problem, true);
        }
        note.problems = now;
    }
}

} // namespace

} // namespace Preflight
