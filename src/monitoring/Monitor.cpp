#include "monitoring/Monitor.h"

#include "core/AppContext.h"
#include "monitoring/MetricsText.h"
#include "monitoring/PingAddress.h"
#include "platform/Clock.h"

namespace {

// The schedule's times are worked out again once the next upload has come, or after this.
constexpr qint64 TimesKeptSeconds = 60 * 60;

QDateTime minuteOf(const QDateTime &at)
{
    return QDateTime(at.date(), QTime(at.time().hour(), at.time().minute()));
}

} // namespace

Monitor::Monitor(AppContext &ctx, MonitorSources sources, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_sources(std::move(sources)), m_pinger(ctx), m_file(ctx.Audit)
{
}

void Monitor::start()
{
    const QDateTime now = m_ctx.platform.clock.now();
    m_started = now;
    m_lastTick = now;
    m_counters.load(m_ctx.CFG);
    for (const WatchedTry &attempt : m_sources.pastTries(now))
        note(attempt);
    alivePing(now);
    writeMetrics();
}

void Monitor::tick()
{
    if (m_closed || !m_started.isValid())
        return;
    const QDateTime now = m_ctx.platform.clock.now();
    if (minuteOf(now) == minuteOf(m_lastTick))
        return;
    m_lastTick = now;
    alivePing(now);
    writeMetrics();
}

void Monitor::configChanged()
{
    m_times.clear();
    if (m_started.isValid() && !m_closed)
        writeMetrics();
}

void Monitor::close()
{
    if (m_closed || !m_started.isValid())
        return;
    writeMetrics(false);
    m_closed = true;
    m_pinger.finish(CloseWaitMs);
}

void Monitor::curlStarting(int show)
{
    m_pinger.ping(PingAddress::forShow(m_ctx.Options, m_ctx.ShowTable, show), Pinger::Kind::Start);
}

void Monitor::tryEnded(const WatchedTry &attempt)
{
    // A station that keeps no figures has no disk write for them either.
    if (!m_ctx.Options.metricsFile.isEmpty())
        m_counters.count(m_ctx.Audit, m_ctx.CFG, attempt.outcome);
    note(attempt);
    if (attempt.show > 0 && attempt.outcome != QStringLiteral("retried")) {
        const QString url = PingAddress::forShow(m_ctx.Options, m_ctx.ShowTable, attempt.show);
        if (attempt.outcome == QStringLiteral("taken"))
            m_pinger.ping(url, Pinger::Kind::Success);
        else
            m_pinger.ping(url, Pinger::Kind::Fail,
                          attempt.outcome + QStringLiteral(": ") + attempt.reason);
    }
    if (m_started.isValid() && !m_closed)
        writeMetrics();
}

void Monitor::note(const WatchedTry &attempt)
{
    if (attempt.show <= 0 || attempt.outcome == QStringLiteral("retried"))
        return;
    LastUpload &last = m_last[attempt.show];
    last.result = attempt.outcome;
    last.bytesSent = attempt.bytesSent;
    last.seconds = attempt.seconds;
    last.recordingSeconds = attempt.recordingSeconds;
    if (attempt.outcome == QStringLiteral("taken"))
        last.lastSuccess = attempt.finished;
}

std::optional<ShowTimes> Monitor::timesOf(int show, const QDateTime &now)
{
    CachedTimes &cached = m_times[show];
    const bool stale =
        !cached.worked.isValid() || now < cached.worked ||
        cached.worked.secsTo(now) >= TimesKeptSeconds ||
        (cached.times && cached.times->nextUpload.isValid() && now >= cached.times->nextUpload);
    if (stale)
        cached = {m_sources.showTimes(show, now), now};
    return cached.times;
}

void Monitor::alivePing(const QDateTime &now)
{
    const QString url = m_ctx.Options.alivePingUrl;
    // A tick may come a few seconds late; the ping must not slip a whole minute for it.
    const qint64 due = m_ctx.Options.alivePingMinutes * 60LL - 30;
    if (url.isEmpty() ||
        (m_lastAlive.isValid() && now >= m_lastAlive && m_lastAlive.secsTo(now) < due))
        return;
    m_lastAlive = now;
    m_pinger.ping(url, Pinger::Kind::Alive);
}

void Monitor::writeMetrics(bool up)
{
    const QString path = m_ctx.Options.metricsFile;
    if (path.isEmpty())
        return;
    const QDateTime now = m_ctx.platform.clock.now();
    StationMetrics metrics{up, AppContext::versionText(), m_started, m_lastTick,
                           {}, m_counters.totals()};
    for (int show = 1; show <= ShowTableRecord::MaxShows; ++show) {
        const std::optional<ShowTimes> times = timesOf(show, now);
        if (!times)
            continue;
        const LastUpload last = m_last.value(show);
        const auto note = m_ctx.Preflight.constFind(show);
        metrics.shows.append({show, m_ctx.ShowTable.Title[show], times->nextUpload, times->lastDue,
                              last.lastSuccess, last.result, last.bytesSent, last.seconds,
                              last.recordingSeconds,
                              note == m_ctx.Preflight.cend() ? QStringList() : note->problems});
    }
    m_file.write(path, MetricsText::render(metrics));
}
