// Reading a full show configuration and flushing a busy audit buffer, each set against the naive
// way of doing the same work: re-reading the file for every key, opening the file for every line.

#include "CollectingReporter.h"
#include "ShowConfig.h"
#include "TargetReport.h"

#include "audit/AuditLog.h"
#include "config/ConfigReader.h"
#include "config/RefreshConfig.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "support/TestApp.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

#include <benchmark/benchmark.h>

#include <functional>
#include <optional>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr int FlushLines = 601;
constexpr double ReloadTargetMs = 5.0;

const char *const ShowKeys[] = {"Filename", "Title", "Description", "UploadDay", "UploadTime", "Picture"};

QString naiveValue(const QString &path, const QString &section, const QString &key)
{
    const std::optional<IniFile> ini = IniFile::load(path);
    return ini ? ConfigReader::storedValue(*ini, section, key) : QString();
}

// The same table, with the whole file read and parsed again for every single key.
ShowTableRecord naiveShowTable(const QString &path, QString *uploadUrl)
{
    *uploadUrl = naiveValue(path, QStringLiteral("General"), QStringLiteral("UploadURL"));
    ShowTableRecord table;
    ShowTableRecord::Column *const columns[] = {&table.Filename,  &table.Title,      &table.Description,
                                                &table.UploadDay, &table.UploadTime, &table.Picture};
    for (int show = 1; show <= ShowTableRecord::MaxShows; ++show) {
        const QString section = QStringLiteral("Show") + QString::number(show);
        for (int key = 0; key < 6; ++key)
            (*columns[key])[show] = naiveValue(path, section, QString::fromLatin1(ShowKeys[key]));
    }
    return table;
}

bool tableIsFull(const ShowTableRecord &table)
{
    return table.Title[1].startsWith(QStringLiteral("The Show Number 1 "))
           && table.Picture[ShowTableRecord::MaxShows].endsWith(QStringLiteral("show100.jpg"));
}

void BM_ReadConfig(benchmark::State &state)
{
    TestApp app;
    const QString path = app.writeConfig(ShowConfig::full());
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadConfig(app.ctx, path));
    if (!tableIsFull(app.ctx.ShowTable))
        state.SkipWithError("ReadConfig did not fill the show table");
}

void BM_ReadConfigNaive(benchmark::State &state)
{
    TestApp app;
    const QString path = app.writeConfig(ShowConfig::full());
    ShowTableRecord table;
    QString uploadUrl;
    for (auto _ : state) {
        table = naiveShowTable(path, &uploadUrl);
        benchmark::DoNotOptimize(table);
    }
    if (!tableIsFull(table))
        state.SkipWithError("the naive reader did not fill the show table");
}

// The Refresh Config command as the operator runs it: locate, check and read the file.
void BM_RefreshConfig(benchmark::State &state)
{
    TestApp app;
    app.writeConfig(ShowConfig::full());
    for (auto _ : state) {
        configmnu_Click(app.ctx);
        // Without a flush the audit buffer would only grow; clearing it costs next to nothing.
        app.ctx.Audit.reset();
    }
    if (!tableIsFull(app.ctx.ShowTable) || app.view.status.left(14) != QStringLiteral("Config loaded."))
        state.SkipWithError("Refresh Config did not load the file");
}

QString auditText(int number)
{
    return QStringLiteral("UploadShow| Uploading: '/srv/playout/recordings/weekly/show%1-master-mix.mp3' "
                          "Date Created: 06/12/2026 14:03:27")
        .arg(number % 100 + 1);
}

// The folder made beforehand, and the line that reports its making dropped, so that only the
// measured lines reach the file.
void prepareAuditFolder(TestApp &app)
{
    CheckAuditFolderExists(app.ctx, app.ctx.CFG.LocalAppFolder);
    app.ctx.Audit.reset();
}

void holdLines(TestApp &app)
{
    for (int line = 0; line < FlushLines; ++line)
        app.ctx.AppendLog(auditText(line));
}

// What WriteLog would be if it opened, appended to and closed the file for every line.
void naiveWriteLog(TestApp &app, const QStringList &lines)
{
    const QString path = dailyAuditFile(app.ctx);
    for (const QString &line : lines) {
        AppendFile file;
        file.open(path);
        file.write((line + QStringLiteral("\r\n")).toLocal8Bit());
        file.close();
        app.events.processPendingEvents();
    }
}

