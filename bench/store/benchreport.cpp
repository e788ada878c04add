#include "benchreport.h"

#include <algorithm>
#include <cstdio>

namespace qm::bench {

TimingCollector::TimingCollector(bool colour)
    : ConsoleReporter(colour ? OO_ColorTabular : OO_Tabular)
{
}

void TimingCollector::ReportRuns(const std::vector<Run> &runs)
{
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations <= 0)
            continue;
        m_seconds[run.run_name.function_name].push_back(run.real_accumulated_time / double(run.iterations));
    }
}

std::optional<double> TimingCollector::seconds(const std::string &name) const
{
    const auto it = m_seconds.find(name);
    if (it == m_seconds.end() || it->second.empty())
        return std::nullopt;
    // A benchmark run several times counts by its median: one run slowed by the machine does
    // not decide a budget.
    std::vector<double> times = it->second;
    const auto middle = times.begin() + std::ptrdiff_t(times.size() / 2);
    std::nth_element(times.begin(), middle, times.end());
    return *middle;
}

std::optional<double> TimingCollector::ratio(const std::string &name, const std::string &base) const
{
    const std::optional<double> x = seconds(name);
    const std::optional<double> y = seconds(base);
    if (!x || !y || *y <= 0)
        return std::nullopt;
    return *x / *y;
}

QString Budget::line() const
{
    const QString bound = QStringLiteral("%1 %2%3").arg(atMost ? QStringLiteral("at most") : QStringLiteral("at least"))
                              .arg(limit, 0, 'g', 4)
                              .arg(unit);
    const QString measured = value ? QString::number(*value, 'f', 2) + unit : QStringLiteral("not measured");
    return QStringLiteral("budget %1: %2 (%3) %4")
        .arg(name, measured, bound, ok() ? QStringLiteral("ok") : QStringLiteral("over"));
}

int printBudgets(const std::vector<Budget> &budgets)
{
    int over = 0;
    for (const Budget &b : budgets) {
        std::printf("%s\n", qPrintable(b.line()));
        over += b.ok() ? 0 : 1;
    }
    return over == 0 ? 0 : 1;
}

QString formatSeconds(double seconds)
{
    if (seconds >= 1)
        return QString::number(seconds, 'f', 2) + QStringLiteral(" s");
    if (seconds >= 1e-3)
        return QString::number(seconds * 1e3, 'f', 2) + QStringLiteral(" ms");
    return QString::number(seconds * 1e6, 'f', 1) + QStringLiteral(" us");
}

} // namespace qm::bench
