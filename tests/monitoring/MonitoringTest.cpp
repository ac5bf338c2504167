// The station seen from outside: pings through the real curl to the loopback receiver, and the
// metrics file as the real node_exporter serves it and promtool judges it.

#include "app/core/StationSources.h"
#include "monitoring/MetricsText.h"
#include "monitoring/Monitor.h"
#include "monitoring/PingAddress.h"
#include "monitoring/Pinger.h"
#include "support/Receiver.h"
#include "support/TestApp.h"
#include "support/TestCertificates.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString NodeExporter = u"/usr/bin/prometheus-node-exporter"_s;
const QString Promtool = u"/usr/bin/promtool"_s;

int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

QByteArray output(const QString &program, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.waitForFinished(30000);
    if (exitCode)
        *exitCode = process.exitCode();
    return process.readAll();
}

// node_exporter on 127.0.0.1 with its textfile collector alone, serving `folder`.
class Exporter
{
public:
    explicit Exporter(const QString &folder) : m_port(freeLoopbackPort())
    {
        m_process.start(NodeExporter, {u"--web.listen-address=127.0.0.1:%1"_s.arg(m_port),
                                       u"--collector.disable-defaults"_s, u"--collector.textfile"_s,
                                       u"--collector.textfile.directory="_s + folder});
        for (int tries = 0; tries < 400 && !scrape().contains("node_textfile"); ++tries)
            QThread::msleep(50);
    }
    ~Exporter()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    QByteArray scrape() const
    {
        return output(u"curl"_s, {u"-sS"_s, u"--noproxy"_s, u"*"_s,
                                  u"http://127.0.0.1:%1/metrics"_s.arg(m_port)});
    }

private:
    int m_port;
    QProcess m_process;
};

QStringList curlCommandLines()
{
    QStringList found;
    QDirIterator processes(u"/proc"_s, QDir::Dirs | QDir::NoDotAndDotDot);
    while (processes.hasNext()) {
        QFile cmdline(processes.next() + u"/cmdline"_s);
        if (cmdline.open(QIODevice::ReadOnly)) {
            const QString line = QString::fromUtf8(cmdline.readAll()).replace(u'\0', u' ');
            if (line.contains(u"--max-time"_s))
                found.append(line);
        }
    }
    return found;
}

TEST(Monitoring, AddressesAreMaskedAndLabelValuesEscaped)
{
    const struct
    {
        QString url, masked;
        bool plain;
    } addresses[] = {
        {u"https://hc-ping.com/1f2e-33aa"_s, u"https://hc-ping.com/****"_s, false},
        {u"http://user:pw@mon.example:8000/ping/x?k=v"_s, u"http://mon.example/****"_s, true},
        {u"not an address"_s, u"****"_s, true},
    };
    for (const auto &row : addresses) {
        EXPECT_EQ(PingAddress::masked(row.url), row.masked);
        EXPECT_EQ(PingAddress::problem(u"PingURL"_s, row.url).isEmpty(), !row.plain)
            << row.url.toStdString();
    }
    const struct
    {
        QString text, escaped;
    } labels[] = {{u"Plain"_s, u"Plain"_s},
                  {u"Say \"hi\""_s, u"Say \\\"hi\\\""_s},
                  {u"a\\b"_s, u"a\\\\b"_s},
                  {u"two\nlines"_s, u"two\\nlines"_s},
                  {u"Zoë – 東京"_s, u"Zoë – 東京"_s}};
    for (const auto &row : labels)
        EXPECT_EQ(MetricsText::labelValue(row.text), row.escaped);
}

TEST(Monitoring, EachConfiguredShowIsListedWithTheLastMinuteItWasDue)
{
    // Sunday 6 December 2026, 14:03.
    const QDateTime none;
    const struct
    {
        QString day, time;
        bool listed;
        QDateTime lastDue;
    } rows[] = {
        {u"Sun"_s, u"14:03"_s, true, QDateTime(QDate(2026, 12, 6), QTime(14, 3))},
        {u"sun"_s, u"15:00"_s, true, QDateTime(QDate(2026, 11, 29), QTime(15, 0))},
        {u"Mon"_s, u"09:00"_s, true, QDateTime(QDate(2026, 11, 30), QTime(9, 0))},
        {u"06/12/2026"_s, u"09:00"_s, true, QDateTime(QDate(2026, 12, 6), QTime(9, 0))},
        {u"06/12/2026"_s, u"15:00"_s, true, none},
        {u"05/12/2026"_s, u"15:00"_s, false, none},
        {u"Sunday"_s, u"14:00"_s, true, none},
    };
    TestApp app;
    const MonitorSources sources = stationSources(app.ctx);
    for (const auto &row : rows) {
        app.ctx.ShowTable.UploadDay[1] = row.day;
        app.ctx.ShowTable.UploadTime[1] = row.time;
        const std::optional<ShowTimes> times = sources.showTimes(1, app.clock.now());
        ASSERT_EQ(times.has_value(), row.listed) << row.day.toStdString();
        if (times) {
            EXPECT_EQ(times->lastDue, row.lastDue) << row.day.toStdString();
        }
    }
    EXPECT_FALSE(sources.showTimes(2, app.clock.now()));
}

