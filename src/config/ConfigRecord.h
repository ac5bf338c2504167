#pragma once

#include <QString>

// The settings every part of the program shares (`CFG`). Folders end in the platform separator.
struct ConfigRecord
{
    QString UploadURL;
    QString ConfigPath;
    QString LocalAppFolder;
};
