#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

struct ShowTableRecord;
struct UploadOptions;

// The rate limit an upload gets when it starts: its show's own MaxUploadRate where that is
// understood, else [General] MaxUploadRate, else none.
struct UploadRate
{
    qint64 bytesPerSecond = 0; // 0: no limit
    QString source;            // "[Show3] MaxUploadRate"; empty when nothing is set
    QStringList problems;      // the values not understood, each with its reason

    // For the audit: "512 KiB/s ([General] MaxUploadRate)", "no limit".
    QString text() const;
    // Whether any MaxUploadRate had a say; without one the audit tells nothing of rates.
    bool configured() const { return !source.isEmpty() || !problems.isEmpty(); }

    // `show` 0 is a manual upload, which has the general rate.
    static UploadRate inForce(const ShowTableRecord &table, const UploadOptions &options, int show,
                              const QDateTime &at);
    // What is wrong with a MaxUploadRate value, or empty text when it is understood.
    static QString problemOf(const QString &value);
    // How long `bytes` take at `bytesPerSecond`, in whole seconds rounded up; -1 with no limit.
    static qint64 expectedSeconds(qint64 bytes, qint64 bytesPerSecond);
    // "9 min 40 s", "1 h 05 min".
    static QString durationText(qint64 seconds);
};
