#pragma once

#include "upload/RecordingReady.h"
#include "upload/UploadRun.h"

#include <QString>

class AppContext;

// Uploads show `ShowID` from the show table with its title's date variables expanded for the
// day it was due, and writes the audit lines out when done. An upload that never started counts
// as failed. `sent`, when given, receives the recording as it stood when curl began to send it,
// and is left alone when curl never ran.
UploadEnd UploadShow(AppContext &ctx, int ShowID, RecordingReady::FileState *sent = nullptr);

bool FileExists(const QString &Filename);
// The file's creation date and time, "Not Available" when its folder exists but the file does
// not, and empty text when it cannot be told.
QString FileTimeStamp(const QString &FileSpec);
