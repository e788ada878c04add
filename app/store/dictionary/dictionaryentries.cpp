#include "app/store/dictionary/dictionaryentries.h"

#include "app/store/dictionary/bodytext.h"
#include "app/store/dictionary/dictionaryfile.h"
#include "app/store/dictionary/schema.h"
#include "app/store/dictionary/storeerror.h"
#include "app/store/dictionary/viewertype.h"
#include "app/store/search/searchtables.h"

#include "platform/sqlite/statement.h"
#include "platform/sqlite/transaction.h"
#include "platform/text/fold.h"

#include <QDir>
#include <QScopeGuard>

#include <limits>

#include <sqlite3.h>

namespace qm::store {

namespace {
using sqlite::Statement;

} // namespace

DictionaryEntries::DictionaryEntries(DictionaryFile &file)
    : m_file(file)
{
}

DictionaryEntries::~DictionaryEntries()
{
    rollbackEditSession();
}

sqlite::Database &DictionaryEntries::db()
{
    return m_file.database();
}

bool DictionaryEntries::inEditSession() const
{
    return m_file.isHeld();
}

bool DictionaryEntries::isEditSessionLive()
{
    return inEditSession() && db().inTransaction();
}

void DictionaryEntries::beginEditSession()
{
    m_file.writing([&] {
        m_file.requireWritable();
        if (m_file.isHeld())
            throw sqlite::Error(sqlite::Error::Kind::General, SQLITE_MISUSE, QStringLiteral("an edit session is already open"));
        db().exec("BEGIN IMMEDIATE");
        m_file.hold(true);
    });
}

void DictionaryEntries::commitEditSession()
{
    if (!m_file.isHeld())
        throw sqlite::Error(sqlite::Error::Kind::General, SQLITE_MISUSE, QStringLiteral("no edit session is open"));
    if (!db().inTransaction()) {
        m_file.hold(false);
        throw Error(Error::Kind::WriteUndone, m_file.path());
    }
    // A commit that meets another program's lock leaves the session open to be tried again.
    m_file.writing([&] { db().exec("COMMIT"); });
    m_file.hold(false);
}

void DictionaryEntries::rollbackEditSession()
{
    if (!m_file.isHeld())
        return;
    m_file.hold(false);
    m_file.resetStatements();
    if (db().inTransaction())
        sqlite3_exec(db().handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

// Entries and their keywords.

namespace {

QString formatDate(const QDateTime &date)
{
    return date.isValid() ? date.toString(QString::fromLatin1(schema::DateFormat)) : QString();
}

// The digits of text[at, at + count), or -1 when any of them is not a digit.
int digitsAt(QStringView text, int at, int count)
{
    int value = 0;
    for (int i = at; i < at + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// A date as the store writes it ("yyyy-MM-dd HH:mm:ss") is read directly: the general format
// parser costs more than the rest of reading an entry. Anything else goes to the parser, which
// decides as it always did.
QDateTime parseDate(const QString &text)
{
    if (text.size() == 19 && text[4] == u'-' && text[7] == u'-' && text[10] == u' ' && text[13] == u':'
        && text[16] == u':') {
        const QDate date(digitsAt(text, 0, 4), digitsAt(text, 5, 2), digitsAt(text, 8, 2));
        const QTime time(digitsAt(text, 11, 2), digitsAt(text, 14, 2), digitsAt(text, 17, 2));
        if (date.isValid() && time.isValid() && date.year() > 0) {
            const QDateTime read(date, time);
            const int offset = read.offsetFromUtc();
            // Near a change of the clock an hour may be skipped or read twice; the parser
            // decides those.
            if (read.isValid() && read.date() == date && read.time() == time
                && read.addSecs(-86400).offsetFromUtc() == offset && read.addSecs(86400).offsetFromUtc() == offset)
                return read;
        }
    }
    return QDateTime::fromString(text, QString::fromLatin1(schema::DateFormat));
}

Error bodyTooLarge(qint64 bytes)
{
    return Error(Error::Kind::BodyTooLarge).withNumber(bytes);
}

// Checks what every written entry must be: one of the five types, a body the program can read
// back.
void requireStorable(const Entry &entry)
{
    if (!isViewerCode(entry.Viewer))
        throw sqlite::Error(sqlite::Error::Kind::General, SQLITE_CONSTRAINT,
                    QStringLiteral("viewer type %1 does not exist").arg(entry.Viewer));
    if (entry.Document.size() > MaxBodyBytes)
        throw bodyTooLarge(entry.Document.size());
}

} // namespace

std::optional<Entry> DictionaryEntries::document(qint32 documentNumber)
{
    m_file.followReplacement();
    const ReadTransaction read(m_file);
    // The body's length comes from the row's header, and the body is read only when it is not
    // too large: a huge body is refused without reading it.
    Statement &st = m_file.cachedStatement("SELECT Viewer, Heading, RenewalDate, length(Document), "
                                           "CASE WHEN length(Document) <= " QM_MAX_BODY_BYTES " THEN Document END "
                                           "FROM Document WHERE DocumentNumber = ?1");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    st.bind(1, documentNumber);
    if (!st.step())
        return std::nullopt;
    if (st.toInt64(3) > MaxBodyBytes)
        throw bodyTooLarge(st.toInt64(3));
    Entry e;
    e.DocumentNumber = documentNumber;
    e.Viewer = quint8(st.toInt(0));
    e.Heading = st.toText(1);
    e.RenewalDate = parseDate(st.toText(2));
    e.Document = st.toBlob(4);
    return e;
}

void DictionaryEntries::insertEntry(const Entry &entry, const QStringList &keywords, qint32 &number, Added &added,
                             Numbering numbering)
{
    requireStorable(entry);
    const bool keep = numbering == Numbering::Keep;
    if (keep && entry.DocumentNumber <= 0)
        throw sqlite::Error(sqlite::Error::Kind::General, SQLITE_CONSTRAINT,
                    QStringLiteral("entry number %1 cannot be kept").arg(entry.DocumentNumber));
    // Once the engine's counter has reached the largest number, it cannot count on: the entry
    // takes a free number below it instead.
    const std::optional<qint32> free = keep || !counterAtMaximum() ? std::nullopt : std::optional(freeNumber());
    Statement &doc = m_file.cachedStatement(keep || free ? "INSERT INTO Document (Viewer, Heading, Document, RenewalDate, HeadingKey, "
                                            "DocumentNumber) VALUES (?1, ?2, ?3, ?4, ?5, ?6)"
                                          : "INSERT INTO Document (Viewer, Heading, Document, RenewalDate, HeadingKey) "
                                            "VALUES (?1, ?2, ?3, ?4, ?5)");
    const auto resetDoc = qScopeGuard([&doc] { doc.reset(); });
    if (keep || free)
        doc.bind(6, free.value_or(entry.DocumentNumber));
    // The body is read where it is; the statement is reset before the entry goes, and every use
    // binds it anew.
    doc.bind(1, int(entry.Viewer)).bind(2, entry.Heading).bindBlobInPlace(3, entry.Document);
    doc.bind(4, formatDate(entry.RenewalDate)).bind(5, text::fold(entry.Heading));
    doc.run();
    number = qint32(db().lastInsertRowId());
    const QString key = bodyKeyToWrite(entry);
    if (entry.Viewer == quint8(Viewer::RichText))
        writeBodyText(number, entry, key);
    if (!searchtables::isIndexedBody(entry.Document.size()))
        added.unindexed.push_back(number);
    else if (!key.isNull())
        added.bodies.push_back({number, key});
    for (const QString &keyword : keywords)
        added.keywords.push_back(insertKeyword(number, keyword));
}

QString DictionaryEntries::bodyKeyToWrite(const Entry &entry)
{
    // A rich-text body's text is kept in DocumentText whatever its size; other bodies' keys
    // serve only the body index, which does not hold large ones.
    const bool richText = entry.Viewer == quint8(Viewer::RichText);
    if (richText ? !m_file.hasSearchTables()
                 : !m_file.hasBodyIndex() || m_bodiesIndexedLater || !searchtables::isIndexedBody(entry.Document.size()))
        return {};
    return bodySearchKey(entry, m_file.richTextReader());
}

DictionaryEntries::StoredBody DictionaryEntries::storedBody(qint32 documentNumber)
{
    Statement &st = m_file.cachedStatement("SELECT " QM_BODY_KEY_SQL ", length(d.Document) > " QM_INDEXED_BODY_BYTES
                                           " FROM Document AS d LEFT JOIN DocumentText AS t "
                                           "ON t.DocumentNumber = d.DocumentNumber WHERE d.DocumentNumber = ?1");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    st.bind(1, documentNumber);
    if (!st.step())
        return {};
    return {st.isNull(0) ? QString() : st.toText(0), st.toInt(1) != 0};
}

void DictionaryEntries::indexBodies(const Added &added)
{
    if (!m_file.hasBodyIndex())
        return;
    m_file.bodyIndex().add(added.bodies);
    if (!added.unindexed.empty())
        m_file.bodyIndex().addUnder(TrigramIndex::ReadAlways, added.unindexed);
}

void DictionaryEntries::reindexBody(const Entry &entry, const StoredBody &before, const QString &key)
{
    const bool large = !searchtables::isIndexedBody(entry.Document.size());
    TrigramIndex &index = m_file.bodyIndex();
    const qsizetype lost = index.addGained(entry.DocumentNumber, before.key, large ? QString() : key);
    if (large)
        index.addUnder(TrigramIndex::ReadAlways, {entry.DocumentNumber});
    searchtables::noteStaleBodies(db(), lost > 0 || (before.large && !large) ? 1 : 0);
}

namespace {
constexpr qint64 MaxDocumentNumber = std::numeric_limits<qint32>::max();
}

bool DictionaryEntries::counterAtMaximum()
{
    // The engine numbers past the larger of its counter and the highest number present.
    Statement &st = m_file.cachedStatement("SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'Document'), 0), "
                                    "coalesce((SELECT max(DocumentNumber) FROM Document), 0))");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    st.step();
    return st.toInt64(0) >= MaxDocumentNumber;
}

qint32 DictionaryEntries::freeNumber()
{
    // Walks the numbers upwards from where the last search stopped, so a run of additions reads
    // each used number once rather than once per addition.
    Statement &st = m_file.cachedStatement("SELECT DocumentNumber FROM Document WHERE DocumentNumber >= ?1 "
                                    "ORDER BY DocumentNumber");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    for (qint64 from : {m_freeNumberFrom, qint64(1)}) {
        st.reset();
        st.bind(1, from);
        qint64 candidate = from;
        while (candidate <= MaxDocumentNumber && st.step() && st.toInt64(0) == candidate)
            ++candidate;
        if (candidate <= MaxDocumentNumber) {
            m_freeNumberFrom = candidate + 1;
            return qint32(candidate);
        }
    }
    throw numbersExhaustedError();
}

void DictionaryEntries::writeBodyText(qint32 documentNumber, const Entry &entry, const QString &key)
{
    if (!m_file.hasSearchTables())
        return;
    if (entry.Viewer != quint8(Viewer::RichText)) {
        Statement &st = m_file.cachedStatement("DELETE FROM DocumentText WHERE DocumentNumber = ?1");
        const auto reset = qScopeGuard([&st] { st.reset(); });
        st.bind(1, documentNumber);
        st.run();
        return;
    }
    Statement &st = m_file.cachedStatement("INSERT INTO DocumentText (DocumentNumber, TextKey) VALUES (?1, ?2) "
                                    "ON CONFLICT (DocumentNumber) DO UPDATE SET TextKey = excluded.TextKey");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    st.bind(1, documentNumber);
    // Without a reader the text stays NULL: it is read when searched, and stored at the next
    // rebuild.
    if (key.isNull())
        st.bindNull(2);
    else
        st.bind(2, key);
    st.run();
}

qint32 DictionaryEntries::addEntry(const Entry &entry, const QStringList &keywords)
{
    return m_file.writing([&] {
        m_file.requireWritable();
        sqlite::Transaction tx(db());
        const qint64 before = lastKeywordRow();
        qint32 number = 0;
        Added added;
        insertEntry(entry, keywords, number, added);
        indexAdded(added, before);
        tx.commit();
        return number;
    });
}

void DictionaryEntries::addEntries(const std::vector<NewEntry> &entries, Numbering numbering)
{
    m_file.writing([&] {
        m_file.requireWritable();
        sqlite::Transaction tx(db());
        const qint64 before = lastKeywordRow();
        qint32 number = 0;
        Added added;
        for (const NewEntry &e : entries)
            insertEntry(e.entry, e.keywords, number, added, numbering);
        indexAdded(added, before);
        tx.commit();
    });
}

qint64 DictionaryEntries::addEntriesFrom(const BatchSource &next)
{
    return m_file.writing([&] {
        m_file.requireWritable();
        sqlite::Transaction tx(db());
        const qint64 before = lastKeywordRow();
        // Into an empty dictionary the trigram indexes are built once from all the rows at the
        // end, each list written once in order, instead of merged into batch by batch.
        const bool indexAtEnd = m_file.hasSearchTables() && before == 0 && isEmpty();
        m_bodiesIndexedLater = indexAtEnd;
        const auto indexingNow = qScopeGuard([this] { m_bodiesIndexedLater = false; });
        std::optional<schema::DeferredIndexes> keywordIndexes;
        if (indexAtEnd)
            keywordIndexes.emplace(db(), "Index");
        qint64 entries = 0;
        qint64 keywordRows = 0;
        std::vector<NewEntry> batch;
        for (bool more = true; more;) {
            batch.clear();
            Numbering numbering = Numbering::New;
            more = next(batch, numbering);
            qint32 number = 0;
            Added added;
            for (const NewEntry &e : batch)
                insertEntry(e.entry, e.keywords, number, added, numbering);
            if (!indexAtEnd) {
                indexAddedKeywordRows(added.keywords, before);
                indexBodies(added);
            }
            keywordRows += qint64(added.keywords.size());
            entries += qint64(batch.size());
        }
        if (indexAtEnd) {
            keywordIndexes->restore();
            rebuildIndexes();
        }
        noteKeywordRows(keywordRows);
        tx.commit();
        return entries;
    });
}

bool DictionaryEntries::isEmpty()
{
    Statement &st = m_file.cachedStatement("SELECT NOT EXISTS (SELECT 1 FROM Document)");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    return st.step() && st.toInt(0) == 1;
}

void DictionaryEntries::rebuildIndexes()
{
    const auto none = [](qint64, qint64) {};
    m_file.trigramIndex().rebuild(none);
    if (m_file.hasBodyIndex())
        m_file.bodyIndex().rebuild(none);
}

void DictionaryEntries::indexAdded(const Added &added, qint64 before)
{
    indexAddedKeywordRows(added.keywords, before);
    indexBodies(added);
    noteKeywordRows(qint64(added.keywords.size()));
}

void DictionaryEntries::noteKeywordRows(qint64 added)
{
    if (!m_file.hasSearchTables() || added == 0)
        return;
    // "count highest-rowid" (see searchtables.h); without a record the rows cannot be vouched
    // for, and the next compaction makes the index anew.
    Statement &read = m_file.cachedStatement("SELECT Value FROM Properties WHERE Name = 'SearchIndexRows'");
    const auto resetRead = qScopeGuard([&read] { read.reset(); });
    const QStringList parts = read.step() ? read.toText(0).split(QLatin1Char(' ')) : QStringList();
    if (parts.size() != 2)
        return;
    const qint64 last = lastKeywordRow();
    Statement &write = m_file.cachedStatement("UPDATE Properties SET Value = ?1 WHERE Name = 'SearchIndexRows'");
    const auto resetWrite = qScopeGuard([&write] { write.reset(); });
    write.bind(1, QString::number(parts[0].toLongLong() + added) + QLatin1Char(' ') + QString::number(last));
    write.run();
}

bool DictionaryEntries::updateEntry(const Entry &entry)
{
    return m_file.writing([&] {
        m_file.requireWritable();
        requireStorable(entry);
        sqlite::Transaction tx(db());
        const StoredBody before = m_file.hasBodyIndex() ? storedBody(entry.DocumentNumber) : StoredBody();
        Statement st(db(), "UPDATE Document SET Viewer = ?2, Heading = ?3, Document = ?4, RenewalDate = ?5, "
                           "HeadingKey = ?6 WHERE DocumentNumber = ?1");
        st.bind(1, entry.DocumentNumber).bind(2, int(entry.Viewer)).bind(3, entry.Heading);
        st.bindBlobInPlace(4, entry.Document).bind(5, formatDate(entry.RenewalDate)).bind(6, text::fold(entry.Heading));
        st.run();
        if (db().changes() == 0)
            return false;
        const QString key = bodyKeyToWrite(entry);
        writeBodyText(entry.DocumentNumber, entry, key);
        if (m_file.hasBodyIndex())
            reindexBody(entry, before, key);
        tx.commit();
        return true;
    });
}

bool DictionaryEntries::deleteEntry(qint32 documentNumber)
{
    return m_file.writing([&] {
        m_file.requireWritable();
        sqlite::Transaction tx(db());
        // The keyword rows go with the entry (and its body text); the trigram index, which the
        // engine does not keep, loses them first.
        if (m_file.hasSearchTables()) {
            Statement rows(db(), "SELECT rowid, IndexKey FROM \"Index\" WHERE DocumentNumber = ?1");
            rows.bind(1, documentNumber);
            const std::vector<TrigramIndex::KeywordRow> keywords = keywordRows(rows);
            m_file.trigramIndex().remove(keywords);
            noteKeywordRows(-qint64(keywords.size()));
        }
        if (m_file.hasBodyIndex()) {
            const StoredBody body = storedBody(documentNumber);
            m_file.bodyIndex().remove({{documentNumber, body.key}});
            if (body.large)
                m_file.bodyIndex().removeUnder(TrigramIndex::ReadAlways, {documentNumber});
        }
        Statement st(db(), "DELETE FROM Document WHERE DocumentNumber = ?1");
        st.bind(1, documentNumber);
        st.run();
        const bool deleted = db().changes() > 0;
        tx.commit();
        return deleted;
    });
}

std::vector<qint32> DictionaryEntries::entryNumbers()
{
    m_file.followReplacement();
    Statement st(db(), "SELECT DocumentNumber FROM Document ORDER BY DocumentNumber");
    std::vector<qint32> numbers;
    while (st.step())
        numbers.push_back(st.toInt(0));
    return numbers;
}

void DictionaryEntries::forEachEntry(const std::vector<qint32> &numbers, const EntryVisitor &visit)
{
    m_file.followReplacement();
    const ReadTransaction read(m_file);
    for (const qint32 number : numbers) {
        const std::optional<Entry> entry = document(number);
        if (entry && !visit(*entry, keywords(number)))
            return;
    }
}

bool DictionaryEntries::headingExists(const QString &heading)
{
    m_file.followReplacement();
    Statement &st = m_file.cachedStatement("SELECT 1 FROM Document WHERE Heading = ?1 LIMIT 1");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    st.bind(1, heading);
    return st.step();
}

QStringList DictionaryEntries::keywords(qint32 documentNumber)
{
    m_file.followReplacement();
    Statement st(db(), "SELECT \"Index\" FROM \"Index\" WHERE DocumentNumber = ?1 ORDER BY rowid");
    st.bind(1, documentNumber);
    QStringList out;
    while (st.step())
        out.append(st.toText(0));
    return out;
}

void DictionaryEntries::addKeyword(qint32 documentNumber, const QString &keyword)
{
    m_file.writing([&] {
        m_file.requireWritable();
        // Inside an open transaction (an edit session) the keyword is written into it.
        std::optional<sqlite::Transaction> tx;
        if (!db().inTransaction())
            tx.emplace(db());
        const qint64 before = lastKeywordRow();
        indexAddedKeywordRows({insertKeyword(documentNumber, keyword)}, before);
        noteKeywordRows(1);
        if (tx)
            tx->commit();
    });
}

TrigramIndex::KeywordRow DictionaryEntries::insertKeyword(qint32 documentNumber, const QString &keyword)
{
    // No one can type or see a U+0000, and programs that read keywords as C strings stop at
    // it, so a keyword holding one is refused (one written by another program is still found).
    if (keyword.contains(QChar(u'\0')))
        throw Error(Error::Kind::NulInKeyword);
    // The new row's number is read from the connection: RETURNING would keep each row in a
    // table of its own first, which costs about as much as the insert.
    Statement &st = m_file.cachedStatement("INSERT INTO \"Index\" (\"Index\", DocumentNumber, IndexKey) VALUES (?1, ?2, ?3)");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    TrigramIndex::KeywordRow row{0, text::fold(keyword)};
    st.bind(1, keyword).bind(2, documentNumber).bind(3, row.key);
    st.run();
    row.rowid = db().lastInsertRowId();
    return row;
}

qint64 DictionaryEntries::lastKeywordRow()
{
    Statement &st = m_file.cachedStatement("SELECT coalesce(max(rowid), 0) FROM \"Index\"");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    return st.step() ? st.toInt64(0) : 0;
}

void DictionaryEntries::indexAddedKeywordRows(const KeywordRows &added, qint64 before)
{
    if (!m_file.hasSearchTables())
        return;
    // Only when another program took the highest rowid there is are new rows numbered at random;
    // then the record of the indexed rows is dropped, and the next compaction makes the index anew.
    if (before == std::numeric_limits<qint64>::max()) {
        db().exec("UPDATE Properties SET Value = '' WHERE Name = 'SearchIndexRows'");
        return;
    }
    m_file.trigramIndex().add(added);
}

DictionaryEntries::KeywordRows DictionaryEntries::keywordRows(Statement &st)
{
    std::vector<TrigramIndex::KeywordRow> rows;
    while (st.step())
        rows.push_back({st.toInt64(0), st.toText(1)});
    return rows;
}

bool DictionaryEntries::deleteKeyword(qint32 documentNumber, const QString &keyword)
{
    return m_file.writing([&] {
        m_file.requireWritable();
        std::optional<sqlite::Transaction> tx; // see addKeyword()
        if (!db().inTransaction())
            tx.emplace(db());
        Statement find(db(), "SELECT rowid, IndexKey FROM \"Index\" "
                             "WHERE DocumentNumber = ?1 AND \"Index\" = ?2 ORDER BY rowid LIMIT 1");
        find.bind(1, documentNumber).bind(2, keyword);
        if (!find.step())
            return false;
        const qint64 row = find.toInt64(0);
        const QString key = find.toText(1);
        find.reset();
        Statement st(db(), "DELETE FROM \"Index\" WHERE rowid = ?1");
        st.bind(1, row);
        st.run();
        const bool deleted = db().changes() > 0;
        // The row goes first: should the index then fail, it only names a row that is gone.
        if (deleted && m_file.hasSearchTables()) {
            // The index holds the row under its stored key.
            m_file.trigramIndex().remove({{row, key}});
            noteKeywordRows(-1);
        }
        if (tx)
            tx->commit();
        return deleted;
    });
}

} // namespace qm::store
