#include "recording/RecordingReader.h"

#include "core/AppContext.h"
#include "platform/EventPump.h"
#include "recording/RecordingAnalysis.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPromise>
#include <QThreadPool>

#include <memory>

namespace RecordingReader {

namespace {

constexpr int PollMilliseconds = 20;

// On the shared pool, with QtCore alone: the Qt built for Windows has no Concurrent module.
QFuture<RecordingFindings> analyseElsewhere(const QString &path)
{
    const auto promise = std::make_shared<QPromise<RecordingFindings>>();
    promise->start();
    QThreadPool::globalInstance()->start([promise, path] {
        promise->addResult(RecordingAnalysis::analyse(path));
        promise->finish();
    });
    return promise->future();
}

RecordingCache::Entry &entryFor(AppContext &ctx, const QString &path, bool *started)
{
    const QFileInfo info(path);
    RecordingCache::Entry &entry = ctx.Recordings.entries[path];
    *started = false;
    if (entry.findings.isValid() && entry.size == info.size() &&
        entry.modified == info.lastModified())
        return entry;
    entry = {info.size(), info.lastModified(), analyseElsewhere(path)};
    *started = true;
    return entry;
}

} // namespace

std::optional<RecordingFindings> findings(AppContext &ctx, const QString &path,
                                          const std::function<void()> &whenRead)
{
    bool started = false;
    RecordingCache::Entry &entry = entryFor(ctx, path, &started);
    if (entry.findings.isFinished())
        return entry.findings.result();
    if (started && whenRead) {
        const std::weak_ptr<int> alive = ctx.Recordings.alive;
        entry.findings.then(QCoreApplication::instance(),
                            [alive, whenRead](const RecordingFindings &) {
                                if (!alive.expired())
                                    whenRead();
                            });
    }
    return std::nullopt;
}

std::optional<RecordingFindings> waitFor(AppContext &ctx, const QString &path)
{
    bool started = false;
    const QFuture<RecordingFindings> future = entryFor(ctx, path, &started).findings;
    while (!future.isFinished()) {
        if (ctx.shutdownRequested())
            return std::nullopt;
        ctx.platform.events.waitProcessingEvents(PollMilliseconds);
    }
    return future.result();
}

} // namespace RecordingReader
