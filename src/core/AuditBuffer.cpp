#include "core/AuditBuffer.h"

#include "platform/Clock.h"
#include "platform/LocaleFormat.h"

QString AuditBuffer::escapeControls(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() != QChar::Other_Control || c == u'\t') {
            escaped += c;
            continue;
        }
        escaped += QStringLiteral("\\x") +
                   QString::number(c.unicode(), 16).toUpper().rightJustified(2, u'0');
    }
    return escaped;
}

void AuditBuffer::append(const QString &text)
{
    if (m_lines.size() >= MaxHeldLines) {
        m_lines.removeFirst();
        ++m_dropped;
    }
    m_lines.append(LocaleFormat::hourMinuteSecond(m_clock.now().time()) + QStringLiteral("  ") +
                   escapeControls(text));
}

void AuditBuffer::reset()
{
    m_lines.clear();
    m_dropped = 0;
    busy = false;
}
