#pragma once

#include "benchreport.h"
#include "lookups.h"

#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <vector>

namespace qm::desktop {
class ScriptedPrompter;
}
namespace qm::store {
class DatabaseModule;
}

namespace qm::bench {

// The budgets of contains and suffix lookups, of the trigram index that serves them, and of
// opening the heading grid:
//   - a contains lookup (3+ characters) over the large set at least 100x faster than the
//     full-scan matcher and at most 3x a prefix lookup listing as many rows, for a pattern
//     with few matches and one with more than the list takes;
//   - the heading grid opens the large set's first dictionary within 2x of the small set's;
//   - the index grows a dictionary by at most 35 %;
//   - a body-text condition search within 20x a contains keyword lookup, listing the entries a
//     reading of every body finds, its index under 40 % of the dictionary.
class SearchSuite final
{
public:
    // Opens the small set from its folder; the large one is open already. Both are only read.
    SearchSuite(const QString &smallFolder, store::DatabaseModule &large, int listLimit);
    ~SearchSuite();

    void registerAll();
    // Prints the report and returns the budgets.
    std::vector<Budget> report(const TimingCollector &timings);
    // Where the rows of a contains lookup differ from those of the full-scan matcher.
    const QStringList &disagreements() const { return m_disagreements; }

private:
    struct Case {
        QString name;     // "few", "many"
        QString contains; // "*...*"
        QString prefix;   // a prefix lookup listing about as many rows
        std::size_t containsRows = 0;
        std::size_t prefixRows = 0;
    };
    void lookup(benchmark::State &state, const QString &pattern);
    void fullScan(benchmark::State &state, const Case &c);
    void openGrid(benchmark::State &state, store::DatabaseModule &set);
    // A condition search with one body-text contains term over the whole large set.
    void bodySearch(benchmark::State &state, const QString &text);
    // The contains lookup's time over the prefix lookup's, the two run by turns.
    double pairedRatio(const Case &c);
    // What the trigram indexes add to the large set's first dictionary, in per cent of the rest.
    struct Growth {
        std::optional<double> keywords;
        std::optional<double> bodies;
    };
    Growth indexGrowth();
    // How many entries of the large set's first dictionary a body search and a reading of every
    // body disagree on (listed by one and not the other).
    std::optional<double> bodyDisagreements(const QString &text);

    std::unique_ptr<desktop::ScriptedPrompter> m_prompter;
    std::unique_ptr<store::DatabaseModule> m_smallSet;
    store::DatabaseModule &m_small;
    store::DatabaseModule &m_large;
    int m_limit;
    std::vector<Case> m_cases;
    QStringList m_disagreements;
};

} // namespace qm::bench
