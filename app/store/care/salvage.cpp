#include "app/store/care/salvage.h"

#include "app/store/care/compaction.h"
#include "app/store/dictionary/dictionary.h"
#include "app/store/dictionary/fileattributes.h"
#include "app/store/dictionary/properties.h"
#include "app/store/care/salvagesource.h"
#include "app/store/dictionary/schema.h"
#include "app/store/dictionary/storeerror.h"
#include "app/store/dictionary/viewertype.h"
#include "app/store/care/writetarget.h"

#include "platform/sqlite/database.h"
#include "platform/sqlite/statement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <unordered_map>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qm::store {
namespace {

using sqlite::Database;
using sqlite::Statement;
using salvage::ReadEntry;
using salvage::storedDate;

constexpr qint64 Lowest = std::numeric_limits<qint64>::min();
constexpr qint64 Highest = std::numeric_limits<qint64>::max();
// Entries handed to the writer at a time, and the body bytes a batch holds at most.
constexpr std::size_t BatchEntries = 256;
constexpr qint64 BatchBytes = qint64(32) * 1024 * 1024;

Error failure(Error::Kind kind, const QString &path, int code)
{
    return Error(kind, path, code);
}

Error cancelled()
{
    return Error(Error::Kind::Cancelled);
}

// Walks the integer keys of one table or index in order, past pages that cannot be read. The
// statement lists the keys from ?1 upwards in its first column. When a step fails, the walk
// looks for the lowest key it can seek to beyond the failure and goes on from there, so one
// damaged page costs the keys on it and some probes. Below `bound` (the highest key the file is
// known to have had) the probes go in short steps, so that a sound page between two damaged
// ones is not jumped over; beyond it, in doubling steps up to the end of the key range.
class KeyWalk final
{
public:
    using Row = std::function<void(Statement &)>;
    KeyWalk(Database &db, const char *sql, qint64 bound)
        : m_db(db)
        , m_sql(sql)
        , m_bound(bound)
    {
    }

    // Hands each row that reads to `row`; true when some part could not be read.
    bool run(const Row &row)
    {
        bool damaged = false;
        qint64 from = Lowest;
        for (;;) {
            std::optional<qint64> last;
            if (scan(from, row, last))
                return damaged;
            damaged = true;
            // Rows are numbered from 1: nothing below is looked for past a failure.
            const qint64 failing = std::max<qint64>(last ? *last : from, 0);
            const std::optional<qint64> next = resumeAfter(failing);
            if (!next)
                return damaged;
            from = *next;
        }
    }

private:
    enum class Probe { Failed, Read };
    // The longest step below the bound.
    static constexpr quint64 ShortStep = 16;
    static constexpr int MaxShortSteps = 100000;

    // Scans from `from`; true when it reached the end, false when a step failed.
    bool scan(qint64 from, const Row &row, std::optional<qint64> &last)
    {
        try {
            Statement st(m_db, m_sql);
            st.bind(1, from);
            while (st.step()) {
                last = st.toInt64(0);
                m_bound = std::max(m_bound, *last);
                row(st);
            }
            return true;
        } catch (const sqlite::Error &e) {
            if (!isDamageError(e))
                throw;
            return false;
        }
    }

    Probe probe(qint64 from)
    {
        try {
            Statement st(m_db, m_sql);
            st.bind(1, from);
            st.step();
            return Probe::Read;
        } catch (const sqlite::Error &e) {
            if (!isDamageError(e))
                throw;
            return Probe::Failed;
        }
    }

    // How far `hi` lies above `lo`, without overflow over the whole range of keys.
    static quint64 gap(qint64 lo, qint64 hi) { return quint64(hi) - quint64(lo); }

    // The next probe above `lo`: short steps up to the bound (for a while: numbers far apart
    // would take for ever), doubling ones beyond it.
    qint64 nextProbe(qint64 lo, quint64 &step, int &shortSteps) const
    {
        const bool near = lo < m_bound && shortSteps++ < MaxShortSteps;
        const qint64 limit = lo < m_bound ? m_bound : Highest;
        const quint64 longest = near ? ShortStep : std::numeric_limits<quint64>::max();
        step = std::min(step, longest);
        const qint64 hi = gap(lo, limit) <= step ? limit : qint64(quint64(lo) + step);
        step = step > std::numeric_limits<quint64>::max() / 2 ? std::numeric_limits<quint64>::max() : step * 2;
        return hi;
    }

