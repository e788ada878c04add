#include "app/store/dictionary/foldkeys.h"

#include "app/store/dictionary/properties.h"

#include "platform/sqlite/database.h"
#include "platform/sqlite/statement.h"
#include "platform/text/fold.h"

#include <sqlite3.h>

namespace qm::store {
namespace {

using sqlite::Statement;

// Rows per statement: small enough for a progress dialog to move, large enough that the
// statements themselves cost nothing.
constexpr qint64 BatchRows = 50000;

struct KeyColumn {
    const char *maxRowSql;
    const char *updateSql;
};

const KeyColumn Columns[] = {
    {"SELECT coalesce(max(rowid), 0) FROM \"Index\"",
     "UPDATE \"Index\" SET IndexKey = qm_fold(\"Index\") "
     "WHERE rowid BETWEEN ?1 AND ?2 AND IndexKey IS NOT qm_fold(\"Index\")"},
    {"SELECT coalesce(max(rowid), 0) FROM Document",
     "UPDATE Document SET HeadingKey = qm_fold(Heading) "
     "WHERE rowid BETWEEN ?1 AND ?2 AND HeadingKey IS NOT qm_fold(Heading)"},
};

qint64 maxRow(sqlite::Database &db, const char *sql)
{
    Statement st(db, sql);
    return st.step() ? st.toInt64(0) : 0;
}

void recordVersion(sqlite::Database &db)
{
    if (findProperty(db, property::FoldVersion))
        writeProperty(db, property::FoldVersion, text::foldVersion());
    else
        createProperty(db, property::FoldVersion, PropertyType::Text, text::foldVersion());
}

} // namespace

bool keysAreCurrent(sqlite::Database &db)
{
    const std::optional<QVariant> version = findProperty(db, property::FoldVersion);
    return version && version->toString() == text::foldVersion();
}

qint64 refoldKeys(sqlite::Database &db, const Progress &progress)
{
    qint64 keywordKeysChanged = 0;
    qint64 lastRows[std::size(Columns)];
    qint64 total = 0;
    for (size_t c = 0; c < std::size(Columns); ++c)
        total += lastRows[c] = maxRow(db, Columns[c].maxRowSql);
    qint64 done = 0;
    for (size_t c = 0; c < std::size(Columns); ++c) {
        Statement update(db, Columns[c].updateSql);
        for (qint64 first = 1; first <= lastRows[c]; first += BatchRows) {
            if (!reportProgress(progress, done, total))
                throw sqlite::Error(sqlite::Error::Kind::Cancelled, SQLITE_INTERRUPT,
                                    QStringLiteral("cancelled"));
            const qint64 last = qMin(first + BatchRows - 1, lastRows[c]);
            update.bind(1, first).bind(2, last);
            update.run();
            update.reset();
            if (c == 0)
                keywordKeysChanged += db.changes();
            done += last - first + 1;
        }
    }
    recordVersion(db);
    reportProgress(progress, total, total);
    return keywordKeysChanged;
}

} // namespace qm::store