TEST(Monitoring, PingsGoInOrderWithTheAddressNeverOnACommandLineNorInClear)
{
    Receiver receiver;
    TestApp app;
    app.environment.pathDirs = {u"/usr/bin"_s};
    Pinger pinger(app.ctx);
    pinger.ping(receiver.address(u"/p/a1"_s), Pinger::Kind::Start);
    pinger.ping(receiver.address(u"/p/a1"_s), Pinger::Kind::Success);
    pinger.ping(receiver.address(u"/p/b2"_s), Pinger::Kind::Fail,
                u"failed: the service refused it"_s);
    // Returns as soon as all have gone.
    pinger.finish(20000);
    QStringList targets;
    for (const Receiver::Request &request : receiver.requests())
        targets.append(QString::fromLatin1(request.target + ' ' + request.body));
    EXPECT_LT(targets.indexOf(u"/p/a1/start "_s), targets.indexOf(u"/p/a1 "_s));
    EXPECT_TRUE(targets.contains(u"/p/b2/fail failed: the service refused it"_s));
    EXPECT_TRUE(app.ctx.Audit.lines().isEmpty());

    receiver.holdBodies("/held/s3cr3t-id/start");
    Pinger held(app.ctx);
    held.ping(receiver.address(u"/held/s3cr3t-id"_s), Pinger::Kind::Start);
    ASSERT_TRUE(receiver.waitForRequests(4));
    // The held ping's curl still runs.
    const QStringList commandLines = curlCommandLines();
    ASSERT_FALSE(commandLines.isEmpty());
    EXPECT_FALSE(commandLines.join(u'\n').contains(u"s3cr3t"_s));
    held.finish(0);
    EXPECT_EQ(app.ctx.Audit.lines().size(), 1) << app.ctx.Audit.lines().join(u'\n').toStdString();
    EXPECT_TRUE(app.ctx.Audit.lines().join(u'\n').contains(
        u"Ping| WARNING: 1 ping(s) to 'http://127.0.0.1/****' not sent: the program is closing"_s));
}

// The alive ping allows for a tick up to 30 seconds late, and no more: 29 s after it is too soon.
TEST(Monitoring, TheAlivePingIsNotSentTooSoon)
{
    Receiver receiver;
    TestApp app(QDateTime(TestApp::sunday().date(), QTime(14, 3, 31)));
    app.environment.pathDirs = {u"/usr/bin"_s};
    app.ctx.Options.alivePingUrl = receiver.address(u"/alive"_s);
    app.ctx.Options.alivePingMinutes = 1;
    Monitor monitor(app.ctx, {[](int, const QDateTime &) { return std::optional<ShowTimes>(); },
                              [](const QDateTime &) { return QList<WatchedTry>(); }});
    monitor.start();
    for (const QTime &time : {QTime(14, 4), QTime(14, 5)}) {
        app.clock.set(TestApp::sunday().date(), time);
        monitor.tick();
    }
    ASSERT_TRUE(receiver.waitForRequests(2));
    monitor.close();
    EXPECT_EQ(receiver.requests().size(), 2);
}

// A monitor certified by the station's own authority is trusted when it is named, as the
// upload service is.
TEST(Monitoring, PingsTrustTheCertificatesUploadsTrust)
{
    QTemporaryDir folder;
    ASSERT_TRUE(TestCertificates::make(folder.path()));
    Receiver receiver(folder.path() + u"/cert"_s, folder.path() + u"/key"_s);
    TestApp app;
    app.environment.pathDirs = {u"/usr/bin"_s};
    app.ctx.Options.caCertificates = folder.path() + u"/ca.pem"_s;
    Pinger pinger(app.ctx);
    pinger.ping(receiver.address(u"/p/a1"_s), Pinger::Kind::Success);
    pinger.finish(20000);
    EXPECT_EQ(receiver.requests().size(), 1) << app.ctx.Audit.lines().join(u'\n').toStdString();
}

