#include "schedule/RecordingReport.h"

#include "core/AppContext.h"
#include "recording/RecordingVerdict.h"
#include "recording/SilenceRuns.h"
#include "schedule/ScheduleCheck.h"
#include "upload/RecordingCheck.h"

namespace RecordingReport {

namespace {

QString kindWord(RecordingProblem::Kind kind)
{
    switch (kind) {
    case RecordingProblem::Kind::Broken:
        return QStringLiteral("BROKEN");
    case RecordingProblem::Kind::Short:
        return QStringLiteral("SHORT");
    case RecordingProblem::Kind::Long:
        return QStringLiteral("LONG");
    case RecordingProblem::Kind::Silent:
        break;
    }
    return QStringLiteral("SILENT");
}

QString noteOf(const RecordingFindings &findings, const RecordingLimits &limits,
               const QList<RecordingProblem> &problems)
{
    QStringList words;
    if (findings.seconds > 0)
        words.append(RecordingVerdict::clockText(findings.seconds));
    const SilenceRuns silence =
        SilenceRuns::of(findings, limits.silenceThresholdDb, limits.maxSilenceSeconds);
    if (silence.seconds > 0)
        words.append(QStringLiteral("silent ") + RecordingVerdict::clockText(silence.seconds));
    for (const RecordingProblem &problem : problems)
        words.append(kindWord(problem.kind));
    return words.join(u' ');
}

} // namespace

void add(ScheduleReport &report, const AppContext &ctx, const Lookup &lookup, int runsNamed)
{
    for (ShowCheck &row : report.shows) {
        if (!row.recordingExists)
            continue;
        const std::optional<RecordingFindings> findings = lookup(row.recording);
        if (!findings || findings->size == 0)
            continue;
        const QList<RecordingProblem> problems =
            RecordingCheck::problems(ctx, row.number, *findings, runsNamed);
        row.recordingNote = noteOf(*findings, ctx.RecordingRules[row.number], problems);
        for (const QString &text : RecordingCheck::texts(row.recording, problems))
            report.problems.append(
                {row.number, QStringLiteral("show %1: ").arg(row.number) + text});
    }
}

} // namespace RecordingReport
