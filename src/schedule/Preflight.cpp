#include "schedule/Preflight.h"

#include "core/AppContext.h"
#include "core/ShowTableRecord.h"
#include "platform/FileSystem.h"
#include "platform/LocaleFormat.h"
#include "schedule/DayRule.h"
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
            note = {due, {}};
        const QStringList now = problems(ctx.ShowTable, show, ctx.CFG.UploadURL, due);
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

} // namespace Preflight
