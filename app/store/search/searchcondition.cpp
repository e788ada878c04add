// The condition search: the condition as a structure, the text the result list shows for it,
// and the statements that run it on one dictionary.

#include "app/store/search/searchcondition.h"

#include "app/store/dictionary/dictionaryfile.h"
#include "app/store/search/dictionarysearcher.h"
#include "app/store/search/searchtables.h"
#include "app/store/dictionary/viewertype.h"

#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/statement.h"
#include "platform/text/cp932.h"
#include "platform/text/fold.h"

#include <QScopeGuard>

#include <variant>

namespace qm::store {
namespace {

using sqlite::LikePattern;
using sqlite::Statement;

bool hasText(const SearchTerm &t)
{
    return !t.text.isEmpty();
}

// --- The text shown in the result list -----------------------------------------------------

QString quotedPattern(const SearchTerm &t)
{
    return QLatin1Char('"') + termPattern(t) + QLatin1Char('"');
}

// A rich-text body stores every double-byte character as two escapes of its bytes (U+65E5 is
// \'93\'fa in the body); the shown pattern writes them so, in capitals.
QString quotedRichTextPattern(const SearchTerm &t)
{
    QString escaped;
    for (char32_t c : text::codePoints(t.text)) {
        const text::cp932::CharBytes bytes = text::cp932::encodeChar(c);
        if (bytes.size == 2) {
            const auto hex = [](std::uint8_t b) { return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper(); };
            escaped += QStringLiteral("\\'") + hex(bytes.bytes[0]) + QStringLiteral("\\'") + hex(bytes.bytes[1]);
        } else {
            escaped += QString::fromUcs4(&c, 1);
        }
    }
    return QStringLiteral("\"*") + escaped + QStringLiteral("*\"");
}

// " AND (a AND b ...)" of the terms that count, or empty.
QString fieldConditions(const std::vector<SearchTerm> &terms, bool richText, bool bodies)
{
    QStringList parts;
    for (const SearchTerm &t : terms) {
        if (!hasText(t))
            continue;
        switch (t.field) {
        case SearchField::Keyword: parts.append(QStringLiteral("Index LIKE ") + quotedPattern(t)); break;
        case SearchField::Heading: parts.append(QStringLiteral("Heading LIKE ") + quotedPattern(t)); break;
        case SearchField::Body:
            if (bodies)
                parts.append(QStringLiteral("Document LIKE ")
                             + (richText ? quotedRichTextPattern(t) : quotedPattern(t)));
            break;
        }
    }
    if (parts.isEmpty())
        return {};
    return QStringLiteral(" AND (") + parts.join(QStringLiteral(" AND ")) + QLatin1Char(')');
}

// --- Running it -----------------------------------------------------------------------------

// The most entries whose keyword rows are read and sorted when the entry terms alone narrow the
// search; beyond, the keyword index is walked in order and stops at the row limit.
constexpr qint64 EntryLimit = 2000;

// The condition with its patterns compiled and the viewer types it admits.
struct CompiledCondition {
    std::vector<LikePattern> keywords;
    std::vector<LikePattern> headings;
    std::vector<LikePattern> bodies;
    std::vector<int> viewers; // ascending; all five when the type does not narrow
};

std::optional<CompiledCondition> compileCondition(const SearchCondition &condition)
{
    if (condition.isEmpty())
        return std::nullopt;
    CompiledCondition c;
    for (const SearchTerm &t : condition.terms) {
        if (!hasText(t))
            continue;
        std::optional<LikePattern> p = LikePattern::compile(termPattern(t), LikePattern::StrayBracket::Literal);
        if (!p)
            continue; // cannot happen: every text reads as a pattern
        switch (t.field) {
        case SearchField::Keyword: c.keywords.push_back(std::move(*p)); break;
        case SearchField::Heading: c.headings.push_back(std::move(*p)); break;
        case SearchField::Body: c.bodies.push_back(std::move(*p)); break;
        }
    }
    if (condition.viewer) {
        c.viewers = {int(*condition.viewer)};
        if (*condition.viewer == quint8(Viewer::Ole))
            c.bodies.clear();
    } else {
        c.viewers = {1, 2, 3, 4};
        if (!c.keywords.empty() || !c.headings.empty())
            c.viewers.push_back(int(Viewer::Ole));
    }
    return c;
}

// A statement put together from fixed pieces; every text from the user is a bound value.
class Query final
{
public:
    QByteArray sql;

