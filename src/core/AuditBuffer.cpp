#include "core/AuditBuffer.h"

#include "platform/Clock.h"
#include "platform/ControlText.h"
#include "platform/LocaleFormat.h"

void AuditBuffer::append(const QString &text)
{
    if (m_lines.size() >= MaxHeldLines) {
        m_lines.removeFirst();
        ++m_dropped;
    }
    m_lines.append(LocaleFormat::hourMinuteSecond(m_clock.now().time()) + QStringLiteral("  ") +
                   ControlText::escaped(text));
}

void AuditBuffer::reset()
{
    m_lines.clear();
    m_dropped = 0;
    busy = false;
}
