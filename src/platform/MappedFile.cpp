#include "platform/MappedFile.h"

#include <QFileInfo>

MappedFile::MappedFile(const QString &path) : m_file(path)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        m_failure = QStringLiteral("it is not an ordinary file");
        return;
    }
    m_modified = info.lastModified();
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_failure = m_file.errorString();
        return;
    }
    if (m_file.size() == 0)
        return;
    const uchar *data = m_file.map(0, m_file.size());
    if (!data) {
        m_failure = m_file.errorString();
        return;
    }
    m_bytes = QByteArrayView(reinterpret_cast<const char *>(data), m_file.size());
}
