#pragma once

#include <QString>

class AppContext;
class Environment;
struct UploadSubject;

// A failed upload is told beyond the audit, since nobody may be at the desk: the window (or the
// service's log) shows why, and the station's FailureCommand, when one is set, is run with the
// show's number (0 for a manual upload), its title and the reason, never through a shell and
// never for longer than a minute. `routine` names the caller in the audit lines.
void alertFailure(AppContext &ctx, const QString &routine, const UploadSubject &subject,
                  const QString &reason);
// The program FailureCommand starts: the command itself when it is an absolute path, otherwise
// the one of that name on PATH; the command as it stands when there is none.
QString failureProgramPath(const Environment &environment, const QString &command);
// A show that is not sent at all (a skip rule held it back) pages the station as a failure does;
// the window and the notification have told it already.
void alertSkip(AppContext &ctx, const QString &routine, const UploadSubject &subject,
               const QString &reason);
// A taken upload clears what the last failure showed.
void clearFailure(AppContext &ctx);
