#pragma once

#include "platform/PathText.h"

#include <QString>

// The settings every part of the program shares (`CFG`). Folders end in the platform separator.
struct ConfigRecord
{
    QString UploadURL;
    QString ConfigPath;
    QString LocalAppFolder;

    // The program's own folder below a per-user data folder: the audit files, curl's reply and,
    // when the playout system names no other, the configuration.
    static QString programFolderIn(const QString &localAppFolder)
    {
        return localAppFolder + QStringLiteral("TunebarnUploader") + pathSeparator();
    }
    QString programFolder() const { return programFolderIn(LocalAppFolder); }
    QString configFile() const { return ConfigPath + QStringLiteral("tunebarn.ini"); }
};
