#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class AppContext;
struct ShowTableRecord;

// The check ahead: PreflightMinutes before an upload is due, what would keep its show from going
// out right is told while someone can still mend it, rather than at the minute.
namespace Preflight {

// What is wrong with the recording itself for the upload due at `due`: empty, or not modified
// since the show's previous run. A missing recording is --check's own problem.
QStringList recordingProblems(const QString &recording, const QDateTime &due);
// Everything the check ahead finds for show `show` due at `due`.
QStringList problems(const ShowTableRecord &table, int show, const QString &uploadUrl,
                     const QDateTime &due);
// On the first tick of the minute `slot`: each new problem of an upload due within
// PreflightMinutes is told once, and told again once it is mended before the minute.
void check(AppContext &ctx, const QDateTime &slot);

} // namespace Preflight
