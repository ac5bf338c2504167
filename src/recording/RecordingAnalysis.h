#pragma once

#include "core/RecordingFindings.h"

#include <QString>

// Reads a recording whole: its frames, its format and length, and its sampled levels. Slow
// for a long file, so it runs away from the window thread (RecordingReader).
namespace RecordingAnalysis {

RecordingFindings analyse(const QString &path);

} // namespace RecordingAnalysis
