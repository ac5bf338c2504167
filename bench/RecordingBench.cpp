// Reading a two-hour 320 kbit/s recording (about 290 MB) with ten minutes of dead air in it,
// against mpg123 decoding all of it: the check samples the audio, so it costs a small part of
// that, finds the dead air within ten seconds, and leaves the event loop running throughout.

#include "StallMeter.h"
#include "TargetReport.h"

#include "core/AppContext.h"
#include "core/RecordingLimits.h"
#include "recording/RecordingReader.h"
#include "recording/RecordingVerdict.h"
#include "recording/SilenceRuns.h"
#include "support/TestApp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <sys/resource.h>

namespace {

constexpr double TargetCpuSeconds = 2.0;
constexpr double TargetStallMs = 20.0;
constexpr double ToleranceSeconds = 10.0;
constexpr double LengthToleranceSeconds = 1.0;
constexpr double TwoHours = 2 * 60 * 60;
constexpr int Kbps = 320;
// The long file is one-minute pieces end to end: an hour of tone, ten minutes of dead air, and
// another tone to the end of the two hours.
constexpr int PieceSeconds = 60;
constexpr int TonePieces = 60;
constexpr int HushPieces = 10;
constexpr int TailPieces = 50;

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A minute of constant bit rate without a LAME header frame, so that pieces put end to end are
// one plain stream. The WAV goes through a file: on a pipe sox cannot mend the length in its
// header and leaves a placeholder of 2 GiB, at which lame stops, an hour and 41 minutes into
// two hours of 32-bit samples.
QByteArray encodedPiece(const QString &folder, const QString &name, const QString &effect)
{
    const QString wav = folder + QLatin1Char('/') + name + QStringLiteral(".wav");
    const QString mp3 = folder + QLatin1Char('/') + name + QStringLiteral(".mp3");
    const QString script =
        QStringLiteral("sox -n -r 44100 -c 2 -b 16 '%1' %2 && lame --quiet -t -b %3 '%1' '%4'")
            .arg(wav, effect)
            .arg(Kbps)
            .arg(mp3);
    QProcess::execute(QStringLiteral("bash"), {QStringLiteral("-c"), script});
    QFile file(mp3);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    QFile::remove(wav);
    QFile::remove(mp3);
    return bytes;
}

double secondsOf(const QByteArray &cbrFrames)
{
    return cbrFrames.size() * 8.0 / (Kbps * 1000.0);
}

struct MadeRecording
{
    QString path;
    double seconds = 0;
    SilenceRun hush;
};

std::optional<MadeRecording> makeRecording(const QString &folder)
{
    const QString synth = QStringLiteral("synth %1 sine %2 vol 0.3").arg(PieceSeconds);
    const QByteArray tone = encodedPiece(folder, QStringLiteral("tone"), synth.arg(440));
    const QByteArray hush =
        encodedPiece(folder, QStringLiteral("hush"), QStringLiteral("trim 0 %1").arg(PieceSeconds));
    const QByteArray tail = encodedPiece(folder, QStringLiteral("tail"), synth.arg(330));
    if (tone.isEmpty() || hush.isEmpty() || tail.isEmpty())
        return std::nullopt;

    const SilenceRun made{TonePieces * secondsOf(tone), HushPieces * secondsOf(hush)};
    const QString path = folder + QStringLiteral("/two-hours.mp3");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return std::nullopt;
    const std::pair<const QByteArray *, int> pieces[] = {
        {&tone, TonePieces}, {&hush, HushPieces}, {&tail, TailPieces}};
    for (const auto &[piece, count] : pieces) {
        for (int i = 0; i < count; ++i) {
            if (file.write(*piece) != piece->size())
                return std::nullopt;
        }
    }
    return MadeRecording{path, made.start + made.seconds + TailPieces * secondsOf(tail), made};
}

QString runsText(const QList<SilenceRun> &runs)
{
    QStringList texts;
    for (const SilenceRun &run : runs)
        texts << QStringLiteral("at %1 s for %2 s")
                     .arg(run.start, 0, 'f', 1)
                     .arg(run.seconds, 0, 'f', 1);
    return QStringLiteral("%1 run(s)%2%3")
        .arg(runs.size())
        .arg(runs.isEmpty() ? QString() : QStringLiteral(": "), texts.join(QStringLiteral(", ")));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TargetReport report(QStringLiteral("recording check"));
    const std::optional<MadeRecording> made = makeRecording(QDir::tempPath());
    if (!made) {
        report.check(QStringLiteral("recording made"), QStringLiteral("sox or lame failed"), false);
        return report.finish();
    }
    report.figure(QStringLiteral("made %1 (%2 s, %3 MB) of %4 kbit/s from %5 s pieces")
                      .arg(RecordingVerdict::clockText(made->seconds))
                      .arg(made->seconds, 0, 'f', 1)
                      .arg(QFileInfo(made->path).size() / 1e6, 0, 'f', 0)
                      .arg(Kbps)
                      .arg(PieceSeconds));

    // In the program's own way: read on a worker while the event loop runs, as an upload waits.
    TestApp context;
    StallMeter stalls;
    stalls.start();
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    const std::optional<RecordingFindings> findings =
        RecordingReader::waitFor(context.ctx, made->path);
    const double cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    stalls.stop();

    const double mpg123Before = cpuSeconds(RUSAGE_CHILDREN);
    QProcess::execute(QStringLiteral("mpg123"),
                      {QStringLiteral("-t"), QStringLiteral("-q"), made->path});
    const double mpg123 = cpuSeconds(RUSAGE_CHILDREN) - mpg123Before;
    QFile::remove(made->path);

    const RecordingLimits limits;
    const SilenceRuns silence =
        SilenceRuns::of(*findings, limits.silenceThresholdDb, limits.maxSilenceSeconds);
    const SilenceRun found = silence.runs.value(0);
    const bool foundMade = silence.runs.size() == 1 &&
                           std::abs(found.start - made->hush.start) <= ToleranceSeconds &&
                           std::abs(found.seconds - made->hush.seconds) <= ToleranceSeconds;
    report.figure(QStringLiteral("read as: ") + RecordingVerdict::description(*findings, limits));
    report.figure(
        QStringLiteral("check %1 s of CPU, mpg123 -t %2 s: ratio %3 (mpg123 -t takes %4x)")
            .arg(cpu, 0, 'f', 2)
            .arg(mpg123, 0, 'f', 2)
            .arg(cpu / std::max(mpg123, 1e-3), 0, 'f', 3)
            .arg(mpg123 / std::max(cpu, 1e-3), 0, 'f', 1));

    report.check(QStringLiteral("the recording made is two hours long"),
                 QStringLiteral("%1 s").arg(made->seconds, 0, 'f', 1), made->seconds >= TwoHours);
    report.check(QStringLiteral("length read within 1 s of the length made"),
                 QStringLiteral("%1 s read, %2 s made")
                     .arg(findings->seconds, 0, 'f', 1)
                     .arg(made->seconds, 0, 'f', 1),
                 std::abs(findings->seconds - made->seconds) <= LengthToleranceSeconds);
    report.check(
        QStringLiteral("check of a 2-hour 320 kbit/s recording <= 2 s of CPU"),
        QStringLiteral("%1 s (mpg123 -t: %2 s)").arg(cpu, 0, 'f', 2).arg(mpg123, 0, 'f', 2),
        cpu <= TargetCpuSeconds);
    report.check(QStringLiteral("ratio against mpg123 -t below 1: a sample decoded, not all of it"),
                 QStringLiteral("%1").arg(cpu / std::max(mpg123, 1e-3), 0, 'f', 3), cpu < mpg123);
    report.check(QStringLiteral("silent runs found as made, within 10 s"),
                 QStringLiteral("made 1 run at %1 s for %2 s; found %3")
                     .arg(made->hush.start, 0, 'f', 1)
                     .arg(made->hush.seconds, 0, 'f', 1)
                     .arg(runsText(silence.runs)),
                 foundMade);
    report.check(QStringLiteral("event loop stalls <= 20 ms during the check"),
                 QStringLiteral("longest %1 ms").arg(stalls.longestStallMs(), 0, 'f', 1),
                 stalls.longestStallMs() <= TargetStallMs);
    return report.finish();
}
