#include "recording/SilenceRuns.h"

#include <cmath>

SilenceRuns SilenceRuns::of(const RecordingFindings &findings, int thresholdDb, int limitSeconds)
{
    SilenceRuns found;
    const QList<float> &levels = findings.levels;
    const double step = findings.levelStep;
    bool sound = false;
    qsizetype begin = -1;
    const auto close = [&](qsizetype end) {
        const double start = begin * step;
        const double seconds = std::min(end * step, findings.seconds) - start;
        if (seconds > limitSeconds) {
            found.runs.append({start, seconds});
            found.seconds += seconds;
        }
        begin = -1;
    };
    for (qsizetype i = 0; i < levels.size(); ++i) {
        // A window that did not decode tells nothing; it neither starts nor ends a run.
        if (std::isnan(levels[i]))
            continue;
        const bool silent = levels[i] < thresholdDb;
        sound |= !silent;
        if (silent && begin < 0)
            begin = i;
        else if (!silent && begin >= 0)
            close(i);
    }
    if (begin >= 0)
        close(levels.size());
    found.wholly = !sound && !levels.isEmpty();
    return found;
}
