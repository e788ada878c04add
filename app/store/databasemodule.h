#pragma once

#include "dictionary.h"
#include "dictionaryset.h"
#include "setlist.h"

#include <QList>
#include <QPair>
#include <QSet>

#include <array>
#include <chrono>
#include <functional>
#include <memory>

namespace qm::desktop {
class Prompter;
}

namespace qm::store {

// The dictionary sets known to the program, the current set, and the open dictionaries of that
// set by slot. One instance serves the whole run; every window reads it.
class DatabaseModule final
{
public:
    // `programFolder` holds "DicSets.ini" and "User.dic"; messages go to `prompter`.
    DatabaseModule(desktop::Prompter &prompter, QString programFolder);
    ~DatabaseModule();
    DatabaseModule(const DatabaseModule &) = delete;
    DatabaseModule &operator=(const DatabaseModule &) = delete;

    // The dictionary sets and which is current. The windows change them through the list's
    // own operations, which keep its limits, and then call CommitDictionarySets().
    const SetList &sets() const { return m_sets; }
    SetList &sets() { return m_sets; }
    const SetList::Sets &DictionarySetList() const { return m_sets.all(); }
    int DictionarySetCount() const { return m_sets.count(); }
    int OpenDictionarySetsIndex() const { return m_sets.current(); }

    // The number of slots of the current set; a slot may be empty when its file did not open.
    int DictionaryCount() const { return m_dictionaryCount; }

    // Loading and opening the set only read: they write or remove no file, and the set's
    // dictionaries open only for reading, so a lookup can run beside the program that uses the
    // folder. A missing set file then gives the default set in memory, and no file is made for
    // it. Set before LoadDictionarySets().
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

    // Fills the set table from "DicSets.ini", writing the default file (and "User.dic") only
    // when there is none. A file that cannot be read or would lose sets when written back is
    // reported and kept as it is; the program then runs with the default set in memory.
    void LoadDictionarySets();
    // Replaces "DicSets.ini" with the set table. Reports a failure and returns false; the old
    // file is then left whole. A file that was kept at load is only replaced when the sets were
    // changed since, and then a copy of it is kept as "DicSets.ini.bak".
    bool SaveDictionarySets();
    // Writes "DicSets.ini" when the set table (or the current set) differs from what was last
    // read or written, so that a change survives a crash; the windows call it each time they
    // commit a change. True when nothing needed writing or the write succeeded.
    bool CommitDictionarySets();
    // Writes the default set file and creates "User.dic" when it does not exist.
    void CreateDefaultDictionarySets();
    // Appends a dictionary file to the current set (without opening it). A full set or a file
    // registered already is reported and refused.
    bool AddDictionaryToSet(const QString &path);

    // Opens every dictionary of the current set into its slot. A file that does not open is
    // reported once, with the reason, and its slot stays empty.
    void OpenDictionarySet();
    // Stores each open dictionary's row counts and closes it; an unfinished edit session is
    // rolled back. Never reports anything.
    void CloseDictionarySet();

    // Runs `replace` (which puts another file under `path`) with the slots holding that file
    // closed, so the program does not hold a file it replaces itself; they open the file then
    // under the name again. A slot in an edit session stays open: the replacement is then
    // refused as the file is in use.
    void releaseWhile(const QString &path, const std::function<void()> &replace);

    // Changes each time a set is closed, and when a set is opened whose slots do not name the
    // same files (the same paths, the same files on disk) as the set opened last: a slot number
    // taken under one value names nothing under another.
    quint64 openGeneration() const { return m_openGeneration; }

    // The open dictionary in a slot, or nullptr.
    Dictionary *dictionary(int slot) const;

