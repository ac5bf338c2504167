#pragma once

#include "recording/FrameScan.h"

#include <QByteArrayView>
#include <QList>

// The loudness of a recording, sampled: a short window is decoded every few seconds, which
// finds minutes of dead air in a two-hour show in a small part of the time decoding it all takes.
namespace LevelSampler {

// Levels of a window, in dBFS; digital silence is this low.
constexpr float Floor = -120.0f;
// The window decoded at each step.
constexpr double WindowSeconds = 0.15;

// Seconds between two windows: fine enough for a short file, coarse enough that a long one
// costs no more than some 1800 windows.
double stepFor(double seconds);
// The level of the window at each step, NaN where the frames would not decode.
QList<float> levels(QByteArrayView bytes, const FrameScan &scan, double step);

} // namespace LevelSampler
