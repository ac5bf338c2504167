#include "upload/UploadRate.h"

#include "core/ShowTableRecord.h"
#include "core/UploadOptions.h"
#include "upload/RateTimetable.h"

namespace {

// Reads one MaxUploadRate; a value not understood is told in `problems` and gives nothing.
std::optional<RateTimetable> timetableOf(const QString &value, const QString &where,
                                         QStringList &problems)
{
    QString problem;
    std::optional<RateTimetable> timetable = RateTimetable::parse(value, &problem);
    if (!timetable)
        problems.append(QStringLiteral("%1 MaxUploadRate '%2' is not understood: %3")
                            .arg(where, value, problem));
    return timetable;
}

} // namespace

QString UploadRate::text() const
{
    QString text = RateTimetable::rateText(bytesPerSecond);
    if (!source.isEmpty())
        text += QStringLiteral(" (") + source + u')';
    for (const QString &problem : problems)
        text += QStringLiteral("; ") + problem;
    return text;
}

UploadRate UploadRate::inForce(const ShowTableRecord &table, const UploadOptions &options, int show,
                               const QDateTime &at)
{
    UploadRate rate;
    const QString own = show > 0 ? table.MaxUploadRate[show] : QString();
    if (!own.isEmpty()) {
        const QString where = QStringLiteral("[Show%1]").arg(show);
        if (const auto timetable = timetableOf(own, where, rate.problems)) {
            rate.bytesPerSecond = timetable->rateAt(at);
            rate.source = where + QStringLiteral(" MaxUploadRate");
            return rate;
        }
    }
    if (options.maxUploadRate.isEmpty())
        return rate;
    if (const auto timetable =
            timetableOf(options.maxUploadRate, QStringLiteral("[General]"), rate.problems)) {
        rate.bytesPerSecond = timetable->rateAt(at);
        rate.source = QStringLiteral("[General] MaxUploadRate");
    }
    return rate;
}

QString UploadRate::problemOf(const QString &value)
{
    QString problem;
    return RateTimetable::parse(value, &problem) ? QString() : problem;
}

qint64 UploadRate::expectedSeconds(qint64 bytes, qint64 bytesPerSecond)
{
    if (bytesPerSecond <= 0)
        return -1;
    return (bytes + bytesPerSecond - 1) / bytesPerSecond;
}

QString UploadRate::durationText(qint64 seconds)
{
    if (seconds >= 3600)
        return QStringLiteral("%1 h %2 min")
            .arg(seconds / 3600)
            .arg(seconds % 3600 / 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 min %2 s")
        .arg(seconds / 60)
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
