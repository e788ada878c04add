#pragma once

#include <cstdint>

namespace qm::rtf {

// The code pages in which `\'hh` bytes (and raw 8-bit bytes of a file) are read.
enum class CodePage : std::uint8_t { Cp932, Cp1252 };

// `\ansicpgN` / `\cpgN`: 932 is CP932, everything else is read as Windows-1252, the RTF default.
CodePage codePageFromNumber(int number, CodePage fallback);
// `\fcharsetN`: 128 (Shift-JIS) is CP932, 0 (ANSI) and 2 (symbol) are 1252; the rest follow the
// document's code page.
CodePage codePageFromCharset(int charset, CodePage documentCodePage);

// Turns a stream of bytes into characters; a CP932 lead byte waits for its trail byte, so a
// double-byte character written as two `\'hh` escapes becomes one character.
class ByteDecoder final {
public:
    struct Output {
        char32_t chars[2]{};
        int count = 0;
    };

    Output feed(std::uint8_t byte, CodePage codePage);
    // A lead byte still waiting becomes U+FFFD; 0 when nothing was waiting.
    char32_t flush();
    bool pending() const { return m_lead >= 0; }

private:
    int m_lead = -1;
};

} // namespace qm::rtf
