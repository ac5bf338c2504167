#include "monitoring/MetricsFile.h"

#include "core/AuditBuffer.h"
#include "platform/FileSystem.h"

void MetricsFile::write(const QString &path, const QByteArray &text)
{
    if (path.isEmpty())
        return;
    const FileError error = replaceFile(path, text, true);
    if (error.failed() && !m_failing)
        m_audit.append(
            QStringLiteral("Metrics| WARNING: cannot write the metrics file '%1': %2 %3; told "
                           "once, and again when it can be written")
                .arg(path)
                .arg(error.number)
                .arg(error.text));
    if (!error.failed() && m_failing)
        m_audit.append(QStringLiteral("Metrics| The metrics file '%1' is written again").arg(path));
    m_failing = error.failed();
}
