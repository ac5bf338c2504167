#include "platform/InstanceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// The lock lives outside the data folder so that taking it writes nothing there.
QString lockFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

// Two spellings of one folder (a symbolic link, a trailing separator) are one data folder.
QString folderKey(const QString &dataFolder)
{
    const QFileInfo folder(dataFolder);
    const QString canonical = folder.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(folder.absoluteFilePath()) : canonical;
}

} // namespace

InstanceLock::InstanceLock(const QString &dataFolder)
{
    const QString canonical = folderKey(dataFolder);
    const QByteArray key = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    m_path = QDir(lockFolder()).filePath(QStringLiteral("tunebarn-uploader-") + QString::fromLatin1(key)
                                         + QStringLiteral(".lock"));
}

bool InstanceLock::tryLock()
{
    m_lock = std::make_unique<QLockFile>(m_path);
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0);
}
