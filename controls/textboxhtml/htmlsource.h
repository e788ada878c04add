#pragma once

#include "corvane_export.h"

#include <QString>

#include <optional>

namespace corvane::htmlsource {

// The text between the first "<title>" and the first "</title>" after it, letter case aside,
// exactly as it stands in the source (no trimming, no decoding of character references).
// Empty when the source has no "<title>" (a tag with attributes does not count); nullopt when
// it has one that is never closed.
CORVANE_EXPORT std::optional<QString> title(QStringView source);

} // namespace corvane::htmlsource
