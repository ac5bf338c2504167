#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QFile>
#include <QString>

// A file's bytes as one view without reading them into memory, so a recording of hundreds of
// megabytes is looked at only where it matters.
class MappedFile
{
public:
    explicit MappedFile(const QString &path);
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    bool isOpen() const { return m_failure.isEmpty(); }
    QString failure() const { return m_failure; } // why it could not be opened
    QByteArrayView bytes() const { return m_bytes; }
    QDateTime modified() const { return m_modified; }

private:
    QFile m_file;
    QByteArrayView m_bytes;
    QDateTime m_modified;
    QString m_failure;
};
