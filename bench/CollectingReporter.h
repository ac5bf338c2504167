#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>

// The usual console table, and besides it each benchmark's mean time per iteration, so that the program can set a measurement against its baseline afterwards.
class CollectingReporter : public benchmark::ConsoleReporter
{
public:
    // Without colours: the table also goes to a log through a pipe.
    CollectingReporter() : ConsoleReporter(OO_Tabular) {}

    struct Result
    {
        double milliseconds = 0;
    };

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            m_results[run.run_name.function_name].milliseconds =
                run.GetAdjustedRealTime() * multiplierToMilliseconds(run.time_unit);
        }
    }

    const std::map<std::string, Result> &results() const { return m_results; }

private:
    static double multiplierToMilliseconds(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kNanosecond:
            return 1e-6;
        case benchmark::kMicrosecond:
            return 1e-3;
        case benchmark::kMillisecond:
            return 1.0;
        case benchmark::kSecond:
            return 1e3;
        }
        return 1.0;
    }

    std::map<std::string, Result> m_results;
};
