#pragma once

#include <QMap>
#include <QString>

class AuditBuffer;
struct ConfigRecord;

// Upload tries counted by result since the program was first set up. Kept in a file of their
// own, since the upload history forgets what is 90 days old and a counter must never go down.
class UploadCounters
{
public:
    static QString filePath(const ConfigRecord &cfg);

    void load(const ConfigRecord &cfg);
    // Counts one try and saves the counts; a failure to save is told under "Metrics".
    void count(AuditBuffer &audit, const ConfigRecord &cfg, const QString &result);
    const QMap<QString, qint64> &totals() const { return m_totals; }

private:
    QMap<QString, qint64> m_totals;
};
