#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// What one show's series tell.
struct ShowMetrics
{
    int show = 0;
    QString title;        // as configured, so a dated title keeps its series from week to week
    QDateTime nextUpload; // invalid when none is ahead
    QDateTime lastDue;    // invalid when it has not been due yet
    QDateTime lastSuccess;
    QString lastResult; // "taken", "failed", "cut" or "skipped"; empty when none yet
    qint64 lastBytesSent = 0;
    double lastSeconds = 0;
    double lastRecordingSeconds = 0; // 0 when its recording was not read
    QStringList problems;            // open problems of the check ahead
};

struct StationMetrics
{
    bool up = true;
    QString version;
    QDateTime started;
    QDateTime lastTick;
    QList<ShowMetrics> shows;
    QMap<QString, qint64> uploadsTotal; // by result
};

// The figures in the Prometheus text format: UTF-8, "\n" line ends, every metric with its
// HELP and TYPE, no timestamps (node_exporter's textfile collector refuses them).
namespace MetricsText {

// The results a show's last upload can have, in the order they are written.
QStringList lastResults();
// The results uploads_total counts: every try, so "retried" too.
QStringList countedResults();
// A label value with '\' '"' and line breaks escaped as the format wants.
QString labelValue(const QString &text);
QByteArray render(const StationMetrics &metrics);

} // namespace MetricsText
