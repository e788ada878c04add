#include "app/store/search/trigramindex.h"

#include "app/store/search/searchtables.h"

#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/statement.h"
#include "platform/text/fold.h"

#include <QScopeGuard>

#include <algorithm>
#include <limits>
#include <optional>
#include <string>

#include <sqlite3.h>

namespace qm::store {
namespace {
using sqlite::Statement;

// The largest chunk: its row stays on a b-tree page of its own table (a row of a 4 KiB page
// spills to an overflow page above about 1000 bytes). A chunk that grows past it is cut into
// halves, so the next rows of its range fit without cutting again.
constexpr qsizetype ChunkBytes = 900;
// Postings a rebuild holds in memory at once (16 bytes each) before it writes them.
constexpr qint64 HeldPostings = 1'000'000;
// Keyword rows between two progress reports of a rebuild.
constexpr qint64 ReportRows = 50'000;

enum StatementId { At, After, List, Erase, Insert, Chunks, StatementCount };

// The statements of each table (TrigramIndex::Table): the same over KeyTrigram and BodyTrigram.
#define QM_TRIGRAM_STATEMENTS(table)                                                                       \
    {                                                                                                      \
        /* The chunk a rowid falls in: the last one starting at or below it... */                          \
        "SELECT FirstRow, Rows FROM " table " WHERE Trigram = ?1 AND FirstRow <= ?2 ORDER BY FirstRow DESC LIMIT 1", \
        /* ... or the first one after a rowid. */                                                          \
        "SELECT FirstRow, Rows FROM " table " WHERE Trigram = ?1 AND FirstRow > ?2 ORDER BY FirstRow LIMIT 1", \
        "SELECT FirstRow, Rows FROM " table " WHERE Trigram = ?1 ORDER BY FirstRow",                      \
        "DELETE FROM " table " WHERE Trigram = ?1 AND FirstRow = ?2",                                      \
        "INSERT INTO " table " (Trigram, FirstRow, Rows) VALUES (?1, ?2, ?3)",                             \
        "SELECT count(*) FROM " table " WHERE Trigram = ?1",                                                \
    }
constexpr const char *StatementSql[2][StatementCount] = {QM_TRIGRAM_STATEMENTS("KeyTrigram"),
                                                         QM_TRIGRAM_STATEMENTS("BodyTrigram")};
#undef QM_TRIGRAM_STATEMENTS

// A rowid list that cannot be read: written by another program, or damaged.
class DamagedList final : public sqlite::Error
{
public:
    DamagedList()
        : sqlite::Error(Kind::General, SQLITE_CORRUPT, QStringLiteral("the trigram index is damaged"))
    {
    }
};

Trigram trigramOf(char32_t a, char32_t b, char32_t c)
{
    return (Trigram(a) << 42) | (Trigram(b) << 21) | Trigram(c);
}

void appendTrigrams(const char32_t *text, std::size_t size, std::vector<Trigram> &out)
{
    for (std::size_t i = 0; i + 3 <= size; ++i)
        out.push_back(trigramOf(text[i], text[i + 1], text[i + 2]));
}

void sortUnique(std::vector<Trigram> &trigrams)
{
    std::sort(trigrams.begin(), trigrams.end());
    trigrams.erase(std::unique(trigrams.begin(), trigrams.end()), trigrams.end());
}

// A rowid list is coded as the difference of each rowid to the one before, seven bits a byte,
// low bits first, the high bit of a byte set when more follow; the chunk's first rowid is its key.
void appendNumber(QByteArray &out, quint64 n)
{
    while (n >= 0x80) {
        out.append(char(0x80 | (n & 0x7F)));
        n >>= 7;
    }
    out.append(char(n));
}

qsizetype numberBytes(quint64 n)
{
    qsizetype bytes = 1;
    for (; n >= 0x80; n >>= 7)
        ++bytes;
    return bytes;
}

// Hands each rowid of a chunk to `f`; throws when they do not ascend above `last`, the last
// rowid handed over before (0 for none), which it then updates.
template<class F>
void forEachRowid(qint64 first, QByteArrayView blob, qint64 &last, F f)
{
    if (first < 1 || first <= last)
        throw DamagedList();
    f(first);
    auto value = quint64(first);
    const auto *p = reinterpret_cast<const quint8 *>(blob.data());
    const quint8 *const end = p + blob.size();
    while (p != end) {
        quint64 delta = *p & 0x7F;
        for (int shift = 7; *p++ & 0x80; shift += 7) {
            if (p == end || shift > 56)
                throw DamagedList();
            delta |= quint64(*p & 0x7F) << shift;
        }
        if (delta == 0 || delta > quint64(std::numeric_limits<qint64>::max()) - value)
            throw DamagedList();
        value += delta;
        f(qint64(value));
    }
    last = qint64(value);
}

void addRows(std::vector<qint64> &list, const qint64 *first, const qint64 *last)
{
    std::vector<qint64> merged;
    merged.reserve(list.size() + std::size_t(last - first));
    std::set_union(list.begin(), list.end(), first, last, std::back_inserter(merged));
    list.swap(merged);
}

void removeRows(std::vector<qint64> &list, const qint64 *first, const qint64 *last)
{
    std::vector<qint64> rest;
    rest.reserve(list.size());
    std::set_difference(list.begin(), list.end(), first, last, std::back_inserter(rest));
    list.swap(rest);
}

qsizetype encodedBytes(const std::vector<qint64> &list)
{
    qsizetype bytes = 0;
    for (std::size_t i = 1; i < list.size(); ++i)
        bytes += numberBytes(quint64(list[i] - list[i - 1]));
    return bytes;
}

} // namespace

std::vector<Trigram> trigramsOf(QStringView text)
{
    const std::u32string chars = text::codePoints(text);
    std::vector<Trigram> out;
    appendTrigrams(chars.data(), chars.size(), out);
    sortUnique(out);
    return out;
}

std::vector<Trigram> trigramsOf(const sqlite::LikePattern &pattern)
{
    std::vector<Trigram> out;
    for (const std::u32string &run : pattern.literalRuns())
        appendTrigrams(run.data(), run.size(), out);
    sortUnique(out);
    return out;
}

struct TrigramIndex::Chunk {
    bool found = false;
    qint64 first = 0;
    std::vector<qint64> rows;
    std::optional<qint64> next; // the first rowid of the chunk after it
};

TrigramIndex::TrigramIndex(sqlite::Database &db, Table table)
    : m_db(db)
    , m_table(table)
    , m_statements(StatementCount)
{
}

TrigramIndex::~TrigramIndex() = default;

Statement &TrigramIndex::statement(int which)
{
    std::unique_ptr<Statement> &st = m_statements[std::size_t(which)];
    if (!st)
        st = std::make_unique<Statement>(m_db, StatementSql[int(m_table)][which]);
    return *st;
}

std::optional<qint64> TrigramIndex::listedRowid(qint64 rowid, QStringView key) const
{
    if (m_table == Table::Bodies)
        return rowid >= 1 ? std::optional(rowid) : std::nullopt;
    // Keyword rows numbered beyond what the index's rowids hold are left out (see searchtables.h).
    if (rowid < 1 || rowid > searchtables::RowMask)
        return std::nullopt;
    return searchtables::indexRowid(rowid, key);
}

std::vector<TrigramIndex::Posting> TrigramIndex::postingsOf(const std::vector<KeywordRow> &rows) const
{
    std::vector<Posting> postings;
    for (const KeywordRow &row : rows) {
        const std::optional<qint64> rowid = listedRowid(row.rowid, row.key);
        if (!rowid || row.key.isNull())
            continue;
        for (const Trigram t : trigramsOf(row.key))
            postings.push_back({t, *rowid});
    }
    std::sort(postings.begin(), postings.end());
    postings.erase(std::unique(postings.begin(), postings.end()), postings.end());
    return postings;
}

void TrigramIndex::add(const std::vector<KeywordRow> &rows)
{
    updateOrRebuild(postingsOf(rows), addRows);
}

void TrigramIndex::remove(const std::vector<KeywordRow> &rows)
{
    updateOrRebuild(postingsOf(rows), removeRows);
}

std::vector<TrigramIndex::Posting> TrigramIndex::postingsUnder(Trigram trigram, const std::vector<qint64> &rowids)
{
    std::vector<Posting> postings;
    for (const qint64 rowid : rowids)
        postings.push_back({trigram, rowid});
    std::sort(postings.begin(), postings.end());
    return postings;
}

void TrigramIndex::addUnder(Trigram trigram, const std::vector<qint64> &rowids)
{
    updateOrRebuild(postingsUnder(trigram, rowids), addRows);
}

void TrigramIndex::removeUnder(Trigram trigram, const std::vector<qint64> &rowids)
{
    updateOrRebuild(postingsUnder(trigram, rowids), removeRows);
}

qsizetype TrigramIndex::addGained(qint64 rowid, const QString &before, const QString &after)
{
    const std::optional<qint64> listed = listedRowid(rowid, after);
    const std::vector<Trigram> was = before.isNull() ? std::vector<Trigram>() : trigramsOf(before);
    const std::vector<Trigram> is = after.isNull() || !listed ? std::vector<Trigram>() : trigramsOf(after);
    std::vector<Trigram> gained;
    std::set_difference(is.begin(), is.end(), was.begin(), was.end(), std::back_inserter(gained));
    std::vector<Posting> postings;
    for (const Trigram t : gained)
        postings.push_back({t, *listed});
    updateOrRebuild(postings, addRows);
    return qsizetype(was.size()) - (qsizetype(is.size()) - qsizetype(gained.size()));
}

void TrigramIndex::updateOrRebuild(const std::vector<Posting> &postings, Change change)
{
    try {
        update(postings, change);
    } catch (const DamagedList &) {
        // A list that cannot be read is not patched: the index is made anew from the keyword
        // rows as they are now, so the write goes on and lookups stay right.
        rebuild([](qint64, qint64) {});
    }
}

TrigramIndex::Chunk TrigramIndex::chunkFor(Trigram trigram, qint64 rowid)
{
    Chunk chunk;
    const auto read = [&](int which, qint64 bound) {
        Statement &st = statement(which);
        const auto reset = qScopeGuard([&st] { st.reset(); });
        st.bind(1, trigram).bind(2, bound);
        if (!st.step())
            return false;
        chunk.found = true;
        chunk.first = st.toInt64(0);
        qint64 last = 0;
        forEachRowid(chunk.first, st.blobView(1), last, [&chunk](qint64 rowid) { chunk.rows.push_back(rowid); });
        return true;
    };
    // Below every chunk, a rowid joins the first one.
    if (!read(At, rowid))
        read(After, rowid);
    if (chunk.found) {
        Statement &st = statement(After);
        const auto reset = qScopeGuard([&st] { st.reset(); });
        st.bind(1, trigram).bind(2, chunk.first);
        if (st.step())
            chunk.next = st.toInt64(0);
    }
    return chunk;
}

void TrigramIndex::update(const std::vector<Posting> &postings, Change change)
{
    std::vector<qint64> rowids;
    for (std::size_t i = 0; i < postings.size();) {
        const Trigram trigram = postings[i].trigram;
        Chunk chunk = chunkFor(trigram, postings[i].rowid);
        rowids.clear();
        for (; i < postings.size() && postings[i].trigram == trigram
               && (!chunk.next || postings[i].rowid < *chunk.next);
             ++i)
            rowids.push_back(postings[i].rowid);
        const std::size_t before = chunk.rows.size();
        change(chunk.rows, rowids.data(), rowids.data() + rowids.size());
        if (chunk.rows.size() == before)
            continue;
        if (chunk.found)
            eraseChunk(trigram, chunk.first);
        const qsizetype bytes = encodedBytes(chunk.rows) <= ChunkBytes ? ChunkBytes : ChunkBytes / 2;
        writeChunks(trigram, chunk.rows.data(), chunk.rows.data() + chunk.rows.size(), bytes);
    }
}

void TrigramIndex::eraseChunk(Trigram trigram, qint64 first)
{
    Statement &st = statement(Erase);
    const auto reset = qScopeGuard([&st] { st.reset(); });
    st.bind(1, trigram).bind(2, first);
    st.run();
}

void TrigramIndex::writeChunks(Trigram trigram, const qint64 *first, const qint64 *last, qsizetype bytes)
{
    Statement &st = statement(Insert);
    QByteArray blob;
    while (first != last) {
        const qint64 start = *first++;
        blob.clear();
        for (; first != last && blob.size() + numberBytes(quint64(*first - first[-1])) <= bytes; ++first)
            appendNumber(blob, quint64(*first - first[-1]));
        const auto reset = qScopeGuard([&st] { st.reset(); });
        st.bind(1, trigram).bind(2, start).bindBlob(3, blob);
        st.run();
    }
}

std::vector<qint64> TrigramIndex::rowsWithAll(const std::vector<Trigram> &trigrams)
{
    // The shortest list is read whole; each further one only where it may hold a row kept so far.
    const std::vector<Trigram> order = shortestFirst(trigrams);
    std::vector<qint64> rows;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i == 0)
            rows = wholeList(order[i]);
        else
            keepListed(rows, order[i]);
        if (rows.empty())
            break;
    }
    return rows;
}

