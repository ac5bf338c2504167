#include "TargetReport.h"

#include <cstdio>

void TargetReport::figure(const QString &text) const
{
    std::printf("%s: %s\n", qPrintable(m_benchmark), qPrintable(text));
    std::fflush(stdout);
}

void TargetReport::check(const QString &target, const QString &measured, bool met)
{
    m_verdicts.append(QStringLiteral("%1 [%2] %3: %4").arg(met ? "PASS" : "FAIL", m_benchmark, target, measured));
    m_allMet = m_allMet && met;
}

int TargetReport::finish() const
{
    for (const QString &verdict : m_verdicts)
        std::printf("%s\n", qPrintable(verdict));
    std::fflush(stdout);
    return m_allMet ? 0 : 1;
}
