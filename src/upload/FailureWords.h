#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// One try of an upload as curl ended it.
struct TryResult
{
    bool started = false;
    int exitValue = 0;
    QString httpStatus; // "000" when the service sent no reply
    QByteArray reply;   // what the service answered
    QString curlSaid;   // curl's last "curl: (N) ..." line
    bool timedOut = false;
    int timeLimitMinutes = 0;
    bool stopped = false; // the program was closing
    QString redirectUrl{}; // where a 3xx status pointed, which curl does not follow
    QString uploadUrl{};   // its secrets are masked wherever the service or curl repeats them
};

// A failed upload told in the operator's words rather than curl's: what happened and what
// follows. The window, the notification, the service's log and FailureCommand all get the same.
namespace FailureWords {

// "the service refused it (HTTP 500: storage backend down)", "the service could not be reached
// (Could not resolve host: shows.example)", "the service redirected it to ... (HTTP 302), so
// nothing was stored", "it timed out ...", "it was stopped ...".
QString whatHappened(const TryResult &result);
// The service's own words: the message of a JSON reply, else its first line of text; one line,
// its control characters escaped.
QString serviceMessage(const QByteArray &reply);
// "the recording is empty (0 bytes)": a recorder that opened the file and died.
QString recordingEmpty();
// "trying again at 21:05:07 (1 of 3)".
QString retryingAt(const QDateTime &at, int retry, int retryCount);
// What follows a failure that is final: no retry, or none left after `retryCount`.
QString noRetry(bool worthRetrying, int retryCount, bool closing);

} // namespace FailureWords