    // Keyword lookup over every open slot of the set in slot order, at most `limit` rows in all.
    // Throws sqlite::Error (Kind::BadPattern for a pattern that cannot be read, Kind::General
    // for an engine failure). A dictionary that fails is passed over and the others are still
    // searched; the first failure is thrown at the end (see failedSlot()), and the rows handed
    // to the sink stay handed.
    // A search stopped by requestCancel() is not a failure: it returns the rows found until
    // then with `cancelled` set.
    struct SearchOutcome {
        int count = 0;
        bool limitReached = false;
        bool cancelled = false;
    };
    SearchOutcome searchKeyword(const QString &pattern, int limit,
                                const std::function<void(int slot, const KeywordMatch &)> &sink);
    // Condition search over every open slot of the set in slot order, at most `limit` rows in
    // all (see SearchCondition). Throws sqlite::Error for an engine failure, after the other
    // dictionaries were searched, as searchKeyword() does; rows handed to the sink stay handed.
    SearchOutcome searchCondition(const SearchCondition &condition, int limit,
                                  const std::function<void(int slot, const KeywordMatch &)> &sink);

    QString setFilePath() const;
    QString userDictionaryPath() const;
    const QString &programFolder() const { return m_programFolder; }

    // Called when the program folder has no "manual" folder at load; the program starts the
    // help installer there.
    void setManualFolderMissingHandler(std::function<void()> handler) { m_manualMissing = std::move(handler); }
    // Shown while a dictionary being opened has its keys recomputed.
    void setProgressHandler(Progress progress) { m_progress = std::move(progress); }
    // Called now and then while a search runs long (a lookup that must read every key): first
    // after `delay`, then every `interval`, so the program can repaint its windows. The
    // handler must not use the store; isSearching() is true meanwhile.
    void setBusyHandler(std::function<void()> handler, std::chrono::milliseconds delay = std::chrono::milliseconds(150),
                        std::chrono::milliseconds interval = std::chrono::milliseconds(50))
    {
        m_busy = {std::move(handler), delay, interval};
    }
    bool isSearching() const { return m_searching; }
    // Asks the running search to stop (from the busy handler, which is where the program sees
    // the user's wish): the statement running is interrupted and no further dictionary is
    // searched. Does nothing when no search runs.
    void requestCancel()
    {
        if (m_searching)
            m_cancelRequested = true;
    }
    // The slot of the dictionary whose failure ended the last search, or -1 when none did.
    int failedSlot() const { return m_failedSlot; }

private:
    using Search = std::function<int(Dictionary &, int limit, const std::function<void(const KeywordMatch &)> &)>;
    // Runs `search` on every open slot in slot order until `limit` rows are found.
    SearchOutcome searchEachSlot(int limit, const Search &search,
                                 const std::function<void(int slot, const KeywordMatch &)> &sink);
    bool writeSetFile(const QString &text);
    bool createDefaultFiles();
    // Creates "User.dic" when it does not exist; the reason when that fails.
    QString createUserDictionary();
    void useDefaultSetInMemory();
    bool keepCopyOfSetFile();
    void rememberWrittenTable();
    // The files of the current set's slots as they are on disk now.
    QList<QPair<QString, QByteArray>> slotFiles() const;
    QString openFailureText(const QString &path, const sqlite::Error &e) const;

    desktop::Prompter &m_prompter;
    QString m_programFolder;
    SetList m_sets;
    // The open dictionaries of the current set by slot.
    std::array<std::unique_ptr<Dictionary>, MaxDictionariesPerSet> m_databases;
    int m_dictionaryCount = 0;
    std::function<void()> m_manualMissing;
    Progress m_progress;
    struct Busy {
        std::function<void()> handler;
        std::chrono::milliseconds delay{};
        std::chrono::milliseconds interval{};
    } m_busy;
    bool m_readOnly = false;
    bool m_searching = false;
    bool m_cancelRequested = false;
    int m_failedSlot = -1;
    // The set file could not be used (or made) at load and is left as it is.
    bool m_setFileKept = false;
    DictionarySetTable m_setsAtLoad;
    // Dictionary files whose failure the user has been told of.
    QSet<QString> m_reported;
    quint64 m_openGeneration = 0;
    quint64 m_lastGeneration = 0;
    // The set table as the set file holds it since the last read or write.
    DictionarySetTable m_written;
    // The slots of the set opened last and the generation it was opened under.
    QList<QPair<QString, QByteArray>> m_openedFiles;
    quint64 m_openedGeneration = 0;
};

} // namespace qm::store
