#pragma once

#include "app/store/dictionary/dictionaryentries.h"
#include "app/store/dictionary/dictionaryinfo.h"
#include "app/store/dictionary/entry.h"
#include "app/store/progress.h"
#include "app/store/search/headinglist.h"
#include "app/store/search/searchcondition.h"

#include <QDateTime>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qm::sqlite {
class LikePattern;
}

namespace qm::store {

struct GenerationPolicy;

// What every kind of dictionary storage does, whatever keeps the entries (a local file today).
// The windows and the rest of the store reach a dictionary through this. docs/dictionary-storage.md
// states what each operation promises (order, folding, limits, errors, threads).
// Every operation throws sqlite::Error on failure.
class DictionaryStorage
{
public:
    virtual ~DictionaryStorage() = default;

    // Held while an operation reads the dictionary several times (a lookup and the bodies of its
    // rows, an export): the reads see one state of it, and the check that the dictionary is still
    // the one opened is made once for them all rather than once a read.
    class ReadScope
    {
    public:
        virtual ~ReadScope() = default;
    };
    // A storage with nothing to hold gives an empty scope.
    virtual std::unique_ptr<ReadScope> holdReads() { return std::make_unique<ReadScope>(); }

    // Where the dictionary is kept, as the user named it (a file's path).
    virtual QString location() const = 0;
    // True when every change is refused (Kind::ReadOnly).
    virtual bool isReadOnly() const = 0;

    // The dictionary's name, its description, and the name to show: the name, or the last part
    // of the location when the name cannot be read (displayName() never throws).
    virtual QString name() = 0;
    virtual QString displayName() = 0;
    virtual DictionaryDescription description() = 0;
    virtual void setDescription(const DictionaryDescription &description) = 0;

    // Counts of entries and of keyword rows, as they are now.
    virtual qint64 entryCount() = 0;
    virtual qint64 keywordCount() = 0;
    // Keeps the counts where a list of dictionaries reads them without opening each one whole
    // (done when the dictionary is closed).
    virtual void recordCounts() = 0;

    // Reading entries.
    virtual std::optional<Entry> document(qint32 documentNumber) = 0;
    virtual QStringList keywords(qint32 documentNumber) = 0;
    virtual std::vector<qint32> entryNumbers() = 0;
    virtual void forEachEntry(const std::vector<qint32> &numbers, const EntryVisitor &visit) = 0;
    virtual bool headingExists(const QString &heading) = 0;

    // Writing entries.
    virtual qint32 addEntry(const Entry &entry, const QStringList &keywords) = 0;
    virtual qint64 addEntriesFrom(const BatchSource &next) = 0;
    virtual bool updateEntry(const Entry &entry) = 0;
    virtual bool deleteEntry(qint32 documentNumber) = 0;
    virtual void addKeyword(qint32 documentNumber, const QString &keyword) = 0;
    virtual bool deleteKeyword(qint32 documentNumber, const QString &keyword) = 0;
    // Takes out one keyword row for each text of `remove` (as deleteKeyword) and adds `add` in
    // their order (as addKeyword): what the modification window does when it saves. Gives how
    // many of `remove` were found. A storage may do it in one step.
    virtual int changeKeywords(qint32 documentNumber, const QStringList &remove, const QStringList &add)
    {
        int found = 0;
        for (const QString &keyword : remove)
            found += deleteKeyword(documentNumber, keyword) ? 1 : 0;
        for (const QString &keyword : add)
            addKeyword(documentNumber, keyword);
        return found;
    }

    // Holds one entry for this program while a window edits it, so that another program cannot
    // edit it meanwhile; throws Kind::InUse when another program holds it. Holding an entry lets
    // go of the one held before. A storage whose edit session keeps other programs out of the whole
    // dictionary (a file) holds nothing here.
    virtual void holdEntry(qint32 documentNumber) { (void)documentNumber; }
    virtual void releaseEntry() {}

    // The edit session of one entry's changes.
    virtual void beginEditSession() = 0;
    virtual void commitEditSession() = 0;
    virtual void rollbackEditSession() = 0;
    virtual bool inEditSession() const = 0;
    // True while the session can still store its changes: false once a failed write made the
    // storage drop it (it must then be rolled back and begun anew).
    virtual bool isEditSessionLive() = 0;

    // Searching.
    virtual int searchKeyword(const sqlite::LikePattern &pattern, int limit,
                              const std::function<void(const KeywordMatch &)> &sink) = 0;
    // The same rows for a caller that reads each row's body next (see RowUse).
    virtual int searchKeywordForBodies(const sqlite::LikePattern &pattern, int limit,
                                       const std::function<void(const KeywordMatch &)> &sink)
    {
        return searchKeyword(pattern, limit, sink);
    }
    virtual int searchCondition(const SearchCondition &condition, int limit,
                                const std::function<void(const KeywordMatch &)> &sink) = 0;
    virtual std::unique_ptr<HeadingCursor> headings(HeadingOrder order, bool descending) = 0;

    // Keeps a verified copy as a new generation under `root` (see BackupDictionary); gives the
    // generation's path.
    virtual QString backUp(const QString &root, const GenerationPolicy &policy, const QDateTime &now,
                           const Progress &progress) = 0;

protected:
    DictionaryStorage() = default;
    DictionaryStorage(const DictionaryStorage &) = default;
    DictionaryStorage &operator=(const DictionaryStorage &) = default;
};

} // namespace qm::store
