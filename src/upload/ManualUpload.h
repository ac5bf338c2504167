#pragma once

#include "upload/UploadRun.h"

#include <QString>

class AppContext;

// The "Manual Upload" command: any MP3 file, with a typed title and description, sent at once.
void manupmnu_Click(AppContext &ctx);

// The upload itself, once file, title and description are known: the same command, window texts
// and audit lines as the menu command, without its dialogs. A failure's `failureReason` says why;
// a cut's says what the audit says of it.
UploadEnd uploadManually(AppContext &ctx, const QString &file, const QString &title,
                         const QString &description, QString *failureReason = nullptr);