    // The lowest key above `failing` a scan can start from, or nullopt when none can.
    std::optional<qint64> resumeAfter(qint64 failing)
    {
        qint64 lo = failing;
        qint64 hi = failing;
        int shortSteps = 0;
        for (quint64 step = 1;;) {
            if (lo == Highest)
                return std::nullopt;
            hi = nextProbe(lo, step, shortSteps);
            if (probe(hi) == Probe::Read)
                break;
            lo = hi;
        }
        while (gap(lo, hi) > 1) {
            const qint64 mid = qint64(quint64(lo) + gap(lo, hi) / 2);
            (probe(mid) == Probe::Read ? hi : lo) = mid;
        }
        return hi;
    }

    Database &m_db;
    const char *m_sql;
    qint64 m_bound;
};

// A keyword row of the damaged file: the entry it belongs to and its row number.
struct KeywordRef {
    qint64 document = 0;
    qint64 row = 0;
    bool operator<(const KeywordRef &o) const
    {
        return std::pair(document, row) < std::pair(o.document, o.row);
    }
};

// The damaged file, opened only for reading, and what can still be read of it.
class DamagedFile final : public salvage::Source
{
public:
    // The progress is told how far a reading of the file's pages has come, when one is needed.
    DamagedFile(const QString &path, const Progress &progress)
        : m_path(path)
        , m_progress(progress)
        , m_db(open(path))
        , m_tree(path)
        , m_documentRoot(rootPage("Document"))
    {
    }
    DamagedFile(const DamagedFile &) = delete;
    DamagedFile &operator=(const DamagedFile &) = delete;

    // Every entry number the table or its heading index still names.
    std::vector<qint64> entryNumbers() override
    {
        std::vector<qint64> numbers;
        const auto add = [&numbers](Statement &st) { numbers.push_back(st.toInt64(0)); };
        const qint64 issued = highestIssuedEntry();
        walk("SELECT DocumentNumber FROM Document INDEXED BY Index_DocumentHeading "
             "WHERE DocumentNumber >= ?1 ORDER BY DocumentNumber",
             issued, add);
        walk("SELECT rowid FROM Document NOT INDEXED WHERE rowid >= ?1 ORDER BY rowid", highest(numbers, issued), add);
        m_highestEntry = highest(numbers, issued);
        return sortedOnce(std::move(numbers));
    }

    // Every keyword row number the table or its entry-number index still names.
    std::vector<qint64> keywordRows() override
    {
        const bool entriesDamaged = std::exchange(m_damaged, false);
        std::vector<qint64> rows;
        walk("SELECT DocumentNumber, rowid FROM \"Index\" INDEXED BY Index_DocumentNumber "
             "WHERE DocumentNumber >= ?1 ORDER BY DocumentNumber",
             m_highestEntry, [this, &rows](Statement &st) {
                 rows.push_back(st.toInt64(1));
                 m_indexedOwners.emplace(st.toInt64(1), st.toInt64(0));
             });
        walk("SELECT rowid FROM \"Index\" NOT INDEXED WHERE rowid >= ?1 ORDER BY rowid", highest(rows, 0),
             [&rows](Statement &st) { rows.push_back(st.toInt64(0)); });
        // Rows neither walk reaches may still be in the keyword index's pages.
        if (m_damaged) {
            const std::vector<qint64> indexed = keywordPages().keywordRows();
            rows.insert(rows.end(), indexed.begin(), indexed.end());
        }
        m_damaged |= entriesDamaged;
        return sortedOnce(std::move(rows));
    }

    // The entry a keyword row belongs to, as the table or else the index names it; nullopt when
    // neither reads.
    std::optional<qint64> keywordOwner(qint64 row) override
    {
        const std::optional<qint64> owner =
            readRow<qint64>("SELECT DocumentNumber FROM \"Index\" NOT INDEXED WHERE rowid = ?1", row,
                            [](Statement &st) -> std::optional<qint64> {
                                if (st.isNull(0))
                                    return std::nullopt;
                                return st.toInt64(0);
                            });
        if (owner)
            return owner;
        const auto indexed = m_indexedOwners.find(row);
        return indexed != m_indexedOwners.end() ? std::optional<qint64>(indexed->second) : keywordPages().keywordOwner(row);
    }

