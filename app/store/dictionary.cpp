#include "dictionary.h"

#include "schema.h"
#include "viewertype.h"

#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/statement.h"
#include "platform/sqlite/transaction.h"
#include "platform/text/fold.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <sqlite3.h>

namespace qm::store {
namespace {

using sqlite::Error;
using sqlite::Statement;

enum class PropertyType { Text, Boolean, Long };

QString typeName(PropertyType t)
{
    switch (t) {
    case PropertyType::Text: return QStringLiteral("Text");
    case PropertyType::Boolean: return QStringLiteral("Boolean");
    case PropertyType::Long: return QStringLiteral("Long");
    }
    return {};
}

void createProperty(sqlite::Database &db, const QString &name, PropertyType type, const QVariant &value)
{
    Statement st(db, "INSERT INTO Properties (Name, Type, Value) VALUES (?1, ?2, ?3)");
    st.bind(1, name).bind(2, typeName(type));
    if (type == PropertyType::Text)
        st.bind(3, value.toString());
    else
        st.bind(3, qint64(value.toLongLong()));
    st.run();
}

QString spaceIfEmpty(const QString &s)
{
    return s.isEmpty() ? QStringLiteral(" ") : s;
}

QString formatDate(const QDateTime &date)
{
    return date.isValid() ? date.toString(QString::fromLatin1(schema::DateFormat)) : QString();
}

QDateTime parseDate(const QString &text)
{
    return QDateTime::fromString(text, QString::fromLatin1(schema::DateFormat));
}

void requireViewer(quint8 viewer)
{
    if (!isViewerCode(viewer))
        throw Error(Error::Kind::General, SQLITE_CONSTRAINT,
                    QStringLiteral("viewer type %1 does not exist").arg(viewer));
}

} // namespace

Dictionary::Dictionary(const QString &path)
    : m_db(path, sqlite::Database::OpenMode::ReadWrite)
{
    if (!schema::isOurs(m_db))
        throw Error(Error::Kind::NotDictionary, SQLITE_NOTADB,
                    QStringLiteral("not a dictionary: %1").arg(path));
}

Dictionary::~Dictionary() = default;

void Dictionary::CreateDictionary(const QString &fileName, const QString &dictionaryName,
                                  const QString &author, const QString &comment,
                                  const std::array<bool, 3> &locks)
{
    const bool existed = QFileInfo::exists(fileName);
    try {
        sqlite::Database db(fileName, sqlite::Database::OpenMode::Create);
        sqlite::Transaction tx(db);
        schema::create(db);
        Statement viewers(db, "INSERT INTO ViewerType (ViewerNumber, ViewerType) VALUES (?1, ?2)");
        for (int code = FirstViewer; code <= LastViewer; ++code) {
            viewers.bind(1, code).bind(2, ViewerTypeName(code));
            viewers.run();
            viewers.reset();
        }
        createProperty(db, QStringLiteral("QuillmereDatabase"), PropertyType::Text, QStringLiteral("1.00"));
        createProperty(db, QStringLiteral("DictionaryName"), PropertyType::Text, dictionaryName);
        createProperty(db, QStringLiteral("DictionaryNameLock"), PropertyType::Boolean, locks[0]);
        createProperty(db, QStringLiteral("Author"), PropertyType::Text, spaceIfEmpty(author));
        createProperty(db, QStringLiteral("AuthorLock"), PropertyType::Boolean, locks[1]);
        createProperty(db, QStringLiteral("Comment"), PropertyType::Text, spaceIfEmpty(comment));
        createProperty(db, QStringLiteral("CommentLock"), PropertyType::Boolean, locks[2]);
        createProperty(db, QStringLiteral("IndexRecordCount"), PropertyType::Long, 0);
        createProperty(db, QStringLiteral("DocumentRecordCount"), PropertyType::Long, 0);
        tx.commit();
    } catch (const Error &) {
        // A file that was not there before is the remains of this attempt, not a dictionary.
        if (!existed) {
            QFile::remove(fileName);
            QFile::remove(fileName + QStringLiteral("-journal"));
        }
        throw;
    }
}

bool Dictionary::IsDictionaryFile(const QString &fileName)
{
    try {
        if (!QFileInfo(fileName).isFile())
            return false;
        sqlite::Database db(fileName, sqlite::Database::OpenMode::ReadOnly);
        if (!schema::isOurs(db))
            return false;
        Statement check(db, "PRAGMA quick_check");
        if (!check.step() || check.toText(0) != QLatin1String("ok"))
            return false;
        Statement marker(db, "SELECT 1 FROM Properties WHERE Name = 'QuillmereDatabase'");
        return marker.step();
    } catch (const Error &) {
        return false;
    }
}

QVariant Dictionary::property(const QString &name)
{
    Statement st(m_db, "SELECT Type, Value FROM Properties WHERE Name = ?1");
    st.bind(1, name);
    if (!st.step())
        throw Error(Error::Kind::General, SQLITE_NOTFOUND, QStringLiteral("property not found: %1").arg(name));
    const QString type = st.toText(0);
    if (type == typeName(PropertyType::Boolean))
        return QVariant(st.toInt64(1) != 0);
    if (type == typeName(PropertyType::Long))
        return QVariant(st.toInt(1));
    return QVariant(st.toText(1));
}

void Dictionary::setProperty(const QString &name, const QVariant &value)
{
    Statement type(m_db, "SELECT Type FROM Properties WHERE Name = ?1");
    type.bind(1, name);
    if (!type.step())
        throw Error(Error::Kind::General, SQLITE_NOTFOUND, QStringLiteral("property not found: %1").arg(name));
    const bool isText = type.toText(0) == typeName(PropertyType::Text);
    Statement st(m_db, "UPDATE Properties SET Value = ?2 WHERE Name = ?1");
    st.bind(1, name);
    if (isText)
        st.bind(2, value.toString());
    else
        st.bind(2, qint64(value.toLongLong()));
    st.run();
}

std::optional<Entry> Dictionary::document(qint32 documentNumber)
{
    Statement st(m_db, "SELECT DocumentNumber, Viewer, Heading, Document, RenewalDate "
                       "FROM Document WHERE DocumentNumber = ?1");
    st.bind(1, documentNumber);
    if (!st.step())
        return std::nullopt;
    Entry e;
    e.DocumentNumber = st.toInt(0);
    e.Viewer = quint8(st.toInt(1));
    e.Heading = st.toText(2);
    e.Document = st.toBlob(3);
    e.RenewalDate = parseDate(st.toText(4));
    return e;
}

void Dictionary::insertEntry(const Entry &entry, const QStringList &keywords, qint32 &number)
{
    requireViewer(entry.Viewer);
    Statement doc(m_db, "INSERT INTO Document (Viewer, Heading, Document, RenewalDate, HeadingKey) "
                        "VALUES (?1, ?2, ?3, ?4, ?5)");
    doc.bind(1, int(entry.Viewer)).bind(2, entry.Heading).bindBlob(3, entry.Document);
    doc.bind(4, formatDate(entry.RenewalDate)).bind(5, text::fold(entry.Heading));
    doc.run();
    number = qint32(m_db.lastInsertRowId());
    Statement kw(m_db, "INSERT INTO \"Index\" (\"Index\", DocumentNumber, IndexKey) VALUES (?1, ?2, ?3)");
    for (const QString &keyword : keywords) {
        kw.bind(1, keyword).bind(2, number).bind(3, text::fold(keyword));
        kw.run();
        kw.reset();
    }
}

qint32 Dictionary::addEntry(const Entry &entry, const QStringList &keywords)
{
    sqlite::Transaction tx(m_db);
    qint32 number = 0;
    insertEntry(entry, keywords, number);
    tx.commit();
    return number;
}

void Dictionary::addEntries(const std::vector<NewEntry> &entries)
{
    sqlite::Transaction tx(m_db);
    qint32 number = 0;
    for (const NewEntry &e : entries)
        insertEntry(e.entry, e.keywords, number);
    tx.commit();
}

void Dictionary::deleteEntry(qint32 documentNumber)
{
    Statement st(m_db, "DELETE FROM Document WHERE DocumentNumber = ?1");
    st.bind(1, documentNumber);
    st.run();
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

sqlite::Statement &Dictionary::cachedStatement(const char *sql)
{
    std::unique_ptr<Statement> &slot = m_statements[sql];
    if (!slot)
        slot = std::make_unique<Statement>(m_db, sql);
    return *slot;
}

qint64 Dictionary::indexRowCount()
{
    Statement st(m_db, "SELECT count(*) FROM \"Index\"");
    return st.step() ? st.toInt64(0) : 0;
}

qint64 Dictionary::documentRowCount()
{
    Statement st(m_db, "SELECT count(*) FROM Document");
    return st.step() ? st.toInt64(0) : 0;
}

} // namespace qm::store
