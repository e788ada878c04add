#pragma once

#include "app/store/dictionary/entry.h"

#include <QByteArrayView>
#include <QString>

#include <functional>

namespace qm::sqlite {
class Database;
}

namespace qm::store {

// Reads the visible text of an RTF document (paragraphs as "\n"). The RTF reader needs Qt Gui,
// which the store does not link, so the program hands its reader to each dictionary it opens.
using RichTextReader = std::function<QString(QStringView rtf)>;

// The folded text a body search matches, for a body as stored: the CP932 text of a plain-text,
// URL or HTML body (an invalid byte reads as U+FFFD), the visible text of a rich-text body.
// Null for an object, whose body is never searched, and for a rich-text body when `reader` is
// empty.
QString bodySearchKey(quint8 viewer, QByteArrayView body, const RichTextReader &reader);
// The same for an entry about to be written: a rich-text body's visible text is taken from
// the entry when its writer handed it over, instead of reading the RTF again.
QString bodySearchKey(const Entry &entry, const RichTextReader &reader);

// Registers the store's own functions on a connection of a dictionary:
//   qm_body_like(pattern, viewer, body, textKey): 1 when the body matches the pattern (see
//     LikePattern); a rich-text body is matched on textKey, its stored search key, and read
//     from the body only where that is NULL. An object body never matches.
//   qm_rich_text_key(body): bodySearchKey() of a rich-text body, NULL when it cannot be read.
//   qm_body_key(viewer, body, textKey): the key qm_body_like() matches, NULL where it matches
//     nothing (an object, a rich-text body without a text).
// Both read rich text with `reader`, which must outlive the connection (null: no reader).
void registerBodyFunctions(sqlite::Database &db, const RichTextReader *reader);

} // namespace qm::store
