#pragma once

#include "core/RecordingFindings.h"

#include <QList>

// Dead air: stretches of a recording quieter than a threshold for longer than a limit, found in
// its sampled levels, so each start and length is as exact as the sampling step.
struct SilenceRun
{
    double start = 0;
    double seconds = 0;
};

struct SilenceRuns
{
    QList<SilenceRun> runs;
    bool wholly = false; // no sampled window has sound
    double seconds = 0;  // of all runs

    static SilenceRuns of(const RecordingFindings &findings, int thresholdDb, int limitSeconds);
    double share(double total) const { return total > 0 ? seconds / total : 0; }
};
