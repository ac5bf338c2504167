#include "app/cli/CheckCommand.h"

#include "config/ConfigReader.h"
#include "recording/RecordingAnalysis.h"
#include "schedule/RecordingReport.h"

#include "app/cli/TextTable.h"
#include "app/core/Lifecycle.h"
#include "config/ConfigLocation.h"
#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/ControlText.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "schedule/ScheduleCheck.h"
#include "schedule/ScheduleState.h"
#include "upload/RateTimetable.h"
#include "upload/UploadRate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

constexpr qint64 MaxStateBytes = 1024 * 1024;

// The minutes the scheduler has handled, as its state file tells; none when it cannot be read,
// since --check only reports.
ScheduleMemory handledMinutes(const AppContext &ctx)
{
    const FileRead read = readWholeFile(scheduleStateFile(ctx), MaxStateBytes);
    return ScheduleMemory::fromText(read.bytes).value_or(ScheduleMemory());
}

// Shown only where some show's upload is limited, so that a station without limits sees none.
void printRates(const ScheduleReport &report, QTextStream &out)
{
    QList<QStringList> rows{{QStringLiteral("Show"), QStringLiteral("Upload rate"),
                             QStringLiteral("Expected duration")}};
    for (const ShowCheck &show : report.shows) {
        if (show.uploadRate > 0)
            rows.append({QString::number(show.number), RateTimetable::rateText(show.uploadRate),
                         show.expectedSeconds < 0
                             ? QStringLiteral("-")
                             : UploadRate::durationText(show.expectedSeconds)});
    }
    if (rows.size() == 1)
        return;
    out << '\n';
    printTable(rows, out);
}

// Masked: the address is the monitor's secret.
void printPingAddresses(const ScheduleReport &report, QTextStream &out)
{
    QStringList lines;
    for (const ShowCheck &show : report.shows) {
        if (!show.pingUrl.isEmpty())
            lines.append(QStringLiteral("  show %1: %2").arg(show.number).arg(show.pingUrl));
    }
    if (!report.alivePingUrl.isEmpty())
        lines.append(QStringLiteral("  while running: ") + report.alivePingUrl);
    if (!lines.isEmpty())
        out << "\nPing addresses:\n" << lines.join(u'\n') << '\n';
}

void printText(const ScheduleReport &report, QTextStream &out)
{
    using ControlText::escaped;
    out << "Configuration:  " << escaped(report.configFile) << '\n';
    out << "Upload address: "
        << (report.uploadUrl.isEmpty() ? QStringLiteral("(empty)") : escaped(report.uploadUrl))
        << '\n';
    out << "Encoding:       " << report.encoding << '\n';
    if (!report.uploadRate.isEmpty())
        out << "Upload rate:    " << report.uploadRate << '\n';
    if (report.insecureTls)
        out << "Warning:        " << ScheduleCheck::insecureTlsText() << '\n';
    out << '\n';
    if (report.shows.isEmpty()) {
        out << "No shows are configured.\n";
    } else {
        QList<QStringList> rows{{QStringLiteral("Show"), QStringLiteral("Day"),
                                 QStringLiteral("Time"), QStringLiteral("Next upload"),
                                 QStringLiteral("Recording"), QStringLiteral("Picture"),
                                 QStringLiteral("Title")}};
        for (const ShowCheck &show : report.shows)
            rows.append({QString::number(show.number), show.dayRule, show.time,
                         show.nextUploadText(), show.recordingText(), show.pictureText(),
                         show.title});
        printTable(rows, out);
        printRates(report, out);
    }
    printPingAddresses(report, out);
    out << '\n';
    if (report.problems.isEmpty()) {
        out << "No problems found.\n";
        return;
    }
    out << "Problems (" << report.problems.size() << "):\n";
    for (const CheckProblem &problem : report.problems)
        out << "  " << escaped(problem.text) << '\n';
}

QJsonObject showJson(const ShowCheck &show)
{
    return QJsonObject{
        {QStringLiteral("number"), show.number},
        {QStringLiteral("title"), show.title},
        {QStringLiteral("uploadDay"), show.dayRule},
        {QStringLiteral("uploadTime"), show.time},
        {QStringLiteral("nextUpload"),
         show.nextUpload.isValid() ? show.nextUpload.toString(QStringLiteral("yyyy-MM-ddTHH:mm"))
                                   : show.nextUploadNote},
        {QStringLiteral("recording"), show.recording},
        {QStringLiteral("recordingExists"), show.recordingExists},
        {QStringLiteral("recordingNote"), show.recordingNote},
        {QStringLiteral("picture"), show.picture},
        {QStringLiteral("pictureExists"), show.pictureExists},
        {QStringLiteral("uploadRate"), show.uploadRate},
        {QStringLiteral("expectedSeconds"), show.expectedSeconds},
        {QStringLiteral("pingUrl"), show.pingUrl},
    };
}

void printJson(const ScheduleReport &report, QTextStream &out)
{
    QJsonArray shows;
    for (const ShowCheck &show : report.shows)
        shows.append(showJson(show));
    QJsonArray problems;
    for (const CheckProblem &problem : report.problems) {
        QJsonObject item{{QStringLiteral("text"), problem.text}};
        item.insert(QStringLiteral("show"),
                    problem.show > 0 ? QJsonValue(problem.show) : QJsonValue());
        problems.append(item);
    }
    const QJsonObject document{{QStringLiteral("configFile"), report.configFile},
                               {QStringLiteral("encoding"), report.encoding},
                               {QStringLiteral("uploadUrl"), report.uploadUrl},
                               {QStringLiteral("insecureTls"), report.insecureTls},
                               {QStringLiteral("uploadRate"), report.uploadRate},
                               {QStringLiteral("alivePingUrl"), report.alivePingUrl},
                               {QStringLiteral("shows"), shows},
                               {QStringLiteral("problems"), problems}};
    out << QJsonDocument(document).toJson(QJsonDocument::Indented);
}

} // namespace

int runCheck(Platform &platform, bool json, QTextStream &out, QTextStream &err)
{
    // A context of its own: the folder lines it collects are never written to the audit trail.
    AppContext ctx(platform);
    ctx.CFG.LocalAppFolder = localAppFolder(platform.environment);
    GetConfigPath(ctx);
    const QString path = ctx.CFG.configFile();
    if (!fileExists(path)) {
        err << "tunebarn-uploader: the configuration file does not exist: " << path << '\n';
        return 2;
    }
    FileError error;
    const std::optional<IniFile> ini = IniFile::load(path, &error);
    if (!ini) {
        err << "tunebarn-uploader: cannot read " << path << ": " << error.text << '\n';
        return 2;
    }
    ScheduleReport report = ScheduleCheck::analyse(*ini, path, platform.clock.now(),
                                                   handledMinutes(ctx), platform.environment);
    ReadConfig(ctx, path);
    RecordingReport::add(report, ctx, &RecordingAnalysis::analyse, std::numeric_limits<int>::max());
    if (json)
        printJson(report, out);
    else
        printText(report, out);
    out.flush();
    return report.problems.isEmpty() ? 0 : 1;
}
