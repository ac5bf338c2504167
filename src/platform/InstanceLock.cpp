#include "platform/InstanceLock.h"

#include "platform/FileSystem.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

constexpr auto LockBaseName = "TunebarnUploader";

#ifdef Q_OS_WIN
// Two spellings of one folder (a trailing separator, letter case) are one data folder.
QString mutexName(const QString &localAppFolder)
{
    const QFileInfo folder(QDir(localAppFolder).filePath(QString::fromLatin1(LockBaseName)));
    QString key = folder.canonicalFilePath();
    if (key.isEmpty())
        key = QDir::cleanPath(folder.absoluteFilePath());
    const QByteArray hash =
        QCryptographicHash::hash(key.toLower().toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("Local\\%1-%2")
        .arg(QString::fromLatin1(LockBaseName), QString::fromLatin1(hash.left(16)));
}
#endif

} // namespace

InstanceLock::InstanceLock(const QString &localAppFolder)
{
#ifdef Q_OS_WIN
    m_name = mutexName(localAppFolder);
#else
    m_name =
        QDir(localAppFolder).filePath(QString::fromLatin1(LockBaseName) + QStringLiteral(".lock"));
#endif
}

InstanceLock::~InstanceLock()
{
#ifdef Q_OS_WIN
    if (m_mutex)
        CloseHandle(m_mutex);
#else
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

bool InstanceLock::tryLock()
{
#ifdef Q_OS_WIN
    m_mutex = CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t *>(m_name.utf16()));
    return !(m_mutex && GetLastError() == ERROR_ALREADY_EXISTS);
#else
    createFolder(QFileInfo(m_name).path(), false);
    // The lock is the open file's; the kernel drops it with the last process that holds it.
    m_fd = ::open(QFile::encodeName(m_name).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return true;
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    const bool heldByAnother = errno == EWOULDBLOCK;
    ::close(m_fd);
    m_fd = -1;
    return !heldByAnother;
#endif
}
