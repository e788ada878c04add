#include "app/store/dictionary/dictionary.h"

#include "app/store/dictionary/bodytext.h"
#include "app/store/dictionary/foldkeys.h"
#include "app/store/dictionary/messages.h"
#include "app/store/dictionary/properties.h"
#include "app/store/dictionary/schema.h"
#include "app/store/search/searchtables.h"
#include "app/store/dictionary/storeerror.h"
#include "app/store/search/trigramcandidates.h"
#include "app/store/search/trigramindex.h"
#include "app/store/dictionary/viewertype.h"

#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/statement.h"
#include "platform/sqlite/transaction.h"
#include "platform/text/fold.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <limits>

#include <sqlite3.h>

namespace qm::store {

KeywordMatch keywordMatchAt(sqlite::Statement &st)
{
    KeywordMatch m;
    m.Index = st.toText(0);
    m.Heading = st.toText(1);
    m.Viewer = quint8(st.toInt(2));
    m.DocumentNumber = st.toInt(3);
    return m;
}

namespace {

using sqlite::Error;
using sqlite::Statement;

QString spaceIfEmpty(const QString &s)
{
    return s.isEmpty() ? QStringLiteral(" ") : s;
}

sqlite::Database::OpenMode openMode(const QString &path, bool readOnly)
{
    const QFileInfo info(path);
    // A rollback journal is written beside the file, so a folder that cannot be written makes
    // the file read-only as well.
    const bool writable = info.isWritable() && QFileInfo(info.absolutePath()).isWritable();
    return readOnly || (info.exists() && !writable) ? sqlite::Database::OpenMode::ReadOnly
                                                     : sqlite::Database::OpenMode::ReadWrite;
}

} // namespace

// Opening a database in write-ahead-log mode makes the engine create its "-wal" and "-shm"
// files. When the file turns out not to be ours, the empty ones that opening made are removed
// again, so a refused file is left as it was found.
Dictionary::SideFiles Dictionary::SideFiles::of(const QString &path)
{
    return {QFileInfo::exists(path + QStringLiteral("-wal")), QFileInfo::exists(path + QStringLiteral("-shm"))};
}

void Dictionary::SideFiles::removeNew(const QString &path) const
{
    const QString wal = path + QStringLiteral("-wal");
    if (!hadWal && QFileInfo::exists(wal) && QFileInfo(wal).size() == 0)
        QFile::remove(wal);
    if (!hadShm && !QFileInfo::exists(wal))
        QFile::remove(path + QStringLiteral("-shm"));
}

Dictionary::Dictionary(const QString &path)
    : Dictionary(path, Options{})
{
}

Dictionary::Dictionary(const QString &path, const Options &options)
    : m_sideFiles(SideFiles::of(path))
    , m_lock(SharedFileLock::acquire(path))
    , m_db(path, openMode(path, options.readOnly))
    , m_openedReadOnly(options.readOnly)
{
    openChecked(options.progress);
}

void Dictionary::openChecked(const Progress &progress)
{
    const QString &path = m_db.path();
    const schema::Layout layout = schema::layoutOf(m_db);
    if (layout == schema::Layout::Unknown || !findProperty(m_db, property::Marker)) {
        m_db.close();
        m_sideFiles.removeNew(path);
        throw notDictionaryError(path);
    }
    // Read only, a file with the earlier trigram index is searched without the search tables.
    m_searchTables = layout == schema::Layout::Current;
    registerBodyFunctions(m_db);
    // A contains lookup reads keyword rows from all over the file, a page each (a thousand rows
    // of a million-row file take about 6 MB): a larger cache than the connection's default keeps
    // them for the next lookup, the pattern refined as it is typed. Still bounded: the ten
    // dictionaries of a set hold at most 80 MB of pages.
    m_db.exec("PRAGMA cache_size=-8192");
    m_readOnly = m_db.isReadOnly();
    if (m_readOnly)
        return;
    m_db.prepareForWriting();
    // A file of an earlier version, or one that another program left with only some of the
    // search tables, gains them, or the current trigram index; keys folded by another version
    // are recomputed, and with them everything made from them.
    const bool keysCurrent = keysAreCurrent(m_db);
    if (keysCurrent && m_searchTables)
        return;
    sqlite::Transaction tx(m_db);
    if (layout == schema::Layout::WithoutSearchTables || layout == schema::Layout::IncompleteSearchTables)
        schema::createSearchTables(m_db);
    else if (layout == schema::Layout::EarlierTrigramIndex)
        schema::replaceTrigramIndex(m_db);
    constexpr qint64 Total = 1000;
    const qint64 refolding = keysCurrent ? 0 : Total / 2;
    if (!keysCurrent)
        refoldKeys(m_db, progressStage(progress, 0, refolding, Total));
    // Body texts read before stay, unless the keys were folded anew.
    const auto bodies = layout == schema::Layout::EarlierTrigramIndex && keysCurrent ? searchtables::BodyTexts::Missing
                                                                                     : searchtables::BodyTexts::All;
    searchtables::rebuild(m_db, bodies, progressStage(progress, refolding, Total - refolding, Total));
    tx.commit();
    m_searchTables = true;
}

Dictionary::~Dictionary()
{
    rollbackEditSession();
}

void Dictionary::followReplacement()
{
    // An edit session stays with the file it began on; its end is checked against that file.
    if (m_editSession || m_db.inTransaction() || !m_lock.isReplacedAt(path()))
        return;
    // The statements kept for this connection read the old file.
    m_statements.clear();
    m_trigrams.reset();
    // A statement someone else keeps on this connection (a heading list being read) would be
    // left without its connection: the file is followed once it is done.
    if (sqlite3_next_stmt(m_db.handle(), nullptr))
        return;
    // The new file is checked first; when it is no dictionary this one keeps the old file.
    const Dictionary probe(path(), Options{true, {}});
    m_sideFiles = SideFiles::of(path());
    m_lock = SharedFileLock::acquire(path());
    m_db.reopen(openMode(path(), m_openedReadOnly));
    m_searchTables = false;
    openChecked({});
}

void Dictionary::rethrowNamed(const Error &e) const
{
    const int code = e.code() & 0xff;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        throw inUseError(path());
    throw e;
}

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
        createProperty(db, property::Marker, PropertyType::Text, QStringLiteral("1.00"));
        createProperty(db, QStringLiteral("DictionaryName"), PropertyType::Text, dictionaryName);
        createProperty(db, QStringLiteral("DictionaryNameLock"), PropertyType::Boolean, locks[0]);
        createProperty(db, QStringLiteral("Author"), PropertyType::Text, spaceIfEmpty(author));
        createProperty(db, QStringLiteral("AuthorLock"), PropertyType::Boolean, locks[1]);
        createProperty(db, QStringLiteral("Comment"), PropertyType::Text, spaceIfEmpty(comment));
        createProperty(db, QStringLiteral("CommentLock"), PropertyType::Boolean, locks[2]);
        createProperty(db, QStringLiteral("IndexRecordCount"), PropertyType::Long, 0);
        createProperty(db, QStringLiteral("DocumentRecordCount"), PropertyType::Long, 0);
        refoldKeys(db, {});
        searchtables::recordIndexedRows(db);
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
    if (!QFileInfo(fileName).isFile())
        return false;
    const SideFiles sideFiles = SideFiles::of(fileName);
    bool sound = false;
    try {
        sqlite::Database db(fileName, sqlite::Database::OpenMode::ReadOnly);
        Statement check(db, "PRAGMA quick_check");
        sound = schema::isDictionary(db) && check.step() && check.toText(0) == QLatin1String("ok");
    } catch (const Error &) {
        sound = false;
    }
    sideFiles.removeNew(fileName);
    return sound;
}

