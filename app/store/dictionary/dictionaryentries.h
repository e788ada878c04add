#pragma once

#include "app/store/dictionary/entry.h"
#include "app/store/search/trigramindex.h"

#include <functional>
#include <optional>
#include <vector>

namespace qm::sqlite {
class Database;
class Statement;
}

namespace qm::store {

class DictionaryFile;

// An entry to add with its keywords.
struct NewEntry {
    Entry entry;
    QStringList keywords;
};
// How added entries are numbered: anew, or keeping the DocumentNumber each carries (which must
// be free).
enum class Numbering { New, Keep };
// Hands out entries to add batch by batch (see DictionaryEntries::addEntriesFrom()).
using BatchSource = std::function<bool(std::vector<NewEntry> &batch, Numbering &numbering)>;
// Is handed every entry of a walk with its keywords; returns false to stop the walk.
using EntryVisitor = std::function<bool(const Entry &entry, const QStringList &keywords)>;

// The entries of one dictionary file and their keywords: reading, adding, changing and
// deleting them, the edit session, and keeping the trigram index and its record in step with
// every keyword row written.
class DictionaryEntries final
{
public:
    explicit DictionaryEntries(DictionaryFile &file);
    // An edit session still open is rolled back.
    ~DictionaryEntries();
    DictionaryEntries(const DictionaryEntries &) = delete;
    DictionaryEntries &operator=(const DictionaryEntries &) = delete;

    // The entry with this number, or nullopt when there is none. A body larger than
    // MaxBodyBytes is refused (Kind::TooLarge) without being read.
    std::optional<Entry> document(qint32 documentNumber);
    // The keywords of an entry in the order they were stored.
    QStringList keywords(qint32 documentNumber);
    // The numbers of all entries, ascending.
    std::vector<qint32> entryNumbers();
    // Hands the entries with these numbers (those that exist, in the order given) and their
    // keywords to the visitor, all read in one read transaction so that another program's
    // write cannot show half of itself; stops when the visitor returns false.
    void forEachEntry(const std::vector<qint32> &numbers, const EntryVisitor &visit);
    // True when an entry has exactly this heading (compared as stored, letter for letter).
    bool headingExists(const QString &heading);

    // Adds an entry and its keywords in one transaction and returns its new number.
    qint32 addEntry(const Entry &entry, const QStringList &keywords);
    // Adds many entries in one transaction (for imports and generated test data).
    void addEntries(const std::vector<NewEntry> &entries, Numbering numbering = Numbering::New);
    // Adds the entries a source hands out batch by batch, all in one transaction, so that a long
    // import holds one batch in memory and stores nothing unless every batch is stored. `next`
    // fills the empty batch and its numbering and returns false after the last one; whatever it
    // throws rolls everything back. Returns the number of entries added.
    qint64 addEntriesFrom(const BatchSource &next);
    // Replaces the type, heading, body and date of an entry; false when there is no such entry.
    bool updateEntry(const Entry &entry);
    // Deletes an entry; its keywords go with it. False when there was no such entry.
    bool deleteEntry(qint32 documentNumber);

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
    bool inEditSession() const;
    // True while the session's transaction is still open (the engine rolls it back by itself
    // after a full disk or an I/O error).
    bool isEditSessionLive();

private:
    using KeywordRows = std::vector<TrigramIndex::KeywordRow>;
    // What a write added, for the trigram indexes: the keyword rows, and the entries with
    // their body keys.
    struct Added {
        KeywordRows keywords;
        KeywordRows bodies;
        std::vector<qint64> unindexed; // entries whose bodies are too large to index
    };
    // A body as the body index holds it: its key (null: none), or listed under ReadAlways.
    struct StoredBody {
        QString key;
        bool large = false;
    };
    sqlite::Database &db();
    // Adds the entry and its keyword rows; both go to `added` for indexAdded().
    void insertEntry(const Entry &entry, const QStringList &keywords, qint32 &number, Added &added,
                     Numbering numbering = Numbering::New);
    // Adds a keyword row; gives its rowid and folded key, as the trigram index takes them.
    TrigramIndex::KeywordRow insertKeyword(qint32 documentNumber, const QString &keyword);
    qint64 lastKeywordRow();
    // Hands the trigram index the keyword rows just added; `before` is the highest keyword row
    // there was before them.
    void indexAddedKeywordRows(const KeywordRows &added, qint64 before);
    // The same for the keyword rows and bodies of added entries; records the rows.
    void indexAdded(const Added &added, qint64 before);
    bool isEmpty();
    // Fills both trigram indexes anew from every row.
    void rebuildIndexes();
    // How the body index holds an entry's body as stored now.
    StoredBody storedBody(qint32 documentNumber);
    void indexBodies(const Added &added);
    // Keeps the body index in step with an entry's body changed from `before` to `entry`'s.
    void reindexBody(const Entry &entry, const StoredBody &before, const QString &key);
    // The key of a body about to be written, when the search tables need it.
    QString bodyKeyToWrite(const Entry &entry);
    // Keeps the record of the keyword rows the trigram index holds (see searchtables.h).
    void noteKeywordRows(qint64 added);
    void writeBodyText(qint32 documentNumber, const Entry &entry, const QString &key);
    // True when the engine cannot number a new entry itself: its counter is at the largest number.
    bool counterAtMaximum();
    // The lowest free entry number from m_freeNumberFrom up (from 1 up when there is none
    // there); throws numbersExhaustedError() when every number is taken.
    qint32 freeNumber();
    // The keyword rows (rowid and folded key) a statement lists in its first two columns.
    static KeywordRows keywordRows(sqlite::Statement &st);

    DictionaryFile &m_file;
    // Where freeNumber() goes on searching: the numbers below it were taken when it last looked.
    qint64 m_freeNumberFrom = 1;
    // While a bulk write leaves the body index to be built at its end, no body key is made
    // for it (only a rich-text body's text, which DocumentText keeps).
    bool m_bodiesIndexedLater = false;
};

} // namespace qm::store
