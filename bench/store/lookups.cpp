#include "lookups.h"

#include "app/store/sets/databasemodule.h"
#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/statement.h"

#include <QFile>

#include <sys/resource.h>

#include <sqlite3.h>

#include <stdexcept>

namespace qm::bench {
namespace {

// The same columns and order as the store's lookup, with the keyword folded at query time:
// no index can serve either the filter or the order.
constexpr char FullScanSql[] =
    "SELECT i.\"Index\", d.Heading, d.Viewer, i.DocumentNumber "
    "FROM \"Index\" AS i INNER JOIN Document AS d ON d.DocumentNumber = i.DocumentNumber "
    "WHERE qm_like(?1, qm_fold(i.\"Index\")) "
    "ORDER BY qm_fold(i.\"Index\"), i.DocumentNumber, i.\"Index\", i.rowid LIMIT ?2";

// The range scan over the same indexes the store reads, straight through the SQLite API.
constexpr char RangeSql[] =
    "SELECT i.\"Index\", d.Heading, d.Viewer, i.DocumentNumber "
    "FROM \"Index\" AS i INDEXED BY Index_Index "
    "INNER JOIN Document AS d INDEXED BY Index_DocumentHeading ON d.DocumentNumber = i.DocumentNumber "
    "WHERE i.IndexKey >= ?1 AND i.IndexKey < ?2 "
    "ORDER BY i.IndexKey, i.DocumentNumber, i.\"Index\", i.rowid LIMIT ?3";

QString columnText(sqlite3_stmt *st, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(st, column));
}

} // namespace

const QStringList &prefixPatterns()
{
    static const QStringList patterns = QString::fromUtf8("か* ｼｮ* Ta* 日本* きょうか* ばる* Zyxq*").split(u' ');
    return patterns;
}

QString leadingWildcardPattern()
{
    // The user typed "*ab"; the keyword box adds the "*" it adds to every lookup.
    return QStringLiteral("*ab*");
}

LookupRows storeLookup(store::DatabaseModule &module, const QString &pattern, int limit)
{
    LookupRows rows;
    module.search(store::SearchRequest::keyword(pattern, limit), [&](const store::SlotMatch &row) {
        const store::KeywordMatch &m = row.match;
        rows.push_back({row.slot.index, m.DocumentNumber, m.Viewer, m.Index, m.Heading});
    });
    return rows;
}

int fullScanLookup(store::DatabaseModule &module, const QString &pattern, int limit,
                   const std::function<void(int, const store::KeywordMatch &)> &sink)
{
    int count = 0;
    store::KeywordMatch m;
    for (int slot = 0; slot < module.DictionaryCount() && count < limit; ++slot) {
        sqlite::Statement st(module.dictionary(slot)->database(), FullScanSql);
        st.bind(1, pattern).bind(2, limit - count);
        while (st.step()) {
            m.Index = st.toText(0);
            m.Heading = st.toText(1);
            m.Viewer = quint8(st.toInt(2));
            m.DocumentNumber = st.toInt(3);
            sink(slot, m);
            ++count;
        }
    }
    return count;
}

LookupRows fullScanRows(store::DatabaseModule &module, const QString &pattern, int limit)
{
    LookupRows rows;
    fullScanLookup(module, pattern, limit, [&](int slot, const store::KeywordMatch &m) {
        rows.push_back({slot, m.DocumentNumber, m.Viewer, m.Index, m.Heading});
    });
    return rows;
}

void RawRangeScan::CloseDb::operator()(sqlite3 *db) const
{
    sqlite3_close_v2(db);
}

void RawRangeScan::FinalizeStmt::operator()(sqlite3_stmt *st) const
{
    sqlite3_finalize(st);
}

RawRangeScan::RawRangeScan(const QStringList &paths)
{
    for (const QString &path : paths) {
        sqlite3 *db = nullptr;
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        File file;
        file.db.reset(db);
        sqlite3_stmt *st = nullptr;
        if (rc != SQLITE_OK
            || sqlite3_prepare_v3(db, RangeSql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string("raw scan: ") + sqlite3_errmsg(db));
        file.lookup.reset(st);
        m_files.push_back(std::move(file));
    }
}

RawRangeScan::~RawRangeScan() = default;

RawRangeScan::Range RawRangeScan::rangeOf(const QString &prefixPattern)
{
    const std::optional<sqlite::LikePattern> p = sqlite::LikePattern::compile(prefixPattern);
    if (!p || !p->isPurePrefix())
        throw std::invalid_argument("not a prefix pattern");
    const QByteArray low = p->literalPrefix().toUtf8();
    return {low, sqlite::prefixUpperBound(low)};
}

template<typename Visit>
int RawRangeScan::walk(const Range &range, int limit, Visit &&visit)
{
    int count = 0;
    for (std::size_t slot = 0; slot < m_files.size() && count < limit; ++slot) {
        sqlite3_stmt *st = m_files[slot].lookup.get();
        sqlite3_bind_text(st, 1, range.low.constData(), int(range.low.size()), SQLITE_STATIC);
        sqlite3_bind_text(st, 2, range.high.constData(), int(range.high.size()), SQLITE_STATIC);
        sqlite3_bind_int(st, 3, limit - count);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            visit(int(slot), st);
            ++count;
        }
        sqlite3_reset(st);
        if (rc != SQLITE_DONE)
            throw std::runtime_error(std::string("raw scan: ") + sqlite3_errmsg(m_files[slot].db.get()));
    }
    return count;
}

int RawRangeScan::scan(const Range &range, int limit, quint64 &checksum)
{
    return walk(range, limit, [&](int, sqlite3_stmt *st) {
        sqlite3_column_text(st, 0);
        sqlite3_column_text(st, 1);
        checksum += quint64(sqlite3_column_bytes(st, 0)) + quint64(sqlite3_column_bytes(st, 1))
                    + quint64(sqlite3_column_int(st, 2)) + quint64(sqlite3_column_int(st, 3));
    });
}

LookupRows RawRangeScan::rows(const Range &range, int limit)
{
    LookupRows out;
    walk(range, limit, [&](int slot, sqlite3_stmt *st) {
        out.push_back({slot, sqlite3_column_int(st, 3), sqlite3_column_int(st, 2), columnText(st, 0),
                       columnText(st, 1)});
    });
    return out;
}

QString firstDifference(const LookupRows &expected, const LookupRows &actual)
{
    const std::size_t common = std::min(expected.size(), actual.size());
    for (std::size_t i = 0; i < common; ++i) {
        const LookupRow &e = expected[i];
        const LookupRow &a = actual[i];
        if (!(e == a))
            return QStringLiteral("row %1: slot %2 #%3 \"%4\" against slot %5 #%6 \"%7\"")
                .arg(i)
                .arg(e.slot)
                .arg(e.documentNumber)
                .arg(e.keyword)
                .arg(a.slot)
                .arg(a.documentNumber)
                .arg(a.keyword);
    }
    if (expected.size() != actual.size())
        return QStringLiteral("%1 rows against %2").arg(expected.size()).arg(actual.size());
    return {};
}

qint64 peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // KiB on Linux
}

} // namespace qm::bench
