#pragma once

#include "app/store/dictionary/entry.h"

#include <QStringView>

namespace qm::exchange {

// What an imported plain-text body becomes when CP932 cannot hold one of its characters.
enum class TextFallback {
    RichText, // RTF: such characters as \uN escapes
    Html      // an HTML page: such characters as numeric character references
};

// Makes the text the entry's body: a plain-text body in CP932 when CP932 holds every character;
// otherwise a body of the fallback type, which keeps every character. Text with characters that
// RTF does not carry (control characters other than tab and line ends, U+2028, U+2029, U+FFFC)
// becomes HTML even when rich text is asked for. Sets the entry's viewer and body (and the
// visible text of a rich-text body). True when the body is not plain text.
bool storePlainText(store::Entry &entry, QStringView text, TextFallback fallback);

} // namespace qm::exchange
