#pragma once

#include "app/store/dictionary/entry.h"
#include "app/store/dictionary/filelock.h"
#include "app/store/progress.h"
#include "app/store/search/searchcondition.h"
#include "app/store/search/trigramindex.h"

#include "platform/sqlite/database.h"

#include <QVariant>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace qm::sqlite {
class LikePattern;
class Statement;
}

namespace qm::store {

// The keyword row a lookup statement stands on: keyword, heading, type and entry number in its
// first four columns.
KeywordMatch keywordMatchAt(sqlite::Statement &st);

// One open dictionary file. Opening checks that the file is a dictionary (its schema is ours
// and it carries the marker) before anything is written to it, without reading its rows, so
// opening stays as fast for a large file as for a small one.
class Dictionary final
{
public:
    struct Options {
        // Open only for reading, even when the file could be written.
        bool readOnly = false;
        // Shown while keys folded by another version of the program are recomputed.
        Progress progress;
    };

    // Opens the file; throws sqlite::Error (Kind::FolderMissing when the folder of the path
    // does not exist, notDictionaryError() when the file is another database). A write-protected
    // file opens read-only: it can be searched, and every change is refused (Kind::ReadOnly).
    // The file is held with a shared lock while it is open, so no other program replaces it
    // meanwhile; while another program is replacing it, opening fails with SQLITE_BUSY.
    // Should a file be put under the name all the same (by a program that does not lock), the
    // next read or write outside an edit session opens that file instead.
    explicit Dictionary(const QString &path);
    Dictionary(const QString &path, const Options &options);
    // An edit session still open is rolled back.
    ~Dictionary();
    Dictionary(const Dictionary &) = delete;
    Dictionary &operator=(const Dictionary &) = delete;

    // Makes a new, empty dictionary; throws sqlite::Error. An existing file is never
    // overwritten. A file left half-made by a failure is removed again.
    static void CreateDictionary(const QString &fileName, const QString &dictionaryName,
                                 const QString &author, const QString &comment,
                                 const std::array<bool, 3> &locks);

    // True when the file is a sound dictionary: it opens, its schema is ours, it passes the
    // engine's quick check and it carries the marker property. Never throws, never writes
    // (only a write cut short, its journal beside the file, is rolled back first).
    static bool IsDictionaryFile(const QString &fileName);

    const QString &path() const { return m_db.path(); }
    sqlite::Database &database() { return m_db; }
    bool isReadOnly() const { return m_readOnly; }

    // Custom properties: text (QString), Boolean (bool), 32-bit integer (int). Reading or
    // writing a property that does not exist throws.
    QVariant property(const QString &name);
    void setProperty(const QString &name, const QVariant &value);

    // The entry with this number, or nullopt when there is none. A body larger than
    // MaxBodyBytes is refused (Kind::TooLarge) without being read.
    std::optional<Entry> document(qint32 documentNumber);

    // Adds an entry and its keywords in one transaction and returns its new number.
    qint32 addEntry(const Entry &entry, const QStringList &keywords);
    // Adds many entries in one transaction (for imports and generated test data). Each gets a
    // new number, or with Numbering::Keep the DocumentNumber it carries (which must be free).
    struct NewEntry {
        Entry entry;
        QStringList keywords;
    };
    enum class Numbering { New, Keep };
    void addEntries(const std::vector<NewEntry> &entries, Numbering numbering = Numbering::New);
    // Adds the entries a source hands out batch by batch, all in one transaction, so that a long
    // import holds one batch in memory and stores nothing unless every batch is stored. `next`
    // fills the empty batch and its numbering and returns false after the last one; whatever it
    // throws rolls everything back. Returns the number of entries added.
    using BatchSource = std::function<bool(std::vector<NewEntry> &batch, Numbering &numbering)>;
    qint64 addEntriesFrom(const BatchSource &next);
    // Replaces the type, heading, body and date of an entry; false when there is no such entry.
    bool updateEntry(const Entry &entry);
    // Deletes an entry; its keywords go with it. False when there was no such entry.
    bool deleteEntry(qint32 documentNumber);

    // The keywords of an entry in the order they were stored.
    QStringList keywords(qint32 documentNumber);
    // Adds one keyword row to an existing entry.
    void addKeyword(qint32 documentNumber, const QString &keyword);
    // Deletes one keyword row of the entry with exactly this text (the first stored, when the
    // entry has the same keyword twice); false when it has none.
    bool deleteKeyword(qint32 documentNumber, const QString &keyword);

    // An edit session: one transaction that holds every change made to this dictionary until
    // it is committed or rolled back. Writes made meanwhile (keywords, and whole entries, which
    // become savepoints of the session) are part of it.
    void beginEditSession();
    // Throws when the session was already lost (the engine rolls a transaction back by itself
    // after a full disk or an I/O error), so a lost edit is never reported as stored.
    void commitEditSession();
    void rollbackEditSession();
    bool inEditSession() const { return m_editSession; }

