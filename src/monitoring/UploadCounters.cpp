#include "monitoring/UploadCounters.h"

#include "core/AuditBuffer.h"
#include "core/ConfigRecord.h"
#include "platform/FileSystem.h"

namespace {

constexpr qint64 MaxFileBytes = 64 * 1024;

} // namespace

QString UploadCounters::filePath(const ConfigRecord &cfg)
{
    return cfg.programFolder() + QStringLiteral("upload-counts.txt");
}

void UploadCounters::load(const ConfigRecord &cfg)
{
    m_totals.clear();
    const FileRead file = readWholeFile(filePath(cfg), MaxFileBytes);
    for (const QByteArray &line : file.bytes.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        bool ok = false;
        const qint64 total = fields.value(1).toLongLong(&ok);
        if (fields.size() == 2 && ok && total >= 0)
            m_totals[QString::fromLatin1(fields[0])] = total;
    }
}

void UploadCounters::count(AuditBuffer &audit, const ConfigRecord &cfg, const QString &result)
{
    ++m_totals[result];
    QByteArray text;
    for (auto it = m_totals.cbegin(); it != m_totals.cend(); ++it)
        text += it.key().toLatin1() + ' ' + QByteArray::number(it.value()) + '\n';
    const FileError error = replaceFile(filePath(cfg), text);
    if (error.failed())
        audit.append(
            QStringLiteral("Metrics| WARNING: cannot keep the upload counts in '%1': %2 %3")
                .arg(filePath(cfg))
                .arg(error.number)
                .arg(error.text));
}
