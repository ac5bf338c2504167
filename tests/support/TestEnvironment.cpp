#include "support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>

QString TestEnvironment::findOnPath(const QString &program) const
{
    for (const QString &dir : pathDirs) {
        const QFileInfo candidate(QDir(dir).filePath(program));
        if (candidate.isFile() && candidate.isExecutable())
            return candidate.absoluteFilePath();
    }
    return {};
}

QString RecordingDesktop::openFolder(const QString &folder)
{
    openedFolders.append(folder);
    return failure;
}

QString RecordingDesktop::editTextFile(const QString &path)
{
    editedFiles.append(path);
    return failure;
}
