#include "app/store/search/setsearch.h"

#include "app/store/dictionary/dictionary.h"
#include "app/store/dictionary/storeerror.h"

#include <sqlite3.h>

namespace qm::store {
namespace {

// Engine instructions between two looks at the cancel flag: well under a millisecond of a scan.
constexpr int InstructionsPerCheck = 10000;

// While it lives, a statement running on the connection is interrupted once the flag is set.
class CancelWatch final
{
public:
    CancelWatch(DictionaryStorage &d, const std::atomic_bool *cancel)
        : m_handle(cancel ? handleOf(d) : nullptr)
    {
        if (m_handle)
            sqlite3_progress_handler(m_handle, InstructionsPerCheck, &CancelWatch::stopped,
                                     const_cast<std::atomic_bool *>(cancel));
    }
    ~CancelWatch()
    {
        if (m_handle)
            sqlite3_progress_handler(m_handle, 0, nullptr, nullptr);
    }
    CancelWatch(const CancelWatch &) = delete;
    CancelWatch &operator=(const CancelWatch &) = delete;

private:
    static sqlite3 *handleOf(DictionaryStorage &d)
    {
        auto *file = dynamic_cast<Dictionary *>(&d);
        return file ? file->database().handle() : nullptr;
    }
    // A non-zero answer makes the engine interrupt the statement.
    static int stopped(void *flag) { return static_cast<std::atomic_bool *>(flag)->load(std::memory_order_relaxed) ? 1 : 0; }

    sqlite3 *m_handle;
};

bool isSet(const std::atomic_bool *cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

sqlite::Error cancelledError()
{
    return sqlite::Error(sqlite::Error::Kind::Cancelled, SQLITE_INTERRUPT, QString());
}

// Runs the request on one member, handing each row on; returns the rows handed on.
int searchOne(DictionaryStorage &d, const SearchRequest &request, const std::optional<sqlite::LikePattern> &pattern,
              int limit, const std::function<void(const KeywordMatch &)> &found)
{
    if (pattern && request.use == RowUse::WithBodies)
        return d.searchKeywordForBodies(*pattern, limit, found);
    if (pattern)
        return d.searchKeyword(*pattern, limit, found);
    return d.searchCondition(std::get<SearchCondition>(request.what), limit, found);
}

} // namespace

sqlite::LikePattern compileKeywordPattern(const QString &pattern)
{
    sqlite::LikePattern::Problem problem{};
    std::optional<sqlite::LikePattern> compiled =
        sqlite::LikePattern::compile(pattern, sqlite::LikePattern::StrayBracket::Refuse, &problem);
    if (!compiled)
        throw Error(Error::Kind::BadPattern).withNumber(qint64(problem));
    return std::move(*compiled);
}

SearchResults searchSlots(const std::vector<DictionaryStorage *> &members, const SearchRequest &request, const RowHandler &onRow,
                          const std::atomic_bool *cancel)
{
    SearchResults results;
    // The pattern is compiled once for all members.
    std::optional<sqlite::LikePattern> pattern;
    if (const QString *text = std::get_if<QString>(&request.what)) {
        try {
            pattern = compileKeywordPattern(*text);
        } catch (const sqlite::Error &e) {
            results.failure = SearchFailure{e, -1, {}};
            return results;
        }
    } else if (std::get<SearchCondition>(request.what).isEmpty()) {
        return results;
    }
    const int limit = request.limit;
    for (int slot = 0; slot < int(members.size()) && results.count < limit; ++slot) {
        // A dictionary that could not be opened was reported then; it has no rows to find.
        DictionaryStorage *d = members[std::size_t(slot)];
        if (!d)
            continue;
        if (isSet(cancel)) {
            results.cancelled = true;
            break;
        }
        try {
            const CancelWatch watch(*d, cancel);
            searchOne(*d, request, pattern, limit - results.count, [&](const KeywordMatch &m) {
                // Between rows as well as inside a statement.
                if (isSet(cancel))
                    throw cancelledError();
                ++results.count;
                onRow({slot, m});
            });
        } catch (const sqlite::Error &e) {
            // An interrupted statement fails; the rows handed on before it stay the result.
            if (!isSet(cancel) && !results.failure)
                results.failure = SearchFailure{e, slot, shownMember(d->location())};
        }
        if (isSet(cancel)) {
            results.cancelled = true;
            break;
        }
    }
    results.limitReached = results.count >= limit;
    return results;
}

} // namespace qm::store
