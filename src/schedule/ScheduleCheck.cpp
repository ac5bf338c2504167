#include "schedule/ScheduleCheck.h"

#include "config/ConfigReader.h"
#include "core/AddressMask.h"
#include "core/ScheduleMemory.h"
#include "core/ShowTableRecord.h"
#include "core/UploadOptions.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/LocaleFormat.h"
#include "schedule/DayRule.h"
#include "schedule/Preflight.h"
#include "upload/DateVariables.h"
#include "upload/FailureAlert.h"
#include "upload/RateTimetable.h"
#include "upload/UploadRate.h"
#include "monitoring/PingAddress.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <optional>

namespace {

QString slotText(const QDate &date, const QString &time)
{
    return LocaleFormat::shortDayName(date) + u' ' + LocaleFormat::dayMonthYear(date) + u' ' + time;
}

QString presence(bool exists)
{
    return exists ? QStringLiteral("yes") : QStringLiteral("MISSING");
}

} // namespace

QString ShowCheck::nextUploadText() const
{
    return nextUpload.isValid() ? slotText(nextUpload.date(), time) : nextUploadNote;
}

QString ShowCheck::recordingText() const
{
    return recordingExists && !recordingNote.isEmpty() ? recordingNote : presence(recordingExists);
}

QString ShowCheck::pictureText() const
{
    return picture.isEmpty() ? QStringLiteral("-") : presence(pictureExists);
}

