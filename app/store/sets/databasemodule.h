#pragma once

#include "app/store/dictionary/dictionary.h"
#include "app/store/search/searchworker.h"
#include "app/store/sets/dictionaryset.h"
#include "app/store/sets/openset.h"
#include "app/store/sets/setlist.h"

#include <memory>
#include <functional>

namespace qm::store {

// What the program gives the set list: where the failures the user is told of go (see OpenSet;
// as they happen, one message a call), and the names, in the user's language, of the set and
// the dictionary made when there is no set file.
struct SetHost {
    FailureReport report;
    QString defaultSetName;
    QString userDictionaryName;
};

// The dictionary sets known to the program, the current set, and the open dictionaries of that
// set by slot. One instance serves the whole run; every window reads it.
class DatabaseModule final
{
public:
    // `programFolder` holds "DicSets.ini" and "User.dic".
    DatabaseModule(SetHost host, QString programFolder);
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

    // The dictionaries of the current set, open in their slots, and the searches over them.
    const OpenSet &openSet() const { return m_open; }
    OpenSet &openSet() { return m_open; }
    // The number of slots of the current set; a slot may be empty when its file did not open.
    int DictionaryCount() const { return m_open.count(); }

    // Loading and opening the set only read: they write or remove no file, and the set's
    // dictionaries open only for reading, so a lookup can run beside the program that uses the
    // folder. A missing set file then gives the default set in memory, and no file is made for
    // it. Set before LoadDictionarySets().
    void setReadOnly(bool readOnly)
    {
        m_readOnly = readOnly;
        m_open.setReadOnly(readOnly);
    }

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

    // Opens every dictionary of the current set into its slot (see OpenSet::open()).
    void OpenDictionarySet() { m_open.open(m_sets.currentSet()); }
    // Closes the open set (see OpenSet::close()).
    void CloseDictionarySet() { m_open.close(); }
    void releaseWhile(const QString &path, const std::function<void()> &replace) { m_open.releaseWhile(path, replace); }
    quint64 openGeneration() const { return m_open.generation(); }
    // The dictionary file of a slot, for what works on the file itself; nullptr when the slot
    // did not open or holds a dictionary on a server.
    Dictionary *dictionary(int slot) const { return m_open.dictionary(slot); }
    // The dictionary of a slot as the windows use it, whatever keeps it; nullptr when the slot
    // did not open.
    DictionaryStorage *storage(int slot) const { return m_open.storage(slot); }

    // Runs a search over the open set on the caller's thread (see OpenSet::search()).
    SearchResults search(const SearchRequest &request, const RowHandler &onRow) { return m_open.search(request, onRow); }
    // The worker the windows search through, with connections of its own; started on first use.
    // It lets go of the files whenever the open set closes or replaces one.
    SearchWorker &searchWorker()
    {
        if (!m_worker) {
            m_worker = std::make_unique<SearchWorker>();
            m_open.setReleaseHandler([worker = m_worker.get()] { worker->releaseConnections(); });
        }
        return *m_worker;
    }
    // What the worker opens: the files of the open set's slots and its generation.
    SetFiles openFiles() const { return m_open.files(); }

    QString setFilePath() const;
    QString userDictionaryPath() const;

    // Called when the program folder has no "manual" folder at load; the program starts the
    // help installer there.
    void setManualFolderMissingHandler(std::function<void()> handler) { m_manualMissing = std::move(handler); }
    // See OpenSet::setDamageHandler(): the program offers to recover a damaged dictionary.
    void setDamageHandler(DamageHandler handler) { m_open.setDamageHandler(std::move(handler)); }
    bool offerRecovery(int slot, const sqlite::Error &error) { return m_open.offerRecovery(slot, error); }
    bool reopenSlot(int slot, const QString &path) { return m_open.reopenSlot(slot, path); }
    // See OpenSet: the connect timeout of server dictionaries and the prompt for a password.
    void setServerTimeout(std::function<std::chrono::seconds()> timeout) { m_open.setServerTimeout(std::move(timeout)); }
    void setPasswordAsker(ServerPasswords::Ask ask) { m_open.setPasswordAsker(std::move(ask)); }
    // Shown while a dictionary being opened has its keys recomputed.
    void setProgressHandler(Progress progress) { m_open.setProgressHandler(std::move(progress)); }
    // Reads rich-text bodies for every dictionary opened from now on (see OpenSet).
    void setRichTextReader(RichTextReader reader) { m_open.setRichTextReader(std::move(reader)); }
    const RichTextReader &richTextReader() const { return m_open.richTextReader(); }

private:
    bool writeSetFile(const QString &text);
    bool createDefaultFiles();
    // Creates "User.dic" when it does not exist; the reason when that fails.
    std::optional<sqlite::Error> createUserDictionary();
    void tell(const sqlite::Error &failure) const;
    void useDefaultSetInMemory();
    bool keepCopyOfSetFile();
    void rememberWrittenTable();

    SetHost m_host;
    QString m_programFolder;
    SetList m_sets;
    // Before the open set, which calls on it, so that it goes last.
    std::unique_ptr<SearchWorker> m_worker;
    OpenSet m_open;
    std::function<void()> m_manualMissing;
    bool m_readOnly = false;
    // The set file could not be used (or made) at load and is left as it is.
    bool m_setFileKept = false;
    DictionarySetTable m_setsAtLoad;
    // The set table as the set file holds it since the last read or write.
    DictionarySetTable m_written;
};

} // namespace qm::store
