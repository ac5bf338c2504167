#pragma once

#include "upload/UploadRun.h"

#include <QDateTime>
#include <QString>

#include <optional>

class AppContext;

// Whether a recording is fit to send, judged before curl starts: one still being written, one
// left from the show's previous run, or an empty one is the most common way a show goes out
// wrong while the upload itself succeeds.
namespace RecordingReady {

// A recording as the file system shows it; size -1 when it is not there.
struct FileState
{
    qint64 size = -1;
    QDateTime modified;

    bool operator==(const FileState &) const = default;
};

FileState stateOf(const QString &file);

// The show's run before the one due at `due`: a week earlier. A dated show has no earlier run of
// its own; the week before stands for it, so a special recorded days ahead is not last week's.
QDateTime previousOccurrence(const QDateTime &due);
// Modified less than `settleSeconds` ago, so perhaps still being written. A time further ahead
// of the clock than that says the clocks disagree, not that the file is new.
bool isRecent(const QDateTime &modified, const QDateTime &now, int settleSeconds);
// Not modified since the previous run began: most likely that run's recording.
bool isStale(const QDateTime &modified, const QDateTime &previous);
// "was last modified 30/11/2026 12:00:00, before the show's previous run at 30/11/2026 21:00".
QString staleText(const QDateTime &modified, const QDateTime &previous);

enum class Settle
{
    Still,   // not modified for the settle time, at once or after a wait
    Limit,   // still changing when the wait ran out; sent as it is
    Stopped, // the program is closing; nothing was sent
};

// Waits, with events running, until `file` has stood still for RecordingSettleSeconds, at most
// RecordingWaitMinutes; a recording already that old is not waited for at all.
Settle waitUntilStill(AppContext &ctx, const QString &routine, const UploadSubject &subject,
                      const QString &file);

// An empty recording is a failure, tried again as an unreachable service is, since the recorder
// may still be writing. Nothing when it has bytes (at once or after a retry); otherwise how the
// upload ended, with `failureReason` in plain words for a failure.
std::optional<UploadEnd> refuseEmpty(AppContext &ctx, const QString &routine,
                                     const UploadSubject &subject, const QString &file,
                                     QString *failureReason);

} // namespace RecordingReady
