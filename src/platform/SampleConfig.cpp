#include "platform/SampleConfig.h"

#include <QDir>

namespace SampleConfig {

QString path(const QString &programFolder)
{
#ifdef Q_OS_WIN
    const QString relative = QStringLiteral("tunebarn.ini.sample");
#else
    const QString relative = QStringLiteral("../share/doc/tunebarn-uploader/tunebarn.ini.sample");
#endif
    return QDir::toNativeSeparators(QDir::cleanPath(QDir(programFolder).filePath(relative)));
}

} // namespace SampleConfig
