#pragma once

// Runs a search over an open set (a DatabaseModule or an OpenSet) on the test's thread and
// collects what it found.

#include "app/store/search/setsearch.h"

#include <QString>

#include <vector>

namespace qm::test {

struct Found {
    std::vector<store::SlotMatch> rows;
    store::SearchResults summary;
};

template <typename Set>
Found findRows(Set &set, const store::SearchRequest &request)
{
    Found found;
    found.summary = set.search(request, [&found](const store::SlotMatch &m) { found.rows.push_back(m); });
    return found;
}

template <typename Set>
Found findKeyword(Set &set, const QString &pattern, int limit)
{
    return findRows(set, store::SearchRequest::keyword(pattern, limit));
}

} // namespace qm::test
