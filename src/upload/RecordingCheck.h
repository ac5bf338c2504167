#pragma once

#include "core/RecordingFindings.h"
#include "recording/RecordingVerdict.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class AppContext;

// The recording checks where a show's limits and its upload history meet: the same problems
// for the check ahead, the upload, the Schedule window and --check.
namespace RecordingCheck {

// The lengths of the show's taken uploads in the upload history, oldest first.
QList<double> takenLengths(const AppContext &ctx, int show);
QList<RecordingProblem> problems(const AppContext &ctx, int show, const RecordingFindings &findings,
                                 int runsNamed = RecordingVerdict::RunsInWarning);
// "recording '/shows/a.mp3' is silent from start to end", for each problem.
QStringList texts(const QString &recording, const QList<RecordingProblem> &problems);

} // namespace RecordingCheck