std::vector<Trigram> TrigramIndex::shortestFirst(const std::vector<Trigram> &trigrams)
{
    if (trigrams.size() < 2)
        return trigrams;
    // Chunks hold about as many rows each: their number measures a list.
    std::vector<std::pair<qint64, Trigram>> sized;
    for (const Trigram t : trigrams) {
        Statement &st = statement(Chunks);
        const auto reset = qScopeGuard([&st] { st.reset(); });
        st.bind(1, t);
        sized.emplace_back(st.step() ? st.toInt64(0) : 0, t);
    }
    std::sort(sized.begin(), sized.end());
    std::vector<Trigram> order;
    for (const auto &[chunks, t] : sized)
        order.push_back(t);
    return order;
}

std::vector<qint64> TrigramIndex::wholeList(Trigram trigram)
{
    Statement &st = statement(List);
    const auto reset = qScopeGuard([&st] { st.reset(); });
    st.bind(1, trigram);
    std::vector<qint64> rows;
    qint64 last = 0;
    while (st.step())
        forEachRowid(st.toInt64(0), st.blobView(1), last, [&rows](qint64 rowid) { rows.push_back(rowid); });
    return rows;
}

void TrigramIndex::keepListed(std::vector<qint64> &rows, Trigram trigram)
{
    Statement &st = statement(List);
    const auto reset = qScopeGuard([&st] { st.reset(); });
    st.bind(1, trigram);
    std::size_t read = 0;
    std::size_t kept = 0;
    const auto keep = [&](qint64 rowid) {
        while (read < rows.size() && rows[read] < rowid)
            ++read;
        if (read < rows.size() && rows[read] == rowid)
            rows[kept++] = rows[read++];
    };
    // A chunk ends where the next one begins: it is decoded only when a row still sought lies
    // in between, so a long list costs the few chunks the short one points into.
    std::string pending;
    std::optional<qint64> pendingFirst;
    qint64 last = 0;
    const auto decodePending = [&](std::optional<qint64> nextFirst) {
        if (!pendingFirst)
            return;
        while (read < rows.size() && rows[read] < *pendingFirst)
            ++read;
        if (read < rows.size() && (!nextFirst || rows[read] < *nextFirst))
            forEachRowid(*pendingFirst, pending, last, keep);
        else if (*pendingFirst <= last)
            throw DamagedList();
        else
            last = *pendingFirst;
    };
    bool sought = true;
    while (sought && st.step()) {
        const qint64 first = st.toInt64(0);
        decodePending(first);
        const QByteArrayView blob = st.blobView(1);
        pending.assign(blob.data(), std::size_t(blob.size()));
        pendingFirst = first;
        sought = read < rows.size();
    }
    if (sought)
        decodePending(std::nullopt);
    rows.resize(kept);
}

