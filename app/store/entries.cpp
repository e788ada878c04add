// Reading and writing entries and their keywords.

#include "dictionary.h"

#include "bodytext.h"
#include "messages.h"
#include "schema.h"
#include "searchtables.h"
#include "trigramindex.h"
#include "viewertype.h"

#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/statement.h"
#include "platform/sqlite/transaction.h"
#include "platform/text/fold.h"

#include <QScopeGuard>

#include <algorithm>
#include <limits>

#include <sqlite3.h>

namespace qm::store {
namespace {

using sqlite::Error;
using sqlite::RowList;
using sqlite::Statement;

QString formatDate(const QDateTime &date)
{
    return date.isValid() ? date.toString(QString::fromLatin1(schema::DateFormat)) : QString();
}

QDateTime parseDate(const QString &text)
{
    return QDateTime::fromString(text, QString::fromLatin1(schema::DateFormat));
}

Error bodyTooLarge(qint64 bytes)
{
    return Error(Error::Kind::TooLarge, SQLITE_TOOBIG, describeTooLargeBody(bytes));
}

// Checks what every written entry must be: one of the five types, a body the program can read
// back.
void requireStorable(const Entry &entry)
{
    if (!isViewerCode(entry.Viewer))
        throw Error(Error::Kind::General, SQLITE_CONSTRAINT,
                    QStringLiteral("viewer type %1 does not exist").arg(entry.Viewer));
    if (entry.Document.size() > MaxBodyBytes)
        throw bodyTooLarge(entry.Document.size());
}

} // namespace

std::optional<Entry> Dictionary::document(qint32 documentNumber)
{
    followReplacement();
    // The body's length comes from the row's header, so a huge body is refused without
    // reading it.
    Statement head(m_db, "SELECT Viewer, Heading, RenewalDate, length(Document) "
                         "FROM Document WHERE DocumentNumber = ?1");
    head.bind(1, documentNumber);
    if (!head.step())
        return std::nullopt;
    if (head.toInt64(3) > MaxBodyBytes)
        throw bodyTooLarge(head.toInt64(3));
    Entry e;
    e.DocumentNumber = documentNumber;
    e.Viewer = quint8(head.toInt(0));
    e.Heading = head.toText(1);
    e.RenewalDate = parseDate(head.toText(2));
    Statement body(m_db, "SELECT Document FROM Document WHERE DocumentNumber = ?1");
    body.bind(1, documentNumber);
    if (body.step())
        e.Document = body.toBlob(0);
    return e;
}

void Dictionary::insertEntry(const Entry &entry, const QStringList &keywords, qint32 &number)
{
    requireStorable(entry);
    Statement &doc = cachedStatement("INSERT INTO Document (Viewer, Heading, Document, RenewalDate, HeadingKey) "
                                     "VALUES (?1, ?2, ?3, ?4, ?5) RETURNING DocumentNumber");
    const auto resetDoc = qScopeGuard([&doc] { doc.reset(); });
    // The body is read where it is; the statement is reset before the entry goes, and every use
    // binds it anew.
    doc.bind(1, int(entry.Viewer)).bind(2, entry.Heading).bindBlobInPlace(3, entry.Document);
    doc.bind(4, formatDate(entry.RenewalDate)).bind(5, text::fold(entry.Heading));
    if (!doc.step())
        throw Error(Error::Kind::General, SQLITE_ERROR, QStringLiteral("the new entry has no number"));
    number = doc.toInt(0);
    doc.run();
    if (entry.Viewer == quint8(Viewer::RichText))
        writeBodyText(number, entry);
    for (const QString &keyword : keywords)
        insertKeyword(number, keyword);
}

void Dictionary::writeBodyText(qint32 documentNumber, const Entry &entry)
{
    if (!m_searchTables)
        return;
    if (entry.Viewer != quint8(Viewer::RichText)) {
        Statement &st = cachedStatement("DELETE FROM DocumentText WHERE DocumentNumber = ?1");
        const auto reset = qScopeGuard([&st] { st.reset(); });
        st.bind(1, documentNumber);
        st.run();
        return;
    }
    Statement &st = cachedStatement("INSERT INTO DocumentText (DocumentNumber, TextKey) VALUES (?1, ?2) "
                                    "ON CONFLICT (DocumentNumber) DO UPDATE SET TextKey = excluded.TextKey");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    st.bind(1, documentNumber);
    // Without a reader the text stays NULL: it is read when searched, and stored at the next
    // rebuild.
    const QString key = bodySearchKey(entry.Viewer, entry.Document);
    if (key.isNull())
        st.bindNull(2);
    else
        st.bind(2, key);
    st.run();
}

qint32 Dictionary::addEntry(const Entry &entry, const QStringList &keywords)
{
    return writing([&] {
        requireWritable();
        sqlite::Transaction tx(m_db);
        const qint64 before = lastKeywordRow();
        qint32 number = 0;
        insertEntry(entry, keywords, number);
        indexKeywordRowsAfter(before);
        noteKeywordRows(keywords.size());
        tx.commit();
        return number;
    });
}

void Dictionary::addEntries(const std::vector<NewEntry> &entries)
{
    writing([&] {
        requireWritable();
        sqlite::Transaction tx(m_db);
        const qint64 before = lastKeywordRow();
        qint32 number = 0;
        qint64 keywords = 0;
        for (const NewEntry &e : entries) {
            insertEntry(e.entry, e.keywords, number);
            keywords += e.keywords.size();
        }
        indexKeywordRowsAfter(before);
        noteKeywordRows(keywords);
        tx.commit();
    });
}

void Dictionary::noteKeywordRows(qint64 added)
{
    if (!m_searchTables || added == 0)
        return;
    // "count highest-rowid" (see searchtables.h); without a record the rows cannot be vouched
    // for, and the next compaction makes the index anew.
    Statement &read = cachedStatement("SELECT Value FROM Properties WHERE Name = 'SearchIndexRows'");
    const auto resetRead = qScopeGuard([&read] { read.reset(); });
    const QStringList parts = read.step() ? read.toText(0).split(QLatin1Char(' ')) : QStringList();
    if (parts.size() != 2)
        return;
    const qint64 last = lastKeywordRow();
    Statement &write = cachedStatement("UPDATE Properties SET Value = ?1 WHERE Name = 'SearchIndexRows'");
    const auto resetWrite = qScopeGuard([&write] { write.reset(); });
    write.bind(1, QString::number(parts[0].toLongLong() + added) + QLatin1Char(' ') + QString::number(last));
    write.run();
}

bool Dictionary::updateEntry(const Entry &entry)
{
    return writing([&] {
        requireWritable();
        requireStorable(entry);
        sqlite::Transaction tx(m_db);
        Statement st(m_db, "UPDATE Document SET Viewer = ?2, Heading = ?3, Document = ?4, RenewalDate = ?5, "
                           "HeadingKey = ?6 WHERE DocumentNumber = ?1");
        st.bind(1, entry.DocumentNumber).bind(2, int(entry.Viewer)).bind(3, entry.Heading);
        st.bindBlobInPlace(4, entry.Document).bind(5, formatDate(entry.RenewalDate)).bind(6, text::fold(entry.Heading));
        st.run();
        if (m_db.changes() == 0)
            return false;
        writeBodyText(entry.DocumentNumber, entry);
        tx.commit();
        return true;
    });
}

bool Dictionary::deleteEntry(qint32 documentNumber)
{
    return writing([&] {
        requireWritable();
        sqlite::Transaction tx(m_db);
        // The keyword rows go with the entry (and its body text); the trigram index, which the
        // engine does not keep, loses them first.
        if (m_searchTables) {
            Statement rows(m_db, "SELECT rowid, IndexKey FROM \"Index\" WHERE DocumentNumber = ?1");
            rows.bind(1, documentNumber);
            const std::vector<TrigramIndex::KeywordRow> keywords = keywordRows(rows);
            trigramIndex().remove(keywords);
            noteKeywordRows(-qint64(keywords.size()));
        }
        Statement st(m_db, "DELETE FROM Document WHERE DocumentNumber = ?1");
        st.bind(1, documentNumber);
        st.run();
        const bool deleted = m_db.changes() > 0;
        tx.commit();
        return deleted;
    });
}

QStringList Dictionary::keywords(qint32 documentNumber)
{
    followReplacement();
    Statement st(m_db, "SELECT \"Index\" FROM \"Index\" WHERE DocumentNumber = ?1 ORDER BY rowid");
    st.bind(1, documentNumber);
    QStringList out;
    while (st.step())
        out.append(st.toText(0));
    return out;
}

void Dictionary::addKeyword(qint32 documentNumber, const QString &keyword)
{
    writing([&] {
        requireWritable();
        // Inside an open transaction (an edit session) the keyword is written into it.
        std::optional<sqlite::Transaction> tx;
        if (!m_db.inTransaction())
            tx.emplace(m_db);
        const qint64 before = lastKeywordRow();
        insertKeyword(documentNumber, keyword);
        indexKeywordRowsAfter(before);
        noteKeywordRows(1);
        if (tx)
            tx->commit();
    });
}

void Dictionary::insertKeyword(qint32 documentNumber, const QString &keyword)
{
    // No one can type or see a U+0000, and programs that read keywords as C strings stop at
    // it, so a keyword holding one is refused (one written by another program is still found).
    if (keyword.contains(QChar(u'\0')))
        throw Error(Error::Kind::General, SQLITE_CONSTRAINT,
                    QStringLiteral("キーワードに NUL 文字 (U+0000) は使えません"));
    Statement &st = cachedStatement("INSERT INTO \"Index\" (\"Index\", DocumentNumber, IndexKey) VALUES (?1, ?2, ?3)");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    st.bind(1, keyword).bind(2, documentNumber).bind(3, text::fold(keyword));
    st.run();
}

qint64 Dictionary::lastKeywordRow()
{
    Statement &st = cachedStatement("SELECT coalesce(max(rowid), 0) FROM \"Index\"");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    return st.step() ? st.toInt64(0) : 0;
}

void Dictionary::indexKeywordRowsAfter(qint64 row)
{
    if (!m_searchTables)
        return;
    // Only when another program took the highest rowid there is are new rows numbered at random;
    // then the record of the indexed rows is dropped, and the next compaction makes the index anew.
    if (row == std::numeric_limits<qint64>::max()) {
        m_db.exec("UPDATE Properties SET Value = '' WHERE Name = 'SearchIndexRows'");
        return;
    }
    // New keyword rows are numbered above every row there was.
    Statement &st = cachedStatement("SELECT rowid, IndexKey FROM \"Index\" WHERE rowid > ?1");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    st.bind(1, qMax<qint64>(row, 0));
    trigramIndex().add(keywordRows(st));
}

std::vector<TrigramIndex::KeywordRow> Dictionary::keywordRows(Statement &st)
{
    std::vector<TrigramIndex::KeywordRow> rows;
    while (st.step())
        rows.push_back({st.toInt64(0), st.toText(1)});
    return rows;
}

TrigramIndex &Dictionary::trigramIndex()
{
    if (!m_trigrams)
        m_trigrams = std::make_unique<TrigramIndex>(m_db);
    return *m_trigrams;
}

bool Dictionary::deleteKeyword(qint32 documentNumber, const QString &keyword)
{
    return writing([&] {
        requireWritable();
        std::optional<sqlite::Transaction> tx; // see addKeyword()
        if (!m_db.inTransaction())
            tx.emplace(m_db);
        Statement find(m_db, "SELECT rowid, IndexKey FROM \"Index\" "
                             "WHERE DocumentNumber = ?1 AND \"Index\" = ?2 ORDER BY rowid LIMIT 1");
        find.bind(1, documentNumber).bind(2, keyword);
        if (!find.step())
            return false;
        const qint64 row = find.toInt64(0);
        const QString key = find.toText(1);
        find.reset();
        Statement st(m_db, "DELETE FROM \"Index\" WHERE rowid = ?1");
        st.bind(1, row);
        st.run();
        const bool deleted = m_db.changes() > 0;
        // The row goes first: should the index then fail, it only names a row that is gone.
        if (deleted && m_searchTables) {
            // The index holds the row under its stored key.
            trigramIndex().remove({{row, key}});
            noteKeywordRows(-1);
        }
        if (tx)
            tx->commit();
        return deleted;
    });
}

int Dictionary::searchKeyword(const sqlite::LikePattern &pattern, int limit,
                              const std::function<void(const KeywordMatch &)> &sink)
{
    followReplacement();
    if (limit <= 0)
        return 0;
    const bool ranged = !pattern.literalPrefix().isEmpty();
    if (!ranged) {
        if (std::optional<std::vector<KeywordMatch>> rows = trigramLookup(pattern, limit)) {
            for (const KeywordMatch &m : *rows)
                sink(m);
            return int(rows->size());
        }
    }
    Statement &st = cachedStatement(keywordLookupSql(pattern));
    // Reset however the loop ends, so the file is not held by an unfinished read.
    const auto release = qScopeGuard([&st] { st.reset(); });
    if (ranged) {
        const QByteArray prefix = pattern.literalPrefix().toUtf8();
        st.bindUtf8(1, prefix).bindUtf8(2, sqlite::prefixUpperBound(prefix));
    }
    if (!(ranged && pattern.isPurePrefix()))
        st.bindPattern(3, pattern);
    st.bind(4, limit);
    int count = 0;
    KeywordMatch m;
    while (st.step()) {
        m.Index = st.toText(0);
        m.Heading = st.toText(1);
        m.Viewer = quint8(st.toInt(2));
        m.DocumentNumber = st.toInt(3);
        sink(m);
        ++count;
    }
    return count;
}

bool Dictionary::indexHoldsEveryRow()
{
    Statement &st = cachedStatement(searchtables::IndexableRowsSql);
    const auto release = qScopeGuard([&st] { st.reset(); });
    return st.step() && st.toInt(0) == 1;
}

std::optional<std::vector<qint64>> Dictionary::trigramRows(const sqlite::LikePattern &pattern, qint64 cap)
{
    followReplacement();
    const std::vector<Trigram> trigrams = trigramsOf(pattern);
    if (!m_searchTables || trigrams.empty() || !indexHoldsEveryRow())
        return std::nullopt;
    std::vector<qint64> rows = trigramIndex().rowsWithAll(trigrams);
    if (qint64(rows.size()) > cap)
        return std::nullopt;
    std::transform(rows.begin(), rows.end(), rows.begin(), searchtables::keywordRowOf);
    return rows;
}

std::optional<std::vector<KeywordMatch>> Dictionary::trigramLookup(const sqlite::LikePattern &pattern, int limit)
{
    const std::vector<Trigram> trigrams = trigramsOf(pattern);
    if (!m_searchTables || trigrams.empty())
        return std::nullopt;
    try {
        // One read transaction for all the statements: alone, each would take and give back
        // the file's lock and look for a journal.
        const bool ownTransaction = !m_db.inTransaction();
        Statement &commit = cachedStatement("COMMIT");
        if (ownTransaction)
            cachedStatement("BEGIN").run();
        const auto endRead = qScopeGuard([&] {
            // Ending a read loses nothing, so a failure to end it is passed over like any
            // failure of the lookup.
            if (ownTransaction && m_db.inTransaction()) {
                try {
                    commit.run();
                } catch (const Error &) {
                }
            }
        });
        if (!indexHoldsEveryRow())
            return std::nullopt;
        std::optional<CandidateList> rows = readCandidates(pattern, trigramIndex().rowsWithAll(trigrams), limit);
        if (!rows)
            return std::nullopt;
        sortCandidates(*rows, limit);
        return withEntries(*rows);
    } catch (const Error &) {
        // An index that fails (damaged behind the store's back) is passed over: the walk finds
        // the same rows without it.
        return std::nullopt;
    }
}

// Reads the keyword rows of a contains lookup's candidates, index rowids in the order class of
// their keys (see searchtables.h), as far as the first `limit` matches in keyword order need.
// Once the limit is reached, only the rest of the class it was reached in can still come before
// the rows kept. Keyword rows are read by rowid in batches, each one statement over a list of
// rowids, growing, as most lookups stop early. A large class the limit falls in is read in key
// order through the keyword index instead: rows one after the other, and only as many as are
// kept, where by rowid every candidate of the class costs a page of its own.
class Dictionary::CandidateReader final
{
public:
    CandidateReader(Dictionary &dictionary, const sqlite::LikePattern &pattern, const std::vector<qint64> &candidates,
                    int limit)
        : m_dictionary(dictionary)
        , m_pattern(pattern)
        , m_candidates(candidates)
        , m_limit(std::size_t(limit))
        // Past CandidateLimit the lookup is given up, so no more rowids are needed than that.
        , m_rowids(std::min(candidates.size(), std::size_t(searchtables::CandidateLimit) + 1))
    {
        std::transform(candidates.begin(), candidates.begin() + std::ptrdiff_t(m_rowids.size()), m_rowids.begin(),
                       searchtables::keywordRowOf);
    }

