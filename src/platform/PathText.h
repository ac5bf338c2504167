#pragma once

#include <QDir>
#include <QString>

// Folder texts in this program always end in the platform's separator, so file names can be
// appended directly.
inline QChar pathSeparator()
{
    return QDir::separator();
}

inline QString withTrailingSeparator(const QString &folder)
{
    if (folder.endsWith(pathSeparator()))
        return folder;
    return folder + pathSeparator();
}

inline QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}
