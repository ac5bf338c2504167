#pragma once

#include <QString>
#include <QStringList>

// The lines a benchmark program ends with: one "PASS" or "FAIL" line per target, which
// scripts/bench.sh gathers into its summary, and the exit status that says whether all were met.
class TargetReport
{
public:
    explicit TargetReport(QString benchmark) : m_benchmark(std::move(benchmark)) {}

    // Prints "<benchmark>: <figure>" at once, for figures that have no target of their own.
    void figure(const QString &text) const;
    void check(const QString &target, const QString &measured, bool met);
    // Prints the verdicts and returns the exit status: 0 when every target was met.
    int finish() const;

private:
    QString m_benchmark;
    QStringList m_verdicts;
    bool m_allMet = true;
};