    std::optional<CandidateList> read()
    {
        const auto [from, to] = limitClass();
        if (to - from < WalkMinimum)
            return finish(readByRowid(0, m_rowids.size()));
        if (readByRowid(0, from) == Outcome::GiveUp)
            return std::nullopt;
        const std::size_t rows = m_list.rows.size();
        const std::size_t text = m_list.text.size();
        switch (walkClass(from, to)) {
        case Walk::Taken:
            return std::move(m_list);
        case Walk::Exhausted:
            return finish(readByRowid(to, m_rowids.size()));
        case Walk::TooLong:
            break;
        }
        m_list.rows.resize(rows);
        m_list.text.resize(text);
        return finish(readByRowid(from, m_rowids.size()));
    }

private:
    // Smaller classes are read by rowid; a walk of the keyword index reads at most WalkFactor
    // rows per candidate of the class before it gives way to reading them by rowid.
    static constexpr std::size_t WalkMinimum = 128;
    static constexpr std::size_t WalkFactor = 2;
    enum class Outcome { Reading, Done, GiveUp };
    enum class Walk { Taken, Exhausted, TooLong };

    // The candidates of the class the limit falls in, when all of them can be read; else none.
    std::pair<std::size_t, std::size_t> limitClass() const
    {
        if (m_candidates.size() < m_limit || m_limit == 0)
            return {0, 0};
        const quint32 order = searchtables::keyOrderOf(m_candidates[m_limit - 1]);
        const auto before = [](qint64 rowid, quint32 c) { return searchtables::keyOrderOf(rowid) < c; };
        const auto after = [](quint32 c, qint64 rowid) { return c < searchtables::keyOrderOf(rowid); };
        const auto begin = std::lower_bound(m_candidates.begin(), m_candidates.end(), order, before);
        const auto end = std::upper_bound(begin, m_candidates.end(), order, after);
        const auto to = std::size_t(end - m_candidates.begin());
        if (to > std::size_t(searchtables::CandidateLimit))
            return {0, 0};
        return {std::size_t(begin - m_candidates.begin()), to};
    }

