#pragma once

#include "app/store/dictionary/dictionary.h"
#include "app/store/sets/dictionaryset.h"
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

namespace qm::desktop {
class Prompter;
}

namespace qm::store {

// A keyword pattern compiled as every keyword lookup reads it (the keyword box's and the
// terminal's); throws sqlite::Error (Kind::BadPattern, with the reason in words for the user)
// when it cannot be read.
sqlite::LikePattern compileKeywordPattern(const QString &pattern);

// One row a search found: a keyword of the entry in a slot.
struct SlotMatch {
    Slot slot;
    KeywordMatch match;
};

// What a search over the open set found, for a window to show in one go.
struct SearchResults {
    std::vector<SlotMatch> rows;
    bool limitReached = false;
    // Stopped by requestCancel(): the rows are those found until then.
    bool cancelled = false;
    // The first failure (a pattern that cannot be read, a dictionary that failed); the rows the
    // other dictionaries gave are still there.
    std::optional<sqlite::Error> failure;
};

// A dictionary of the set found damaged: its file, why it failed (in words for the user), and
// its slot.
struct DamagedDictionary {
    QString path;
    QString reason;
    int slot = -1;
};
using DamageHandler = std::function<void(const DamagedDictionary &)>;

// The dictionaries of the current set, opened into their slots: opening and closing them, the
// file under a slot being replaced, and every search that runs over all slots in slot order.
// Slot numbers are only good for the generation they were taken under.
class OpenSet final
{
public:
    explicit OpenSet(desktop::Prompter &prompter);
    ~OpenSet();
    OpenSet(const OpenSet &) = delete;
    OpenSet &operator=(const OpenSet &) = delete;

    // Opens every member of `set` into its slot. A file that does not open is reported once,
    // with the reason, and its slot stays empty; a damaged one goes to the damage handler
    // instead of the message when there is one, after every slot has been opened.
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
    // The open dictionary in a slot, or nullptr.
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

    struct SearchOutcome {
        int count = 0;
        bool limitReached = false;
        bool cancelled = false;
    };
    using Sink = std::function<void(int slot, const KeywordMatch &)>;
    // Keyword lookup over every open slot, at most `limit` rows in all. The pattern is compiled
    // once for all slots. Throws sqlite::Error (Kind::BadPattern for a pattern that cannot be
    // read); a dictionary that fails is passed over, the others are still searched and the
    // first failure is thrown at the end (see failedSlot()); rows handed to the sink stay
    // handed. A search stopped by requestCancel() returns the rows found with `cancelled` set.
    SearchOutcome searchKeyword(const QString &pattern, int limit, const Sink &sink);
    // Condition search over every open slot, with the same rules as searchKeyword().
    SearchOutcome searchCondition(const SearchCondition &condition, int limit, const Sink &sink);

    // The same searches, their rows collected instead of handed on one by one.
    SearchResults findKeyword(const QString &pattern, int limit);
    SearchResults findCondition(const SearchCondition &condition, int limit);

    // Called now and then while a search runs long: first after `delay`, then every
    // `interval`. The handler must not use the store; isSearching() is true meanwhile.
    void setBusyHandler(std::function<void()> handler, std::chrono::milliseconds delay,
                        std::chrono::milliseconds interval)
    {
        m_busy = {std::move(handler), delay, interval};
    }
    bool isSearching() const { return m_searching; }
    // The rows the running (or last) search has found so far.
    int rowsFound() const { return m_found; }
    // Asks the running search to stop: the statement running is interrupted and no further
    // dictionary is searched. Does nothing when no search runs.
    void requestCancel()
    {
        if (m_searching)
            m_cancelRequested = true;
    }
    // The slot of the dictionary whose failure ended the last search, or -1 when none did.
    int failedSlot() const { return m_failedSlot; }

private:
    using Search = std::function<int(Dictionary &, int limit, const std::function<void(const KeywordMatch &)> &)>;
    SearchOutcome searchEachSlot(int limit, const Search &search, const Sink &sink);
    template <typename Run>
    static SearchResults collect(const Run &run);
    // Opens a file into a slot; the message, and whether the file is damaged, when it does not.
    struct OpenFailure {
        QString text;
        QString reason;
        bool damaged = false;
    };
    OpenFailure openSlot(int slot, const QString &path);
    QString openFailureText(const QString &path, const sqlite::Error &e) const;
    void startGeneration(const DictionarySet *set);

    desktop::Prompter &m_prompter;
    std::array<std::unique_ptr<Dictionary>, MaxDictionariesPerSet> m_slots;
    int m_count = 0;
    bool m_readOnly = false;
    Progress m_progress;
    RichTextReader m_richText;
    DamageHandler m_damaged;
    struct Busy {
        std::function<void()> handler;
        std::chrono::milliseconds delay{};
        std::chrono::milliseconds interval{};
    } m_busy;
    bool m_searching = false;
    bool m_cancelRequested = false;
    int m_found = 0;
    int m_failedSlot = -1;
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
