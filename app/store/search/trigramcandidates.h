#pragma once

#include "app/store/dictionary/entry.h"

#include <QtGlobal>

#include <functional>
#include <optional>
#include <vector>

namespace qm::sqlite {
class LikePattern;
class Statement;
}

namespace qm::store {

// A statement prepared once per connection for a fixed SQL text, reset after every use.
using CachedStatements = std::function<sqlite::Statement &(const char *sql)>;

// The rows of a lookup through the trigram index: among the index rowids the index named for
// the pattern (in the order class of their keys, see searchtables.h), the keyword rows that
// match, the first `limit` in keyword order, with their entries' heading and type (read as `use`
// asks, see RowUse). nullopt when that takes too many candidates, or when an entry of a row kept
// is missing; the caller then walks the keyword index instead.
std::optional<std::vector<KeywordMatch>> matchingCandidates(const CachedStatements &statements,
                                                            const sqlite::LikePattern &pattern,
                                                            const std::vector<qint64> &candidates, int limit,
                                                            RowUse use);

} // namespace qm::store