    QByteArray value(const QString &v) { return add(v); }
    QByteArray utf8Value(const QByteArray &v) { return add(v); }
    QByteArray value(qint64 v) { return add(v); }
    // A compiled pattern for qm_like and qm_body_like, used by the engine as it is; it must
    // outlive the statement's run.
    QByteArray pattern(const LikePattern &p) { return add(&p); }
    // A list for qm_rows(?); one per query.
    QByteArray rowsValue(std::vector<qint64> rows) { return add(std::move(rows)); }

    void bindTo(Statement &st) const
    {
        for (std::size_t i = 0; i < m_values.size(); ++i) {
            const int n = int(i) + 1;
            if (const auto *text = std::get_if<QString>(&m_values[i]))
                st.bind(n, *text);
            else if (const auto *bytes = std::get_if<QByteArray>(&m_values[i]))
                st.bindUtf8(n, *bytes);
            else if (const auto *rows = std::get_if<std::vector<qint64>>(&m_values[i]))
                st.bindRows(n, *rows);
            else if (const auto *p = std::get_if<const LikePattern *>(&m_values[i]))
                st.bindPattern(n, **p);
            else
                st.bind(n, std::get<qint64>(m_values[i]));
        }
    }

private:
    using Value = std::variant<QString, QByteArray, qint64, std::vector<qint64>, const LikePattern *>;
    QByteArray add(Value v)
    {
        m_values.push_back(std::move(v));
        return QByteArray("?") + QByteArray::number(qsizetype(m_values.size()));
    }
    std::vector<Value> m_values;
};

constexpr char ResultColumns[] = "SELECT i.\"Index\", d.Heading, d.Viewer, i.DocumentNumber ";
constexpr char KeywordOrder[] = " ORDER BY i.IndexKey, i.DocumentNumber, i.\"Index\", i.rowid LIMIT ";

// One condition search on one dictionary. The plan follows what narrows the search most
// cheaply: literal text in front of a keyword term (a range of the keyword index, walked in
// order), a keyword term the trigram index narrows to few rows, or else the entry terms (the
// entries are found first, then their keyword rows).
class ConditionRun final
{
public:
    ConditionRun(DictionarySearcher &searcher, const CompiledCondition &condition, int limit)
        : m_searcher(searcher)
        , m_db(searcher.file().database())
        , m_c(condition)
        , m_limit(limit)
    {
    }

    std::vector<KeywordMatch> run()
    {
        if (hasPrefixTerm())
            return select(keywordWalk(true));
        if (std::optional<std::vector<qint64>> rows = narrowTrigramRows()) {
            try {
                return select(trigramCandidates(std::move(*rows)));
            } catch (const sqlite::Error &) {
                // A failing index is passed over; the plans below find the same rows.
            }
        }
        if (hasEntryTerms())
            return byEntries();
        return select(keywordWalk(false));
    }

private:
    bool hasEntryTerms() const
    {
        return m_c.viewers.size() < 5 || !m_c.headings.empty() || !m_c.bodies.empty();
    }

    bool hasPrefixTerm() const
    {
        return std::any_of(m_c.keywords.begin(), m_c.keywords.end(),
                           [](const LikePattern &p) { return !p.literalPrefix().isEmpty(); });
    }

    // The rows the trigram index names for the keyword term it narrows most, if they are few
    // (their rowids).
    std::optional<std::vector<qint64>> narrowTrigramRows()
    {
        if (!m_searcher.file().hasSearchTables())
            return std::nullopt;
        std::optional<std::vector<qint64>> best;
        for (const LikePattern &p : m_c.keywords) {
            std::optional<std::vector<qint64>> rows;
            try {
                rows = m_searcher.trigramRows(p, searchtables::CandidateLimit);
            } catch (const sqlite::Error &) {
                return std::nullopt;
            }
            if (rows && (!best || rows->size() < best->size()))
                best = std::move(rows);
        }
        return best;
    }