    std::optional<CandidateList> finish(Outcome outcome)
    {
        if (outcome == Outcome::GiveUp)
            return std::nullopt;
        return std::move(m_list);
    }

    Outcome readByRowid(std::size_t from, std::size_t to)
    {
        Statement &st = m_dictionary.cachedStatement("SELECT m.rowid, i.IndexKey, i.DocumentNumber, i.\"Index\" "
                                                     "FROM qm_rows(?1) AS m CROSS JOIN \"Index\" AS i ON i.rowid = m.value");
        const auto release = qScopeGuard([&st] { st.reset(); });
        for (std::size_t first = from, batch = 64; first < to; first += batch, batch *= 2) {
            st.reset();
            st.bindRows(1, RowList(m_rowids).subspan(first, std::min(batch, to - first)));
            while (st.step()) {
                const std::size_t at = first + std::size_t(st.toInt64(0));
                const quint32 order = searchtables::keyOrderOf(m_candidates[at]);
                if (m_lastClass && order != *m_lastClass)
                    return Outcome::Done;
                // Candidates that are mostly not matches are better left to the walk.
                if (at >= std::size_t(searchtables::CandidateLimit))
                    return Outcome::GiveUp;
                keepIfMatching(st, 1, m_rowids[at], order);
            }
        }
        return Outcome::Reading;
    }

