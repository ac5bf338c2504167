#pragma once

#include <QByteArray>
#include <QString>

class AuditBuffer;

// The file a textfile collector serves. It is replaced in one step, so the collector never
// reads half of it, and readable by the collector's own user. A failure is told once, and once
// more when the file can be written again.
class MetricsFile
{
public:
    explicit MetricsFile(AuditBuffer &audit) : m_audit(audit) {}

    void write(const QString &path, const QByteArray &text);

private:
    AuditBuffer &m_audit;
    bool m_failing = false;
};
