// The searches of a dictionary on a server: keyword lookups, condition searches and the heading
// grid's batches. The server narrows with the folded keys' btree range and LIKE (its trigram
// indexes serve runs of three characters and more); every row it sends is then tested here with
// the file's own matcher, so the rows are exactly those a file dictionary gives.

#include "app/store/server/serverstorage.h"

#include "app/store/dictionary/bodytext.h"
#include "app/store/dictionary/schema.h"
#include "app/store/dictionary/viewertype.h"

#include "platform/postgres/transaction.h"
#include "platform/sqlite/likepattern.h"
#include "platform/text/fold.h"

#include <algorithm>
#include <map>

namespace qm::store {
namespace {

using pg::Params;
using pg::Result;
using sqlite::LikePattern;

// Rows asked for at once after the first batch of a walk.
constexpr int WalkBatch = 1000;

QByteArray placeholder(const Params &params)
{
    return "$" + QByteArray::number(params.count());
}

// The least text above every text that starts with `prefix` (code point order, which is the
// byte order of UTF-8); nothing when there is none.
std::optional<QString> prefixUpperBound(const QString &prefix)
{
    std::u32string points = text::codePoints(prefix);
    while (!points.empty()) {
        char32_t &last = points.back();
        if (last < 0x10FFFF) {
            last = last == 0xD7FF ? 0xE000 : last + 1;
            return QString::fromStdU32String(points);
        }
        points.pop_back();
    }
    return std::nullopt;
}

QString likeEscaped(const std::u32string &run)
{
    QString out;
    for (const char32_t c : run) {
        if (c == U'\\' || c == U'%' || c == U'_')
            out += QLatin1Char('\\');
        out += QString::fromStdU32String(std::u32string(1, c));
    }
    return out;
}

// A LIKE pattern every key matching `pattern` matches: its literal runs in order with any text
// between them. Empty when it would match everything.
QString widerLike(const LikePattern &pattern)
{
    const std::vector<std::u32string> runs = pattern.literalRuns();
    if (runs.empty())
        return {};
    QStringList parts;
    for (const std::u32string &run : runs)
        parts.append(likeEscaped(run));
    const QString inner = parts.join(QLatin1Char('%'));
    return (pattern.literalPrefix().isEmpty() ? QStringLiteral("%") : QString()) + inner + QLatin1Char('%');
}

// The server-side tests of a folded key column that narrow to (at least) the keys matching.
void narrowKey(Params &params, QByteArrayList &tests, const char *column, const LikePattern &pattern)
{
    const QString prefix = pattern.literalPrefix();
    if (!prefix.isEmpty()) {
        params.text(prefix);
        tests.append(column + QByteArray(" >= ") + placeholder(params));
        if (const std::optional<QString> upper = prefixUpperBound(prefix)) {
            params.text(*upper);
            tests.append(column + QByteArray(" < ") + placeholder(params));
        }
        if (pattern.isPurePrefix())
            return;
    }
    const QString like = widerLike(pattern);
    if (!like.isEmpty()) {
        params.text(like);
        tests.append(column + QByteArray(" LIKE ") + placeholder(params));
    }
}

QByteArray where(const QByteArrayList &tests)
{
    return tests.isEmpty() ? QByteArray() : " WHERE " + tests.join(" AND ");
}

// Every keyword walk reads these first (a KeywordMatch, the folded key, the row's id), then
// what it tests besides.
constexpr char KeywordColumns[] = "SELECT k.keyword, d.heading, d.viewer, k.document_number, k.keyword_key, k.id";
constexpr char KeywordTables[] = " FROM keyword AS k JOIN document AS d ON d.document_number = k.document_number";
constexpr char KeywordOrder[] = " ORDER BY k.keyword_key, k.document_number, k.keyword, k.id";

KeywordMatch keywordMatchAt(const Result &rows, int row)
{
    KeywordMatch m;
    m.Index = rows.text(row, 0);
    m.Heading = rows.text(row, 1);
    m.Viewer = quint8(rows.number(row, 2));
    m.DocumentNumber = qint32(rows.number(row, 3));
    return m;
}

// A condition with its patterns compiled and the types it admits (as the file's search reads it).
struct Condition {
    std::vector<LikePattern> keywords;
    std::vector<LikePattern> headings;
    std::vector<LikePattern> bodies;
    QStringList viewers;
};

std::optional<Condition> compile(const SearchCondition &condition)
{
    if (condition.isEmpty())
        return std::nullopt;
    Condition c;
    for (const SearchTerm &t : condition.terms) {
        if (t.text.isEmpty())
            continue;
        std::optional<LikePattern> p = LikePattern::compile(termPattern(t), LikePattern::StrayBracket::Literal);
        if (!p)
            continue;
        (t.field == SearchField::Keyword ? c.keywords : t.field == SearchField::Heading ? c.headings : c.bodies)
            .push_back(std::move(*p));
    }
    if (condition.viewer) {
        c.viewers = {QString::number(*condition.viewer)};
        if (*condition.viewer == viewerCode(Viewer::Ole))
            c.bodies.clear();
    } else {
        c.viewers = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")};
        if (!c.keywords.empty() || !c.headings.empty())
            c.viewers.append(QStringLiteral("5"));
    }
    return c;
}

bool allMatch(const std::vector<LikePattern> &patterns, const QString &key)
{
    return std::all_of(patterns.begin(), patterns.end(), [&](const LikePattern &p) { return p.matchesFolded(key); });
}

} // namespace

namespace {

// Builds a batch's statement from its WHERE clause (empty or " WHERE ...") and the placeholder
// of its row limit.
using BatchSql = std::function<QByteArray(const QByteArray &where, const QByteArray &limit)>;

// Hands the keyword rows of `sql` (in keyword order; the first columns as KeywordColumns) to
// `take` until it returns false. Batches in keyword order, each starting in the keyword index
// right after the last row (the row value compares as the order does). With a LIMIT the server
// plans each batch for the few rows it gives, a walk of the index or a trigram scan as the
// pattern narrows. Inside a read the caller holds, the batches share its snapshot. Otherwise
// the first batch, which is all most lookups need, is one statement on its own (no round trips
// to begin and end a transaction); the batches after it share a read transaction. A row is
// never listed twice or out of order either way, as each batch starts after the last row.
void walk(pg::Connection &connection, const BatchSql &sql, const QByteArrayList &tests, const Params &params,
          int firstBatch, const std::function<bool(const Result &, int)> &take)
{
    std::optional<pg::Transaction> read;
    std::optional<Params> after; // the last row's key, entry, keyword and id
    for (int batch = std::max(firstBatch, 16);; batch = WalkBatch) {
        if (after && !read && !connection.inTransaction())
            read.emplace(connection, pg::Transaction::Mode::ReadOnly);
        Params p = params;
        QByteArrayList all = tests;
        if (after) {
            QByteArrayList values;
            for (int i = 1; i <= after->count(); ++i)
                values.append("$" + QByteArray::number(p.count() + i));
            all.append("(k.keyword_key, k.document_number, k.keyword, k.id) > (" + values.join(", ") + ")");
            p.append(*after);
        }
        p.number(batch);
        const Result rows = connection.execPrepared(sql(where(all), placeholder(p)).constData(), p);
        bool going = true;
        for (int i = 0; going && i < rows.rows(); ++i)
            going = take(rows, i);
        if (!going || rows.rows() < batch)
            break;
        const int last = rows.rows() - 1;
        after = Params().text(rows.text(last, 4)).number(rows.number(last, 3)).text(rows.text(last, 0)).number(rows.number(last, 5));
    }
    if (read)
        read->commit();
}

// A keyword lookup's batch: the keyword rows are taken from the keyword index alone (an
// index-only walk of a range, or the trigram index's few rows) and put in order with their
// limit first; only the rows kept are then joined to their entries for the heading and type.
QByteArray keywordBatch(const QByteArray &where, const QByteArray &limit)
{
    return "SELECT k.keyword, d.heading, d.viewer, k.document_number, k.keyword_key, k.id "
           "FROM (SELECT k.keyword, k.document_number, k.keyword_key, k.id FROM keyword AS k"
           + where + KeywordOrder + " LIMIT " + limit
           + ") AS k JOIN document AS d ON d.document_number = k.document_number" + KeywordOrder;
}

// A contains lookup's batch when the server's trigram index serves the pattern: every keyword
// row the index leads to is read first and only then put in order. Left to itself, the planner
// may walk the whole keyword index in order instead and test each key, hoping to meet the
// list's rows early, which for a pattern of few rows means most of the index; this is the plan
// the file's own trigram lookup follows.
QByteArray trigramBatch(const QByteArray &where, const QByteArray &limit)
{
    return "WITH m AS MATERIALIZED (SELECT k.keyword, k.document_number, k.keyword_key, k.id FROM keyword AS k" + where
           + ") SELECT k.keyword, d.heading, d.viewer, k.document_number, k.keyword_key, k.id "
             "FROM (SELECT * FROM m AS k"
           + KeywordOrder + " LIMIT " + limit + ") AS k JOIN document AS d ON d.document_number = k.document_number"
           + KeywordOrder;
}

// True when the server's trigram index can narrow the pattern: one of its literal runs holds
// three letters or digits in a row (the characters the index takes its trigrams from).
bool trigramsServe(const LikePattern &pattern)
{
    for (const std::u32string &run : pattern.literalRuns()) {
        int inRow = 0;
        for (const char32_t c : run) {
            inRow = QChar::isLetterOrNumber(c) ? inRow + 1 : 0;
            if (inRow >= 3)
                return true;
        }
    }
    return false;
}

// The candidate rows of a contains lookup that are put in order here rather than by the server.
// Up to this many, the server only reads them through its trigram index and sends them as they
// come: ordering them there means holding them all in its memory and sorting them, which costs
// it more than sending them. Beyond it the server orders them and sends only the list's rows.
constexpr int OrderedHere = 5000;

// A keyword row as the server sent it: its row in the result, its entry, and the first eight
// bytes of its folded key, which decide most comparisons at once.
struct Candidate {
    quint64 head = 0;
    qint32 document = 0;
    int row = 0;
};

// In the order of the bytes (a text holds no NUL, so the zeros after a short key sort it first,
// as its end does).
quint64 leadingBytes(QByteArrayView bytes)
{
    quint64 head = 0;
    for (qsizetype i = 0; i < 8; ++i)
        head = head << 8 | (i < bytes.size() ? quint8(bytes[i]) : 0u);
    return head;
}

// The rows (key, entry, keyword, id) in the order of the keyword index: the folded key and the
// keyword in byte order, as COLLATE "C" compares them, then the entry and the id.
std::vector<Candidate> inKeywordOrder(const Result &rows)
{
    std::vector<Candidate> order(std::size_t(rows.rows()));
    for (int i = 0; i < rows.rows(); ++i)
        order[std::size_t(i)] = {leadingBytes(rows.view(i, 0)), qint32(rows.number(i, 1)), i};
    std::sort(order.begin(), order.end(), [&rows](const Candidate &a, const Candidate &b) {
        if (a.head != b.head)
            return a.head < b.head;
        if (const int c = rows.view(a.row, 0).compare(rows.view(b.row, 0)))
            return c < 0;
        if (a.document != b.document)
            return a.document < b.document;
        if (const int c = rows.view(a.row, 2).compare(rows.view(b.row, 2)))
            return c < 0;
        return rows.number(a.row, 3) < rows.number(b.row, 3);
    });
    return order;
}

// The heading and type of each entry numbered, read at once. An entry deleted since its
// keywords were read is missing.
std::map<qint32, std::pair<QString, quint8>> entriesShown(pg::Connection &connection, const std::vector<const Candidate *> &rows)
{
    // In order and once each, the server walks its index of entries from one to the next.
    std::vector<qint32> documents;
    documents.reserve(rows.size());
    for (const Candidate *r : rows)
        documents.push_back(r->document);
    std::sort(documents.begin(), documents.end());
    documents.erase(std::unique(documents.begin(), documents.end()), documents.end());
    const Result shown = connection.execPrepared(
        "SELECT document_number, heading, viewer FROM document WHERE document_number = ANY($1::integer[])",
        Params().numberArray(documents));
    std::map<qint32, std::pair<QString, quint8>> entries;
    for (int i = 0; i < shown.rows(); ++i)
        entries.emplace(qint32(shown.number(i, 0)), std::pair{shown.text(i, 1), quint8(shown.number(i, 2))});
    return entries;
}

// A contains lookup the trigram index narrows to few rows (see OrderedHere): the candidates are
// put in keyword order and tested with the file's matcher here, and only the entries of the rows
// kept are read for their heading and type. Nothing when the candidates are too many.
std::optional<int> containsOrderedHere(pg::Connection &connection, const QByteArrayList &tests, const Params &params,
                                       const LikePattern &pattern, int limit, const KeywordSink &sink)
{
    Params p = params;
    p.number(OrderedHere + 1);
    const QByteArray sql =
        "SELECT k.keyword_key, k.document_number, k.keyword, k.id FROM keyword AS k" + where(tests) + " LIMIT " + placeholder(p);
    const Result rows = connection.execPrepared(sql.constData(), p);
    if (rows.rows() > OrderedHere)
        return std::nullopt;
    const std::vector<Candidate> order = inKeywordOrder(rows);
    int count = 0;
    auto next = order.cbegin();
    // More rows are taken when an entry was deleted between the two reads.
    while (count < limit && next != order.cend()) {
        std::vector<const Candidate *> kept;
        for (; next != order.cend() && int(kept.size()) < limit - count; ++next)
            if (pattern.matchesFolded(rows.text(next->row, 0)))
                kept.push_back(&*next);
        if (kept.empty())
            break;
        const std::map<qint32, std::pair<QString, quint8>> shown = entriesShown(connection, kept);
        for (const Candidate *row : kept) {
            const auto entry = shown.find(row->document);
            if (entry == shown.end())
                continue;
            sink(KeywordMatch{rows.text(row->row, 2), entry->second.first, entry->second.second, row->document});
            ++count;
        }
    }
    return count;
}

} // namespace

void ServerDictionary::walkRows(const QByteArray &select, const QByteArrayList &tests, const Params &params,
                                int firstBatch, const std::function<bool(const Result &, int)> &take)
{
    const BatchSql sql = [&](const QByteArray &where, const QByteArray &limit) -> QByteArray {
        return select + where + KeywordOrder + " LIMIT " + limit;
    };
    walk(*m_connection, sql, tests, params, firstBatch, take);
}

int ServerDictionary::searchKeyword(const LikePattern &pattern, int limit, const KeywordSink &sink)
{
    if (limit <= 0)
        return 0;
    return guarded([&] {
        Params params;
        QByteArrayList tests;
        narrowKey(params, tests, "k.keyword_key", pattern);
        // The range of a pure prefix holds exactly the keys that match: no row is tested here.
        const bool exact = pattern.isPurePrefix() && !pattern.literalPrefix().isEmpty();
        const bool contains = pattern.literalPrefix().isEmpty() && trigramsServe(pattern);
        if (contains)
            if (const std::optional<int> count = containsOrderedHere(*m_connection, tests, params, pattern, limit, sink))
                return *count;
        int count = 0;
        walk(*m_connection, contains ? trigramBatch : keywordBatch, tests, params, limit, [&](const Result &rows, int row) {
            if (exact || pattern.matchesFolded(rows.text(row, 4))) {
                sink(keywordMatchAt(rows, row));
                ++count;
            }
            return count < limit;
        });
        return count;
    });
}

int ServerDictionary::searchCondition(const SearchCondition &condition, int limit, const KeywordSink &sink)
{
    if (limit <= 0)
        return 0;
    const std::optional<Condition> c = compile(condition);
    if (!c)
        return 0;
    const std::vector<KeywordMatch> found = guarded([&] {
        Params params;
        QByteArrayList tests;
        params.utf8("{" + c->viewers.join(QLatin1Char(',')).toLatin1() + "}");
        tests.append("d.viewer = ANY(" + placeholder(params) + "::smallint[])");
        for (const LikePattern &p : c->keywords)
            narrowKey(params, tests, "k.keyword_key", p);
        for (const LikePattern &p : c->headings)
            narrowKey(params, tests, "d.heading_key", p);
        for (const LikePattern &p : c->bodies) {
            // A rich-text body whose text was never read is read here, as the file does.
            QByteArrayList body;
            narrowKey(params, body, "d.text_key", p);
            if (!body.isEmpty())
                tests.append("(d.viewer = 5 OR (d.viewer = 2 AND d.text_key IS NULL) OR (" + body.join(" AND ") + "))");
        }
        const QByteArray select = KeywordColumns + QByteArray(", d.heading_key, d.text_key, "
                                                              "CASE WHEN d.viewer = 2 AND d.text_key IS NULL THEN d.body END")
                                  + KeywordTables;
        std::vector<KeywordMatch> rows;
        std::map<qint32, QString> readTexts;
        const auto bodyKey = [&](const Result &r, int row) {
            if (!r.isNull(row, 7) || r.isNull(row, 8))
                return r.text(row, 7);
            const qint32 number = qint32(r.number(row, 3));
            const auto at = readTexts.find(number);
            if (at != readTexts.end())
                return at->second;
            return readTexts[number] = bodySearchKey(viewerCode(Viewer::RichText), r.bytes(row, 8), m_options.richText);
        };
        walkRows(select, tests, params, limit, [&](const Result &r, int row) {
            bool ok = allMatch(c->keywords, r.text(row, 4)) && allMatch(c->headings, r.text(row, 6));
            if (ok && !c->bodies.empty() && r.number(row, 2) != viewerCode(Viewer::Ole)) {
                const QString key = bodyKey(r, row);
                ok = !key.isNull() && allMatch(c->bodies, key);
            }
            if (ok)
                rows.push_back(keywordMatchAt(r, row));
            return int(rows.size()) < limit;
        });
        return rows;
    });
    for (const KeywordMatch &m : found)
        sink(m);
    return int(found.size());
}

// The entries for the heading grid in batches, each starting after the last row read (as
// HeadingList does for a file).
class ServerHeadingCursor final : public HeadingCursor
{
public:
    ServerHeadingCursor(ServerDictionary &dictionary, HeadingOrder order, bool descending)
        : m_dictionary(dictionary)
        , m_order(order)
        , m_descending(descending && order != HeadingOrder::Entry)
        , m_stage(order == HeadingOrder::RenewalDate && !m_descending ? Stage::Nulls : Stage::Values)
    {
    }

