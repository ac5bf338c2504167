#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

class Environment;
class IniFile;
class ScheduleMemory;
struct ShowTableRecord;

// What the schedule will do, worked out from tunebarn.ini without uploading anything: each
// configured show's next upload, and everything that will keep a show from going out.
struct ShowCheck
{
    int number = 0;
    QString title; // as it would be sent at its next upload
    QString dayRule;
    QString time;
    QDateTime nextUpload;   // invalid when there is none
    QString nextUploadNote; // "past" or "never" when there is none
    QString recording;
    bool recordingExists = false;
    QString recordingNote; // what reading it found: "1:59:58", "0:04:00 SHORT"; empty unread
    QString picture;
    bool pictureExists = false;
    QString pingUrl; // masked; empty when it has none
    qint64 uploadRate = 0;       // bytes a second at its next upload (or now); 0: no limit
    qint64 expectedSeconds = -1; // its recording's size at that rate; -1 without either

    // The cells of the schedule as --check and the Schedule window show them.
    QString nextUploadText() const; // "Sun 13/12/2026 09:00", "past" or "never"
    QString recordingText() const;  // the note, else "yes" or "MISSING"
    QString pictureText() const;    // "yes", "MISSING" or "-" when there is none
};

struct CheckProblem
{
    int show = 0; // 0 for problems of the file as a whole
    QString text;
};

struct ScheduleReport
{
    QString configFile;
    QString encoding;         // how the file was read
    QString uploadUrl;        // access tokens masked
    bool insecureTls = false; // [General] InsecureTLS=1: the certificate is not checked
    QString alivePingUrl;     // masked; empty when there is none
    QString uploadRate;       // [General] MaxUploadRate as understood; empty when it is not set
    QList<ShowCheck> shows;
    QList<CheckProblem> problems;
};

namespace ScheduleCheck {

constexpr int WeeksSearched = 8;

// `handled` holds the minutes this run or an earlier one has handled: none of them is ever next.
// `environment` finds FailureCommand as an upload would.
ScheduleReport analyse(const IniFile &ini, const QString &configFile, const QDateTime &now,
                       const ScheduleMemory &handled, const Environment &environment);
// What --check and the start-up say while certificates go unchecked.
QString insecureTlsText();
struct NextUpload
{
    QDateTime at; // invalid when no show will go out
    int show = 0;
    QString text; // "Sun 13/12/2026 09:00 show 1 'Title'"
};
// The next slot at or after the minute of `now`, not yet handled, in which this show is the one
// uploaded; invalid when there is none.
QDateTime nextUpload(const ShowTableRecord &table, int show, const QDateTime &now,
                     const ScheduleMemory &handled);
// The upload of all the table's shows that comes first at or after `now` in a minute not yet
// handled: what every report of "the next upload" names.
NextUpload firstNextUpload(const ShowTableRecord &table, const QDateTime &now,
                           const ScheduleMemory &handled);
// The last minute at or before `now` that the show's day and time name; invalid when none has
// come yet.
QDateTime lastDue(const ShowTableRecord &table, int show, const QDateTime &now);
// True for a show whose date lies before `today`: it is done with.
bool isPastDate(const QString &dayRule, const QDate &today);
bool isConfigured(const ShowTableRecord &table, int show);
bool isValidTime(const QString &time);
// True when `dayRule` names `date`: its abbreviated day name or its dd/MM/yyyy date.
bool dayRuleMatches(const QString &dayRule, const QDate &date);
bool isValidDayRule(const QString &dayRule);

} // namespace ScheduleCheck