    std::optional<QString> keyword(qint64 row) override
    {
        const std::optional<QString> text =
            readRow<QString>("SELECT \"Index\", typeof(\"Index\") FROM \"Index\" NOT INDEXED WHERE rowid = ?1", row,
                             [](Statement &st) -> std::optional<QString> {
                                 if (st.isNull(0) || st.toText(1) != QLatin1String("text"))
                                     return std::nullopt;
                                 return st.toText(0);
                             });
        // A row whose table page is gone is read from the keyword index's pages.
        return text ? text : keywordPages().keyword(row);
    }

    // The entry, or nullopt when its row does not read or holds what no entry can hold. A field
    // that reads but holds what its column never does (a heading that is no text, a date the
    // store does not write, no body) is left empty and the entry is not complete.
    std::optional<ReadEntry> entry(qint64 number) override
    {
        if (number < 1 || number > std::numeric_limits<qint32>::max())
            return std::nullopt;
        // The body's length comes from the row's header: a huge one is not read.
        qint64 rowBytes = 0;
        std::optional<ReadEntry> e = readRow<ReadEntry>(
            "SELECT Viewer, Heading, RenewalDate, length(Document), typeof(Viewer), typeof(Heading), "
            "typeof(Document), length(Document) + ifnull(length(CAST(Heading AS BLOB)), 0) + "
            "ifnull(length(CAST(RenewalDate AS BLOB)), 0) + ifnull(length(CAST(HeadingKey AS BLOB)), 0), HeadingKey "
            "FROM Document NOT INDEXED WHERE rowid = ?1",
            number, [number, &rowBytes](Statement &st) {
                rowBytes = st.toInt64(7);
                return readHead(st, number);
            });
        if (!e)
            return std::nullopt;
        const std::optional<QByteArray> body = readRow<QByteArray>(
            "SELECT Document FROM Document NOT INDEXED WHERE rowid = ?1", number,
            [](Statement &st) -> std::optional<QByteArray> { return st.toBlob(0); });
        if (!body || (spills(rowBytes) && !sameInFile(number, *body)))
            return std::nullopt;
        e->entry.Document = *body;
        return e;
    }

    std::optional<QVariant> property(const QString &name) override
    {
        return readOrNothing<QVariant>([&] { return findProperty(*m_db, name); });
    }

    // Some part of the tables could not be walked.
    bool damaged() const override { return m_damaged; }

    static Error notReadable(const QString &path)
    {
        return failure(Error::Kind::NothingSalvageable, path, SQLITE_CORRUPT);
    }

private:
    // The highest entry number ever given out, as the engine keeps it for new numbers; 0 when
    // that cannot be read.
    qint64 highestIssuedEntry()
    {
        try {
            Statement st(*m_db, "SELECT seq FROM sqlite_sequence WHERE name = 'Document'");
            return st.step() && !st.isNull(0) ? st.toInt64(0) : 0;
        } catch (const sqlite::Error &e) {
            if (e.kind() != sqlite::Error::Kind::General)
                throw;
            return 0;
        }
    }

    // The entry's fields but its body, from a statement of the columns entry() lists.
    static std::optional<ReadEntry> readHead(Statement &st, qint64 number)
    {
        if (st.toText(4) != QLatin1String("integer") || st.toInt64(3) > MaxBodyBytes
            || !isViewerCode(int(st.toInt64(0))))
            return std::nullopt;
        ReadEntry head;
        head.entry.DocumentNumber = qint32(number);
        head.entry.Viewer = quint8(st.toInt(0));
        head.entry.Heading = st.toText(1);
        head.complete = st.toText(5) == QLatin1String("text") && !st.isNull(6)
                        && salvage::keyIntact(st.toText(8), head.entry.Heading);
        // An entry without a date has an empty text there (or NULL).
        if (!st.isNull(2) && !st.toText(2).isEmpty()) {
            const std::optional<QDateTime> date = storedDate(st.toText(2));
            head.entry.RenewalDate = date.value_or(QDateTime());
            head.complete = head.complete && date.has_value();
        }
        return head;
    }

    // Whether a row of so many bytes in its values may have gone partly to overflow pages (its
    // header and row number take a few dozen bytes more).
    bool spills(qint64 rowBytes) const { return rowBytes + 64 > m_tree.largestLocalRow(); }

    // A long row's body reads the same through the file's tree with each overflow chain checked
    // to its end: the engine reads a chain's last page without its link, so an overwritten one
    // would give other bytes in silence.
    bool sameInFile(qint64 number, const QByteArray &body)
    {
        const std::optional<ReadEntry> raw = m_documentRoot > 0 ? m_tree.entry(m_documentRoot, number) : std::nullopt;
        return raw && raw->entry.Document == body;
    }

