#include "recording/RecordingVerdict.h"

#include "recording/SilenceRuns.h"

#include <algorithm>

namespace RecordingVerdict {

namespace {

constexpr int HistoryUploads = 4;

std::optional<RecordingProblem> brokenProblem(const RecordingFindings &findings)
{
    using Kind = RecordingProblem::Kind;
    if (!findings.unreadable.isEmpty())
        return RecordingProblem{Kind::Broken,
                                QStringLiteral("cannot be read: ") + findings.unreadable};
    if (!findings.notMpeg.isEmpty())
        return RecordingProblem{Kind::Broken,
                                QStringLiteral("is not MPEG audio: it holds ") + findings.notMpeg};
    if (findings.cutAt >= 0)
        return RecordingProblem{
            Kind::Broken,
            QStringLiteral("breaks off in the middle of the frame at byte %1").arg(findings.cutAt)};
    if (findings.undecodable * 2 > findings.levels.size())
        return RecordingProblem{Kind::Broken,
                                QStringLiteral("does not decode: %1 of %2 sampled windows failed")
                                    .arg(findings.undecodable)
                                    .arg(findings.levels.size())};
    return std::nullopt;
}

std::optional<RecordingProblem> lengthProblem(const RecordingFindings &findings,
                                              const RecordingLimits &limits, double expected)
{
    const QString lengths =
        QStringLiteral("is %1 long, %2 the expected %3").arg(clockText(findings.seconds));
    if (findings.seconds * 100 < expected * limits.shortPercent)
        return RecordingProblem{
            RecordingProblem::Kind::Short,
            lengths.arg(QStringLiteral("shorter than %1% of").arg(limits.shortPercent),
                        clockText(expected))};
    if (findings.seconds > 2 * expected)
        return RecordingProblem{
            RecordingProblem::Kind::Long,
            lengths.arg(QStringLiteral("more than twice"), clockText(expected))};
    return std::nullopt;
}

QString runsText(const SilenceRuns &silence, int named)
{
    QStringList runs;
    for (const SilenceRun &run :
         silence.runs.first(std::min<qsizetype>(named, silence.runs.size())))
        runs.append(
            QStringLiteral("from %1 for %2").arg(clockText(run.start), clockText(run.seconds)));
    if (silence.runs.size() > named)
        runs.append(QStringLiteral("and %1 more").arg(silence.runs.size() - named));
    return runs.join(QStringLiteral(", "));
}

std::optional<RecordingProblem> silenceProblem(const RecordingFindings &findings,
                                               const RecordingLimits &limits, int runsNamed)
{
    const SilenceRuns silence =
        SilenceRuns::of(findings, limits.silenceThresholdDb, limits.maxSilenceSeconds);
    if (silence.wholly)
        return RecordingProblem{RecordingProblem::Kind::Silent,
                                QStringLiteral("is silent from start to end")};
    if (silence.share(findings.seconds) <= 0.5)
        return std::nullopt;
    return RecordingProblem{RecordingProblem::Kind::Silent,
                            QStringLiteral("is silent for %1 of %2 (%3%): %4")
                                .arg(clockText(silence.seconds), clockText(findings.seconds))
                                .arg(int(100 * silence.share(findings.seconds)))
                                .arg(runsText(silence, runsNamed))};
}

} // namespace

QList<RecordingProblem> problems(const RecordingFindings &findings, const RecordingLimits &limits,
                                 std::optional<double> expectedSeconds, int runsNamed)
{
    if (const std::optional<RecordingProblem> broken = brokenProblem(findings))
        return {*broken};
    QList<RecordingProblem> found;
    if (limits.expectedMinutes > 0)
        expectedSeconds = limits.expectedMinutes * 60.0;
    if (expectedSeconds) {
        if (const std::optional<RecordingProblem> length =
                lengthProblem(findings, limits, *expectedSeconds))
            found.append(*length);
    }
    if (const std::optional<RecordingProblem> silent = silenceProblem(findings, limits, runsNamed))
        found.append(*silent);
    return found;
}

QString skipSetting(const RecordingProblem &problem, const RecordingLimits &limits)
{
    switch (problem.kind) {
    case RecordingProblem::Kind::Broken:
        return limits.skipBroken ? QStringLiteral("SkipBrokenRecordings") : QString();
    case RecordingProblem::Kind::Short:
        return limits.skipShort ? QStringLiteral("SkipShortRecordings") : QString();
    case RecordingProblem::Kind::Silent:
        return limits.skipSilent ? QStringLiteral("SkipSilentRecordings") : QString();
    case RecordingProblem::Kind::Long:
        break;
    }
    return {};
}

QString description(const RecordingFindings &findings, const RecordingLimits &limits)
{
    if (!findings.unreadable.isEmpty() || !findings.notMpeg.isEmpty())
        return brokenProblem(findings)->text;
    const SilenceRuns silence =
        SilenceRuns::of(findings, limits.silenceThresholdDb, limits.maxSilenceSeconds);
    return QStringList{findings.format,
                       QStringLiteral("%1 kbit/s").arg(findings.kbps) +
                           (findings.variableBitrate ? QStringLiteral(" VBR") : QString()),
                       QString::number(findings.sampleRate / 1000.0) + QStringLiteral(" kHz"),
                       findings.channels == 1 ? QStringLiteral("mono") : QStringLiteral("stereo"),
                       clockText(findings.seconds),
                       QStringLiteral("silent ") + clockText(silence.seconds)}
        .join(QStringLiteral(", "));
}

QString clockText(double seconds)
{
    const qint64 whole = qint64(seconds + 0.5);
    const QString minutesSeconds =
        QStringLiteral("%1:%2").arg(whole / 60 % 60).arg(whole % 60, 2, 10, QChar(u'0'));
    if (whole < 3600)
        return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QChar(u'0'));
    return QString::number(whole / 3600) + u':' + minutesSeconds.rightJustified(5, u'0');
}

std::optional<double> expectedFromHistory(const QList<double> &lengths)
{
    QList<double> last = lengths.mid(std::max<qsizetype>(0, lengths.size() - HistoryUploads));
    if (last.size() < 2)
        return std::nullopt;
    std::sort(last.begin(), last.end());
    const qsizetype middle = last.size() / 2;
    return last.size() % 2 ? last[middle] : (last[middle - 1] + last[middle]) / 2;
}

} // namespace RecordingVerdict
