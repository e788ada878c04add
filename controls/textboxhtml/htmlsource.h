#pragma once

#include "corvane_export.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace corvane::htmlsource {

// The text between the first "<title>" and the first "</title>" after it, letter case aside,
// exactly as it stands in the source (no trimming, no decoding of character references).
// Empty when the source has no "<title>" (a tag with attributes does not count); nullopt when
// it has one that is never closed.
CORVANE_EXPORT std::optional<QString> title(QStringView source);

// The character set a page declares in a meta element ("utf-8", "Shift_JIS", ...), as written;
// empty when it declares none.
CORVANE_EXPORT QString declaredCharset(QStringView source);

// The bytes of a page written for a browser to show. A page that CP932 can hold and that
// declares no other character set is written in CP932, the system's code page. Any other page
// is written as UTF-8 behind a byte order mark, which a browser follows before any declaration,
// so no character is lost or shown as something else, in a script or a style as well.
CORVANE_EXPORT QByteArray previewBytes(QStringView source);

} // namespace corvane::htmlsource
