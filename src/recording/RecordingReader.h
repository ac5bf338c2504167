#pragma once

#include "core/RecordingFindings.h"

#include <QString>

#include <functional>
#include <optional>

class AppContext;

// Reads recordings away from the window thread and keeps what it found while the file stays
// the same, so neither the window, the tick nor a stop waits for a long file.
namespace RecordingReader {

// The findings, when the file has been read as it is now; otherwise nothing, and a reading is
// started if none runs. `whenRead` runs on the window thread once that reading is done.
std::optional<RecordingFindings> findings(AppContext &ctx, const QString &path,
                                          const std::function<void()> &whenRead = {});
// Waits with events running until the file has been read; nothing when the close cut the wait.
std::optional<RecordingFindings> waitFor(AppContext &ctx, const QString &path);

} // namespace RecordingReader