    // Keyword rows matching the pattern, in keyword order, at most `limit`; each is handed to
    // the sink. Returns the number of rows handed over.
    int searchKeyword(const sqlite::LikePattern &pattern, int limit,
                      const std::function<void(const KeywordMatch &)> &sink);

    // The statement a keyword lookup runs for this pattern when it walks the keyword index
    // (parameters: ?1 and ?2 the range of folded keys, ?3 the pattern, ?4 the row limit; each
    // present only where the pattern needs it). A pattern without literal text in front whose
    // literal runs give trigrams reads the trigram index instead, while that names few rows.
    static const char *keywordLookupSql(const sqlite::LikePattern &pattern);

    // Condition search: the keyword rows of the entries that meet the condition, in keyword
    // order, at most `limit`, each handed to the sink (see SearchCondition). Returns the number
    // of rows handed over.
    int searchCondition(const SearchCondition &condition, int limit,
                        const std::function<void(const KeywordMatch &)> &sink);

    // True when the file has the search tables (a file of an earlier version opened only for
    // reading has not; its searches read the tables themselves).
    bool hasSearchTables() const { return m_searchTables; }

    qint64 indexRowCount();
    qint64 documentRowCount();

    // The rowids of the keyword rows the trigram index names for a pattern, for qm_rows(?);
    // nullopt when the pattern has no trigram, when they are more than `cap`, or when the index
    // cannot hold every keyword row.
    std::optional<std::vector<qint64>> trigramRows(const sqlite::LikePattern &pattern, qint64 cap);

    // Opens the file now under the name when it is no longer the one opened (see above).
    void followReplacement();

private:
    // Checks the opened file and readies it for use (the constructor's work after opening).
    void openChecked(const Progress &progress);
    // Runs a write on the file now under the name; a write that meets another program's lock
    // past the busy timeout is reported naming this dictionary (see inUseError()).
    template <typename Write>
    auto writing(Write &&write) -> decltype(write())
    {
        followReplacement();
        try {
            return write();
        } catch (const sqlite::Error &e) {
            rethrowNamed(e);
        }
    }
    [[noreturn]] void rethrowNamed(const sqlite::Error &e) const;
    using KeywordRows = std::vector<TrigramIndex::KeywordRow>;
    // Adds the entry and its keyword rows; the rows go to `added` for indexAddedKeywordRows().
    void insertEntry(const Entry &entry, const QStringList &keywords, qint32 &number, KeywordRows &added,
                     Numbering numbering = Numbering::New);
    // Adds a keyword row; gives its rowid and folded key, as the trigram index takes them.
    TrigramIndex::KeywordRow insertKeyword(qint32 documentNumber, const QString &keyword);
    qint64 lastKeywordRow();
    // Hands the trigram index the keyword rows just added; `before` is the highest keyword row
    // there was before them.
    void indexAddedKeywordRows(const KeywordRows &added, qint64 before);
    // Keeps the record of the keyword rows the trigram index holds (see searchtables.h).
    void noteKeywordRows(qint64 added);
    void writeBodyText(qint32 documentNumber, const Entry &entry);
    // True when the engine cannot number a new entry itself: its counter is at the largest number.
    bool counterAtMaximum();
    // The lowest free entry number from m_freeNumberFrom up (from 1 up when there is none
    // there); throws numbersExhaustedError() when every number is taken.
    qint32 freeNumber();
    // True when the trigram index can hold every keyword row (see searchtables.h).
    bool indexHoldsEveryRow();
    // The rows of a lookup through the trigram index, or nullopt when the index cannot serve it
    // (no trigrams, too many candidates, an index that fails); the caller then walks the keys.
    std::optional<std::vector<KeywordMatch>> trigramLookup(const sqlite::LikePattern &pattern, int limit);
    void requireWritable() const;
    TrigramIndex &trigramIndex();
    // The keyword rows (rowid and folded key) a statement lists in its first two columns.
    static std::vector<TrigramIndex::KeywordRow> keywordRows(sqlite::Statement &st);
    // A statement prepared once per connection for a fixed SQL text, reset after every use.
    sqlite::Statement &cachedStatement(const char *sql);

    // Which of the engine's side files ("-wal", "-shm") were there before opening: the ones
    // opening makes are removed again when the file is refused.
    struct SideFiles {
        bool hadWal = false;
        bool hadShm = false;
        static SideFiles of(const QString &path);
        void removeNew(const QString &path) const;
    };

    SideFiles m_sideFiles;
    // Declared before the connection, so the lock is let go after the connection closes.
    SharedFileLock m_lock;
    sqlite::Database m_db;
    bool m_openedReadOnly = false;
    bool m_readOnly = false;
    bool m_editSession = false;
    bool m_searchTables = false;
    // Where freeNumber() goes on searching: the numbers below it were taken when it last looked.
    qint64 m_freeNumberFrom = 1;
    // Declared after the connection, so the statements are finalised before it closes.
    std::unordered_map<const char *, std::unique_ptr<sqlite::Statement>> m_statements;
    std::unique_ptr<TrigramIndex> m_trigrams;
};

} // namespace qm::store
