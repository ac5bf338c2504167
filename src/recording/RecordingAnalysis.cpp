#include "recording/RecordingAnalysis.h"

#include "platform/MappedFile.h"
#include "recording/FrameScan.h"
#include "recording/LevelSampler.h"

namespace RecordingAnalysis {

RecordingFindings analyse(const QString &path)
{
    RecordingFindings findings;
    const MappedFile file(path);
    findings.modified = file.modified();
    if (!file.isOpen()) {
        findings.unreadable = file.failure();
        return findings;
    }
    const QByteArrayView bytes = file.bytes();
    findings.size = bytes.size();
    const FrameScan scan = FrameScan::of(bytes);
    if (!scan.isMpeg()) {
        findings.notMpeg = scan.notMpeg;
        return findings;
    }
    findings.cutAt = scan.cutAt;
    findings.format = scan.first.formatText();
    findings.variableBitrate = scan.variableBitrate;
    findings.kbps = scan.variableBitrate ? scan.averageKbps() : scan.first.bitrateKbps;
    findings.sampleRate = scan.first.sampleRate;
    findings.channels = scan.first.channels;
    findings.seconds = scan.seconds();
    findings.levelStep = LevelSampler::stepFor(findings.seconds);
    findings.levels = LevelSampler::levels(bytes, scan, findings.levelStep);
    findings.undecodable = int(std::count_if(findings.levels.cbegin(), findings.levels.cend(),
                                             [](float level) { return std::isnan(level); }));
    return findings;
}

} // namespace RecordingAnalysis
