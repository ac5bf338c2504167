#include "app/cli/HistoryCommand.h"

#include "app/cli/TextTable.h"
#include "app/core/Lifecycle.h"
#include "audit/UploadHistory.h"
#include "core/AppContext.h"
#include "core/CountedNoun.h"
#include "platform/Clock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

QString showText(int show)
{
    return show > 0 ? QString::number(show) : QStringLiteral("-");
}

void printText(const QList<UploadAttempt> &attempts, int days, QTextStream &out)
{
    if (attempts.isEmpty()) {
        out << "No uploads in the last "
            << (days == 1 ? QStringLiteral("day") : countedNoun(days, QStringLiteral("day")))
            << ".\n";
        return;
    }
    QList<QStringList> rows{
        {QStringLiteral("Show"), QStringLiteral("Due"), QStringLiteral("Finished"),
         QStringLiteral("Outcome"), QStringLiteral("HTTP"), QStringLiteral("Bytes"),
         QStringLiteral("Seconds"), QStringLiteral("Title"), QStringLiteral("Reason")}};
    for (const UploadAttempt &attempt : attempts)
        rows.append({showText(attempt.show),
                     attempt.due.toString(QStringLiteral("dd/MM/yyyy HH:mm")),
                     attempt.finished.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")),
                     attempt.outcome, attempt.httpStatus, QString::number(attempt.bytesSent),
                     QString::number(attempt.seconds, 'f', 1), attempt.title, attempt.reason});
    printTable(rows, out);
}

void printJson(const QList<UploadAttempt> &attempts, QTextStream &out)
{
    QJsonArray array;
    for (const UploadAttempt &attempt : attempts)
        array.append(QJsonDocument::fromJson(attempt.toJsonLine()).object());
    out << QJsonDocument(QJsonObject{{QStringLiteral("attempts"), array}})
               .toJson(QJsonDocument::Indented);
}

} // namespace

int runHistory(Platform &platform, int days, bool json, QTextStream &out)
{
    ConfigRecord cfg;
    cfg.LocalAppFolder = localAppFolder(platform.environment);
    const QDateTime now = platform.clock.now();
    const QList<UploadAttempt> attempts =
        UploadHistory::read(cfg, QDateTime(now.date().addDays(1 - days), QTime(0, 0)));
    if (json)
        printJson(attempts, out);
    else
        printText(attempts, days, out);
    out.flush();
    return 0;
}