    std::vector<HeadingRow> next(int count) override
    {
        std::vector<HeadingRow> rows;
        while (int(rows.size()) < count && m_stage != Stage::Done) {
            const int wanted = count - int(rows.size());
            std::vector<HeadingRow> part = m_dictionary.guarded([&] { return read(wanted); });
            const bool exhausted = int(part.size()) < wanted;
            std::move(part.begin(), part.end(), std::back_inserter(rows));
            if (exhausted)
                advance();
        }
        return rows;
    }

    bool atEnd() const override { return m_stage == Stage::Done; }

private:
    // Entries without a renewal date come first ascending and last descending.
    enum class Stage { Values, Nulls, Done };

    QByteArray column() const
    {
        switch (m_order) {
        case HeadingOrder::Entry: return "document_number";
        case HeadingOrder::Heading: return "heading_key";
        case HeadingOrder::Viewer: return "viewer";
        case HeadingOrder::RenewalDate: return "renewal_date";
        }
        return "document_number";
    }

    void advance()
    {
        m_started = false;
        if (m_stage == Stage::Nulls)
            m_stage = m_descending ? Stage::Done : Stage::Values;
        else if (m_stage == Stage::Values)
            m_stage = m_order == HeadingOrder::RenewalDate && m_descending ? Stage::Nulls : Stage::Done;
    }

