#pragma once

#include "core/RecordingFindings.h"
#include "core/RecordingLimits.h"

#include <QList>
#include <QString>

#include <optional>

// What is wrong with a recording that curl would send as a success: not MPEG audio, cut off,
// far from the show's length, or dead air.
struct RecordingProblem
{
    enum class Kind
    {
        Broken,
        Short,
        Long,
        Silent
    };
    Kind kind;
    QString text; // "is 4:00 long, shorter than 80% of the expected 2:00:00"
};

namespace RecordingVerdict {

// The silent runs named in a warning; --check names them all.
constexpr int RunsInWarning = 5;

// `expectedSeconds` is the show's length when there is one to judge by.
QList<RecordingProblem> problems(const RecordingFindings &findings, const RecordingLimits &limits,
                                 std::optional<double> expectedSeconds,
                                 int runsNamed = RunsInWarning);
// The setting that keeps a recording with this problem from being sent, when it is set; empty
// when none does.
QString skipSetting(const RecordingProblem &problem, const RecordingLimits &limits);
// "MPEG-1 Layer III, 320 kbit/s, 44.1 kHz, stereo, 1:59:58, silent 0:00"
QString description(const RecordingFindings &findings, const RecordingLimits &limits);
// The length as the clock shows it: "4:05", or "1:59:58" from an hour on.
QString clockText(double seconds);
// The expected length from the lengths of the show's taken uploads, oldest first: the median
// of the last four, or of two or three; nothing from fewer.
std::optional<double> expectedFromHistory(const QList<double> &lengths);

} // namespace RecordingVerdict
