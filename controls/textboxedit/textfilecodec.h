#pragma once

#include "corvane_export.h"

#include <QByteArray>
#include <QString>

namespace corvane {

// The encodings a plain text file is read in. A file is written back in the encoding it was
// read in, so that a file opened and saved unchanged keeps its bytes.
enum class TextEncoding {
    Cp932,       // the system code page; also every file of ASCII only
    Utf8,        // valid UTF-8 that is not ASCII only, without a byte order mark
    Utf8WithBom, // valid UTF-8 behind a byte order mark
};

struct DecodedTextFile {
    QString text;
    TextEncoding encoding = TextEncoding::Cp932;
};

// Valid UTF-8, with or without a byte order mark, is read as UTF-8; anything else as CP932
// (a byte that starts no CP932 character reads as U+FFFD).
CORVANE_EXPORT DecodedTextFile decodeTextFile(const QByteArray &bytes);

// The bytes of a text in an encoding. A text CP932 cannot hold is written as UTF-8 behind a
// byte order mark instead, which decodeTextFile reads back: no character is ever lost or
// written as "?".
CORVANE_EXPORT QByteArray encodeTextFile(QStringView text, TextEncoding encoding);

} // namespace corvane
