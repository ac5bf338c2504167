#pragma once

#include "upload/UploadRun.h"

#include <QString>

class AppContext;

// Uploads show `ShowID` from the show table with its title's date variables expanded, and
// writes the audit lines out when done. An upload that never started counts as failed.
UploadEnd UploadShow(AppContext &ctx, int ShowID);

bool FileExists(const QString &Filename);
// The file's creation date and time, "Not Available" when its folder exists but the file does
// not, and empty text when it cannot be told.
QString FileTimeStamp(const QString &FileSpec);
