#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

// One MPEG audio frame header (MPEG-1, 2 and 2.5, Layers I to III).
struct MpegFrame
{
    static constexpr int HeaderBytes = 4;

    int version = 1; // 1, 2, or 25 for MPEG-2.5
    int layer = 3;
    int bitrateKbps = 0;
    int sampleRate = 0;
    int channels = 2;
    int length = 0;  // bytes, header included
    int samples = 0; // per channel

    // The header at `at`, when those four bytes are a valid one of a fixed bit rate.
    static std::optional<MpegFrame> parse(QByteArrayView bytes, qsizetype at);
    // Frames of one stream share these; a header of another stream inside the data is noise.
    bool sameStreamAs(const MpegFrame &other) const;
    // A Xing, Info or VBRI frame: the encoder's notes on the stream, not audio.
    bool isInfoFrame(QByteArrayView bytes, qsizetype at) const;
    // "MPEG-1 Layer III"
    QString formatText() const;
    double seconds() const { return double(samples) / sampleRate; }
};
