#pragma once

#include <QByteArrayView>

namespace qm::text {

// Where UTF-8 bytes stop being valid: an overlong form, a surrogate, a code point beyond
// U+10FFFF, a stray continuation byte or a byte no UTF-8 has.
struct Utf8Check {
    // The first byte of the first invalid sequence; -1 when there is none.
    qsizetype invalidAt = -1;
    // The bytes that form whole characters: everything before `invalidAt`, or before a sequence
    // that the end of the bytes cuts off (more bytes may complete it).
    qsizetype validEnd = 0;
};

Utf8Check checkUtf8(QByteArrayView bytes);

} // namespace qm::text