    // A test of a folded key: its range where the pattern starts with literal text, and the
    // pattern itself unless the range alone decides.
    void keyTest(Query &q, QByteArrayList &tests, const char *column, const LikePattern &p) const
    {
        if (!p.literalPrefix().isEmpty()) {
            const QByteArray prefix = p.literalPrefix().toUtf8();
            tests.append(column + QByteArray(" >= ") + q.utf8Value(prefix));
            tests.append(column + QByteArray(" < ") + q.utf8Value(sqlite::prefixUpperBound(prefix)));
            if (p.isPurePrefix())
                return;
        }
        tests.append("qm_like(" + q.pattern(p) + ", " + column + ")");
    }

    void keywordTests(Query &q, QByteArrayList &tests) const
    {
        for (const LikePattern &p : m_c.keywords)
            keyTest(q, tests, "i.IndexKey", p);
    }

    // The tests of an entry, on `d` (and `t`, its body text, joined by bodyTextJoin()).
    void entryTests(Query &q, QByteArrayList &tests) const
    {
        if (m_c.viewers.size() < 5) {
            QByteArrayList codes;
            for (int v : m_c.viewers)
                codes.append(QByteArray::number(v));
            tests.append("d.Viewer IN (" + codes.join(", ") + ")");
        }
        for (const LikePattern &p : m_c.headings)
            keyTest(q, tests, "d.HeadingKey", p);
        // An object is never matched on its body; where objects are admitted at all (keyword or
        // heading terms), body terms do not apply to them.
        const QByteArray text = m_searcher.file().hasSearchTables() ? "t.TextKey" : "NULL";
        for (const LikePattern &p : m_c.bodies)
            tests.append("(d.Viewer = 5 OR qm_body_like(" + q.pattern(p) + ", d.Viewer, d.Document, " + text + "))");
    }

    QByteArray bodyTextJoin() const
    {
        return !m_c.bodies.empty() && m_searcher.file().hasSearchTables()
                   ? " LEFT JOIN DocumentText AS t ON t.DocumentNumber = d.DocumentNumber"
                   : "";
    }

    static QByteArray where(const QByteArrayList &tests)
    {
        return tests.isEmpty() ? QByteArray() : " WHERE " + tests.join(" AND ");
    }

    // Walks the keyword index in order (a range of it for a prefix), testing every term on the
    // way; stops at the limit.
    Query keywordWalk(bool withEntryTests) const
    {
        Query q;
        QByteArrayList tests;
        keywordTests(q, tests);
        if (withEntryTests)
            entryTests(q, tests);
        q.sql = ResultColumns + QByteArray("FROM \"Index\" AS i INDEXED BY Index_Index "
                                           "INNER JOIN Document AS d ON d.DocumentNumber = i.DocumentNumber")
                + bodyTextJoin() + where(tests) + KeywordOrder + q.value(qint64(m_limit));
        return q;
    }

    // The rows the trigram index named (their rowids), tested and sorted.
    Query trigramCandidates(std::vector<qint64> rows) const
    {
        Query q;
        QByteArrayList tests;
        q.sql = ResultColumns + QByteArray("FROM qm_rows(") + q.rowsValue(std::move(rows))
                + ") AS m CROSS JOIN \"Index\" AS i ON i.rowid = m.value "
                  "INNER JOIN Document AS d ON d.DocumentNumber = i.DocumentNumber"
                + bodyTextJoin();
        keywordTests(q, tests);
        entryTests(q, tests);
        q.sql += where(tests) + KeywordOrder + q.value(qint64(m_limit));
        return q;
    }

