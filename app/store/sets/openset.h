#pragma once

#include "app/store/dictionary/dictionary.h"
#include "app/store/search/setsearch.h"
#include "app/store/sets/dictionaryset.h"
#include "app/store/sets/memberopener.h"
#include "app/store/sets/slot.h"

#include "platform/sqlite/error.h"
#include "platform/sqlite/likepattern.h"

#include <QList>
#include <QPair>
#include <QSet>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qm::store {

// A dictionary of the set found damaged: its file, why it failed, and its slot.
struct DamagedDictionary {
    QString path;
    std::optional<sqlite::Error> failure;
    int slot = -1;
};
using DamageHandler = std::function<void(const DamagedDictionary &)>;

// Failures the program tells the user of: members of a set that did not open, a set file that
// cannot be read or written, a member refused. Each call is one message.
using FailureReport = std::function<void(const std::vector<sqlite::Error> &)>;

// The dictionaries of the current set, opened into their slots: opening and closing them, the
// file under a slot being replaced, and every search that runs over all slots in slot order.
// Slot numbers are only good for the generation they were taken under.
class OpenSet final
{
public:
    // Failures of opening go to `report`.
    explicit OpenSet(FailureReport report = {});
    ~OpenSet();
    OpenSet(const OpenSet &) = delete;
    OpenSet &operator=(const OpenSet &) = delete;

    // Opens every member of `set` into its slot. A file that does not open is reported once
    // (every such file of the opening in one report), and its slot stays empty; a damaged one
    // goes to the damage handler instead of the report when there is one, after every slot has
    // been opened.
    void open(const DictionarySet *set);
    // Stores each open dictionary's row counts and closes it; an unfinished edit session is
    // rolled back. Never reports anything.
    void close();
    // Runs `replace` (which puts another file under `path`) with the slots holding that file
    // closed; they open the file under the name again afterwards. A slot in an edit session
    // stays open: the replacement is then refused as the file is in use.
    void releaseWhile(const QString &path, const std::function<void()> &replace);

    // Opens `path` into `slot` in place of what the slot held (a file put back from a backup, or
    // one put in the place of a damaged file); the other slots stay open as they are. False,
    // after reporting why, when the file does not open or the slot is in an edit session.
    bool reopenSlot(int slot, const QString &path);

    // The number of slots of the set opened last; a slot may be empty.
    int count() const { return m_count; }
    // The open dictionary in a slot, whatever keeps it, or nullptr.
    DictionaryStorage *storage(int slot) const;
    // The dictionary file open in a slot, or nullptr (also for a dictionary on a server): what
    // works on the file itself (compaction, backup, salvage, restore) takes this.
    Dictionary *dictionary(int slot) const;
    // Changes each time the set is closed, and when a set is opened whose slots do not name the
    // same files as the set opened last.
    quint64 generation() const { return m_generation; }

    // A file whose failure the user has been told of already is not reported again.
    void markReported(const QString &path) { m_reported.insert(path); }
    void setProgressHandler(Progress progress) { m_progress = std::move(progress); }
    // Reads rich-text bodies for every dictionary opened from now on.
    void setRichTextReader(RichTextReader reader) { m_richText = std::move(reader); }
    const RichTextReader &richTextReader() const { return m_richText; }
    // Told of every member found damaged, at opening or by offerRecovery(), so that the program
    // can offer to recover it; without one, damage is reported as any other failure.
    void setDamageHandler(DamageHandler handler) { m_damaged = std::move(handler); }
    // Hands the failure of a read of the dictionary in `slot` to the damage handler when the
    // failure says the file is damaged; true when it did, and the caller then reports nothing.
    bool offerRecovery(int slot, const sqlite::Error &error);
    // Dictionaries open only for reading, and no file beside them is removed.
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    // How long connecting to a server dictionary may take before it counts as unreachable (read
    // at each opening, so that a changed option counts from the next one).
    void setServerTimeout(std::function<std::chrono::seconds()> timeout) { m_serverTimeout = std::move(timeout); }
    // Asks the user for a server's password that libpq's own sources do not give (on the window
    // thread); each is asked once per run and kept in memory only.
    void setPasswordAsker(ServerPasswords::Ask ask) { m_ask = std::move(ask); }
    // Opens server dictionaries in place of openServerDictionary() (tests).
    void setServerOpener(ServerOpener open) { m_openServer = std::move(open); }
    // The server passwords typed during this run, for connections that may not ask.
    PasswordPrompt rememberedPasswords() const { return m_passwords->remembered(); }

    // Opens a member apart from the set, read-only, for a look at it (its name and counts); a
    // server's password is asked as for the set. Throws sqlite::Error when it does not open.
    std::unique_ptr<DictionaryStorage> openReadOnly(const QString &location) const;

    // Runs the request over every open slot in slot order, handing each row on as it comes
    // (see searchSlots()); here, on the caller's thread.
    SearchResults search(const SearchRequest &request, const RowHandler &onRow);
    // The member each slot holds, with the generation and how to open a read-only storage of
    // each: what a search worker opens. A server member that did not open is named all the
    // same, so that each search tries it again.
    SetFiles files() const;
    // Called before a slot's file is closed or replaced (closing the set, releaseWhile(),
    // reopenSlot()), so that other connections to the files (a search worker's) let go of them.
    void setReleaseHandler(std::function<void()> handler) { m_release = std::move(handler); }

private:
    void releaseOthers() const
    {
        if (m_release)
            m_release();
    }
    // Opens a file into a slot; why not, and whether the file is damaged, when it does not.
    struct OpenFailure {
        std::optional<sqlite::Error> report; // as the user is told it
        std::optional<sqlite::Error> cause;  // as the file failed
        bool damaged = false;
    };
    OpenFailure openSlot(int slot, const QString &path);
    MemberOptions memberOptions() const;
    static sqlite::Error openFailure(const QString &path, const sqlite::Error &e);
    void tell(const std::vector<sqlite::Error> &failures) const;
    void startGeneration(const DictionarySet *set);

    FailureReport m_report;
    std::array<std::unique_ptr<DictionaryStorage>, MaxDictionariesPerSet> m_slots;
    // The members of the set opened last, by slot.
    QStringList m_members;
    int m_count = 0;
    std::function<std::chrono::seconds()> m_serverTimeout;
    ServerPasswords::Ask m_ask;
    ServerOpener m_openServer;
    // Shared with the search worker's openers, which may outlive the set.
    std::shared_ptr<ServerPasswords> m_passwords = std::make_shared<ServerPasswords>();
    bool m_readOnly = false;
    Progress m_progress;
    RichTextReader m_richText;
    DamageHandler m_damaged;
    std::function<void()> m_release;
    QSet<QString> m_reported;
    // Files found damaged while open: nothing more is written to them.
    QSet<QString> m_foundDamaged;
    quint64 m_generation = 0;
    quint64 m_lastGeneration = 0;
    // The slots' files (path and identity on disk) of the set opened last, and its generation.
    QList<QPair<QString, QByteArray>> m_openedFiles;
    quint64 m_openedGeneration = 0;
};

} // namespace qm::store
