#include "recording/LevelSampler.h"

#include <mpg123.h>

#include <cmath>
#include <memory>
#include <mutex>

namespace LevelSampler {

namespace {

constexpr double MaxWindows = 1800;
constexpr double ShortestStep = 0.25;
constexpr double LongestStep = 4.0;
// Layer III frames take up to 511 bytes of their data from the frames before, and the
// synthesis needs one frame of overlap: the window starts this far back and the frames before
// it are thrown away.
constexpr qsizetype ReservoirBytes = 1024;
constexpr int LeastLeadFrames = 2;

struct HandleDeleter
{
    void operator()(mpg123_handle *handle) const { mpg123_delete(handle); }
};
using Handle = std::unique_ptr<mpg123_handle, HandleDeleter>;

Handle newHandle(const MpegFrame &stream)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { mpg123_init(); });
    Handle handle(mpg123_new(nullptr, nullptr));
    if (!handle)
        return handle;
    mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(handle.get());
    mpg123_format(handle.get(), stream.sampleRate, MPG123_MONO | MPG123_STEREO,
                  MPG123_ENC_SIGNED_16);
    return handle;
}

qsizetype leadFrames(const FrameScan &scan, qsizetype frame)
{
    qsizetype lead = 0;
    while (frame - lead > 0 && (lead < LeastLeadFrames ||
                                scan.offsets[frame] - scan.offsets[frame - lead] < ReservoirBytes))
        ++lead;
    return lead;
}

// The mean square of the samples of the frames numbered `skip` and after.
float windowLevel(mpg123_handle *handle, QByteArrayView data, qsizetype skip)
{
    if (mpg123_open_feed(handle) != MPG123_OK ||
        mpg123_feed(handle, reinterpret_cast<const unsigned char *>(data.data()), data.size()) !=
            MPG123_OK)
        return NAN;
    double squares = 0;
    qint64 count = 0;
    for (;;) {
        off_t number = 0;
        unsigned char *audio = nullptr;
        size_t length = 0;
        const int result = mpg123_decode_frame(handle, &number, &audio, &length);
        if (result == MPG123_NEW_FORMAT)
            continue;
        if (result != MPG123_OK)
            break;
        if (number < skip)
            continue;
        const auto *samples = reinterpret_cast<const qint16 *>(audio);
        for (size_t i = 0; i < length / sizeof(qint16); ++i)
            squares += double(samples[i]) * samples[i];
        count += qint64(length / sizeof(qint16));
    }
    if (count == 0)
        return NAN;
    const double rms = std::sqrt(squares / double(count)) / 32768.0;
    return rms > 0 ? std::max(Floor, float(20 * std::log10(rms))) : Floor;
}

} // namespace

double stepFor(double seconds)
{
    return std::clamp(seconds / MaxWindows, ShortestStep, LongestStep);
}

QList<float> levels(QByteArrayView bytes, const FrameScan &scan, double step)
{
    QList<float> found;
    const Handle handle = newHandle(scan.first);
    if (!handle || scan.offsets.isEmpty())
        return found;
    const double frameSeconds = scan.first.seconds();
    const qsizetype windowFrames = std::max<qsizetype>(1, qsizetype(WindowSeconds / frameSeconds));
    const double seconds = scan.seconds();
    for (double at = 0; at < seconds; at += step) {
        const qsizetype frame =
            std::min<qsizetype>(qsizetype(at / frameSeconds), scan.offsets.size() - 1);
        const qsizetype lead = leadFrames(scan, frame);
        // One frame more than the window, as the decoder may hold the last frame back.
        const QByteArrayView data = scan.frames(bytes, frame - lead, frame + windowFrames + 1);
        found.append(windowLevel(handle.get(), data, lead));
    }
    return found;
}

} // namespace LevelSampler
