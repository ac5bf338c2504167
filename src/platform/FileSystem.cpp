#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef Q_OS_WIN
#include <io.h>
#define TB_OPEN _wopen
#define TB_WRITE _write
#define TB_CLOSE _close
#define TB_READ _read
#else
#include <unistd.h>
#define TB_OPEN ::open
#define TB_WRITE ::write
#define TB_CLOSE ::close
#define TB_READ ::read
#endif

namespace {

FileError errorFromErrno(int number)
{
    return FileError{number, QString::fromLocal8Bit(std::strerror(number))};
}

int openNative(const QString &path, int flags, int mode)
{
#ifdef Q_OS_WIN
    return TB_OPEN(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                   flags | _O_BINARY, mode);
#else
    return TB_OPEN(QFile::encodeName(path).constData(), flags | O_CLOEXEC, mode);
#endif
}

} // namespace

bool fileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

bool folderExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

FileError createFolder(const QString &path, bool privateToUser)
{
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(path));
    if (folderExists(clean))
        return {};
    const QString parent = QFileInfo(clean).path();
    if (parent != clean && !folderExists(parent)) {
        const FileError parentError = createFolder(parent, false);
        if (parentError.failed())
            return parentError;
    }
#ifdef Q_OS_WIN
    Q_UNUSED(privateToUser);
    if (QDir().mkdir(clean))
        return {};
    return FileError{EIO, QStringLiteral("The folder could not be created")};
#else
    if (::mkdir(QFile::encodeName(clean).constData(), privateToUser ? 0700 : 0777) == 0)
        return {};
    const int number = errno;
    if (number == EEXIST && folderExists(clean))
        return {};
    return errorFromErrno(number);
#endif
}

FileRead readWholeFile(const QString &path)
{
    FileRead result;
    const int fd = openNative(path, O_RDONLY, 0);
    if (fd < 0) {
        result.error = errorFromErrno(errno);
        return result;
    }
    char chunk[65536];
    for (;;) {
        const auto got = TB_READ(fd, chunk, sizeof chunk);
        if (got < 0) {
            result.error = errorFromErrno(errno);
            break;
        }
        if (got == 0)
            break;
        result.bytes.append(chunk, got);
    }
    TB_CLOSE(fd);
    return result;
}

FileError removeFile(const QString &path)
{
#ifdef Q_OS_WIN
    if (QFile::remove(path))
        return {};
    return FileError{EACCES, QStringLiteral("The file could not be deleted")};
#else
    if (::unlink(QFile::encodeName(path).constData()) == 0)
        return {};
    return errorFromErrno(errno);
#endif
}

std::optional<QDateTime> fileCreationTime(const QString &path)
{
    const QDateTime created = QFileInfo(path).birthTime();
    if (!created.isValid())
        return std::nullopt;
    return created;
}

std::optional<QDateTime> fileModificationTime(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    const QDateTime modified = info.lastModified();
    if (!modified.isValid())
        return std::nullopt;
    return modified;
}

QStringList listMatchingFiles(const QString &folder, const QString &pattern)
{
    const QRegularExpression matcher(
        QRegularExpression::wildcardToRegularExpression(pattern,
                                                        QRegularExpression::UnanchoredWildcardConversion)
            .prepend(u'^')
            .append(u'$'),
        QRegularExpression::CaseInsensitiveOption);
    QStringList names;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        if (matcher.match(name).hasMatch())
            names.append(name);
    }
    return names;
}

AppendFile::~AppendFile()
{
    close();
}

FileError AppendFile::open(const QString &path)
{
    close();
    m_fd = openNative(path, O_WRONLY | O_APPEND | O_CREAT, 0600);
    if (m_fd < 0)
        return errorFromErrno(errno);
    return {};
}

FileError AppendFile::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const auto wrote = TB_WRITE(m_fd, bytes.constData() + done, bytes.size() - done);
        if (wrote < 0) {
            if (errno == EINTR)
                continue;
            return errorFromErrno(errno);
        }
        done += wrote;
    }
    return {};
}

FileError AppendFile::close()
{
    if (m_fd < 0)
        return {};
    const int result = TB_CLOSE(m_fd);
    m_fd = -1;
    if (result != 0)
        return errorFromErrno(errno);
    return {};
}
