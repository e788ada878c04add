// Reading and writing entries and their keywords.

#include "dictionary.h"

#include "schema.h"
#include "viewertype.h"

#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/statement.h"
#include "platform/sqlite/transaction.h"
#include "platform/text/fold.h"

#include <QScopeGuard>

#include <sqlite3.h>

namespace qm::store {
namespace {

using sqlite::Error;
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
    const auto mib = [](qint64 n) { return QString::number((n + (1 << 20) - 1) >> 20); };
    return Error(Error::Kind::TooLarge, SQLITE_TOOBIG,
                 QStringLiteral("本文が大きすぎるため扱えません（%1 MB、上限 %2 MB）")
                     .arg(mib(bytes), mib(MaxBodyBytes)));
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
    doc.bind(1, int(entry.Viewer)).bind(2, entry.Heading).bindBlob(3, entry.Document);
    doc.bind(4, formatDate(entry.RenewalDate)).bind(5, text::fold(entry.Heading));
    if (!doc.step())
        throw Error(Error::Kind::General, SQLITE_ERROR, QStringLiteral("the new entry has no number"));
    number = doc.toInt(0);
    doc.run();
    for (const QString &keyword : keywords)
        addKeyword(number, keyword);
}

qint32 Dictionary::addEntry(const Entry &entry, const QStringList &keywords)
{
    requireWritable();
    sqlite::Transaction tx(m_db);
    qint32 number = 0;
    insertEntry(entry, keywords, number);
    tx.commit();
    return number;
}

void Dictionary::addEntries(const std::vector<NewEntry> &entries)
{
    requireWritable();
    sqlite::Transaction tx(m_db);
    qint32 number = 0;
    for (const NewEntry &e : entries)
        insertEntry(e.entry, e.keywords, number);
    tx.commit();
}

bool Dictionary::updateEntry(const Entry &entry)
{
    requireWritable();
    requireStorable(entry);
    Statement st(m_db, "UPDATE Document SET Viewer = ?2, Heading = ?3, Document = ?4, RenewalDate = ?5, "
                       "HeadingKey = ?6 WHERE DocumentNumber = ?1");
    st.bind(1, entry.DocumentNumber).bind(2, int(entry.Viewer)).bind(3, entry.Heading);
    st.bindBlob(4, entry.Document).bind(5, formatDate(entry.RenewalDate)).bind(6, text::fold(entry.Heading));
    st.run();
    return m_db.changes() > 0;
}

bool Dictionary::deleteEntry(qint32 documentNumber)
{
    requireWritable();
    sqlite::Transaction tx(m_db);
    Statement st(m_db, "DELETE FROM Document WHERE DocumentNumber = ?1");
    st.bind(1, documentNumber);
    st.run();
    const bool deleted = m_db.changes() > 0;
    tx.commit();
    return deleted;
}

QStringList Dictionary::keywords(qint32 documentNumber)
{
    Statement st(m_db, "SELECT \"Index\" FROM \"Index\" WHERE DocumentNumber = ?1 ORDER BY rowid");
    st.bind(1, documentNumber);
    QStringList out;
    while (st.step())
        out.append(st.toText(0));
    return out;
}

void Dictionary::addKeyword(qint32 documentNumber, const QString &keyword)
{
    requireWritable();
    Statement &st = cachedStatement("INSERT INTO \"Index\" (\"Index\", DocumentNumber, IndexKey) VALUES (?1, ?2, ?3)");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    st.bind(1, keyword).bind(2, documentNumber).bind(3, text::fold(keyword));
    st.run();
}

bool Dictionary::deleteKeyword(qint32 documentNumber, const QString &keyword)
{
    requireWritable();
    Statement st(m_db, "DELETE FROM \"Index\" WHERE rowid = (SELECT rowid FROM \"Index\" "
                       "WHERE DocumentNumber = ?1 AND \"Index\" = ?2 ORDER BY rowid LIMIT 1)");
    st.bind(1, documentNumber).bind(2, keyword);
    st.run();
    return m_db.changes() > 0;
}

int Dictionary::searchKeyword(const sqlite::LikePattern &pattern, int limit,
                              const std::function<void(const KeywordMatch &)> &sink)
{
    if (limit <= 0)
        return 0;
    const bool ranged = !pattern.literalPrefix().isEmpty();
    Statement &st = cachedStatement(keywordLookupSql(pattern));
    // Reset however the loop ends, so the file is not held by an unfinished read.
    const auto release = qScopeGuard([&st] { st.reset(); });
    if (ranged) {
        const QByteArray prefix = pattern.literalPrefix().toUtf8();
        st.bindUtf8(1, prefix).bindUtf8(2, sqlite::prefixUpperBound(prefix));
    }
    if (!(ranged && pattern.isPurePrefix()))
        st.bind(3, pattern.source());
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
