#include "monitoring/Pinger.h"

#include "core/AppContext.h"
#include "monitoring/PingAddress.h"
#include "platform/ChildProcess.h"
#include "platform/CurlProgram.h"

#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <utility>

namespace {

// curl's own limit ends a ping; this one only catches a curl that ignores it.
constexpr int KillAfterMs = (Pinger::TimeLimitSeconds + 5) * 1000;

QString suffixOf(Pinger::Kind kind)
{
    switch (kind) {
    case Pinger::Kind::Start:
        return QStringLiteral("/start");
    case Pinger::Kind::Fail:
        return QStringLiteral("/fail");
    default:
        return {};
    }
}

QString nameOf(Pinger::Kind kind)
{
    switch (kind) {
    case Pinger::Kind::Start:
        return QStringLiteral("start");
    case Pinger::Kind::Success:
        return QStringLiteral("success");
    case Pinger::Kind::Fail:
        return QStringLiteral("fail");
    default:
        return QStringLiteral("alive");
    }
}

QString curlProgram(const AppContext &ctx)
{
    const QString found = CurlProgram::locate(ctx.platform.environment, ctx.WorkingDirectory);
    return found.isEmpty() ? ctx.WorkingDirectory + CurlProgram::fileName() : found;
}

QStringList arguments(const AppContext &ctx)
{
    // "-q" first, so no curl configuration of the user's can change where a ping goes.
    QStringList list{QStringLiteral("-q"),
                     QStringLiteral("-sS"),
                     QStringLiteral("--fail"),
                     QStringLiteral("-o"),
                     QProcess::nullDevice(),
                     QStringLiteral("--max-time"),
                     QString::number(Pinger::TimeLimitSeconds)};
    // The certificates are trusted as an upload's are.
    if (ctx.Options.insecureTls)
        list.append(QStringLiteral("-k"));
    // The address is a secret: it goes to curl on its standard input, never on its command line.
    list.append({QStringLiteral("--config"), QStringLiteral("-")});
    return list;
}

// Every ping is a post, its body empty or the reason of a failure.
QByteArray configLines(const AppContext &ctx, const QString &url, const QString &body)
{
    return "url = " + CurlProgram::configString(url) +
           "\ndata-binary = " + CurlProgram::configString(body) + '\n' +
           CurlProgram::caCertificatesLine(ctx.Options.caCertificates);
}

QString curlSaid(const ChildProcess &process)
{
    const QStringList lines = QString::fromLocal8Bit(process.errorOutputTail())
                                  .split(QRegularExpression(QStringLiteral("[\r\n]")));
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (it->startsWith(QStringLiteral("curl:")))
            return *it;
    }
    return QStringLiteral("curl ended with exit value %1").arg(process.exitValue());
}

} // namespace

Pinger::Pinger(AppContext &ctx, QObject *parent) : QObject(parent), m_ctx(ctx) {}

Pinger::~Pinger()
{
    // A curl ended by its deletion must not come back here as an ended ping.
    for (auto &[url, lane] : m_lanes)
        delete std::exchange(lane.running, nullptr);
}

void Pinger::ping(const QString &url, Kind kind, const QString &body)
{
    if (url.isEmpty() || m_finishing)
        return;
    Lane &lane = m_lanes[url];
    lane.queue.push_back({kind, body});
    if (lane.queue.size() == 1)
        startFront(url);
}

void Pinger::startFront(const QString &url)
{
    Lane &lane = m_lanes[url];
    Ping &front = lane.queue.front();
    ++front.tries;
    auto *process = new ChildProcess(this);
    const QString address = url + suffixOf(front.kind);
    if (const auto failure = process->start(curlProgram(m_ctx), arguments(m_ctx),
                                            configLines(m_ctx, address, front.body))) {
        delete process;
        warn(url, front, QStringLiteral("curl could not be started: %1").arg(failure->text));
        dropFront(url);
        return;
    }
    lane.running = process;
    auto *limit = new QTimer(process);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, process, &ChildProcess::forceStop);
    limit->start(KillAfterMs);
    connect(process, &ChildProcess::ended, this, [this, url] { ended(url); });
}

void Pinger::ended(const QString &url)
{
    const auto found = m_lanes.find(url);
    if (found == m_lanes.end() || !found->second.running)
        return;
    Lane &lane = found->second;
    ChildProcess *process = lane.running;
    lane.running = nullptr;
    const bool taken = process->exitValue() == 0;
    const QString said = taken ? QString() : curlSaid(*process);
    process->deleteLater();
    Ping &front = lane.queue.front();
    if (taken) {
        dropFront(url);
        return;
    }
    if (front.tries < 2 && !m_finishing) {
        QTimer::singleShot(RetryDelayMs, this, [this, url] {
            if (m_finishing) {
                dropFront(url);
                return;
            }
            startFront(url);
        });
        return;
    }
    warn(url, front, said);
    dropFront(url);
}

void Pinger::dropFront(const QString &url)
{
    const auto lane = m_lanes.find(url);
    if (lane == m_lanes.end())
        return;
    lane->second.queue.erase(lane->second.queue.begin());
    if (!lane->second.queue.empty() && !m_finishing) {
        startFront(url);
        return;
    }
    m_lanes.erase(lane);
    if (m_lanes.empty())
        emit idle();
}

void Pinger::warn(const QString &url, const Ping &ping, const QString &what)
{
    m_ctx.AppendLog(QStringLiteral("Ping| WARNING: the %1 ping to '%2' failed after %3 tries: %4")
                        .arg(nameOf(ping.kind), PingAddress::masked(url))
                        .arg(ping.tries)
                        .arg(what));
}

void Pinger::finish(int milliseconds)
{
    if (isIdle())
        return;
    QEventLoop loop;
    connect(this, &Pinger::idle, &loop, &QEventLoop::quit);
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
    m_finishing = true;
    for (auto &[url, lane] : m_lanes) {
        m_ctx.AppendLog(
            QStringLiteral("Ping| WARNING: %1 ping(s) to '%2' not sent: the program is closing")
                .arg(lane.queue.size())
                .arg(PingAddress::masked(url)));
        delete std::exchange(lane.running, nullptr);
    }
    m_lanes.clear();
}
