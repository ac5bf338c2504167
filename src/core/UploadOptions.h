#pragma once

#include "core/RecordingLimits.h"

#include <QString>
#include <QStringList>

// Opt-in safeguards read from [General] in tunebarn.ini. Zero keeps the plain behaviour:
// no catching up of missed minutes, no retries, no time limit.
struct UploadOptions
{
    static constexpr int MaxCatchUpMinutes = 24 * 60;
    static constexpr int MaxRetryCount = 100;
    // A service that refuses at once is never hammered.
    static constexpr int MinRetryDelaySeconds = 10;
    static constexpr int MaxRetryDelaySeconds = 24 * 60 * 60;
    static constexpr int MaxTimeoutMinutes = 7 * 24 * 60;
    // Well inside the service's stop timeout (packaging/tunebarn-uploader.service.in).
    static constexpr int MaxStopGraceSeconds = 60;
    static constexpr int MaxSettleSeconds = 60 * 60;
    static constexpr int MaxRecordingWaitMinutes = 24 * 60;
    static constexpr int MaxPreflightMinutes = 24 * 60;
    static constexpr int MaxAlivePingMinutes = 24 * 60;

    int catchUpMinutes = 0;
    int retryCount = 0;
    int retryDelaySeconds = 60;
    int uploadTimeoutMinutes = 0;
    // How long a close waits for running uploads before it cuts them; 0 cuts them at once.
    int stopGraceSeconds = 20;
    // curl checks the service's certificate unless a station whose service has none valid
    // turns that off ([General] InsecureTLS=1), which lets anyone on the way read the token.
    bool insecureTls = false;
    // A recording modified less than this ago is still being written: its upload waits until it
    // has stood still that long, at most recordingWaitMinutes. 0 sends it as it is.
    int recordingSettleSeconds = 10;
    int recordingWaitMinutes = 15;
    // A recording older than the show's previous occurrence is last week's: warned of, and not
    // sent when this is set.
    bool skipStaleRecordings = false;
    // How long before a due upload its show is checked, so a missing recording is told while
    // someone can still mend it. 0: no check ahead.
    int preflightMinutes = 10;
    // A program told of every failed upload (show number, title, reason), so a station can have
    // someone mailed or paged. Empty: none.
    QString failureCommand;
    // The certificate authorities curl trusts instead of the system's, for a service whose
    // certificate a station's own authority signed. Empty: the system's.
    QString caCertificates;
    // [General]'s limits for a true recording; a show's own section may override them.
    RecordingLimits recording;
    // A monitor's address told when each show starts and how it ends (a show's own PingURL
    // goes first), and one told every alivePingMinutes while the program runs. Empty: none.
    QString pingUrl;
    QString alivePingUrl;
    int alivePingMinutes = 5;
    // Where the figures for Prometheus go. Empty: nowhere.
    QString metricsFile;
    // The most an upload sends per second, as a rate or a timetable (upload/RateTimetable.h),
    // so that the live stream keeps its share of the line. Empty: no limit.
    QString maxUploadRate;
    // curl runs below normal priority for the processor and idle for the disk, so that it never
    // starves playout; UploadPriority=normal turns that off.
    bool lowUploadPriority = true;
};