    std::vector<HeadingRow> read(int count)
    {
        const QByteArray by = column();
        const QByteArray direction = m_descending ? " DESC" : "";
        const bool byNumber = m_order == HeadingOrder::Entry || m_stage == Stage::Nulls;
        Params params;
        QByteArrayList tests;
        if (m_stage == Stage::Nulls)
            tests.append(by + " IS NULL");
        QByteArray order;
        if (byNumber) {
            if (m_started) {
                params.number(m_lastNumber);
                tests.append(QByteArray("document_number ") + (m_descending ? "< " : "> ") + placeholder(params));
            }
            order = " ORDER BY document_number" + direction;
        } else {
            if (m_started) {
                params.text(m_lastValue);
                const QByteArray value = placeholder(params);
                params.number(m_lastNumber);
                tests.append("(" + by + ", document_number) " + (m_descending ? "< (" : "> (") + value + ", "
                             + placeholder(params) + ")");
            } else {
                tests.append(by + " IS NOT NULL");
            }
            order = " ORDER BY " + by + direction + ", document_number" + direction;
        }
        params.number(count);
        const QByteArray sql = "SELECT document_number, heading, viewer, renewal_date, " + by + "::text AS order_value FROM document"
                               + where(tests) + order + " LIMIT " + placeholder(params);
        const Result r = m_dictionary.m_connection->exec(sql.constData(), params);
        std::vector<HeadingRow> rows;
        for (int i = 0; i < r.rows(); ++i) {
            HeadingRow row;
            row.DocumentNumber = qint32(r.number(i, 0));
            row.Heading = r.text(i, 1);
            row.Viewer = quint8(r.number(i, 2));
            row.ViewerType = ViewerTypeName(row.Viewer);
            row.RenewalDate = QDateTime::fromString(r.text(i, 3), QString::fromLatin1(schema::DateFormat));
            m_lastValue = r.text(i, 4);
            m_lastNumber = row.DocumentNumber;
            m_started = true;
            rows.push_back(std::move(row));
        }
        return rows;
    }

    ServerDictionary &m_dictionary;
    HeadingOrder m_order;
    bool m_descending;
    Stage m_stage;
    bool m_started = false;
    QString m_lastValue;
    qint32 m_lastNumber = 0;
};

std::unique_ptr<HeadingCursor> ServerDictionary::headings(HeadingOrder order, bool descending)
{
    return std::make_unique<ServerHeadingCursor>(*this, order, descending);
}

} // namespace qm::store