TEST(Monitoring, TheMetricsFileIsServedWholeByNodeExporterAndPassesPromtool)
{
    ASSERT_TRUE(QFile::exists(NodeExporter) && QFile::exists(Promtool))
        << "scripts/install-deps.sh installs prometheus-node-exporter and prometheus";
    TestApp app;
    QDir().mkpath(app.ctx.CFG.programFolder());
    QTemporaryDir textfiles;
    const QString path = textfiles.filePath(u"tunebarn.prom"_s);
    app.ctx.Options.metricsFile = path;
    const QString title = u"Say \"hi\", a back\\slash and Zoë – 東京"_s;
    app.ctx.ShowTable.Title[3] = title;
    app.ctx.Preflight[3] = {app.clock.now(), {u"recording 'x.mp3' does not exist"_s}};
    const QDateTime now = app.clock.now();
    const MonitorSources sources{
        [&](int show, const QDateTime &) -> std::optional<ShowTimes> {
            if (show != 3)
                return std::nullopt;
            return ShowTimes{now.addDays(7), now.addSecs(-3600)};
        },
        [&](const QDateTime &) {
            return QList<WatchedTry>{{3, u"taken"_s, {}, 1234, 2.5, now.addDays(-7), 7199.5}};
        }};
    auto monitor = std::make_unique<Monitor>(app.ctx, sources);
    const mode_t umask = ::umask(077);
    monitor->start();
    ::umask(umask);
    struct stat mode = {};
    ::stat(QFile::encodeName(path).constData(), &mode);
    EXPECT_EQ(mode.st_mode & 0777, 0644u);

    Exporter exporter(textfiles.path());
    const QString shown = u"show=\"3\",title=\""_s + MetricsText::labelValue(title) + u'"';
    QByteArray scraped = exporter.scrape();
    EXPECT_TRUE(scraped.contains("node_textfile_scrape_error 0")) << scraped.toStdString();
    EXPECT_TRUE(scraped.contains("tunebarn_up 1"));
    EXPECT_TRUE(scraped.contains("# TYPE tunebarn_start_time_seconds gauge"));
    EXPECT_TRUE(scraped.contains(
        (u"tunebarn_show_last_result{result=\"taken\","_s + shown + u"} 1"_s).toUtf8()));
    EXPECT_TRUE(scraped.contains(
        (u"tunebarn_show_last_recording_seconds{"_s + shown + u"} 7199.5\n"_s).toUtf8()));

    monitor->tryEnded({3, u"failed"_s, u"the service refused it"_s, 99, 0.5, now});
    scraped = exporter.scrape();
    EXPECT_TRUE(scraped.contains("node_textfile_scrape_error 0")) << scraped.toStdString();
    EXPECT_TRUE(scraped.contains(
        (u"tunebarn_show_last_result{result=\"failed\","_s + shown + u"} 1"_s).toUtf8()));
    EXPECT_TRUE(scraped.contains("tunebarn_show_problem{problem=\"recording 'x.mp3' does not "
                                 "exist\","));
    int status = -1;
    const QByteArray verdict =
        output(u"sh"_s, {u"-c"_s, Promtool + u" check metrics < '"_s + path + u'\''}, &status);
    EXPECT_EQ(status, 0) << verdict.toStdString();
    const QByteArray bytes = fileBytes(path);
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF") || bytes.contains('\r'));
    // Taken last week, as the history says; the failure since leaves that.
    EXPECT_TRUE(bytes.contains((u"tunebarn_show_last_success_timestamp_seconds{"_s + shown +
                                u"} %1\n"_s.arg(now.addDays(-7).toSecsSinceEpoch()))
                                   .toUtf8()));

    monitor->close();
    EXPECT_TRUE(output(u"cat"_s, {path}).contains("\ntunebarn_up 0\n"));
    // The counts outlive the run.
    monitor = std::make_unique<Monitor>(app.ctx, sources);
    monitor->start();
    EXPECT_TRUE(output(u"cat"_s, {path}).contains("tunebarn_uploads_total{result=\"failed\"} 1\n"));
}

TEST(Monitoring, TheShippedAlertRulesPassPromtoolAndTheMissedShowAlertFiresOnlyWhenItShould)
{
    ASSERT_TRUE(QFile::exists(Promtool)) << "scripts/install-deps.sh installs prometheus";
    const QString source = QString::fromLatin1(TUNEBARN_SOURCE_DIR);
    QTemporaryDir folder;
    QFile::copy(source + u"/packaging/tunebarn-alerts.yml"_s,
                folder.filePath(u"tunebarn-alerts.yml"_s));
    QFile::copy(source + u"/tests/monitoring/tunebarn-alerts-test.yml"_s,
                folder.filePath(u"tunebarn-alerts-test.yml"_s));
    for (const QStringList &arguments :
         {QStringList{u"check"_s, u"rules"_s, u"tunebarn-alerts.yml"_s},
          QStringList{u"test"_s, u"rules"_s, u"tunebarn-alerts-test.yml"_s}}) {
        QProcess promtool;
        promtool.setWorkingDirectory(folder.path());
        promtool.setProcessChannelMode(QProcess::MergedChannels);
        promtool.start(Promtool, arguments);
        ASSERT_TRUE(promtool.waitForFinished(60000));
        EXPECT_EQ(promtool.exitCode(), 0) << promtool.readAll().toStdString();
    }
}

} // namespace
