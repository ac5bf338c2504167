#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

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
#define TB_NONBLOCK 0
#else
#include <unistd.h>
#define TB_OPEN ::open
#define TB_WRITE ::write
#define TB_CLOSE ::close
#define TB_READ ::read
#define TB_NONBLOCK O_NONBLOCK
#endif

namespace {

FileError errorFromErrno(int number)
{
    return FileError{number, QString::fromLocal8Bit(std::strerror(number))};
}

FileError notRegularFile()
{
    return FileError{EINVAL, QStringLiteral("Not a regular file")};
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

FileError writeAll(int fd, const QByteArray &bytes, qsizetype &done)
{
    while (done < bytes.size()) {
        const auto wrote = TB_WRITE(fd, bytes.constData() + done, bytes.size() - done);
        if (wrote >= 0) {
            done += wrote;
            continue;
        }
        if (errno != EINTR)
            return errorFromErrno(errno);
    }
    return {};
}

#ifndef Q_OS_WIN
// Sets `mode` on `path` when it is of the kind expected and still open to group or others.
FileError restrictAccess(const QString &path, bool isFolder, mode_t mode)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat status = {};
    if (::lstat(native.constData(), &status) != 0)
        return errorFromErrno(errno);
    const bool expectedKind = isFolder ? S_ISDIR(status.st_mode) : S_ISREG(status.st_mode);
    if (!expectedKind || (status.st_mode & 077) == 0)
        return {};
    return ::chmod(native.constData(), mode) == 0 ? FileError{} : errorFromErrno(errno);
}
#endif

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

FileRead readWholeFile(const QString &path, qint64 maxBytes)
{
    FileRead result;
    // Never opened unless it is an ordinary file: opening a FIFO would wait for a writer for ever.
    if (!QFileInfo(path).isFile()) {
        result.error = QFileInfo::exists(path) ? notRegularFile() : errorFromErrno(ENOENT);
        return result;
    }
    const int fd = openNative(path, O_RDONLY | TB_NONBLOCK, 0);
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
        if (result.bytes.size() + got > maxBytes) {
            result.error = errorFromErrno(EFBIG);
            result.bytes.clear();
            break;
        }
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

FileError replaceFile(const QString &path, const QByteArray &bytes, bool readableByAll)
{
#ifdef Q_OS_WIN
    Q_UNUSED(readableByAll);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return FileError{EIO, file.errorString()};
    return {};
#else
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = target + ".new";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return errorFromErrno(errno);
    qsizetype done = 0;
    FileError error = writeAll(fd, bytes, done);
    if (!error.failed() && readableByAll && ::fchmod(fd, 0644) != 0)
        error = errorFromErrno(errno);
    if (!error.failed() && ::fsync(fd) != 0)
        error = errorFromErrno(errno);
    if (::close(fd) != 0 && !error.failed())
        error = errorFromErrno(errno);
    if (!error.failed() && ::rename(temporary.constData(), target.constData()) != 0)
        error = errorFromErrno(errno);
    if (error.failed())
        ::unlink(temporary.constData());
    return error;
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
    const QRegularExpression matcher(QRegularExpression::wildcardToRegularExpression(
                                         pattern, QRegularExpression::UnanchoredWildcardConversion)
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
    const qint64 before = currentSize();
    qsizetype done = 0;
    const FileError error = writeAll(m_fd, bytes, done);
    // A piece of a line left behind would be glued to the next line written.
    if (error.failed() && done > 0 && before >= 0)
        truncateTo(before);
    return error;
}

qint64 AppendFile::currentSize() const
{
#ifdef Q_OS_WIN
    return _filelengthi64(m_fd);
#else
    struct stat status = {};
    return ::fstat(m_fd, &status) == 0 ? qint64(status.st_size) : -1;
#endif
}

void AppendFile::truncateTo(qint64 size)
{
#ifdef Q_OS_WIN
    _chsize_s(m_fd, size);
#else
    [[maybe_unused]] const int result = ::ftruncate(m_fd, off_t(size));
#endif
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

FileError makePrivate(const QString &folder)
{
#ifdef Q_OS_WIN
    Q_UNUSED(folder);
    return {};
#else
    FileError error = restrictAccess(folder, true, 0700);
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const FileError fileError = restrictAccess(dir.filePath(name), false, 0600);
        if (!error.failed())
            error = fileError;
    }
    return error;
#endif
}