    Walk walkClass(std::size_t from, std::size_t to)
    {
        std::vector<qint64> members(m_rowids.begin() + std::ptrdiff_t(from), m_rowids.begin() + std::ptrdiff_t(to));
        std::sort(members.begin(), members.end());
        const quint32 order = searchtables::keyOrderOf(m_candidates[from]);
        Statement &st = m_dictionary.cachedStatement(
            "SELECT i.IndexKey, i.DocumentNumber, i.\"Index\", i.rowid FROM \"Index\" AS i INDEXED BY Index_Index "
            "WHERE i.IndexKey >= ?1 ORDER BY i.IndexKey, i.DocumentNumber, i.\"Index\", i.rowid");
        const auto release = qScopeGuard([&st] { st.reset(); });
        st.bind(1, searchtables::lowestKeyOf(order));
        const std::size_t cap = WalkFactor * members.size();
        std::size_t walked = 0;
        std::size_t seen = 0;
        while (st.step()) {
            if (++walked > cap)
                return Walk::TooLong;
            const qint64 rowid = st.toInt64(3);
            if (!std::binary_search(members.begin(), members.end(), rowid))
                continue;
            keepIfMatching(st, 0, rowid, order);
            if (m_list.rows.size() >= m_limit)
                return Walk::Taken;
            // Rows the index holds under another key are not met here: the walk goes on past
            // the class for them until the cap ends it.
            if (++seen == members.size())
                break;
        }
        return Walk::Exhausted;
    }