bool TrigramIndex::readable()
{
    Statement st(m_db, m_table == Table::Keywords
                           ? "SELECT Trigram, FirstRow, Rows FROM KeyTrigram ORDER BY Trigram, FirstRow"
                           : "SELECT Trigram, FirstRow, Rows FROM BodyTrigram ORDER BY Trigram, FirstRow");
    std::optional<Trigram> trigram;
    qint64 last = 0;
    try {
        while (st.step()) {
            if (trigram != st.toInt64(0)) {
                trigram = st.toInt64(0);
                last = 0;
            }
            forEachRowid(st.toInt64(1), st.blobView(2), last, [](qint64) {});
        }
    } catch (const DamagedList &) {
        return false;
    }
    return true;
}

namespace {

// What a rebuild reads: the rows and their keys, and beforehand their number. A body key is
// NULL where the body is never searched (an object) or its text cannot be read. The rows come
// in the order the index lists them: keyword rows through the keyword index (in key order, so in
// order class, the high part of the numbers the index lists them by), bodies by entry number.
// A third column, when true, lists the row under ReadAlways instead.
struct RebuildSource {
    const char *size;
    const char *rows;
};
constexpr RebuildSource Sources[2] = {
    {"SELECT count(*) FROM \"Index\" WHERE " QM_INDEXABLE_ROWS,
     "SELECT rowid, IndexKey, 0 FROM \"Index\" INDEXED BY Index_Index WHERE " QM_INDEXABLE_ROWS
     " ORDER BY IndexKey"},
    {"SELECT count(*) FROM Document WHERE Viewer <> 5",
     "SELECT d.DocumentNumber, " QM_BODY_KEY_SQL ", length(d.Document) > " QM_INDEXED_BODY_BYTES " "
     "FROM Document AS d LEFT JOIN DocumentText AS t ON t.DocumentNumber = d.DocumentNumber WHERE d.Viewer <> 5 "
     "ORDER BY d.DocumentNumber"},
};

} // namespace

