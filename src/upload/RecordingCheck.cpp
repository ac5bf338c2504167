#include "upload/RecordingCheck.h"

#include "audit/UploadHistory.h"
#include "core/AppContext.h"
#include "platform/Clock.h"

namespace RecordingCheck {

QList<double> takenLengths(const AppContext &ctx, int show)
{
    const QDateTime since = ctx.platform.clock.now().addDays(-UploadHistory::RetentionDays);
    QList<double> lengths;
    for (const UploadAttempt &attempt : UploadHistory::read(ctx.CFG, since)) {
        if (attempt.show == show && attempt.outcome == QStringLiteral("taken") &&
            attempt.recordingSeconds > 0)
            lengths.append(attempt.recordingSeconds);
    }
    return lengths;
}

QList<RecordingProblem> problems(const AppContext &ctx, int show, const RecordingFindings &findings,
                                 int runsNamed)
{
    const RecordingLimits &limits = ctx.RecordingRules[show];
    const std::optional<double> expected =
        limits.expectedMinutes > 0 ? std::nullopt
                                   : RecordingVerdict::expectedFromHistory(takenLengths(ctx, show));
    return RecordingVerdict::problems(findings, limits, expected, runsNamed);
}

QStringList texts(const QString &recording, const QList<RecordingProblem> &problems)
{
    QStringList found;
    for (const RecordingProblem &problem : problems)
        found.append(QStringLiteral("recording '") + recording + QStringLiteral("' ") +
                     problem.text);
    return found;
}

} // namespace RecordingCheck
