#include "recording/MpegFrame.h"

#include <QStringList>

#include <array>

namespace {

using Row = std::array<int, 15>;
// Bit rates in kbit/s by index 0-14; index 0 is the free format, which this program refuses.
constexpr Row Mpeg1Layer1{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448};
constexpr Row Mpeg1Layer2{0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
constexpr Row Mpeg1Layer3{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr Row Mpeg2Layer1{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256};
constexpr Row Mpeg2Layer23{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

int bitrate(int version, int layer, int index)
{
    if (version == 1)
        return (layer == 1 ? Mpeg1Layer1 : layer == 2 ? Mpeg1Layer2 : Mpeg1Layer3)[index];
    return (layer == 1 ? Mpeg2Layer1 : Mpeg2Layer23)[index];
}

int rateOf(int version, int index)
{
    constexpr std::array<int, 3> Mpeg1{44100, 48000, 32000};
    const int base = Mpeg1[index];
    return version == 1 ? base : version == 2 ? base / 2 : base / 4;
}

// Where the Xing or Info tag sits: after the side information.
int sideInfoEnd(const MpegFrame &frame)
{
    const bool mono = frame.channels == 1;
    if (frame.version == 1)
        return MpegFrame::HeaderBytes + (mono ? 17 : 32);
    return MpegFrame::HeaderBytes + (mono ? 9 : 17);
}

} // namespace

std::optional<MpegFrame> MpegFrame::parse(QByteArrayView bytes, qsizetype at)
{
    if (at < 0 || at + HeaderBytes > bytes.size())
        return std::nullopt;
    const auto byte = [&](int i) { return uchar(bytes[at + i]); };
    if (byte(0) != 0xFF || (byte(1) & 0xE0) != 0xE0)
        return std::nullopt;
    const int versionBits = (byte(1) >> 3) & 3;
    const int layerBits = (byte(1) >> 1) & 3;
    const int bitrateIndex = byte(2) >> 4;
    const int rateIndex = (byte(2) >> 2) & 3;
    const int emphasis = byte(3) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
        rateIndex == 3 || emphasis == 2)
        return std::nullopt;
    MpegFrame frame;
    frame.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    frame.layer = 4 - layerBits;
    frame.bitrateKbps = bitrate(frame.version, frame.layer, bitrateIndex);
    frame.sampleRate = rateOf(frame.version, rateIndex);
    frame.channels = (byte(3) >> 6) == 3 ? 1 : 2;
    const int padding = (byte(2) >> 1) & 1;
    const int bitsPerSecond = frame.bitrateKbps * 1000;
    if (frame.layer == 1) {
        frame.samples = 384;
        frame.length = (12 * bitsPerSecond / frame.sampleRate + padding) * 4;
    } else {
        const bool half = frame.layer == 3 && frame.version != 1;
        frame.samples = half ? 576 : 1152;
        frame.length = (half ? 72 : 144) * bitsPerSecond / frame.sampleRate + padding;
    }
    return frame;
}

bool MpegFrame::sameStreamAs(const MpegFrame &other) const
{
    return version == other.version && layer == other.layer && sampleRate == other.sampleRate &&
           channels == other.channels;
}

bool MpegFrame::isInfoFrame(QByteArrayView bytes, qsizetype at) const
{
    const QByteArrayView frame = bytes.sliced(at, std::min<qsizetype>(length, bytes.size() - at));
    const QByteArrayView tag = frame.sliced(std::min<qsizetype>(sideInfoEnd(*this), frame.size()));
    return tag.startsWith("Xing") || tag.startsWith("Info") ||
           frame.sliced(std::min<qsizetype>(36, frame.size())).startsWith("VBRI");
}

QString MpegFrame::formatText() const
{
    static const QStringList Layers{QStringLiteral("I"), QStringLiteral("II"),
                                    QStringLiteral("III")};
    const QString name = version == 25 ? QStringLiteral("2.5") : QString::number(version);
    return QStringLiteral("MPEG-") + name + QStringLiteral(" Layer ") + Layers[layer - 1];
}