void Dictionary::requireWritable() const
{
    if (m_readOnly)
        throw Error(Error::Kind::ReadOnly, SQLITE_READONLY,
                    QStringLiteral("辞書 %1 は読み取り専用のため変更できません")
                        .arg(QDir::toNativeSeparators(path())));
}

QVariant Dictionary::property(const QString &name)
{
    followReplacement();
    return readProperty(m_db, name);
}

void Dictionary::setProperty(const QString &name, const QVariant &value)
{
    writing([&] {
        requireWritable();
        writeProperty(m_db, name, value);
    });
}

void Dictionary::beginEditSession()
{
    writing([&] {
        requireWritable();
        if (m_editSession)
            throw Error(Error::Kind::General, SQLITE_MISUSE, QStringLiteral("an edit session is already open"));
        m_db.exec("BEGIN IMMEDIATE");
        m_editSession = true;
    });
}

void Dictionary::commitEditSession()
{
    if (!m_editSession)
        throw Error(Error::Kind::General, SQLITE_MISUSE, QStringLiteral("no edit session is open"));
    if (!m_db.inTransaction()) {
        m_editSession = false;
        throw Error(Error::Kind::General, SQLITE_ABORT,
                    QStringLiteral("辞書 %1 への変更は書き込みの失敗で取り消されました")
                        .arg(QDir::toNativeSeparators(path())));
    }
    // A commit that meets another program's lock leaves the session open to be tried again.
    writing([&] { m_db.exec("COMMIT"); });
    m_editSession = false;
}