    // The entries that meet the entry terms go into a temporary table first, each tested once;
    // then their keyword rows are read and sorted when they are few, or the keyword index is
    // walked in order, keeping the rows of those entries.
    std::vector<KeywordMatch> byEntries()
    {
        m_db.exec("CREATE TEMP TABLE IF NOT EXISTS qm_found (DocumentNumber INTEGER PRIMARY KEY)");
        m_db.exec("DELETE FROM temp.qm_found");
        const auto clear = qScopeGuard([this] {
            try {
                m_db.exec("DELETE FROM temp.qm_found");
            } catch (const sqlite::Error &) {
            }
        });
        Query found;
        QByteArrayList tests;
        // The body index names the entries whose bodies can hold the text; only those are read.
        std::optional<std::vector<qint64>> candidates = m_searcher.bodyCandidates(m_c.bodies);
        if (candidates && candidates->empty())
            return {};
        found.sql = "INSERT INTO temp.qm_found (DocumentNumber) SELECT d.DocumentNumber FROM ";
        if (candidates)
            found.sql += "qm_rows(" + found.rowsValue(std::move(*candidates))
                         + ") AS c CROSS JOIN Document AS d ON d.DocumentNumber = c.value";
        else
            found.sql += "Document AS d";
        entryTests(found, tests);
        found.sql += bodyTextJoin() + where(tests);
        run(found);
        const qint64 entries = m_db.changes();
        if (entries == 0)
            return {};

        Query q;
        QByteArrayList keywordOnly;
        if (entries <= EntryLimit) {
            q.sql = ResultColumns + QByteArray("FROM temp.qm_found AS f CROSS JOIN \"Index\" AS i "
                                               "ON i.DocumentNumber = f.DocumentNumber ");
        } else {
            q.sql = ResultColumns + QByteArray("FROM \"Index\" AS i INDEXED BY Index_Index ");
            keywordOnly.append("i.DocumentNumber IN (SELECT DocumentNumber FROM temp.qm_found)");
        }
        q.sql += "INNER JOIN Document AS d INDEXED BY Index_DocumentHeading ON d.DocumentNumber = i.DocumentNumber";
        keywordTests(q, keywordOnly);
        q.sql += where(keywordOnly) + KeywordOrder + q.value(qint64(m_limit));
        return select(q);
    }

    void run(const Query &q)
    {
        Statement st(m_db, q.sql.constData());
        q.bindTo(st);
        st.run();
    }

    std::vector<KeywordMatch> select(const Query &q)
    {
        Statement st(m_db, q.sql.constData());
        q.bindTo(st);
        std::vector<KeywordMatch> rows;
        while (st.step())
            rows.push_back(keywordMatchAt(st));
        return rows;
    }

    DictionarySearcher &m_searcher;
    sqlite::Database &m_db;
    const CompiledCondition &m_c;
    int m_limit;
};

} // namespace

int DictionarySearcher::searchCondition(const SearchCondition &condition, int limit, const KeywordSink &sink)
{
    m_file.followReplacement();
    if (limit <= 0)
        return 0;
    const std::optional<CompiledCondition> compiled = compileCondition(condition);
    if (!compiled)
        return 0;
    // The rows are all read before any is handed over, so a plan that fails part way (a damaged
    // trigram index) can give way to another without listing a row twice.
    const std::vector<KeywordMatch> rows = ConditionRun(*this, *compiled, limit).run();
    for (const KeywordMatch &m : rows)
        sink(m);
    return int(rows.size());
}

bool SearchCondition::isEmpty() const
{
    return !viewer && std::none_of(terms.begin(), terms.end(), hasText);
}

QString SearchCondition::text() const
{
    const QString keys = fieldConditions(terms, false, false);
    if (viewer) {
        const QString head = QStringLiteral("Viewer=") + QString::number(*viewer);
        if (*viewer == quint8(Viewer::Ole))
            return head + keys;
        return head + fieldConditions(terms, *viewer == quint8(Viewer::RichText), true);
    }
    const QString plain = fieldConditions(terms, false, true);
    if (plain.isEmpty())
        return {};
    QString out = QStringLiteral("((Viewer=1 OR Viewer=3 OR Viewer=4)") + plain + QStringLiteral(") OR ")
                  + QStringLiteral("(Viewer=2") + fieldConditions(terms, true, true) + QLatin1Char(')');
    if (!keys.isEmpty())
        out += QStringLiteral(" OR (Viewer=5") + keys + QLatin1Char(')');
    return out;
}

QString termPattern(const SearchTerm &term)
{
    switch (term.mode) {
    case MatchMode::Prefix: return term.text + QLatin1Char('*');
    case MatchMode::Suffix: return QLatin1Char('*') + term.text;
    case MatchMode::Contains: break;
    }
    return QLatin1Char('*') + term.text + QLatin1Char('*');
}

} // namespace qm::store
