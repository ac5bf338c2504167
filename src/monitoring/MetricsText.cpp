#include "monitoring/MetricsText.h"

#include <functional>

namespace {

struct Family
{
    const char *name;
    const char *type;
    const char *help;
};

class Writer
{
public:
    void family(const Family &family)
    {
        m_text += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n")
                      .arg(QLatin1String(family.name), QLatin1String(family.help),
                           QLatin1String(family.type));
        m_name = QLatin1String(family.name);
    }
    void sample(const QString &labels, const QString &value)
    {
        m_text +=
            m_name + (labels.isEmpty() ? QString() : u'{' + labels + u'}') + u' ' + value + u'\n';
    }
    QByteArray bytes() const { return m_text.toUtf8(); }

private:
    QString m_text;
    QString m_name;
};

QString label(const char *name, const QString &value)
{
    return QLatin1String(name) + QStringLiteral("=\"") + MetricsText::labelValue(value) + u'"';
}

QString showLabels(const ShowMetrics &show)
{
    return label("show", QString::number(show.show)) + u',' + label("title", show.title);
}

QString seconds(const QDateTime &at)
{
    return QString::number(at.isValid() ? at.toSecsSinceEpoch() : 0);
}

void perShow(Writer &out, const StationMetrics &metrics, const Family &family,
             const std::function<void(const ShowMetrics &)> &samples)
{
    out.family(family);
    for (const ShowMetrics &show : metrics.shows)
        samples(show);
}

void processFamilies(Writer &out, const StationMetrics &metrics)
{
    out.family(
        {"tunebarn_up", "gauge", "1 while the program runs, 0 once it has closed in order."});
    out.sample({}, metrics.up ? QStringLiteral("1") : QStringLiteral("0"));
    out.family({"tunebarn_build_info", "gauge", "The program's version, in the label."});
    out.sample(label("version", metrics.version), QStringLiteral("1"));
    out.family({"tunebarn_start_time_seconds", "gauge", "When the program started."});
    out.sample({}, seconds(metrics.started));
    out.family({"tunebarn_last_tick_timestamp_seconds", "gauge",
                "When the schedule last handled a minute."});
    out.sample({}, seconds(metrics.lastTick));
}

void showFamilies(Writer &out, const StationMetrics &metrics)
{
    perShow(out, metrics,
            {"tunebarn_show_next_upload_timestamp_seconds", "gauge",
             "When the show's next upload is due."},
            [&](const ShowMetrics &show) {
                if (show.nextUpload.isValid())
                    out.sample(showLabels(show), seconds(show.nextUpload));
            });
    perShow(out, metrics,
            {"tunebarn_show_last_due_timestamp_seconds", "gauge",
             "The last minute the show was due; 0 when it has not been due yet."},
            [&](const ShowMetrics &show) { out.sample(showLabels(show), seconds(show.lastDue)); });
    perShow(
        out, metrics,
        {"tunebarn_show_last_success_timestamp_seconds", "gauge",
         "When the service last took the show; 0 when it never has."},
        [&](const ShowMetrics &show) { out.sample(showLabels(show), seconds(show.lastSuccess)); });
    perShow(out, metrics,
            {"tunebarn_show_last_result", "gauge", "1 for the result of the show's last upload."},
            [&](const ShowMetrics &show) {
                for (const QString &result : MetricsText::lastResults())
                    out.sample(showLabels(show) + u',' + label("result", result),
                               result == show.lastResult ? QStringLiteral("1")
                                                         : QStringLiteral("0"));
            });
    perShow(out, metrics,
            {"tunebarn_show_last_bytes_sent", "gauge", "Bytes sent by the show's last upload."},
            [&](const ShowMetrics &show) {
                out.sample(showLabels(show), QString::number(show.lastBytesSent));
            });
    perShow(
        out, metrics,
        {"tunebarn_show_last_duration_seconds", "gauge", "How long the show's last upload took."},
        [&](const ShowMetrics &show) {
            out.sample(showLabels(show), QString::number(show.lastSeconds, 'f', 3));
        });
    perShow(out, metrics,
            {"tunebarn_show_last_recording_seconds", "gauge",
             "Length of the recording the show's last upload had, 0 when it could not be read."},
            [&](const ShowMetrics &show) {
                out.sample(showLabels(show), QString::number(show.lastRecordingSeconds, 'f', 3));
            });
    perShow(
        out, metrics,
        {"tunebarn_show_problem", "gauge", "1 for each open problem of the show's coming upload."},
        [&](const ShowMetrics &show) {
            for (const QString &problem : show.problems)
                out.sample(showLabels(show) + u',' + label("problem", problem),
                           QStringLiteral("1"));
        });
}

} // namespace

namespace MetricsText {

QStringList lastResults()
{
    return {QStringLiteral("taken"), QStringLiteral("failed"), QStringLiteral("cut"),
            QStringLiteral("skipped")};
}

QStringList countedResults()
{
    return {QStringLiteral("taken"), QStringLiteral("retried"), QStringLiteral("failed"),
            QStringLiteral("cut"), QStringLiteral("skipped")};
}

QString labelValue(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\"));
    escaped.replace(u'"', QStringLiteral("\\\""));
    escaped.replace(u'\n', QStringLiteral("\\n"));
    return escaped;
}

QByteArray render(const StationMetrics &metrics)
{
    Writer out;
    processFamilies(out, metrics);
    showFamilies(out, metrics);
    out.family({"tunebarn_uploads_total", "counter",
                "Upload tries by result, since the program was first set up."});
    for (const QString &result : countedResults())
        out.sample(label("result", result), QString::number(metrics.uploadsTotal.value(result)));
    return out.bytes();
}

} // namespace MetricsText
