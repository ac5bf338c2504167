// The program left alone for an hour with 100 shows and none of them due, with and without
// MetricsFile: libfaketime runs its clock and its timers sixty times as fast, so the hour's
// ticks and metrics files come in one minute, and the CPU the process took is read from /proc.

#include "ProcStatus.h"
#include "ShowConfig.h"
#include "TargetReport.h"

#include "support/ProgramRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <csignal>
#include <optional>

namespace {

// The program's whole idle budget.
constexpr double IdleCpuSecondsPerHour = 1.0;
constexpr int Speed = 60;
constexpr int HourMs = 60 * 60 * 1000 / Speed;
// Start-up and the first minutes' reading of the configuration are not idle.
constexpr int SettleMs = 5 * 60 * 1000 / Speed;
// A Monday 09:00: of the 100 shows, the last went at 08:56 and the next is due at 11:35, well
// beyond the check ahead.
const QDateTime QuietHour{QDate(2026, 12, 7), QTime(9, 0)};
const QString MetricsPath = QStringLiteral("metrics/tunebarn.prom");

struct IdleHour
{
    double cpuSeconds = 0;
    double tickMinutes = -1;  // how far the metrics file's last tick moved, when there is one
    qsizetype auditLines = 0; // written during the hour
};

// The bench's own events keep running, so the program's output never fills its pipes.
void runEventsFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

std::optional<double> lastTick(const ProgramRun &run)
{
    QFile file(run.path(MetricsPath));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    static const QRegularExpression sample(
        QStringLiteral("^tunebarn_last_tick_timestamp_seconds (\\S+)$"),
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = sample.match(QString::fromUtf8(file.readAll()));
    bool ok = false;
    const double seconds = match.captured(1).toDouble(&ok);
    return ok ? std::optional<double>(seconds) : std::nullopt;
}

std::optional<IdleHour> idleHour(bool withMetrics, QString *error)
{
    ProgramRun run;
    QByteArray ini = ShowConfig::full();
    if (withMetrics)
        ini.replace("[General]\r\n",
                    "[General]\r\nMetricsFile=" + run.path(MetricsPath).toUtf8() + "\r\n");
    QDir().mkpath(run.path(QStringLiteral("metrics")));
    run.writeConfig(ini);
    run.setClock(QuietHour, Speed);
    QProcess &program = run.start();
    const pid_t pid = pid_t(program.processId());
    runEventsFor(SettleMs);

    const qsizetype auditBefore = run.auditTexts().size();
    const double cpuBefore = ProcStatus::cpuSeconds(pid);
    const std::optional<double> tickBefore = lastTick(run);
    QElapsedTimer real;
    real.start();
    runEventsFor(HourMs);
    const double cpu = ProcStatus::cpuSeconds(pid) - cpuBefore;
    const double hours = double(real.elapsed()) * Speed / (60 * 60 * 1000);
    const std::optional<double> tickAfter = lastTick(run);
    const qsizetype auditLines = run.auditTexts().size() - auditBefore;

    if (program.state() != QProcess::Running || cpuBefore < 0 || cpu < 0) {
        *error = QStringLiteral("the program did not keep running: ") +
                 run.auditTexts().join(QStringLiteral(" | ")).right(400);
        return std::nullopt;
    }
    ProgramRun::stop(program, SIGTERM);
    IdleHour hour{cpu / hours, -1, auditLines};
    if (tickBefore && tickAfter)
        hour.tickMinutes = (*tickAfter - *tickBefore) / 60;
    return hour;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The program stands beside the benchmarks in the build folder.
    if (qEnvironmentVariableIsEmpty("TUNEBARN_BUILD_DIR"))
        qputenv("TUNEBARN_BUILD_DIR", QCoreApplication::applicationDirPath().toLocal8Bit());
    TargetReport report(QStringLiteral("idle"));
    report.figure(QStringLiteral("an hour of the program with 100 shows, none due, faked by "
                                 "libfaketime at x%1 (%2 s of real time)")
                      .arg(Speed)
                      .arg(HourMs / 1000));

    QString error;
    const std::optional<IdleHour> plain = idleHour(false, &error);
    if (plain)
        report.figure(
            QStringLiteral("without MetricsFile: %1 CPU-seconds an hour, %2 audit line(s)")
                .arg(plain->cpuSeconds, 0, 'f', 3)
                .arg(plain->auditLines));
    const std::optional<IdleHour> metrics = plain ? idleHour(true, &error) : std::nullopt;
    if (metrics)
        report.figure(
            QStringLiteral("with MetricsFile: %1 CPU-seconds an hour, %2 audit line(s), the "
                           "file's last tick moved %3 minutes")
                .arg(metrics->cpuSeconds, 0, 'f', 3)
                .arg(metrics->auditLines)
                .arg(metrics->tickMinutes, 0, 'f', 0));

    const bool written = metrics && metrics->tickMinutes >= 55;
    report.check(
        QStringLiteral("the metrics file is replaced every minute of the hour"),
        !metrics ? error
        : written
            ? QStringLiteral("yes")
            : QStringLiteral("its last tick moved %1 minutes").arg(metrics->tickMinutes, 0, 'f', 0),
        written);
    report.check(QStringLiteral("an hour idle with MetricsFile and 100 shows <= %1 CPU-second")
                     .arg(IdleCpuSecondsPerHour),
                 metrics
                     ? QString::number(metrics->cpuSeconds, 'f', 3) + QStringLiteral(" CPU-seconds")
                     : error,
                 metrics && metrics->cpuSeconds <= IdleCpuSecondsPerHour);
    return report.finish();
}
