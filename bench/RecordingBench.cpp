// Reading a two-hour 320 kbit/s recording (about 290 MB) with ten minutes of dead air in it,
// against mpg123 decoding all of it: the check samples the audio, so it costs a small part of
// that, finds the dead air within ten seconds, and leaves the event loop running throughout.

#include "StallMeter.h"
#include "TargetReport.h"

#include "core/AppContext.h"
#include "recording/RecordingAnalysis.h"
#include "recording/RecordingReader.h"
#include "recording/SilenceRuns.h"
#include "support/TestApp.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <sys/resource.h>

namespace {

constexpr double TargetCpuSeconds = 2.0;
constexpr double TargetStallMs = 20.0;
constexpr double ToleranceSeconds = 10.0;
constexpr int ToneSeconds = 3600;
constexpr int HushSeconds = 600;
constexpr int TailSeconds = 3000;

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Tone, dead air, tone: made with sox and lame (a few minutes of one core).
QString makeRecording(const QString &folder)
{
    const QString path = folder + QStringLiteral("/two-hours.mp3");
    const QString synth =
        QStringLiteral("<(sox -n -r 44100 -c 2 -t wav - synth %1 sine %2 vol 0.3%3)");
    const QString script =
        QStringLiteral("sox -t wav %1 -t wav %2 -t wav - | lame --quiet -b 320 - '%3'")
            .arg(synth.arg(ToneSeconds).arg(440).arg(QStringLiteral(" pad 0 %1").arg(HushSeconds)),
                 synth.arg(TailSeconds).arg(330).arg(QString()), path);
    QProcess::execute(QStringLiteral("bash"), {QStringLiteral("-c"), script});
    return path;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TargetReport report(QStringLiteral("recording check"));
    const QString recording = makeRecording(QDir::tempPath());
    if (!QFileInfo(recording).isFile()) {
        report.check(QStringLiteral("recording made"), QStringLiteral("sox or lame failed"), false);
        return report.finish();
    }
    report.figure(QStringLiteral("%1 MB").arg(QFileInfo(recording).size() / 1e6, 0, 'f', 0));

    // In the program's own way: read on a worker while the event loop runs, as an upload waits.
    TestApp context;
    StallMeter stalls;
    stalls.start();
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    const std::optional<RecordingFindings> findings =
        RecordingReader::waitFor(context.ctx, recording);
    const double cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    stalls.stop();

    const double mpg123Before = cpuSeconds(RUSAGE_CHILDREN);
    QProcess::execute(QStringLiteral("mpg123"),
                      {QStringLiteral("-t"), QStringLiteral("-q"), recording});
    const double mpg123 = cpuSeconds(RUSAGE_CHILDREN) - mpg123Before;

    const SilenceRuns silence = SilenceRuns::of(*findings, -50, 120);
    const bool found = silence.runs.size() == 1 &&
                       std::abs(silence.runs[0].start - ToneSeconds) <= ToleranceSeconds &&
                       std::abs(silence.runs[0].seconds - HushSeconds) <= ToleranceSeconds;
    report.figure(QStringLiteral("length %1 s, silent run at %2 s for %3 s")
                      .arg(findings->seconds, 0, 'f', 1)
                      .arg(silence.runs.value(0).start, 0, 'f', 1)
                      .arg(silence.runs.value(0).seconds, 0, 'f', 1));
    report.figure(QStringLiteral("mpg123 -t %1 s of CPU, %2 times the check")
                      .arg(mpg123, 0, 'f', 2)
                      .arg(mpg123 / std::max(cpu, 1e-3), 0, 'f', 1));
    report.check(QStringLiteral("check of a 2-hour 320 kbit/s recording <= 2 s of CPU"),
                 QStringLiteral("%1 s").arg(cpu, 0, 'f', 2), cpu <= TargetCpuSeconds);
    report.check(QStringLiteral("dead air found within 10 s"),
                 found ? QStringLiteral("yes") : QStringLiteral("no"), found);
    report.check(QStringLiteral("event loop stalls <= 20 ms during the check"),
                 QStringLiteral("%1 ms").arg(stalls.longestStallMs(), 0, 'f', 1),
                 stalls.longestStallMs() <= TargetStallMs);
    QFile::remove(recording);
    return report.finish();
}
