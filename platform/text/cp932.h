#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <cstdint>

namespace qm::text {

// Code page 932 (Windows-31J), with the tables of glibc's iconv "CP932" module.
//
// Decoding never fails: a byte that starts no valid character becomes U+FFFD and decoding goes
// on with the next byte. Encoding never substitutes: characters that CP932 cannot hold are
// reported and left out of the bytes, so a caller can refuse, escape or name them.
namespace cp932 {

struct EncodeResult {
    QByteArray bytes;
    QList<char32_t> unencodable; // each distinct character once, in order of appearance
    bool ok() const { return unencodable.isEmpty(); }
};

// One encoded character: 1 or 2 bytes; size 0 when the character has no CP932 form.
struct CharBytes {
    std::array<std::uint8_t, 2> bytes{};
    int size = 0;
};

QString decode(QByteArrayView bytes);
EncodeResult encode(QStringView text);
// The number of bytes encode() and encodeHtml() give for the text, counted without making them:
// a caller can refuse a body that would be too large before any memory is spent on it.
qsizetype encodedSize(QStringView text);
qsizetype encodedHtmlSize(QStringView text);
CharBytes encodeChar(char32_t codePoint);
bool canEncode(char32_t codePoint);

// Encodes HTML source: a character CP932 cannot hold becomes a numeric character reference
// ("&#128512;"), which every browser reads back as that character.
QByteArray encodeHtml(QStringView text);

// True when the byte is the first of a double-byte character.
bool isLeadByte(std::uint8_t byte);
// Decodes one double-byte character, or returns U+FFFD when the pair is not one.
char32_t decodePair(std::uint8_t lead, std::uint8_t trail);
// Decodes one single byte, U+FFFD when it is a lead byte or unassigned.
char32_t decodeSingle(std::uint8_t byte);

// The characters as the user would read them, for messages: "〜", "😀" ...
QString describe(const QList<char32_t> &characters);

} // namespace cp932
} // namespace qm::text
