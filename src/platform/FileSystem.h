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

bool fileExists(const QString &path);   // an ordinary file, not a folder
bool folderExists(const QString &path);
// Creates the folder and any missing parents; `privateToUser` restricts new folders to the user.
FileError createFolder(const QString &path, bool privateToUser);
FileRead readWholeFile(const QString &path);
FileError removeFile(const QString &path);
std::optional<QDateTime> fileCreationTime(const QString &path);
std::optional<QDateTime> fileModificationTime(const QString &path);
// Ordinary, non-hidden files of `folder` whose names match `pattern` ('*' and '?')
// without regard to case, in name order.
QStringList listMatchingFiles(const QString &folder, const QString &pattern);

// A text file opened for appending, created private to the user when missing.
class AppendFile
{
public:
    AppendFile() = default;
    AppendFile(const AppendFile &) = delete;
    AppendFile &operator=(const AppendFile &) = delete;
    ~AppendFile();

    FileError open(const QString &path);
    FileError write(const QByteArray &bytes);
    FileError close();

private:
    int m_fd = -1;
};
