#pragma once

#include <QString>

struct Platform;

// "--upload FILE --title TITLE [--description TEXT]": the manual upload without dialogs, its
// audit lines flushed at the end. Returns 0 when the service took it, 1 when curl or the
// service failed, 2 when the arguments, the files or the configuration are wrong.
int runCommandLineUpload(Platform &platform, const QString &file, const QString &title,
                         const QString &description);
