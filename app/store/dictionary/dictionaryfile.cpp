#include "app/store/dictionary/dictionaryfile.h"

#include "app/store/dictionary/foldkeys.h"
#include "app/store/dictionary/properties.h"
#include "app/store/dictionary/schema.h"
#include "app/store/dictionary/storeerror.h"
#include "app/store/dictionary/viewertype.h"
#include "app/store/search/searchtables.h"

#include "platform/sqlite/statement.h"
#include "platform/sqlite/transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <limits>

#include <sqlite3.h>

namespace qm::store {

namespace {
using sqlite::Statement;

const QString DictionaryName = QStringLiteral("DictionaryName");
const QString Author = QStringLiteral("Author");
const QString Comment = QStringLiteral("Comment");
// An author or comment of "none" is stored as one space.
const QString Blank = QStringLiteral(" ");

QString shown(const QVariant &stored)
{
    const QString text = stored.toString();
    return text == Blank ? QString() : text;
}

QString stored(const QString &shown)
{
    return shown.isEmpty() ? Blank : shown;
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
DictionaryFile::SideFiles DictionaryFile::SideFiles::of(const QString &path)
{
    return {QFileInfo::exists(path + QStringLiteral("-wal")), QFileInfo::exists(path + QStringLiteral("-shm"))};
}

void DictionaryFile::SideFiles::removeNew(const QString &path) const
{
    const QString wal = path + QStringLiteral("-wal");
    if (!hadWal && QFileInfo::exists(wal) && QFileInfo(wal).size() == 0)
        QFile::remove(wal);
    if (!hadShm && !QFileInfo::exists(wal))
        QFile::remove(path + QStringLiteral("-shm"));
}

DictionaryFile::DictionaryFile(const QString &path, const Options &options)
    : m_richText(options.richText)
    , m_sideFiles(SideFiles::of(path))
    , m_lock(SharedFileLock::acquire(path))
    , m_db(path, openMode(path, options.readOnly))
    , m_openedReadOnly(options.readOnly)
{
    openChecked(options.progress);
}

DictionaryFile::~DictionaryFile() = default;

void DictionaryFile::openChecked(const Progress &progress)
{
    const QString &path = m_db.path();
    const schema::Layout layout = schema::layoutOf(m_db);
    if (layout == schema::Layout::Unknown || !findProperty(m_db, property::Marker)) {
        m_db.close();
        m_sideFiles.removeNew(path);
        throw notDictionaryError(path);
    }
    // Read only, a file with the earlier trigram index is searched without the search tables,
    // one without the body index reads every body of a body search.
    m_searchTables = layout == schema::Layout::Current || layout == schema::Layout::WithoutBodyIndex;
    m_bodyIndex = layout == schema::Layout::Current;
    registerBodyFunctions(m_db, &m_richText);
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
    if (keysCurrent && m_bodyIndex)
        return;
    sqlite::Transaction tx(m_db);
    if (layout == schema::Layout::WithoutSearchTables || layout == schema::Layout::IncompleteSearchTables)
        schema::createSearchTables(m_db);
    else if (layout == schema::Layout::EarlierTrigramIndex)
        schema::replaceTrigramIndex(m_db);
    else if (layout == schema::Layout::WithoutBodyIndex)
        schema::addBodyIndex(m_db);
    constexpr qint64 Total = 1000;
    const qint64 refolding = keysCurrent ? 0 : Total / 2;
    if (!keysCurrent)
        refoldKeys(m_db, progressStage(progress, 0, refolding, Total));
    const Progress rest = progressStage(progress, refolding, Total - refolding, Total);
    if (layout == schema::Layout::WithoutBodyIndex && keysCurrent) {
        // Only the bodies are new to index: the keyword index and the texts read stay.
        searchtables::readBodyTexts(m_db, searchtables::BodyTexts::Missing, {});
        searchtables::rebuildBodyIndex(m_db, rest);
    } else {
        // Body texts read before stay, unless the keys were folded anew.
        const bool keepTexts = layout == schema::Layout::EarlierTrigramIndex && keysCurrent;
        searchtables::rebuild(m_db, keepTexts ? searchtables::BodyTexts::Missing : searchtables::BodyTexts::All, rest);
    }
    tx.commit();
    m_searchTables = true;
    m_bodyIndex = true;
}

void DictionaryFile::followReplacement()
{
    // A held transaction stays with the file it began on; its end is checked against that file.
    if (m_held || m_db.inTransaction() || !m_lock.isReplacedAt(path()))
        return;
    // The statements kept for this connection read the old file.
    m_statements.clear();
    m_trigrams.reset();
    m_bodyTrigrams.reset();
    // A statement someone else keeps on this connection (a heading list being read) would be
    // left without its connection: the file is followed once it is done.
    if (sqlite3_next_stmt(m_db.handle(), nullptr))
        return;
    // The new file is checked first; when it is no dictionary this one keeps the old file.
    const DictionaryFile probe(path(), Options{true, {}, {}});
    m_sideFiles = SideFiles::of(path());
    m_lock = SharedFileLock::acquire(path());
    m_db.reopen(openMode(path(), m_openedReadOnly));
    m_searchTables = false;
    m_bodyIndex = false;
    openChecked({});
}

void DictionaryFile::rethrowNamed(const sqlite::Error &e) const
{
    const int code = e.code() & 0xff;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        throw inUseError(path());
    throw e;
}

void DictionaryFile::create(const QString &fileName, const DictionaryDescription &description)
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
        const auto &locks = description.locks;
        createProperty(db, property::Marker, PropertyType::Text, QStringLiteral("1.00"));
        createProperty(db, DictionaryName, PropertyType::Text, description.name);
        createProperty(db, QStringLiteral("DictionaryNameLock"), PropertyType::Boolean, locks[0]);
        createProperty(db, Author, PropertyType::Text, stored(description.author));
        createProperty(db, QStringLiteral("AuthorLock"), PropertyType::Boolean, locks[1]);
        createProperty(db, Comment, PropertyType::Text, stored(description.comment));
        createProperty(db, QStringLiteral("CommentLock"), PropertyType::Boolean, locks[2]);
        createProperty(db, QStringLiteral("IndexRecordCount"), PropertyType::Long, 0);
        createProperty(db, QStringLiteral("DocumentRecordCount"), PropertyType::Long, 0);
        refoldKeys(db, {});
        searchtables::recordIndexedRows(db);
        tx.commit();
    } catch (const sqlite::Error &) {
        // A file that was not there before is the remains of this attempt, not a dictionary.
        if (!existed) {
            QFile::remove(fileName);
            QFile::remove(fileName + QStringLiteral("-journal"));
        }
        throw;
    }
}

bool DictionaryFile::isDictionaryFile(const QString &fileName)
{
    if (!QFileInfo(fileName).isFile())
        return false;
    const SideFiles sideFiles = SideFiles::of(fileName);
    bool sound = false;
    try {
        sqlite::Database db(fileName, sqlite::Database::OpenMode::ReadOnly);
        Statement check(db, "PRAGMA quick_check");
        sound = schema::isDictionary(db) && check.step() && check.toText(0) == QLatin1String("ok");
    } catch (const sqlite::Error &) {
        sound = false;
    }
    sideFiles.removeNew(fileName);
    return sound;
}

void DictionaryFile::requireWritable() const
{
    if (m_readOnly)
        throw Error(Error::Kind::ReadOnly, path());
}

QVariant DictionaryFile::property(const QString &name)
{
    followReplacement();
    return readProperty(m_db, name);
}

void DictionaryFile::setProperty(const QString &name, const QVariant &value)
{
    writing([&] {
        requireWritable();
        writeProperty(m_db, name, value);
    });
}

QString DictionaryFile::name()
{
    return property(DictionaryName).toString();
}

QString DictionaryFile::displayName()
{
    try {
        return name();
    } catch (const sqlite::Error &) {
        return QFileInfo(path()).fileName();
    }
}

DictionaryDescription DictionaryFile::description()
{
    DictionaryDescription d;
    d.name = name();
    d.author = shown(property(Author));
    d.comment = shown(property(Comment));
    d.locks = {property(QStringLiteral("DictionaryNameLock")).toBool(), property(QStringLiteral("AuthorLock")).toBool(),
               property(QStringLiteral("CommentLock")).toBool()};
    return d;
}

void DictionaryFile::setDescription(const DictionaryDescription &description)
{
    // The locks are read from the file, not taken from the caller, so nothing can unlock a text.
    const DictionaryDescription current = this->description();
    requireWritable();
    writing([&] {
        sqlite::Transaction tx(m_db);
        if (!current.locks[0])
            writeProperty(m_db, DictionaryName, description.name);
        if (!current.locks[1])
            writeProperty(m_db, Author, stored(description.author));
        if (!current.locks[2])
            writeProperty(m_db, Comment, stored(description.comment));
        tx.commit();
    });
}

sqlite::Statement &DictionaryFile::cachedStatement(const char *sql)
{
    std::unique_ptr<Statement> &slot = m_statements[sql];
    if (!slot)
        slot = std::make_unique<Statement>(m_db, sql);
    return *slot;
}

void DictionaryFile::resetStatements()
{
    for (auto &[sql, statement] : m_statements)
        statement->reset();
}

TrigramIndex &DictionaryFile::trigramIndex()
{
    if (!m_trigrams)
        m_trigrams = std::make_unique<TrigramIndex>(m_db);
    return *m_trigrams;
}

TrigramIndex &DictionaryFile::bodyIndex()
{
    if (!m_bodyTrigrams)
        m_bodyTrigrams = std::make_unique<TrigramIndex>(m_db, TrigramIndex::Table::Bodies);
    return *m_bodyTrigrams;
}

qint64 DictionaryFile::indexRowCount()
{
    followReplacement();
    Statement st(m_db, "SELECT count(*) FROM \"Index\"");
    return st.step() ? st.toInt64(0) : 0;
}

qint64 DictionaryFile::documentRowCount()
{
    followReplacement();
    Statement st(m_db, "SELECT count(*) FROM Document");
    return st.step() ? st.toInt64(0) : 0;
}

void DictionaryFile::recordCounts()
{
    const auto bounded = [](qint64 count) { return qMin<qint64>(count, std::numeric_limits<qint32>::max()); };
    writing([&] {
        requireWritable();
        sqlite::Transaction tx(m_db);
        writeProperty(m_db, QStringLiteral("IndexRecordCount"), bounded(indexRowCount()));
        writeProperty(m_db, QStringLiteral("DocumentRecordCount"), bounded(documentRowCount()));
        tx.commit();
    });
}

ReadTransaction::ReadTransaction(DictionaryFile &file)
    : m_file(file)
    , m_own(!file.database().inTransaction())
{
    if (m_own)
        m_file.cachedStatement("BEGIN").run();
}

ReadTransaction::~ReadTransaction()
{
    if (!m_own || !m_file.database().inTransaction())
        return;
    try {
        m_file.cachedStatement("COMMIT").run();
    } catch (const sqlite::Error &) {
    }
}

} // namespace qm::store