    // The keyword rows as the pages of the file give them, read once when first needed.
    salvage::PageScan &keywordPages()
    {
        if (!m_keywordPages)
            m_keywordPages = std::make_unique<salvage::PageScan>(m_path, m_progress, salvage::PageScan::Scope::Keywords);
        return *m_keywordPages;
    }

    qint64 rootPage(const char *table)
    {
        try {
            Statement st(*m_db, "SELECT rootpage FROM sqlite_schema WHERE type = 'table' AND name = ?1");
            st.bind(1, QString::fromLatin1(table));
            return st.step() ? st.toInt64(0) : 0;
        } catch (const sqlite::Error &e) {
            if (!isDamageError(e))
                throw;
            return 0;
        }
    }

    static qint64 highest(const std::vector<qint64> &numbers, qint64 atLeast)
    {
        return numbers.empty() ? atLeast : std::max(atLeast, *std::max_element(numbers.begin(), numbers.end()));
    }

    // The numbers in order, each once: a table and its index mostly name the same rows.
    static std::vector<qint64> sortedOnce(std::vector<qint64> numbers)
    {
        std::sort(numbers.begin(), numbers.end());
        numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
        return numbers;
    }

    static std::unique_ptr<Database> open(const QString &path)
    {
        if (!QFileInfo(path).isFile())
            throw failure(Error::Kind::FileMissing, path, SQLITE_CANTOPEN);
        try {
            auto db = std::make_unique<Database>(path, Database::OpenMode::Immutable);
            // Without its two tables the file holds nothing to salvage.
            Statement st(*db, "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name IN "
                              "('Document', 'Index')");
            if (st.step() && st.toInt64(0) == 2)
                return db;
        } catch (const sqlite::Error &) {
        }
        throw notReadable(path);
    }

    void walk(const char *sql, qint64 bound, const KeyWalk::Row &row)
    {
        try {
            m_damaged |= KeyWalk(*m_db, sql, bound).run(row);
        } catch (const sqlite::Error &e) {
            // A statement that cannot even be prepared (its index is gone) gives nothing.
            if (e.kind() != sqlite::Error::Kind::General || (e.code() & 0xff) != SQLITE_ERROR)
                throw;
            m_damaged = true;
        }
    }

    // Reads the row `key` names with a statement kept for the whole salvage (preparing one
    // per row would cost more than the read); nullopt when there is no such row or it does not
    // read.
    template <typename T, typename Read>
    std::optional<T> readRow(const char *sql, qint64 key, const Read &read)
    {
        std::unique_ptr<Statement> &st = m_statements[sql];
        return readOrNothing<T>([&]() -> std::optional<T> {
            if (!st)
                st = std::make_unique<Statement>(*m_db, sql);
            const auto reset = qScopeGuard([&st] { st->reset(); });
            st->bind(1, key);
            return st->step() ? read(*st) : std::nullopt;
        });
    }

    template <typename T, typename Read>
    std::optional<T> readOrNothing(const Read &read)
    {
        try {
            return read();
        } catch (const sqlite::Error &e) {
            if (!isDamageError(e))
                throw;
            return std::nullopt;
        }
    }

    QString m_path;
    Progress m_progress;
    std::unique_ptr<Database> m_db;
    salvage::TreeReader m_tree;
    std::unique_ptr<salvage::PageScan> m_keywordPages;
    qint64 m_documentRoot = 0;
    // Declared after the connection, so the statements are finalised before it closes.
    std::unordered_map<const char *, std::unique_ptr<Statement>> m_statements;
    // The entry of each keyword row, as its entry-number index names it.
    std::unordered_map<qint64, qint64> m_indexedOwners;
    bool m_damaged = false;
    qint64 m_highestEntry = 0;
};

// Salvages one file: collects what the damaged file still names, writes what reads into a
// temporary dictionary, checks it and gives it its name.
class Salvage final
{
public:
    Salvage(const QString &damaged, const QString &target, const Progress &progress, const QStringList &setMembers,
            const QString &incompleteKeyword)
        : m_damagedPath(damaged)
        , m_guard{{damaged}, setMembers}
        , m_resolved(resolveWriteTarget(target, m_guard))
        , m_target(m_resolved.path.isEmpty() ? QFileInfo(target).absoluteFilePath() : m_resolved.path)
        , m_temp(compactionTempPath(m_target))
        , m_progress(progress)
        , m_incompleteKeyword(incompleteKeyword)
    {
    }