void TrigramIndex::writeSorted(std::vector<Posting> &postings)
{
    std::sort(postings.begin(), postings.end());
    std::vector<qint64> list;
    for (std::size_t i = 0; i < postings.size();) {
        list.clear();
        const Trigram t = postings[i].trigram;
        for (; i < postings.size() && postings[i].trigram == t; ++i)
            list.push_back(postings[i].rowid);
        writeChunks(t, list.data(), list.data() + list.size(), ChunkBytes);
    }
    postings.clear();
}

qint64 TrigramIndex::groupOf(qint64 listed) const
{
    return m_table == Table::Keywords ? qint64(searchtables::keyOrderOf(listed)) : listed;
}

void TrigramIndex::rebuild(const std::function<void(qint64, qint64)> &step)
{
    const RebuildSource &source = Sources[int(m_table)];
    m_db.exec(m_table == Table::Keywords ? "DELETE FROM KeyTrigram" : "DELETE FROM BodyTrigram");
    qint64 rows = 0;
    {
        Statement size(m_db, source.size);
        if (size.step())
            rows = size.toInt64(0);
    }
    // The rows come in groups whose numbers are above those of every group before (order
    // classes of keys, entries): whenever the postings held fill their share at the end of a
    // group, they are written, each list going on in chunks after those written before.
    Statement read(m_db, source.rows);
    std::vector<Posting> postings;
    postings.reserve(std::size_t(HeldPostings));
    std::optional<qint64> group;
    qint64 done = 0;
    while (read.step()) {
        if (done++ % ReportRows == 0)
            step(done, rows);
        const QString key = read.isNull(1) ? QString() : read.toText(1);
        const std::optional<qint64> rowid = listedRowid(read.toInt64(0), key);
        if (!rowid)
            continue;
        if (qint64(postings.size()) >= HeldPostings && group != groupOf(*rowid))
            writeSorted(postings);
        group = groupOf(*rowid);
        if (read.toInt(2) != 0)
            postings.push_back({ReadAlways, *rowid});
        else if (!key.isNull())
            for (const Trigram t : trigramsOf(key))
                postings.push_back({t, *rowid});
    }
    writeSorted(postings);
    step(rows, rows);
}

} // namespace qm::store
