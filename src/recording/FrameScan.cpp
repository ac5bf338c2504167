#include "recording/FrameScan.h"

#include <QtEndian>

namespace {

constexpr qsizetype Id3v2HeaderBytes = 10;
constexpr qsizetype Id3v1Bytes = 128;
constexpr qsizetype ApeFooterBytes = 32;

// The bytes between the tags at the start and the end, where the frames are.
struct AudioSpan
{
    qsizetype begin = 0;
    qsizetype end = 0;
};

qsizetype id3v2Length(QByteArrayView bytes)
{
    if (bytes.size() < Id3v2HeaderBytes || !bytes.startsWith("ID3"))
        return 0;
    qsizetype size = 0;
    for (int i = 6; i < 10; ++i)
        size = (size << 7) | (uchar(bytes[i]) & 0x7F);
    const bool footer = uchar(bytes[5]) & 0x10;
    return std::min(bytes.size(), Id3v2HeaderBytes + size + (footer ? Id3v2HeaderBytes : 0));
}

AudioSpan audioSpan(QByteArrayView bytes)
{
    AudioSpan span{id3v2Length(bytes), bytes.size()};
    if (span.end - span.begin >= Id3v1Bytes &&
        bytes.sliced(span.end - Id3v1Bytes).startsWith("TAG"))
        span.end -= Id3v1Bytes;
    if (span.end - span.begin >= ApeFooterBytes &&
        bytes.sliced(span.end - ApeFooterBytes).startsWith("APETAGEX")) {
        const qsizetype tag =
            qFromLittleEndian<quint32>(bytes.data() + span.end - ApeFooterBytes + 12);
        const bool header = uchar(bytes[span.end - ApeFooterBytes + 23]) & 0x80;
        span.end = std::max(span.begin, span.end - tag - (header ? ApeFooterBytes : 0));
    }
    return span;
}

// A valid header of the stream at `at` whose frame ends at `end` or where the next one begins.
bool isFrameAt(QByteArrayView bytes, qsizetype at, qsizetype end, const MpegFrame *stream)
{
    const std::optional<MpegFrame> frame = MpegFrame::parse(bytes, at);
    if (!frame || (stream && !frame->sameStreamAs(*stream)))
        return false;
    const qsizetype next = at + frame->length;
    if (next == end)
        return true;
    const std::optional<MpegFrame> following = MpegFrame::parse(bytes, next);
    return next < end && following && following->sameStreamAs(*frame);
}

bool startsStream(QByteArrayView bytes, qsizetype at, qsizetype end)
{
    const std::optional<MpegFrame> first = MpegFrame::parse(bytes, at);
    if (!first)
        return false;
    for (int i = 0; i < FrameScan::FramesToStart; ++i) {
        const std::optional<MpegFrame> frame = MpegFrame::parse(bytes, at);
        if (!frame || !frame->sameStreamAs(*first) || at + frame->length > end)
            return false;
        at += frame->length;
    }
    return true;
}

QString whatElse(QByteArrayView bytes, AudioSpan span)
{
    const QByteArrayView audio = bytes.sliced(span.begin, span.end - span.begin);
    if (audio.isEmpty())
        return span.begin > 0 ? QStringLiteral("an ID3 tag and no audio")
                              : QStringLiteral("no bytes");
    if (audio.startsWith("RIFF") &&
        audio.sliced(std::min<qsizetype>(8, audio.size())).startsWith("WAVE"))
        return QStringLiteral("a WAV file");
    if (audio.startsWith("fLaC"))
        return QStringLiteral("a FLAC file");
    if (audio.startsWith("OggS"))
        return QStringLiteral("an Ogg file");
    if (audio.sliced(std::min<qsizetype>(4, audio.size())).startsWith("ftyp"))
        return QStringLiteral("an MP4 file (AAC or ALAC)");
    if (audio.size() >= 2 && uchar(audio[0]) == 0xFF && (uchar(audio[1]) & 0xF6) == 0xF0)
        return QStringLiteral("an AAC stream (ADTS)");
    if (std::all_of(audio.begin(), audio.end(), [](char c) { return c == 0; }))
        return QStringLiteral("only zero bytes");
    return QStringLiteral("no MPEG audio frames at its start");
}

} // namespace

FrameScan FrameScan::of(QByteArrayView bytes)
{
    FrameScan scan;
    const AudioSpan span = audioSpan(bytes);
    if (!startsStream(bytes, span.begin, span.end)) {
        scan.notMpeg = whatElse(bytes, span);
        return scan;
    }
    scan.first = *MpegFrame::parse(bytes, span.begin);
    qsizetype at = span.begin;
    qsizetype frameEnd = at;
    while (at + MpegFrame::HeaderBytes <= span.end) {
        if (!isFrameAt(bytes, at, span.end, &scan.first)) {
            const std::optional<MpegFrame> broken = MpegFrame::parse(bytes, at);
            if (broken && broken->sameStreamAs(scan.first) && at + broken->length > span.end) {
                scan.cutAt = at;
                break;
            }
            ++at; // noise between frames: look for the stream again
            continue;
        }
        const MpegFrame frame = *MpegFrame::parse(bytes, at);
        const bool notes = at == span.begin && frame.isInfoFrame(bytes, at);
        if (!notes) {
            if (scan.offsets.isEmpty())
                scan.first = frame;
            scan.offsets.append(at);
            scan.audioBytes += frame.length;
            scan.variableBitrate |= frame.bitrateKbps != scan.first.bitrateKbps;
        }
        at += frame.length;
        frameEnd = at;
    }
    // Less than a header right after the last frame is a frame cut off at its very start.
    if (scan.cutAt < 0 && at == frameEnd && at < span.end)
        scan.cutAt = at;
    const qsizetype total = span.end - span.begin;
    if (scan.audioBytes < AudioShare * total && scan.cutAt < 0)
        scan.notMpeg = QStringLiteral("MPEG audio frames in only %1% of it")
                           .arg(int(100 * scan.audioBytes / std::max<qsizetype>(total, 1)));
    return scan;
}

int FrameScan::averageKbps() const
{
    const double seconds = this->seconds();
    return seconds > 0 ? int(audioBytes * 8 / seconds / 1000 + 0.5) : 0;
}

QByteArrayView FrameScan::frames(QByteArrayView bytes, qsizetype from, qsizetype to) const
{
    from = std::clamp<qsizetype>(from, 0, offsets.size() - 1);
    const qsizetype begin = offsets[from];
    const qsizetype end = to < offsets.size()
                              ? offsets[to]
                              : offsets.last() + MpegFrame::parse(bytes, offsets.last())->length;
    return bytes.sliced(begin, std::min(end, bytes.size()) - begin);
}