    SalvageReport run()
    {
        if (!m_resolved.isWritable())
            throw refusalError(m_resolved);
        removeTemporary();
        try {
            // The engine finds its way past damaged pages through the file's own tree; when
            // that is gone too (the first page, say) or leads to nothing, the pages are read one
            // by one.
            if (!salvageThroughEngine()) {
                removeTemporary();
                salvage::PageScan pages(m_damagedPath, m_progress);
                salvageFrom(pages);
                if (nothingRead(pages))
                    throw DamagedFile::notReadable(m_damagedPath);
            }
            check();
            putInPlace();
        } catch (...) {
            removeTemporary();
            throw;
        }
        return m_report;
    }

private:
    // False when the engine cannot open the file or reads no entry of it.
    bool salvageThroughEngine()
    {
        std::unique_ptr<DamagedFile> file;
        try {
            file = std::make_unique<DamagedFile>(m_damagedPath, m_progress);
        } catch (const sqlite::Error &e) {
            if (!isDamageError(e))
                throw;
            return false;
        }
        salvageFrom(*file);
        return !nothingRead(*file);
    }

    bool nothingRead(const salvage::Source &file) const
    {
        return m_report.entriesSaved + m_report.entriesIncomplete == 0 && (m_report.entriesLost > 0 || file.damaged());
    }

    void salvageFrom(salvage::Source &file)
    {
        m_report = {};
        m_entries.clear();
        m_keywords.clear();
        m_nextEntry = m_nextKeyword = 0;
        m_done = m_total = 0;
        collect(file);
        write(file);
    }

    void step()
    {
        ++m_done;
        if (!reportProgress(m_progress, m_done, m_total))
            throw cancelled();
    }

    // The entries and keyword rows to read, each keyword row with the entry it belongs to.
    void collect(salvage::Source &file)
    {
        m_entries = file.entryNumbers();
        const std::vector<qint64> rows = file.keywordRows();
        m_total = qint64(m_entries.size() + rows.size());
        for (const qint64 row : rows) {
            if (const std::optional<qint64> owner = file.keywordOwner(row))
                m_keywords.push_back({*owner, row});
            else
                ++m_report.keywordsLost;
            step();
        }
        std::sort(m_keywords.begin(), m_keywords.end());
        addKeywordOwners();
    }

    // An entry a keyword row names was there (a keyword row cannot outlive its entry), even when
    // neither its row nor the index names it any more: it is counted lost if it does not read.
    void addKeywordOwners()
    {
        const std::size_t named = m_entries.size();
        for (const KeywordRef &ref : m_keywords)
            if (ref.document >= 1 && ref.document <= std::numeric_limits<qint32>::max()
                && (m_entries.empty() || m_entries.back() != ref.document))
                m_entries.push_back(ref.document);
        std::sort(m_entries.begin(), m_entries.end());
        m_entries.erase(std::unique(m_entries.begin(), m_entries.end()), m_entries.end());
        m_total += qint64(m_entries.size() - named);
    }

    // The keyword rows of an entry that read, in the order they were stored, and whether one of
    // its rows did not; the rows of entries passed over before it (lost or never there) are
    // counted lost.
    QStringList keywordsOf(salvage::Source &file, qint64 number, bool entryRead, bool &missing)
    {
        QStringList found;
        missing = false;
        for (; m_nextKeyword < m_keywords.size() && m_keywords[m_nextKeyword].document <= number;
             ++m_nextKeyword) {
            const KeywordRef &ref = m_keywords[m_nextKeyword];
            std::optional<QString> text;
            if (entryRead && ref.document == number) {
                text = file.keyword(ref.row);
                missing = missing || !text;
            }
            if (text)
                found.append(*text);
            else
                ++m_report.keywordsLost;
        }
        return found;
    }

    // Counts a saved entry; one saved without some part is named in the report and gets the
    // keyword that finds such entries.
    void count(const Entry &entry, QStringList &keywords, bool complete)
    {
        m_report.keywordsSaved += keywords.size();
        if (complete) {
            ++m_report.entriesSaved;
            return;
        }
        ++m_report.entriesIncomplete;
        m_report.incomplete.push_back({entry.DocumentNumber, entry.Heading});
        if (!m_incompleteKeyword.isEmpty())
            keywords.append(m_incompleteKeyword);
    }

