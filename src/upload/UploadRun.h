#pragma once

#include "upload/UploadCommand.h"
#include "upload/UploadRate.h"

#include <QString>

#include <QDateTime>

class AppContext;

// What an upload sends, as the operator knows it.
struct UploadSubject
{
    int show = 0; // 0 for a manual upload
    QString title;
    QDateTime due; // the minute a scheduled upload was due; when a manual one started
    double recordingSeconds = 0; // the recording's length; 0 while it is not known

    QString what() const; // "show 3 'Breakfast'" or "manual upload 'Extra'"
};

// How an upload ended. One cut by the program's close is no failure: the service may still
// lack it (Unsent, where curl cannot have handed it the whole body) or may have it (Sent).
enum class UploadEnd
{
    Taken,
    Failed,
    CutUnsent,
    CutSent,
    Skipped // a recording the station chose not to send (SkipStaleRecordings and the like)
};

// Runs an upload command and judges whether the service took it: curl must have started,
// ended with 0 and printed an HTTP status below 400. Failures are logged under `routine`
// with the service's reply and curl's own message; a failure followed by a retry, and a retry
// taken, are told to the view; a cut is left to the caller, who can name the upload.
// `failureReason`, when given, receives what happened and that no retry follows, in plain words.
UploadEnd runUpload(AppContext &ctx, const QString &routine, const UploadSubject &subject,
                    const CommandLine &command, const QString &responseFile,
                    QString *failureReason = nullptr);

// One line of the upload history for an upload that ended before curl was started.
void recordUnsent(AppContext &ctx, const QString &routine, const UploadSubject &subject,
                  const QString &outcome, const QString &reason);
// Waits with window events running; closing the program cuts it short.
void waitProcessingEvents(AppContext &ctx, int seconds);

// What the audit (after the routine) and --upload say of an upload cut by the close.
QString cutReport(UploadEnd end, const QString &name);
// "Finished Upload: hh:mm:ss", "Upload Failed: hh:mm:ss" or, for a cut, "Upload Cut: hh:mm:ss".
QString finishedStatus(AppContext &ctx, UploadEnd end);
// Where curl writes the service's reply: upload.txt for the upload that runs alone, a file of
// its own beside it for one that starts while another is running, removed when it is done, so
// a reply quoted in the audit is always the upload's own.
class ReplyFile
{
public:
    explicit ReplyFile(AppContext &ctx);
    ~ReplyFile();
    ReplyFile(const ReplyFile &) = delete;
    ReplyFile &operator=(const ReplyFile &) = delete;

    const QString &path() const { return m_path; }

private:
    AppContext &m_ctx;
    int m_depth;
    QString m_path;
};
// Sets the rate limit in force now for `show` (0: a manual upload) and the priority on the
// request, and returns the rate for the audit.
UploadRate paceUpload(const AppContext &ctx, UploadRequest &request, int show);
// The curl to run: the one CurlCheck finds, else the expected path so the launch reports it.
QString curlProgramPath(const AppContext &ctx);
