#include "codepage.h"

#include "platform/text/cp932.h"

#include <array>

namespace qm::rtf {
namespace {

constexpr char32_t Replacement = 0xFFFD;

// Windows-1252 bytes 0x80-0x9F; the rest of the code page is Latin-1. Unassigned bytes read as
// U+FFFD.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

char32_t decode1252(std::uint8_t byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return Cp1252High[byte - 0x80];
    return byte;
}

} // namespace

CodePage codePageFromNumber(int number, CodePage fallback)
{
    switch (number) {
    case 932:
        return CodePage::Cp932;
    case 1252:
        return CodePage::Cp1252;
    default:
        return fallback;
    }
}

CodePage codePageFromCharset(int charset, CodePage documentCodePage)
{
    switch (charset) {
    case 128:
        return CodePage::Cp932;
    case 0:
    case 2:
        return CodePage::Cp1252;
    default:
        return documentCodePage;
    }
}

ByteDecoder::Output ByteDecoder::feed(std::uint8_t byte, CodePage codePage)
{
    namespace cp932 = qm::text::cp932;
    Output out;
    if (m_lead >= 0) {
        const char32_t pair = cp932::decodePair(std::uint8_t(m_lead), byte);
        m_lead = -1;
        if (pair != Replacement) {
            out.chars[out.count++] = pair;
            return out;
        }
        // Not a pair: the lone lead byte is unreadable, the second byte stands on its own.
        out.chars[out.count++] = Replacement;
    }
    if (codePage == CodePage::Cp1252) {
        out.chars[out.count++] = decode1252(byte);
    } else if (cp932::isLeadByte(byte)) {
        m_lead = byte;
    } else {
        out.chars[out.count++] = cp932::decodeSingle(byte);
    }
    return out;
}

char32_t ByteDecoder::flush()
{
    if (m_lead < 0)
        return 0;
    m_lead = -1;
    return Replacement;
}

} // namespace qm::rtf
