#pragma once

#include <QDateTime>

class AppContext;

// Once the configuration is (re)loaded: every problem the schedule check finds goes to the audit
// as a warning, and to the window with the next upload, so that a show that will never go out
// is seen without anyone running --check.
void reportConfigWarnings(AppContext &ctx);
// Tells the window which show goes out next at or after `from`, and when.
void showNextUpload(AppContext &ctx, const QDateTime &from);