void Dictionary::rollbackEditSession()
{
    if (!m_editSession)
        return;
    m_editSession = false;
    for (auto &[sql, statement] : m_statements)
        statement->reset();
    if (m_db.inTransaction())
        sqlite3_exec(m_db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
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
    followReplacement();
    Statement st(m_db, "SELECT count(*) FROM \"Index\"");
    return st.step() ? st.toInt64(0) : 0;
}

qint64 Dictionary::documentRowCount()
{
    followReplacement();
    Statement st(m_db, "SELECT count(*) FROM Document");
    return st.step() ? st.toInt64(0) : 0;
}

// Entries and their keywords.

namespace {

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

void Dictionary::insertEntry(const Entry &entry, const QStringList &keywords, qint32 &number, KeywordRows &added,
                             Numbering numbering)
{
    requireStorable(entry);
    const bool keep = numbering == Numbering::Keep;
    if (keep && entry.DocumentNumber <= 0)
        throw Error(Error::Kind::General, SQLITE_CONSTRAINT,
                    QStringLiteral("entry number %1 cannot be kept").arg(entry.DocumentNumber));
    // Once the engine's counter has reached the largest number, it cannot count on: the entry
    // takes a free number below it instead.
    const std::optional<qint32> free = keep || !counterAtMaximum() ? std::nullopt : std::optional(freeNumber());
    Statement &doc = cachedStatement(keep || free ? "INSERT INTO Document (Viewer, Heading, Document, RenewalDate, HeadingKey, "
                                            "DocumentNumber) VALUES (?1, ?2, ?3, ?4, ?5, ?6) RETURNING DocumentNumber"
                                          : "INSERT INTO Document (Viewer, Heading, Document, RenewalDate, HeadingKey) "
                                            "VALUES (?1, ?2, ?3, ?4, ?5) RETURNING DocumentNumber");
    const auto resetDoc = qScopeGuard([&doc] { doc.reset(); });
    if (keep || free)
        doc.bind(6, free.value_or(entry.DocumentNumber));
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
        added.push_back(insertKeyword(number, keyword));
}

namespace {
constexpr qint64 MaxDocumentNumber = std::numeric_limits<qint32>::max();
}

bool Dictionary::counterAtMaximum()
{
    // The engine numbers past the larger of its counter and the highest number present.
    Statement &st = cachedStatement("SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'Document'), 0), "
                                    "coalesce((SELECT max(DocumentNumber) FROM Document), 0))");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    st.step();
    return st.toInt64(0) >= MaxDocumentNumber;
}

qint32 Dictionary::freeNumber()
{
    // Walks the numbers upwards from where the last search stopped, so a run of additions reads
    // each used number once rather than once per addition.
    Statement &st = cachedStatement("SELECT DocumentNumber FROM Document WHERE DocumentNumber >= ?1 "
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
    const QString key = bodySearchKey(entry);
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
        KeywordRows added;
        insertEntry(entry, keywords, number, added);
        indexAddedKeywordRows(added, before);
        noteKeywordRows(keywords.size());
        tx.commit();
        return number;
    });
}

void Dictionary::addEntries(const std::vector<NewEntry> &entries, Numbering numbering)
{
    writing([&] {
        requireWritable();
        sqlite::Transaction tx(m_db);
        const qint64 before = lastKeywordRow();
        qint32 number = 0;
        KeywordRows added;
        for (const NewEntry &e : entries)
            insertEntry(e.entry, e.keywords, number, added, numbering);
        indexAddedKeywordRows(added, before);
        noteKeywordRows(qint64(added.size()));
        tx.commit();
    });
}

qint64 Dictionary::addEntriesFrom(const BatchSource &next)
{
    return writing([&] {
        requireWritable();
        sqlite::Transaction tx(m_db);
        const qint64 before = lastKeywordRow();
        qint64 entries = 0;
        qint64 keywordRows = 0;
        std::vector<NewEntry> batch;
        for (bool more = true; more;) {
            batch.clear();
            Numbering numbering = Numbering::New;
            more = next(batch, numbering);
            qint32 number = 0;
            KeywordRows added;
            for (const NewEntry &e : batch)
                insertEntry(e.entry, e.keywords, number, added, numbering);
            indexAddedKeywordRows(added, before);
            keywordRows += qint64(added.size());
            entries += qint64(batch.size());
        }
        noteKeywordRows(keywordRows);
        tx.commit();
        return entries;
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
        indexAddedKeywordRows({insertKeyword(documentNumber, keyword)}, before);
        noteKeywordRows(1);
        if (tx)
            tx->commit();
    });
}

TrigramIndex::KeywordRow Dictionary::insertKeyword(qint32 documentNumber, const QString &keyword)
{
    // No one can type or see a U+0000, and programs that read keywords as C strings stop at
    // it, so a keyword holding one is refused (one written by another program is still found).
    if (keyword.contains(QChar(u'\0')))
        throw Error(Error::Kind::General, SQLITE_CONSTRAINT,
                    QStringLiteral("キーワードに NUL 文字 (U+0000) は使えません"));
    Statement &st = cachedStatement("INSERT INTO \"Index\" (\"Index\", DocumentNumber, IndexKey) VALUES (?1, ?2, ?3) "
                                    "RETURNING rowid");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    TrigramIndex::KeywordRow row{0, text::fold(keyword)};
    st.bind(1, keyword).bind(2, documentNumber).bind(3, row.key);
    if (!st.step())
        throw Error(Error::Kind::General, SQLITE_ERROR, QStringLiteral("the new keyword row has no number"));
    row.rowid = st.toInt64(0);
    st.run();
    return row;
}

qint64 Dictionary::lastKeywordRow()
{
    Statement &st = cachedStatement("SELECT coalesce(max(rowid), 0) FROM \"Index\"");
    const auto reset = qScopeGuard([&st] { st.reset(); });
    return st.step() ? st.toInt64(0) : 0;
}

void Dictionary::indexAddedKeywordRows(const KeywordRows &added, qint64 before)
{
    if (!m_searchTables)
        return;
    // Only when another program took the highest rowid there is are new rows numbered at random;
    // then the record of the indexed rows is dropped, and the next compaction makes the index anew.
    if (before == std::numeric_limits<qint64>::max()) {
        m_db.exec("UPDATE Properties SET Value = '' WHERE Name = 'SearchIndexRows'");
        return;
    }
    trigramIndex().add(added);
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
    while (st.step()) {
        sink(keywordMatchAt(st));
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
        const CachedStatements statements = [this](const char *sql) -> Statement & { return cachedStatement(sql); };
        return matchingCandidates(statements, pattern, trigramIndex().rowsWithAll(trigrams), limit);
    } catch (const Error &) {
        // An index that fails (damaged behind the store's back) is passed over: the walk finds
        // the same rows without it.
        return std::nullopt;
    }
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
