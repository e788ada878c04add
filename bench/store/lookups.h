#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace qm::store {
class DatabaseModule;
struct KeywordMatch;
} // namespace qm::store

namespace qm::bench {

// One row of a keyword lookup over a set, as the result list shows it.
struct LookupRow {
    int slot = 0;
    qint32 documentNumber = 0;
    int viewer = 0;
    QString keyword;
    QString heading;
    bool operator==(const LookupRow &) const = default;
};
using LookupRows = std::vector<LookupRow>;

// The lookups the benchmarks run: prefixes as the keyword box sends them (the typed text and
// "*"), from one common syllable that fills the list from the first dictionary, to a prefix
// found in none. Written in every script a user types, half-width included.
const QStringList &prefixPatterns();
// A pattern that starts with a wildcard, so no index range applies.
QString leadingWildcardPattern();

// The store's own lookup over the open set.
LookupRows storeLookup(store::DatabaseModule &module, const QString &pattern, int limit);

// What a naive port does: fold every keyword while scanning the whole table and sort the
// matches, one dictionary after the other in slot order, at most `limit` rows in all.
int fullScanLookup(store::DatabaseModule &module, const QString &pattern, int limit,
                   const std::function<void(int slot, const store::KeywordMatch &)> &sink);
LookupRows fullScanRows(store::DatabaseModule &module, const QString &pattern, int limit);

// The floor: the same prefix lookup written straight against SQLite on separate read-only
// connections, each statement prepared once, columns read in place. No pattern handling,
// no strings built.
class RawRangeScan final
{
public:
    explicit RawRangeScan(const QStringList &paths);
    ~RawRangeScan();
    RawRangeScan(const RawRangeScan &) = delete;
    RawRangeScan &operator=(const RawRangeScan &) = delete;

    // The key range of a prefix pattern ("text*"): its folded text and the bound above it.
    struct Range {
        QByteArray low;
        QByteArray high;
    };
    static Range rangeOf(const QString &prefixPattern);

    // Scans the range in each file in slot order, at most `limit` rows in all; returns the
    // number of rows and adds the bytes and numbers read to `checksum`.
    int scan(const Range &range, int limit, quint64 &checksum);
    LookupRows rows(const Range &range, int limit);

private:
    struct CloseDb {
        void operator()(sqlite3 *db) const;
    };
    struct FinalizeStmt {
        void operator()(sqlite3_stmt *st) const;
    };
    struct File {
        std::unique_ptr<sqlite3, CloseDb> db;
        std::unique_ptr<sqlite3_stmt, FinalizeStmt> lookup;
    };
    template<typename Visit>
    int walk(const Range &range, int limit, Visit &&visit);

    std::vector<File> m_files;
};

// Empty when the rows are the same; otherwise where and how they first differ.
QString firstDifference(const LookupRows &expected, const LookupRows &actual);

// The peak resident size of this process in KiB (VmHWM, or the rusage maximum).
qint64 peakResidentKiB();

} // namespace qm::bench