void BM_WriteLog(benchmark::State &state)
{
    TestApp app;
    prepareAuditFolder(app);
    for (auto _ : state) {
        state.PauseTiming();
        removeFile(dailyAuditFile(app.ctx));
        app.ctx.Audit.reset();
        holdLines(app);
        state.ResumeTiming();
        WriteLog(app.ctx);
    }
    if (app.auditTexts(app.clock.now().date()).size() != FlushLines)
        state.SkipWithError("WriteLog did not write every line");
}

void BM_WriteLogNaive(benchmark::State &state)
{
    TestApp app;
    prepareAuditFolder(app);
    holdLines(app);
    const QStringList lines = app.ctx.Audit.lines();
    for (auto _ : state) {
        state.PauseTiming();
        removeFile(dailyAuditFile(app.ctx));
        state.ResumeTiming();
        naiveWriteLog(app, lines);
    }
    if (app.auditTexts(app.clock.now().date()).size() != FlushLines)
        state.SkipWithError("the naive flush did not write every line");
}

BENCHMARK(BM_ReadConfig)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadConfigNaive)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RefreshConfig)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteLog)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteLogNaive)->Unit(benchmark::kMillisecond)->UseRealTime();

// How often `flush` opens the audit file, as the kernel saw it.
int opensOfAuditFile(TestApp &app, const std::function<void()> &flush)
{
    const QFileInfo file(dailyAuditFile(app.ctx));
    const int watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    // Closes are watched too: the kernel merges identical events that follow each other unread.
    if (watcher < 0
        || inotify_add_watch(watcher, QFile::encodeName(file.path()).constData(), IN_OPEN | IN_CLOSE_WRITE) < 0)
        return -1;
    flush();

    int opens = 0;
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t length = read(watcher, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t offset = 0; offset < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
            if ((event->mask & IN_OPEN) && event->len > 0 && QFile::decodeName(event->name) == file.fileName())
                ++opens;
            offset += ssize_t(sizeof(inotify_event)) + event->len;
        }
    }
    close(watcher);
    return opens;
}

struct OpenCounts
{
    int writeLog = -1;
    int naive = -1;
};

OpenCounts countOpens()
{
    OpenCounts counts;
    TestApp app;
    prepareAuditFolder(app);
    holdLines(app);
    const QStringList lines = app.ctx.Audit.lines();
    counts.writeLog = opensOfAuditFile(app, [&] { WriteLog(app.ctx); });
    counts.naive = opensOfAuditFile(app, [&] { naiveWriteLog(app, lines); });
    return counts;
}

QString milliseconds(double value)
{
    return QString::number(value, 'f', 3) + QStringLiteral(" ms");
}

QString againstBaseline(double measured, double baseline)
{
    return milliseconds(measured) + QStringLiteral(" against ") + milliseconds(baseline)
           + QStringLiteral(" for the naive baseline, ratio ") + QString::number(measured / baseline, 'f', 3);
}

int reportTargets(const CollectingReporter &reporter)
{
    TargetReport report(QStringLiteral("config+audit"));
    const auto ms = [&](const char *name) -> std::optional<double> {
        const auto found = reporter.results().find(name);
        if (found == reporter.results().end())
            return std::nullopt;
        return found->second.milliseconds;
    };

    const auto readConfig = ms("BM_ReadConfig");
    const auto readConfigNaive = ms("BM_ReadConfigNaive");
    const auto reload = ms("BM_RefreshConfig");
    if (readConfig && readConfigNaive)
        report.figure(QStringLiteral("ReadConfig of 100 shows: ") + againstBaseline(*readConfig, *readConfigNaive));
    report.check(QStringLiteral("reload (Refresh Config) of 100 shows <= 5 ms"),
                 reload ? milliseconds(*reload) : QStringLiteral("not measured"),
                 reload && *reload <= ReloadTargetMs);

    const auto writeLog = ms("BM_WriteLog");
    const auto writeLogNaive = ms("BM_WriteLogNaive");
    if (writeLog && writeLogNaive)
        report.figure(QStringLiteral("WriteLog of 601 lines: ") + againstBaseline(*writeLog, *writeLogNaive));
    const OpenCounts opens = countOpens();
    report.check(QStringLiteral("flush of 601 lines opens the audit file once"),
                 QStringLiteral("%1 open(s); the naive baseline opens it %2 times").arg(opens.writeLog).arg(opens.naive),
                 opens.writeLog == 1);
    return report.finish();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QStringLiteral("en_GB")));
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reportTargets(reporter);
}
