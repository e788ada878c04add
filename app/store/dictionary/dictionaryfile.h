#pragma once

#include "app/store/dictionary/bodytext.h"
#include "app/store/dictionary/dictionaryinfo.h"
#include "app/store/dictionary/filelock.h"
#include "app/store/progress.h"
#include "app/store/search/trigramindex.h"

#include "platform/sqlite/database.h"
#include "platform/sqlite/error.h"

#include <QVariant>

#include <array>
#include <memory>
#include <unordered_map>

namespace qm::sqlite {
class Statement;
}

namespace qm::store {

// One open dictionary file: its connection, its shared lock, following a file put under its
// name, its schema and properties. Opening checks that the file is a dictionary (its schema is
// ours and it carries the marker) before anything is written to it, without reading its rows,
// so opening stays as fast for a large file as for a small one. Entries and searches work on
// it through DictionaryEntries and DictionarySearcher.
class DictionaryFile final
{
public:
    struct Options {
        // Open only for reading, even when the file could be written.
        bool readOnly = false;
        // Shown while keys folded by another version of the program are recomputed.
        Progress progress;
        // Reads the visible text of rich-text bodies, for body searches and the search tables;
        // without one such bodies are searched once a reader is given at a later opening.
        RichTextReader richText;
    };

    // Opens the file; throws sqlite::Error (Kind::FolderMissing when the folder of the path
    // does not exist, notDictionaryError() when the file is another database). A write-protected
    // file opens read-only: it can be searched, and every change is refused (Kind::ReadOnly).
    // The file is held with a shared lock while it is open, so no other program replaces it
    // meanwhile; while another program is replacing it, opening fails with SQLITE_BUSY.
    // Should a file be put under the name all the same (by a program that does not lock), the
    // next read or write outside a held transaction opens that file instead.
    DictionaryFile(const QString &path, const Options &options);
    ~DictionaryFile();
    DictionaryFile(const DictionaryFile &) = delete;
    DictionaryFile &operator=(const DictionaryFile &) = delete;

    // Makes a new, empty dictionary; throws sqlite::Error. An existing file is never
    // overwritten. A file left half-made by a failure is removed again.
    static void create(const QString &fileName, const DictionaryDescription &description);

    // True when the file is a sound dictionary: it opens, its schema is ours, it passes the
    // engine's quick check and it carries the marker property. Never throws, never writes
    // (only a write cut short, its journal beside the file, is rolled back first).
    static bool isDictionaryFile(const QString &fileName);

    const QString &path() const { return m_db.path(); }
    sqlite::Database &database() { return m_db; }
    bool isReadOnly() const { return m_readOnly; }
    // True when the file has the search tables (a file of an earlier version opened only for
    // reading has not; its searches read the tables themselves).
    bool hasSearchTables() const { return m_searchTables; }
    // True when the file has the body index too (a file of an earlier version opened only for
    // reading has not; its body searches read every body).
    bool hasBodyIndex() const { return m_bodyIndex; }
    const RichTextReader &richTextReader() const { return m_richText; }

    // Custom properties: text (QString), Boolean (bool), 32-bit integer (int). Reading or
    // writing a property that does not exist throws.
    QVariant property(const QString &name);
    void setProperty(const QString &name, const QVariant &value);

    // The dictionary's name; throws sqlite::Error when it cannot be read.
    QString name();
    // The name, or the file name when the name cannot be read. Never throws.
    QString displayName();
    DictionaryDescription description();
    // See DictionaryDescription: locked texts keep their stored values.
    void setDescription(const DictionaryDescription &description);

    qint64 indexRowCount();
    // Stores the row counts in the file's properties, where a list of dictionary files reads
    // them without counting (see summarizeDictionary()); each at most INT_MAX.
    void recordCounts();
    qint64 documentRowCount();

    // Opens the file now under the name when it is no longer the one opened (see above).
    void followReplacement();

    // While held (an edit session), the file under the name is not followed: the transaction
    // stays with the file it began on.
    void hold(bool held) { m_held = held; }
    bool isHeld() const { return m_held; }

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
    // Throws Kind::ReadOnly when the file cannot be changed.
    void requireWritable() const;

    // A statement prepared once per connection for a fixed SQL text; the caller resets it after
    // every use. resetStatements() resets them all (after a rollback).
    sqlite::Statement &cachedStatement(const char *sql);
    void resetStatements();
    TrigramIndex &trigramIndex();
    TrigramIndex &bodyIndex();

private:
    // Checks the opened file and readies it for use (the constructor's work after opening).
    void openChecked(const Progress &progress);
    [[noreturn]] void rethrowNamed(const sqlite::Error &e) const;

    // Which of the engine's side files ("-wal", "-shm") were there before opening: the ones
    // opening makes are removed again when the file is refused.
    struct SideFiles {
        bool hadWal = false;
        bool hadShm = false;
        static SideFiles of(const QString &path);
        void removeNew(const QString &path) const;
    };

    // Declared before the connection, whose functions read it.
    RichTextReader m_richText;
    SideFiles m_sideFiles;
    // Declared before the connection, so the lock is let go after the connection closes.
    SharedFileLock m_lock;
    sqlite::Database m_db;
    bool m_openedReadOnly = false;
    bool m_readOnly = false;
    bool m_held = false;
    bool m_searchTables = false;
    bool m_bodyIndex = false;
    // Declared after the connection, so the statements are finalised before it closes.
    std::unordered_map<const char *, std::unique_ptr<sqlite::Statement>> m_statements;
    std::unique_ptr<TrigramIndex> m_trigrams;
    std::unique_ptr<TrigramIndex> m_bodyTrigrams;
};

// One read transaction on a dictionary file for as long as it lives, so that a read of many
// statements sees one state of the file and takes its lock once; inside a transaction that is
// already open it does nothing. Ending the read loses nothing, so a failure to end it is
// passed over.
class ReadTransaction final
{
public:
    explicit ReadTransaction(DictionaryFile &file);
    ~ReadTransaction();
    ReadTransaction(const ReadTransaction &) = delete;
    ReadTransaction &operator=(const ReadTransaction &) = delete;

private:
    DictionaryFile &m_file;
    bool m_own = false;
};

} // namespace qm::store
