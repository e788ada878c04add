#include "app/store/search/searchtables.h"

#include "app/store/dictionary/properties.h"
#include "app/store/search/trigramindex.h"

#include "platform/sqlite/database.h"
#include "platform/sqlite/statement.h"

#include <sqlite3.h>

#include <algorithm>

namespace qm::store::searchtables {
namespace {

using sqlite::Statement;

// Entry numbers per statement of the body texts.
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
const QString StaleBodies = QStringLiteral("BodyIndexStale");

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

// A character's place in the order scale of keyOrder(): never decreasing with the code point,
// so keys compared by code point (which is how their UTF-8 bytes compare) keep their order.
// ASCII and the hiragana (which folded keys hold instead of katakana) get a step each, kanji one
// per 32 code points, the other ranges coarser steps; 0 is the end of the key.
quint32 orderStep(char32_t c)
{
    if (c < 0x80)
        return 1 + c;                        // 1 ... 128
    if (c < 0x3040)
        return 129 + (c - 0x80) / 256;       // 129 ... 176
    if (c < 0x30A0)
        return 177 + (c - 0x3040);           // 177 ... 272
    if (c < 0x4E00)
        return 273 + (c - 0x30A0) / 256;     // 273 ... 302
    if (c < 0xA000)
        return 303 + (c - 0x4E00) / 32;      // 303 ... 958
    return 959 + qMin<char32_t>(c - 0xA000, 0x10FFFF - 0xA000) / 32768; // 959 ... 991
}

// The next character of UTF-16 text; half a surrogate pair stands for itself.
char32_t nextCharacter(QStringView text, qsizetype &i)
{
    const char16_t unit = text[i++].unicode();
    if (QChar::isHighSurrogate(unit) && i < text.size() && text[i].isLowSurrogate())
        return QChar::surrogateToUcs4(unit, text[i++].unicode());
    return unit;
}

// The lowest code point of a step of orderStep() (1 ... 991).
char32_t lowestOfStep(quint32 step)
{
    if (step <= 128)
        return step - 1;
    if (step <= 176)
        return 0x80 + (step - 129) * 256;
    if (step <= 272)
        return 0x3040 + (step - 177);
    if (step <= 302)
        return 0x30A0 + (step - 273) * 256;
    if (step <= 958)
        return 0x4E00 + (step - 303) * 32;
    return 0xA000 + (step - 959) * 32768;
}

// A character in a step of its own: what follows it can still tell keys apart.
bool hasOwnStep(char32_t c)
{
    return c < 0x80 || (c >= 0x3040 && c < 0x30A0);
}

// After a character that shares its step with others, the next ones would no longer keep the
// order ("\u00FF" comes after "\u0080\u0080" but would class below it): they count as 0.
quint32 orderOf(QStringView key)
{
    quint32 order = 0;
    qsizetype i = 0;
    bool open = true;
    for (int n = 0; n < 3; ++n) {
        quint32 step = 0;
        if (open && i < key.size()) {
            const char32_t c = nextCharacter(key, i);
            step = orderStep(c);
            open = hasOwnStep(c);
        }
        order = (order << 10) | step;
    }
    return order;
}

} // namespace

quint32 keyOrder(QStringView key)
{
    return orderOf(key);
}

QString lowestKeyOf(quint32 order)
{
    QString key;
    for (int shift = 20; shift >= 0; shift -= 10) {
        const quint32 step = (order >> shift) & 0x3FF;
        if (step == 0 || step > 991)
            break;
        const char32_t c = lowestOfStep(step);
        key.append(QStringView(QChar::fromUcs4(c)));
        if (!hasOwnStep(c))
            break;
    }
    return key;
}

namespace {

void rebuildIndex(sqlite::Database &db, TrigramIndex::Table table, const Progress &progress)
{
    TrigramIndex(db, table).rebuild([&](qint64 done, qint64 of) {
        if (!reportProgress(progress, done, of))
            throw cancelled();
    });
}

} // namespace

void rebuild(sqlite::Database &db, BodyTexts bodies, const Progress &progress)
{
    const qint64 lastRow = highestRow(db);
    const qint64 lastEntry = single(db, "SELECT coalesce(max(DocumentNumber), 0) FROM Document");
    const qint64 total = lastRow + 2 * EntryWeight * lastEntry;
    rebuildIndex(db, TrigramIndex::Table::Keywords, progressStage(progress, 0, lastRow, total));
    recordIndexedRows(db);
    readBodyTexts(db, bodies, progressStage(progress, lastRow, EntryWeight * lastEntry, total));
    rebuildBodyIndex(db, progressStage(progress, lastRow + EntryWeight * lastEntry, EntryWeight * lastEntry, total));
}

void rebuildBodyIndex(sqlite::Database &db, const Progress &progress)
{
    rebuildIndex(db, TrigramIndex::Table::Bodies, progress);
    if (staleBodyCount(db) != 0)
        writeProperty(db, StaleBodies, qint64(0));
}

qint64 staleBodyCount(sqlite::Database &db)
{
    const std::optional<QVariant> stale = findProperty(db, StaleBodies);
    return stale ? stale->toLongLong() : 0;
}

void noteStaleBodies(sqlite::Database &db, qint64 more)
{
    if (more <= 0)
        return;
    if (findProperty(db, StaleBodies))
        writeProperty(db, StaleBodies, staleBodyCount(db) + more);
    else
        createProperty(db, StaleBodies, PropertyType::Long, more);
}

bool bodyIndexIsStale(sqlite::Database &db)
{
    // A tenth of the entries: by then a search tests about a tenth more entries than it needs.
    return staleBodyCount(db) > std::max<qint64>(100, single(db, "SELECT count(*) FROM Document") / 10);
}

qint64 readBodyTexts(sqlite::Database &db, BodyTexts bodies, const Progress &progress)
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
    qint64 texts = 0;
    for (qint64 first = 1; first <= lastEntry; first += EntryBatch) {
        if (!reportProgress(progress, first - 1, lastEntry))
            throw cancelled();
        read.bind(1, first).bind(2, first + EntryBatch - 1);
        read.run();
        texts += db.changes();
        read.reset();
    }
    if (!reportProgress(progress, lastEntry, lastEntry))
        throw cancelled();
    return texts;
}

void recordIndexedRows(sqlite::Database &db)
{
    writeIndexedRows(db, indexedRowsText(single(db, "SELECT count(*) FROM \"Index\""), highestRow(db)));
}

bool indexIsSound(sqlite::Database &db)
{
    const std::optional<QVariant> recorded = findProperty(db, IndexedRows);
    return recorded
           && recorded->toString()
                  == indexedRowsText(single(db, "SELECT count(*) FROM \"Index\""), highestRow(db))
           && TrigramIndex(db).readable() && TrigramIndex(db, TrigramIndex::Table::Bodies).readable();
}

} // namespace qm::store::searchtables
