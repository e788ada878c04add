#pragma once

#include "app/store/dictionary/bodytext.h"
#include "app/store/dictionary/entry.h"
#include "app/store/search/searchcondition.h"
#include "app/store/sets/memberopener.h"
#include "app/store/sets/slot.h"

#include "platform/sqlite/error.h"
#include "platform/sqlite/likepattern.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace qm::store {

class DictionaryStorage;

// A keyword pattern compiled as every keyword lookup reads it (the keyword box's and the
// terminal's); throws sqlite::Error (Kind::BadPattern, with the reason in words for the user)
// when it cannot be read.
sqlite::LikePattern compileKeywordPattern(const QString &pattern);

// One row a search found: a keyword of the entry in a slot.
struct SlotMatch {
    Slot slot;
    KeywordMatch match;
};

// What to look for over the open set: a keyword pattern ("*", "?", "#", brackets) or a
// condition, and at most how many rows in all.
struct SearchRequest {
    std::variant<QString, SearchCondition> what;
    int limit = 0;
    // A keyword lookup whose caller reads every row's body next says so (see RowUse).
    RowUse use = RowUse::List;

    static SearchRequest keyword(const QString &pattern, int limit, RowUse use = RowUse::List)
    {
        return {pattern, limit, use};
    }
    static SearchRequest condition(const SearchCondition &condition, int limit) { return {condition, limit}; }
};

// Why a search did not search everything: the error, and the member it came from (slot -1 and
// no file when the request itself could not be read, as a bad pattern).
struct SearchFailure {
    sqlite::Error error;
    int slot = -1;
    QString path;

    bool isBadPattern() const { return error.kind() == sqlite::Error::Kind::BadPattern; }
};

// What a search over the set found, beside the rows it handed on.
struct SearchResults {
    int count = 0;
    bool limitReached = false;
    // Stopped by its cancel flag: the rows handed on are those found until then.
    bool cancelled = false;
    // Dropped before its end (another search took its place, or the set closed): its rows are
    // not to be shown. Only a search worker's searches end so.
    bool abandoned = false;
    // The first failure; the rows the other members gave were still handed on.
    std::optional<SearchFailure> failure;
};

// Which member each slot of the open set holds (empty for an empty slot), and the set's
// generation: what the worker opens its own connections to, with the reader of rich-text bodies
// the set's dictionaries use and the opener of a read-only storage by member (nothing: files).
struct SetFiles {
    quint64 generation = 0;
    QStringList files;
    RichTextReader richText;
    StorageOpener open;
};

using RowHandler = std::function<void(const SlotMatch &)>;

// Runs `request` over the dictionaries of a set, in slot order (`members[i]` is slot i; nullptr
// for an empty slot), handing each row found to `onRow` as it comes, until `limit` rows in all.
// A member that fails is passed over and the others are still searched; the first failure is
// reported in the summary. When `cancel` is given and turns true, the running statement is
// interrupted (a file's through the engine's progress handler, which only reads the flag; any
// other storage's at its next row) and the rows handed on so far are the result. Never throws
// an sqlite::Error.
SearchResults searchSlots(const std::vector<DictionaryStorage *> &members, const SearchRequest &request, const RowHandler &onRow,
                          const std::atomic_bool *cancel = nullptr);

} // namespace qm::store
