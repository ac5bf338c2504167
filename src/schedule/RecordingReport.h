#pragma once

#include "core/RecordingFindings.h"

#include <functional>
#include <optional>

class AppContext;
struct ScheduleReport;

// What reading the recordings found, in the report of --check and the Schedule window.
namespace RecordingReport {

// The findings of a recording, or nothing while they are not known.
using Lookup = std::function<std::optional<RecordingFindings>(const QString &path)>;

// Notes each read recording's length and problems in its row and adds the problems, with
// `runsNamed` of the silent runs.
void add(ScheduleReport &report, const AppContext &ctx, const Lookup &lookup, int runsNamed);

} // namespace RecordingReport
