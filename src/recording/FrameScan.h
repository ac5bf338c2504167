#pragma once

#include "recording/MpegFrame.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

// The frames of an MPEG audio file, found by walking from header to header: the exact length
// whatever the bit rate does, and whether the file is MPEG audio at all.
struct FrameScan
{
    // Consecutive frames a stream must start with: PCM holds a header-like pattern here and
    // there, but never a run of them that each point at the next.
    static constexpr int FramesToStart = 4;
    // The share of the file (tags aside) that frames must fill.
    static constexpr double AudioShare = 0.95;

    QString notMpeg;       // what the file is instead, when it is not MPEG audio
    qint64 cutAt = -1;     // where the frame that runs past the end begins
    MpegFrame first;       // the first audio frame
    QList<qint64> offsets; // of the audio frames, in order
    qint64 audioBytes = 0;
    bool variableBitrate = false;

    static FrameScan of(QByteArrayView bytes);

    bool isMpeg() const { return notMpeg.isEmpty(); }
    double seconds() const { return offsets.size() * first.seconds(); }
    int averageKbps() const;
    // The bytes of frames [from, to), `to` clamped to the last frame.
    QByteArrayView frames(QByteArrayView bytes, qsizetype from, qsizetype to) const;
};