    bool nextBatch(salvage::Source &file, std::vector<Dictionary::NewEntry> &batch)
    {
        qint64 bytes = 0;
        while (m_nextEntry < m_entries.size() && batch.size() < BatchEntries &&
               bytes < BatchBytes) {
            const qint64 number = m_entries[m_nextEntry++];
            std::optional<ReadEntry> read = file.entry(number);
            bool missing = false;
            QStringList keywords = keywordsOf(file, number, read.has_value(), missing);
            step();
            if (!read) {
                ++m_report.entriesLost;
                continue;
            }
            bytes += read->entry.Document.size();
            count(read->entry, keywords, read->complete && !missing);
            batch.push_back({std::move(read->entry), std::move(keywords)});
        }
        if (m_nextEntry < m_entries.size())
            return true;
        // Keyword rows of entries beyond the last one have no entry to go with.
        bool missing = false;
        keywordsOf(file, std::numeric_limits<qint64>::max(), false, missing);
        return false;
    }

    void write(salvage::Source &file)
    {
        const auto text = [&file](const QString &name) {
            const std::optional<QVariant> value = file.property(name);
            return value ? value->toString().trimmed() : QString();
        };
        const auto flag = [&file](const QString &name) {
            const std::optional<QVariant> value = file.property(name);
            return value && value->toBool();
        };
        QString name = text(QStringLiteral("DictionaryName"));
        if (name.isEmpty())
            name = QFileInfo(m_damagedPath).completeBaseName();
        Dictionary::CreateDictionary(
            m_temp, name, text(QStringLiteral("Author")), text(QStringLiteral("Comment")),
            {flag(QStringLiteral("DictionaryNameLock")), flag(QStringLiteral("AuthorLock")),
             flag(QStringLiteral("CommentLock"))});
        Dictionary target(m_temp);
        target.addEntriesFrom(
            [&](std::vector<Dictionary::NewEntry> &batch, Dictionary::Numbering &numbering) {
                numbering = Dictionary::Numbering::Keep;
                return nextBatch(file, batch);
            });
    }

    void check() const
    {
        if (!Dictionary::IsDictionaryFile(m_temp))
            throw failure(Error::Kind::SalvagedCopyDamaged, m_target, SQLITE_CORRUPT);
    }

    // The name still leads where it did when the salvage began: to no file, or to the same file,
    // which is still one that may be replaced.
    void requireSameTarget() const
    {
        const ResolvedTarget now = resolveWriteTarget(m_resolved.named, m_guard);
        if (!now.isWritable())
            throw refusalError(now);
        if (!now.sameFileAs(m_resolved))
            throw failure(Error::Kind::SalvageTargetChanged, m_resolved.named, SQLITE_CANTOPEN);
    }

    // The checked file gets its name: a file it replaces passes on its mode, owner and group, and
    // a name that was free must still be free. The folder is synced so that the name survives a
    // crash.
    void putInPlace() const
    {
        requireSameTarget();
        if (m_resolved.exists)
            keepFileAttributes(m_target, m_temp);
        const QByteArray temp = QFile::encodeName(m_temp);
        const QByteArray target = QFile::encodeName(m_target);
        const unsigned flags = m_resolved.exists ? 0 : RENAME_NOREPLACE;
        if (!syncPath(QFile::decodeName(temp)) || ::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, target.constData(), flags) != 0)
            throw failure(Error::Kind::SalvageNotSaved, m_target, SQLITE_CANTOPEN);
        syncPath(QFileInfo(m_target).absolutePath());
    }

    void removeTemporary() const
    {
        QFile::remove(m_temp);
        QFile::remove(m_temp + QStringLiteral("-journal"));
    }

    QString m_damagedPath;
    TargetGuard m_guard;
    ResolvedTarget m_resolved;
    // The real file the name leads to, and the new file made beside it.
    QString m_target;
    QString m_temp;
    Progress m_progress;
    QString m_incompleteKeyword;
    SalvageReport m_report;
    std::vector<qint64> m_entries;
    std::vector<KeywordRef> m_keywords;
    std::size_t m_nextEntry = 0;
    std::size_t m_nextKeyword = 0;
    qint64 m_done = 0;
    qint64 m_total = 0;
};

} // namespace

SalvageReport SalvageDictionary(const QString &damaged, const QString &target, const Progress &progress,
                                const QStringList &setMembers, const QString &incompleteKeyword)
{
    return Salvage(damaged, target, progress, setMembers, incompleteKeyword).run();
}

} // namespace qm::store
