#pragma once

#include <benchmark/benchmark.h>

#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace qm::bench {

// Prints the runs as the console reporter does and keeps each benchmark's real time per
// iteration, by the name it was registered under, for the ratios afterwards.
class TimingCollector final : public benchmark::ConsoleReporter
{
public:
    explicit TimingCollector(bool colour);
    void ReportRuns(const std::vector<Run> &runs) override;
    std::optional<double> seconds(const std::string &name) const;
    // The time of `name` over the time of `base`; nullopt when either was not measured.
    std::optional<double> ratio(const std::string &name, const std::string &base) const;

private:
    // The time of each run of a benchmark, by name.
    std::map<std::string, std::vector<double>> m_seconds;
};

// One budget: a measured ratio or size against its limit.
struct Budget {
    QString name;
    std::optional<double> value; // nullopt: not measured, counts as over
    double limit = 0;
    bool atMost = true;          // value must be <= limit (else >= limit)
    QString unit;                // "x", " MB"

    bool ok() const { return value && (atMost ? *value <= limit : *value >= limit); }
    // "budget <name>: <value><unit> (at most <limit><unit>) ok|over"
    QString line() const;
};

// Prints each budget's line; gives the exit status of a benchmark program: 0 when every budget
// holds, 1 when one is over.
int printBudgets(const std::vector<Budget> &budgets);

// Registers the suite's benchmarks, runs those the command line chose and gives the suite's
// report of their timings, the program's exit status. `extra` goes to the report.
template <typename Suite, typename... Extra>
int runSuite(Suite &suite, const Extra &...extra)
{
    suite.registerAll();
    TimingCollector timings(isatty(STDOUT_FILENO) != 0);
    benchmark::RunSpecifiedBenchmarks(&timings);
    benchmark::Shutdown();
    return suite.report(timings, extra...);
}

// "1.23 ms", "45.6 us", "2.01 s".
QString formatSeconds(double seconds);

} // namespace qm::bench
