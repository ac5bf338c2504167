#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// The platform's own error number and text for a failed file operation
// (errno and strerror on Linux and macOS, the system error code on Windows).
struct FileError
{
    int number = 0;
    QString text;
    bool failed() const { return number != 0; }
};

struct FileRead
{
    QByteArray bytes;
    FileError error;
};

bool fileExists(const QString &path); // an ordinary file, not a folder
bool folderExists(const QString &path);
// Creates the folder and any missing parents; `privateToUser` restricts new folders to the user.
FileError createFolder(const QString &path, bool privateToUser);
// Reads an ordinary file of at most `maxBytes`. Anything else (a FIFO, a device, a folder) is
// refused without being opened, and a larger file with EFBIG.
FileRead readWholeFile(const QString &path, qint64 maxBytes);
FileError removeFile(const QString &path);
// Writes a new file private to the user (or, with `readableByAll`, readable by every user
// whatever the umask) and puts it in place of `path` in one step, so that a crash leaves either
// the old file or the new one, never a piece.
FileError replaceFile(const QString &path, const QByteArray &bytes, bool readableByAll = false);
std::optional<QDateTime> fileCreationTime(const QString &path);
std::optional<QDateTime> fileModificationTime(const QString &path);
// Ordinary, non-hidden files of `folder` whose names match `pattern` ('*' and '?')
// without regard to case, in name order.
QStringList listMatchingFiles(const QString &folder, const QString &pattern);

// Takes group and other access away from `folder` and the files in it.
FileError makePrivate(const QString &folder);

// A text file opened for appending, created private to the user when missing.
class AppendFile
{
public:
    AppendFile() = default;
    AppendFile(const AppendFile &) = delete;
    AppendFile &operator=(const AppendFile &) = delete;
    ~AppendFile();

    FileError open(const QString &path);
    // All of `bytes` or, on failure, none: a partly written piece is cut off again.
    FileError write(const QByteArray &bytes);
    FileError close();

private:
    qint64 currentSize() const;
    void truncateTo(qint64 size);

    int m_fd = -1;
};