    // Keeps a keyword row (key, entry number and keyword in the statement's three columns from
    // `column` on) if it matches. A row the index holds under another key (changed by another
    // program) is passed over: its place in the order is not known.
    void keepIfMatching(Statement &st, int column, qint64 rowid, quint32 order)
    {
        const QByteArrayView key = st.utf8View(column);
        const QString folded = QString::fromUtf8(key);
        if (searchtables::keyOrder(folded) != order || !m_pattern.matchesFolded(folded))
            return;
        const QByteArrayView keyword = st.utf8View(column + 2);
        m_list.rows.push_back({m_list.text.size(), quint32(key.size()), quint32(keyword.size()), rowid,
                               st.toInt(column + 1), order});
        m_list.text.append(key.data(), std::size_t(key.size())).append(keyword.data(), std::size_t(keyword.size()));
        if (!m_lastClass && m_list.rows.size() >= m_limit)
            m_lastClass = order;
    }

    Dictionary &m_dictionary;
    const sqlite::LikePattern &m_pattern;
    const std::vector<qint64> &m_candidates;
    const std::size_t m_limit;
    std::vector<qint64> m_rowids;
    CandidateList m_list;
    std::optional<quint32> m_lastClass;
};

std::optional<Dictionary::CandidateList>
Dictionary::readCandidates(const sqlite::LikePattern &pattern, const std::vector<qint64> &candidates, int limit)
{
    return CandidateReader(*this, pattern, candidates, limit).read();
}

void Dictionary::sortCandidates(CandidateList &list, int limit)
{
    // The rows come in order class already: each class is sorted by itself.
    const auto less = [&list](const CandidateRow &a, const CandidateRow &b) {
        if (const int c = list.key(a).compare(list.key(b)))
            return c < 0;
        if (a.number != b.number)
            return a.number < b.number;
        if (const int c = list.keyword(a).compare(list.keyword(b)))
            return c < 0;
        return a.rowid < b.rowid;
    };
    std::vector<CandidateRow> &rows = list.rows;
    for (auto begin = rows.begin(); begin != rows.end();) {
        const auto end = std::find_if(begin, rows.end(), [&](const CandidateRow &r) { return r.order != begin->order; });
        std::sort(begin, end, less);
        begin = end;
    }
    if (rows.size() > std::size_t(limit))
        rows.resize(std::size_t(limit));
}

std::optional<std::vector<KeywordMatch>> Dictionary::withEntries(const CandidateList &list)
{
    // Only the rows kept read their entry: one statement, in entry order, which reads the pages
    // of the entry index one after the other.
    std::vector<qint64> numbers;
    numbers.reserve(list.rows.size());
    for (const CandidateRow &r : list.rows)
        numbers.push_back(r.number);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    Statement &st = cachedStatement("SELECT m.rowid, d.Heading, d.Viewer FROM qm_rows(?1) AS m "
                                    "CROSS JOIN Document AS d INDEXED BY Index_DocumentHeading "
                                    "ON d.DocumentNumber = m.value");
    const auto release = qScopeGuard([&st] { st.reset(); });
    st.bindRows(1, numbers);
    std::vector<std::optional<std::pair<QString, quint8>>> shown(numbers.size());
    while (st.step())
        shown[std::size_t(st.toInt64(0))].emplace(st.toText(1), quint8(st.toInt(2)));
    std::vector<KeywordMatch> out;
    out.reserve(list.rows.size());
    for (const CandidateRow &r : list.rows) {
        const auto &entry = shown[std::size_t(std::lower_bound(numbers.begin(), numbers.end(), r.number) - numbers.begin())];
        // A keyword row without its entry (the relation broken behind the store's back) is not
        // listed, and rows past the ones kept might then belong in the list.
        if (!entry)
            return std::nullopt;
        const std::string_view keyword = list.keyword(r);
        out.push_back({QString::fromUtf8(keyword.data(), qsizetype(keyword.size())), entry->first, entry->second, r.number});
    }
    return out;
}

const char *Dictionary::keywordLookupSql(const sqlite::LikePattern &pattern)
{
    // Rows come in the order of the keyword index (folded key, entry, keyword), so the engine
    // walks the index and never sorts; both tables are read through their covering indexes. A
    // pattern with literal text in front scans only that range; a pattern that is that text and
    // one "*" needs no test per row.
#define QM_KEYWORD_LOOKUP(where)                                                                   \
    "SELECT i.\"Index\", d.Heading, d.Viewer, i.DocumentNumber "                                   \
    "FROM \"Index\" AS i INDEXED BY Index_Index "                                                   \
    "INNER JOIN Document AS d INDEXED BY Index_DocumentHeading ON d.DocumentNumber = i.DocumentNumber " \
    "WHERE " where " "                                                                             \
    "ORDER BY i.IndexKey, i.DocumentNumber, i.\"Index\", i.rowid LIMIT ?4"
    if (pattern.literalPrefix().isEmpty())
        return QM_KEYWORD_LOOKUP("qm_like(?3, i.IndexKey)");
    if (pattern.isPurePrefix())
        return QM_KEYWORD_LOOKUP("i.IndexKey >= ?1 AND i.IndexKey < ?2");
    return QM_KEYWORD_LOOKUP("i.IndexKey >= ?1 AND i.IndexKey < ?2 AND qm_like(?3, i.IndexKey)");
#undef QM_KEYWORD_LOOKUP
}

} // namespace qm::store
