#pragma once

#include <QDateTime>
#include <QString>

// One finished try of an upload, as the monitoring hears of it.
struct WatchedTry
{
    int show = 0; // 0 for a manual upload
    // "taken", "retried" (failed, tried again), "failed", "cut" or "skipped"
    QString outcome;
    QString reason; // what happened, in plain words; empty when taken
    qint64 bytesSent = 0;
    double seconds = 0;
    QDateTime finished;
    double recordingSeconds = 0; // the length of the recording it sent; 0 when not known
};

// What the uploads tell whoever watches the station from outside; by default no one.
class UploadWatch
{
public:
    virtual ~UploadWatch() = default;
    // The first try of the show's upload is about to run curl; a retry is not told again.
    virtual void curlStarting(int show) { Q_UNUSED(show); }
    virtual void tryEnded(const WatchedTry &attempt) { Q_UNUSED(attempt); }
};
