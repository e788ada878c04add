#include "textescape.h"

#include "tokenizer.h"

#include "platform/text/cp932.h"

#include <charconv>

namespace qm::rtf {
namespace {

constexpr char HexDigits[] = "0123456789abcdef";

void appendHexByte(QByteArray &out, std::uint8_t byte)
{
    const char escape[4] = {'\\', '\'', HexDigits[byte >> 4], HexDigits[byte & 0xF]};
    out.append(escape, 4);
}

void appendInt(QByteArray &out, int value)
{
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr - buffer);
}

void appendUnicodeUnit(QByteArray &out, char16_t unit)
{
    out.append("\\u", 2);
    appendInt(out, unit > 0x7FFF ? int(unit) - 0x10000 : int(unit));
    out.append('?');
}

// Characters with an RTF notation of their own; false for all others.
bool appendSpecial(QByteArray &out, char16_t c, bool &afterWord)
{
    switch (c) {
    case u'\t':
        out.append("\\tab", 4);
        afterWord = true;
        return true;
    case 0x2028: // line separator: a line break inside the paragraph
        out.append("\\line", 5);
        afterWord = true;
        return true;
    case 0x00A0:
        out.append("\\~", 2);
        break;
    case 0x00AD:
        out.append("\\-", 2);
        break;
    case 0x2011:
        out.append("\\_", 2);
        break;
    case u'\\':
    case u'{':
    case u'}':
        out.append('\\');
        out.append(char(c));
        break;
    default:
        return false;
    }
    afterWord = false;
    return true;
}

} // namespace

void appendControlWord(QByteArray &out, const char *word)
{
    out.append('\\');
    out.append(word);
}

void appendControlWord(QByteArray &out, const char *word, int parameter)
{
    appendControlWord(out, word);
    appendInt(out, parameter);
}

void appendEscapedText(QByteArray &out, QStringView text, bool &afterWord)
{
    namespace cp932 = qm::text::cp932;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x20 && c < 0x7F && c != u'\\' && c != u'{' && c != u'}') {
            if (afterWord) {
                out.append(' ');
                afterWord = false;
            }
            out.append(char(c));
            continue;
        }
        if (appendSpecial(out, c, afterWord))
            continue;
        // Other control characters, paragraph separators and object placeholders carry no text.
        if (Tokenizer::isIgnored(c))
            continue;
        char32_t codePoint = c;
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate();
        if (pair)
            codePoint = QChar::surrogateToUcs4(c, text[i + 1].unicode());
        const cp932::CharBytes bytes = QChar::isSurrogate(c) ? cp932::CharBytes{} : cp932::encodeChar(codePoint);
        afterWord = false;
        if (bytes.size > 0) {
            for (int b = 0; b < bytes.size; ++b)
                appendHexByte(out, bytes.bytes[std::size_t(b)]);
            continue;
        }
        if (QChar::isSurrogate(c) && !pair) {
            appendUnicodeUnit(out, 0xFFFD); // half a character is unreadable
            continue;
        }
        appendUnicodeUnit(out, c);
        if (pair)
            appendUnicodeUnit(out, text[++i].unicode());
    }
}

} // namespace qm::rtf
