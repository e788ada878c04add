#include "searchtables.h"

#include "properties.h"

#include "platform/sqlite/database.h"
#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/statement.h"

#include <QSet>

#include <sqlite3.h>

namespace qm::store::searchtables {
namespace {

using sqlite::Statement;

// Keyword rows per statement of the index build, and entry numbers per statement of the body
// texts, whose reading costs far more per row.
constexpr qint64 KeywordBatch = 50000;
constexpr qint64 EntryBatch = 2000;
// The weight of one entry number against one keyword row in the progress.
constexpr qint64 EntryWeight = 10;

qint64 single(sqlite::Database &db, const char *sql)
{
    Statement st(db, sql);
    return st.step() ? st.toInt64(0) : 0;
}

sqlite::Error cancelled()
{
    return sqlite::Error(sqlite::Error::Kind::Cancelled, SQLITE_INTERRUPT, QStringLiteral("cancelled"));
}

const QString IndexedRows = QStringLiteral("SearchIndexRows");

// "count highest-rowid".
QString indexedRowsText(qint64 count, qint64 highest)
{
    return QString::number(count) + QLatin1Char(' ') + QString::number(highest);
}

void writeIndexedRows(sqlite::Database &db, const QString &text)
{
    if (findProperty(db, IndexedRows))
        writeProperty(db, IndexedRows, text);
    else
        createProperty(db, IndexedRows, PropertyType::Text, text);
}

qint64 highestRow(sqlite::Database &db)
{
    return single(db, "SELECT coalesce(max(rowid), 0) FROM \"Index\"");
}

} // namespace

QString trigramQuery(const sqlite::LikePattern &pattern)
{
    QStringList terms;
    QSet<QString> seen;
    for (const std::u32string &run : pattern.literalRuns()) {
        for (std::size_t i = 0; i + 3 <= run.size(); ++i) {
            QString text = QString::fromUcs4(run.data() + i, 3);
            if (seen.contains(text))
                continue;
            seen.insert(text);
            // A string of the index's query language: in double quotes, a quote doubled.
            text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            terms.append(QLatin1Char('"') + text + QLatin1Char('"'));
        }
    }
    return terms.join(QStringLiteral(" AND "));
}

void rebuild(sqlite::Database &db, BodyTexts bodies, const Progress &progress)
{
    const qint64 lastRow = highestRow(db);
    const qint64 lastEntry = single(db, "SELECT coalesce(max(DocumentNumber), 0) FROM Document");
    const qint64 total = lastRow + EntryWeight * lastEntry;
    const auto step = [&](qint64 done) {
        if (!reportProgress(progress, done, total))
            throw cancelled();
    };

    db.exec("INSERT INTO IndexKeyTrigram (IndexKeyTrigram) VALUES ('delete-all')");
    Statement fill(db, "INSERT INTO IndexKeyTrigram (rowid, IndexKey) "
                       "SELECT rowid, IndexKey FROM \"Index\" WHERE rowid BETWEEN ?1 AND ?2");
    for (qint64 first = 1; first <= lastRow; first += KeywordBatch) {
        step(first - 1);
        fill.bind(1, first).bind(2, first + KeywordBatch - 1);
        fill.run();
        fill.reset();
    }
    db.exec("INSERT INTO IndexKeyTrigram (IndexKeyTrigram) VALUES ('optimize')");
    recordIndexedRows(db);
    readBodyTexts(db, bodies, progressStage(progress, lastRow, total - lastRow, total));
}

void readBodyTexts(sqlite::Database &db, BodyTexts bodies, const Progress &progress)
{
    const qint64 lastEntry = single(db, "SELECT coalesce(max(DocumentNumber), 0) FROM Document");
    db.exec("DELETE FROM DocumentText WHERE DocumentNumber NOT IN "
            "(SELECT DocumentNumber FROM Document WHERE Viewer = 2)");
    Statement read(db, bodies == BodyTexts::All
                           ? "INSERT INTO DocumentText (DocumentNumber, TextKey) "
                             "SELECT DocumentNumber, qm_rich_text_key(Document) FROM Document "
                             "WHERE Viewer = 2 AND DocumentNumber BETWEEN ?1 AND ?2 "
                             "ON CONFLICT (DocumentNumber) DO UPDATE SET TextKey = excluded.TextKey"
                           : "INSERT INTO DocumentText (DocumentNumber, TextKey) "
                             "SELECT d.DocumentNumber, qm_rich_text_key(d.Document) FROM Document AS d "
                             "WHERE d.Viewer = 2 AND d.DocumentNumber BETWEEN ?1 AND ?2 "
                             "AND NOT EXISTS (SELECT 1 FROM DocumentText AS t "
                             "WHERE t.DocumentNumber = d.DocumentNumber AND t.TextKey IS NOT NULL) "
                             "ON CONFLICT (DocumentNumber) DO UPDATE SET TextKey = excluded.TextKey");
    for (qint64 first = 1; first <= lastEntry; first += EntryBatch) {
        if (!reportProgress(progress, first - 1, lastEntry))
            throw cancelled();
        read.bind(1, first).bind(2, first + EntryBatch - 1);
        read.run();
        read.reset();
    }
    if (!reportProgress(progress, lastEntry, lastEntry))
        throw cancelled();
}

void recordIndexedRows(sqlite::Database &db)
{
    writeIndexedRows(db, indexedRowsText(single(db, "SELECT count(*) FROM \"Index\""), highestRow(db)));
}

bool indexedRowsMatch(sqlite::Database &db)
{
    const std::optional<QVariant> recorded = findProperty(db, IndexedRows);
    return recorded
           && recorded->toString()
                  == indexedRowsText(single(db, "SELECT count(*) FROM \"Index\""), highestRow(db));
}

} // namespace qm::store::searchtables
