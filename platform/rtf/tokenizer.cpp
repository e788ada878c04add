#include "tokenizer.h"

#include <climits>

namespace qm::rtf {
namespace {

bool isAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

Tokenizer::Tokenizer(QStringView input, bool rawBytes)
    : m_in(input)
    , m_rawBytes(rawBytes)
{
}

bool Tokenizer::isPlain(char16_t c) const
{
    if (c == u'\\' || c == u'{' || c == u'}')
        return false;
    if (c < 0x20)
        return c == u'\t';
    return !(m_rawBytes && c >= 0x80) && !isIgnored(c);
}

// Characters that carry no text of their own: line ends, control characters, and the
// paragraph separator and object placeholder that would otherwise become document structure.
bool Tokenizer::isIgnored(char16_t c)
{
    return (c < 0x20 && c != u'\t') || c == 0x7F || c == 0x2029 || c == 0xFFFC;
}

Tokenizer::Token Tokenizer::next()
{
    Token token;
    const qsizetype n = m_in.size();
    while (m_pos < n) {
        const char16_t c = m_in[m_pos].unicode();
        if (c == u'{' || c == u'}') {
            ++m_pos;
            token.kind = c == u'{' ? Kind::GroupOpen : Kind::GroupClose;
            return token;
        }
        if (c == u'\\') {
            if (escape(token))
                return token;
            continue;
        }
        if (m_rawBytes && c >= 0x80) {
            ++m_pos;
            token.kind = Kind::Byte;
            token.byte = std::uint8_t(c);
            return token;
        }
        if (isIgnored(c)) {
            ++m_pos;
            continue;
        }
        const qsizetype start = m_pos;
        while (m_pos < n && isPlain(m_in[m_pos].unicode()))
            ++m_pos;
        token.kind = Kind::Text;
        token.text = m_in.sliced(start, m_pos - start);
        return token;
    }
    return token;
}

// At a backslash. False when the escape produced nothing (a broken \'h or a trailing
// backslash); the input has advanced either way.
bool Tokenizer::escape(Token &token)
{
    ++m_pos;
    if (m_pos >= m_in.size())
        return false;
    const char16_t c = m_in[m_pos].unicode();
    if (isAsciiLetter(c)) {
        readWord(token);
        return true;
    }
    ++m_pos;
    // A character outside the BMP after a backslash is one symbol, not half of one.
    if (QChar::isHighSurrogate(c) && m_pos < m_in.size() && m_in[m_pos].isLowSurrogate())
        ++m_pos;
    if (c == u'\'') {
        if (m_pos + 1 < m_in.size()) {
            const int high = hexValue(m_in[m_pos].unicode());
            const int low = hexValue(m_in[m_pos + 1].unicode());
            if (high >= 0 && low >= 0) {
                m_pos += 2;
                token.kind = Kind::Byte;
                token.byte = std::uint8_t(high << 4 | low);
                return true;
            }
        }
        return false;
    }
    token.kind = Kind::Symbol;
    token.symbol = (c == u'\r' || c == u'\n') ? u'\n' : c;
    return true;
}

void Tokenizer::readWord(Token &token)
{
    const qsizetype n = m_in.size();
    int length = 0;
    bool tooLong = false;
    while (m_pos < n && isAsciiLetter(m_in[m_pos].unicode())) {
        if (length < MaxWordLength)
            m_word[length++] = char(m_in[m_pos].unicode());
        else
            tooLong = true; // the rest is consumed, the word is unknown
        ++m_pos;
    }
    token.kind = Kind::Word;
    token.word = tooLong ? std::string_view() : std::string_view(m_word, std::size_t(length));

    bool negative = false;
    if (m_pos + 1 < n && m_in[m_pos] == u'-' && isDigit(m_in[m_pos + 1].unicode())) {
        negative = true;
        ++m_pos;
    }
    if (m_pos < n && isDigit(m_in[m_pos].unicode())) {
        // Every digit is consumed; the value stops growing once it is out of the int range.
        long long value = 0;
        while (m_pos < n && isDigit(m_in[m_pos].unicode())) {
            if (value <= INT_MAX)
                value = value * 10 + (m_in[m_pos].unicode() - u'0');
            ++m_pos;
        }
        if (negative)
            value = -value;
        token.hasParam = true;
        token.param = int(value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : value);
    }
    if (m_pos < n && m_in[m_pos] == u' ')
        ++m_pos; // the delimiter belongs to the word
}

QStringView Tokenizer::takeBinary(int count)
{
    if (count <= 0)
        return {};
    const qsizetype take = qMin(qsizetype(count), m_in.size() - m_pos);
    const QStringView data = m_in.sliced(m_pos, take);
    m_pos += take;
    return data;
}

} // namespace qm::rtf