namespace ScheduleCheck {

namespace {

QDate ruleDate(const QString &rule)
{
    return QDate::fromString(rule, QStringLiteral("dd/MM/yyyy"));
}

bool isDate(const QString &rule)
{
    static const QRegularExpression form(QStringLiteral("^\\d\\d/\\d\\d/\\d\\d\\d\\d$"));
    return form.match(rule).hasMatch() && ruleDate(rule).isValid();
}

// A dated show whose day, or whose minute on that day, has gone by.
bool isPast(const QString &rule, const QString &time, const QDateTime &now)
{
    if (!isDate(rule))
        return false;
    const QDate date = ruleDate(rule);
    return date < now.date() || (date == now.date() && time < LocaleFormat::hourMinute(now.time()));
}

bool matches(const ShowTableRecord &table, int show, const QDate &date, const QString &time)
{
    return table.UploadTime[show] == time && dayRuleMatches(table.UploadDay[show], date);
}

int winner(const ShowTableRecord &table, const QDate &date, const QString &time)
{
    for (int show = 1; show <= ShowTableRecord::MaxShows; ++show) {
        if (matches(table, show, date, time))
            return show;
    }
    return 0;
}

bool isHandled(const ScheduleMemory &handled, const QDate &date, const QTime &at)
{
    return handled.isHandled(ScheduleMemory::wallMinute(QDateTime(date, at)));
}

// A show's day and time as the schedule reads them.
struct Slot
{
    QString rule;
    QString time;
    QTime at;
    std::optional<QDate> date; // only for a show of one date
};

// None when the day or the time is not understood: such a show never goes out.
std::optional<Slot> slotOf(const ShowTableRecord &table, int show)
{
    Slot slot{table.UploadDay[show], table.UploadTime[show], {}, {}};
    if (!isValidTime(slot.time) || !isValidDayRule(slot.rule))
        return std::nullopt;
    slot.at = QTime::fromString(slot.time, QStringLiteral("HH:mm"));
    if (isDate(slot.rule))
        slot.date = ruleDate(slot.rule);
    return slot;
}

} // namespace

QDateTime nextUpload(const ShowTableRecord &table, int show, const QDateTime &now,
                     const ScheduleMemory &handled)
{
    const std::optional<Slot> slot = slotOf(table, show);
    if (!slot)
        return {};
    const auto &[rule, time, at, day] = *slot;
    // A date may lie further ahead than the weeks searched for a weekday show.
    if (day) {
        if (isPast(rule, time, now) || winner(table, *day, time) != show ||
            isHandled(handled, *day, at))
            return {};
        return QDateTime(*day, at);
    }
    const QDate today = now.date();
    const QString nowMinute = LocaleFormat::hourMinute(now.time());
    for (int offset = 0; offset < WeeksSearched * 7; ++offset) {
        const QDate date = today.addDays(offset);
        if ((offset == 0 && time < nowMinute) || isHandled(handled, date, at))
            continue;
        if (matches(table, show, date, time) && winner(table, date, time) == show)
            return QDateTime(date, at);
    }
    return {};
}

namespace {

// Which lower-numbered shows take this show's minute, and on which days it therefore stays home.
void reportLosses(const ShowTableRecord &table, int show, const QDateTime &now,
                  QList<CheckProblem> &problems)
{
    const QString time = table.UploadTime[show];
    const QString rule = table.UploadDay[show];
    if (!isValidTime(time) || !isValidDayRule(rule))
        return;
    for (int other = 1; other < show; ++other) {
        const QString otherRule = table.UploadDay[other];
        if (table.UploadTime[other] != time || !isValidDayRule(otherRule))
            continue;
        QString when;
        if (!isDate(rule) && !isDate(otherRule)) {
            if (rule.compare(otherRule, Qt::CaseInsensitive) == 0)
                when = QStringLiteral("on any %1").arg(rule.toUpper());
        } else {
            const QString dated = isDate(rule) ? rule : otherRule;
            const QString weekly = isDate(rule) ? otherRule : rule;
            if (!isPast(dated, time, now) &&
                (isDate(weekly) ? weekly == dated : dayRuleMatches(weekly, ruleDate(dated))))
                when = QStringLiteral("on ") + dated;
        }
        if (when.isEmpty())
            continue;
        problems.append(
            {show, QStringLiteral(
                       "show %1 is due at the same minute as show %2 and will not go out %3 at %4")
                       .arg(show)
                       .arg(other)
                       .arg(when, time)});
        // The first show to take the minute is the one that keeps it; the rest lose to it too.
        if (isDate(rule) || !isDate(otherRule))
            return;
    }
}

QString dayNameRange()
{
    const QDate monday(2024, 1, 1);
    return LocaleFormat::shortDayName(monday) + QStringLiteral(" to ") +
           LocaleFormat::shortDayName(monday.addDays(6));
}

void checkShow(const ShowTableRecord &table, int show, const QDateTime &now, ShowCheck &row,
               QList<CheckProblem> &problems, int preflightMinutes)
{
    if (!isValidTime(row.time))
        problems.append(
            {show, QStringLiteral("show %1: time '%2' is not HH:mm on the 24-hour clock")
                       .arg(show)
                       .arg(row.time)});
    if (!isValidDayRule(row.dayRule))
        problems.append(
            {show,
             QStringLiteral(
                 "show %1: day '%2' is neither an abbreviated day name (%3) nor a date dd/MM/yyyy")
                 .arg(show)
                 .arg(row.dayRule, dayNameRange())});
    if (isPast(row.dayRule, row.time, now))
        problems.append({show, QStringLiteral("show %1: date %2 at %3 is already past")
                                   .arg(show)
                                   .arg(row.dayRule, row.time)});
    if (!row.recordingExists)
        problems.append({show, QStringLiteral("show %1: recording '%2' does not exist")
                                   .arg(show)
                                   .arg(row.recording)});
    if (!row.picture.isEmpty() && !row.pictureExists)
        problems.append(
            {show,
             QStringLiteral("show %1: picture '%2' does not exist").arg(show).arg(row.picture)});
    // What the check ahead tells of the coming upload, once that is near: most of the week the
    // recording is still last week's, and rightly so.
    if (row.nextUpload.isValid() && now.secsTo(row.nextUpload) <= preflightMinutes * 60LL) {
        for (const QString &problem : Preflight::recordingProblems(row.recording, row.nextUpload))
            problems.append({show, QStringLiteral("show %1: ").arg(show) + problem});
    }
    reportLosses(table, show, now, problems);
}

void reportIgnored(const IniFile &ini, QList<CheckProblem> &problems)
{
    static const QRegularExpression showSection(QStringLiteral("^show([1-9]\\d*)$"),
                                                QRegularExpression::CaseInsensitiveOption);
    QSet<QString> seen;
    for (const IniFile::Section &section : ini.sections()) {
        const QString folded = section.name.toLower();
        const QString where = QStringLiteral("line %1: ").arg(section.line);
        if (seen.contains(folded)) {
            problems.append({0, where + QStringLiteral("section [%1] appears again and is ignored")
                                            .arg(section.name)});
            continue;
        }
        seen.insert(folded);
        const QRegularExpressionMatch show = showSection.match(section.name);
        const bool isShow =
            show.hasMatch() && show.captured(1).toInt() <= ShowTableRecord::MaxShows;
        const bool isGeneral = folded == QStringLiteral("general");
        if (!isShow && !isGeneral) {
            problems.append(
                {0,
                 where + QStringLiteral("section [%1] is ignored (shows are [Show1] to [Show100])")
                             .arg(section.name)});
            continue;
        }
        const QStringList known =
            isGeneral ? ConfigReader::generalKeys() : ConfigReader::showKeys();
        QSet<QString> keysSeen;
        for (const IniFile::Key &key : section.keys) {
            const QString keyWhere = QStringLiteral("line %1: ").arg(key.line);
            if (!known.contains(key.name, Qt::CaseInsensitive)) {
                problems.append({0, keyWhere + QStringLiteral("key '%1' in [%2] is ignored")
                                                   .arg(key.name, section.name)});
            } else if (keysSeen.contains(key.name.toLower())) {
                problems.append(
                    {0, keyWhere + QStringLiteral("key '%1' in [%2] appears again and is ignored")
                                       .arg(key.name, section.name)});
            }
            keysSeen.insert(key.name.toLower());
        }
    }
}

// What the monitoring keys would do wrong: a ping address anyone on the way can read, a metrics
// file that cannot be written.
void checkMonitoring(const UploadOptions &options, ScheduleReport &report)
{
    if (!options.alivePingUrl.isEmpty())
        report.alivePingUrl = PingAddress::masked(options.alivePingUrl);
    for (const auto &[key, url] : {std::pair{"PingURL", options.pingUrl},
                                   std::pair{"AlivePingURL", options.alivePingUrl}}) {
        const QString plain =
            PingAddress::problem(QStringLiteral("[General] ") + QLatin1String(key), url);
        if (!plain.isEmpty())
            report.problems.append({0, plain});
    }
    const QString metrics = options.metricsFile;
    if (!metrics.isEmpty() && !folderExists(QFileInfo(metrics).absolutePath()))
        report.problems.append(
            {0, QStringLiteral("[General] MetricsFile '%1': its folder does not exist, so no "
                               "figures are written")
                    .arg(metrics)});
}

void checkGeneral(const IniFile &ini, const Environment &environment, ScheduleReport &report)
{
    const QString url = ConfigReader::uploadUrl(ini);
    if (url.isEmpty())
        report.problems.append(
            {0, QStringLiteral("[General] UploadURL is empty: every upload will fail")});
    const QString refused = ConfigReader::uploadUrlProblem(url);
    if (!refused.isEmpty())
        report.problems.append({0, refused});
    if (const qsizetype cut = ConfigReader::uploadUrlCut(ini))
        report.problems.append(
            {0, QStringLiteral("[General] UploadURL is cut: only its first %1 characters are "
                               "read, %2 lost, so uploads go to another address")
                    .arg(ConfigReader::MaxValueLength)
                    .arg(cut == 1 ? QStringLiteral("1 more is")
                                  : QStringLiteral("%1 more are").arg(cut))});
    const ConfigReader::GeneralOptions read = ConfigReader::uploadOptions(ini);
    for (const QString &problem : read.problems)
        report.problems.append({0, problem});
    const UploadOptions &options = read.options;
    report.insecureTls = options.insecureTls;
    if (!options.caCertificates.isEmpty() && !QFileInfo(options.caCertificates).isFile())
        report.problems.append(
            {0, QStringLiteral("[General] CACertificates '%1' is not a file: no upload over "
                               "https can go out")
                    .arg(options.caCertificates)});
    QString rateProblem;
    if (const auto timetable = RateTimetable::parse(options.maxUploadRate, &rateProblem)) {
        if (!options.maxUploadRate.isEmpty())
            report.uploadRate = timetable->text();
    } else {
        report.problems.append(
            {0, QStringLiteral("[General] MaxUploadRate '%1' is not understood (%2): uploads go "
                               "without a limit")
                    .arg(options.maxUploadRate, rateProblem)});
    }
    const QString priority =
        ConfigReader::storedValue(ini, QStringLiteral("General"), QStringLiteral("UploadPriority"));
    if (!ConfigReader::isUploadPriority(priority))
        report.problems.append(
            {0, QStringLiteral("[General] UploadPriority '%1' is neither 'low' nor 'normal': curl "
                               "runs at low priority")
                    .arg(priority)});
    checkMonitoring(options, report);
    const QString command = options.failureCommand;
    const QFileInfo program(failureProgramPath(environment, command));
    if (!command.isEmpty() && !(program.isFile() && program.isExecutable()))
        report.problems.append(
            {0, QStringLiteral("[General] FailureCommand '%1' is not an executable file and will "
                               "not run: it is started directly, never through a shell, so it "
                               "must name a program by its full path or one on PATH")
                    .arg(command)});
}

// The rate the show's upload will get, how long its recording takes at it, and whether its
// time limit stops it first.
void checkRate(const ShowTableRecord &table, int show, const UploadOptions &options,
               const QDateTime &now, ShowCheck &row, QList<CheckProblem> &problems)
{
    const QString own = table.MaxUploadRate[show];
    if (const QString problem = UploadRate::problemOf(own); !problem.isEmpty())
        problems.append({show, QStringLiteral("show %1: MaxUploadRate '%2' is not understood "
                                              "(%3): its uploads take [General] MaxUploadRate")
                                   .arg(show)
                                   .arg(own, problem)});
    const QDateTime at = row.nextUpload.isValid() ? row.nextUpload : now;
    row.uploadRate = UploadRate::inForce(table, options, show, at).bytesPerSecond;
    if (!row.recordingExists)
        return;
    const qint64 bytes = QFileInfo(row.recording).size();
    row.expectedSeconds = UploadRate::expectedSeconds(bytes, row.uploadRate);
    if (options.uploadTimeoutMinutes > 0 &&
        row.expectedSeconds > options.uploadTimeoutMinutes * 60LL)
        problems.append(
            {show, QStringLiteral("show %1: at %2 its recording of %3 bytes takes about %4, longer "
                                  "than UploadTimeoutMinutes=%5 allows, so the upload will be "
                                  "stopped")
                       .arg(show)
                       .arg(RateTimetable::rateText(row.uploadRate))
                       .arg(bytes)
                       .arg(UploadRate::durationText(row.expectedSeconds))
                       .arg(options.uploadTimeoutMinutes)});
}

// A dated show whose minute has been handled has had its one chance.
bool isDoneDate(const ShowCheck &row, const ScheduleMemory &handled)
{
    return isDate(row.dayRule) && isValidTime(row.time) &&
           isHandled(handled, ruleDate(row.dayRule),
                     QTime::fromString(row.time, QStringLiteral("HH:mm")));
}

} // namespace

bool isValidTime(const QString &time)
{
    static const QRegularExpression form(QStringLiteral("^([01]\\d|2[0-3]):[0-5]\\d$"));
    return form.match(time).hasMatch();
}

bool isConfigured(const ShowTableRecord &table, int show)
{
    return !(table.Filename[show].isEmpty() && table.Title[show].isEmpty() &&
             table.Description[show].isEmpty() && table.UploadDay[show].isEmpty() &&
             table.UploadTime[show].isEmpty() && table.Picture[show].isEmpty());
}

bool isPastDate(const QString &dayRule, const QDate &today)
{
    return isDate(dayRule) && ruleDate(dayRule) < today;
}

QDateTime lastDue(const ShowTableRecord &table, int show, const QDateTime &now)
{
    const std::optional<Slot> slot = slotOf(table, show);
    if (!slot)
        return {};
    const auto &[rule, time, at, day] = *slot;
    if (day) {
        const QDateTime due(*day, at);
        return due <= now ? due : QDateTime();
    }
    const bool laterToday = time > LocaleFormat::hourMinute(now.time());
    for (int back = laterToday ? 1 : 0; back <= 7; ++back) {
        const QDate date = now.date().addDays(-back);
        if (dayRuleMatches(rule, date))
            return QDateTime(date, at);
    }
    return {};
}

bool dayRuleMatches(const QString &dayRule, const QDate &date)
{
    return DayRule::match(dayRule, date) != DayRule::Match::None;
}

bool isValidDayRule(const QString &dayRule)
{
    if (isDate(dayRule))
        return true;
    const QDate monday(2024, 1, 1);
    for (int day = 0; day < 7; ++day) {
        if (dayRuleMatches(dayRule, monday.addDays(day)))
            return true;
    }
    return false;
}

NextUpload firstNextUpload(const ShowTableRecord &table, const QDateTime &now,
                           const ScheduleMemory &handled)
{
    NextUpload first;
    for (int show = 1; show <= ShowTableRecord::MaxShows; ++show) {
        if (!isConfigured(table, show))
            continue;
        const QDateTime at = nextUpload(table, show, now, handled);
        if (at.isValid() && (!first.at.isValid() || at < first.at))
            first = {at, show, {}};
    }
    if (first.at.isValid())
        first.text = slotText(first.at.date(), table.UploadTime[first.show]) +
                     QStringLiteral(" show %1 '%2'")
                         .arg(first.show)
                         .arg(DateVariables::expand(table.Title[first.show], first.at.date()));
    return first;
}

QString insecureTlsText()
{
    return QStringLiteral("[General] InsecureTLS=1: the service's certificate is not checked, so "
                          "anyone on the way can read the upload address and its token");
}

ScheduleReport analyse(const IniFile &ini, const QString &configFile, const QDateTime &now,
                       const ScheduleMemory &handled, const Environment &environment)
{
    ScheduleReport report;
    report.configFile = configFile;
    report.encoding = ini.encodingName();
    report.uploadUrl = maskSecrets(ConfigReader::uploadUrl(ini));
    checkGeneral(ini, environment, report);
    for (const QString &problem : ConfigReader::recordingLimitProblems(ini))
        report.problems.append({0, problem});

    const ShowTableRecord table = ConfigReader::showTable(ini);
    const UploadOptions options = ConfigReader::uploadOptions(ini).options;
    const int preflightMinutes = options.preflightMinutes;
    for (int show = 1; show <= ShowTableRecord::MaxShows; ++show) {
        if (!isConfigured(table, show))
            continue;
        ShowCheck row;
        row.number = show;
        row.dayRule = table.UploadDay[show];
        row.time = table.UploadTime[show];
        row.recording = table.Filename[show];
        row.recordingExists = fileExists(row.recording);
        row.picture = table.Picture[show];
        row.pictureExists = fileExists(row.picture);
        const QString ping = PingAddress::forShow(options, table, show);
        row.pingUrl = ping.isEmpty() ? QString() : PingAddress::masked(ping);
        const QString plain =
            PingAddress::problem(QStringLiteral("show %1: PingURL").arg(show), table.PingURL[show]);
        if (!plain.isEmpty())
            report.problems.append({show, plain});
        row.nextUpload = nextUpload(table, show, now, handled);
        if (!row.nextUpload.isValid())
            row.nextUploadNote = isPast(row.dayRule, row.time, now) || isDoneDate(row, handled)
                                     ? QStringLiteral("past")
                                     : QStringLiteral("never");
        row.title = DateVariables::expand(
            table.Title[show], row.nextUpload.isValid() ? row.nextUpload.date() : now.date());
        checkShow(table, show, now, row, report.problems, preflightMinutes);
        checkRate(table, show, options, now, row, report.problems);
        report.shows.append(row);
    }
    reportIgnored(ini, report.problems);
    return report;
}

} // namespace ScheduleCheck
