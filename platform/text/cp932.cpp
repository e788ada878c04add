#include "cp932.h"

#include <algorithm>
#include <cstdint>

#include "cp932tables.inc"

namespace qm::text::cp932 {
namespace {

constexpr char32_t Replacement = 0xFFFD;

// The code page's tables, generated at build time from glibc's iconv (cp932tablegen.cpp), so
// that the mapping is glibc's own and the first conversion costs no more than any later one.
class Tables final {
public:
    static const Tables &instance()
    {
        static constexpr Tables tables;
        return tables;
    }

    char32_t single(std::uint8_t byte) const { return generated::Single[byte]; }
    bool isLead(std::uint8_t byte) const { return generated::LeadSlot[byte] != 0; }
    char32_t pair(std::uint8_t lead, std::uint8_t trail) const
    {
        const int slot = generated::LeadSlot[lead];
        if (slot == 0 || trail < generated::FirstTrail)
            return Replacement;
        return generated::Pairs[slot - 1][trail - generated::FirstTrail];
    }
    std::uint16_t encoded(char32_t cp) const { return cp < 0x10000 ? generated::Encode[cp] : 0; }
};

void appendCodePoint(QString &out, char32_t cp)
{
    if (QChar::requiresSurrogates(cp)) {
        out.append(QChar(QChar::highSurrogate(cp)));
        out.append(QChar(QChar::lowSurrogate(cp)));
    } else {
        out.append(QChar(char16_t(cp)));
    }
}

} // namespace

bool isLeadByte(std::uint8_t byte)
{
    return Tables::instance().isLead(byte);
}

char32_t decodePair(std::uint8_t lead, std::uint8_t trail)
{
    return Tables::instance().pair(lead, trail);
}

char32_t decodeSingle(std::uint8_t byte)
{
    return Tables::instance().single(byte);
}

// Every character of the code page is one UTF-16 unit and takes at least one byte, so the
// text is written in place into room for as many units as there are bytes.
QString decode(QByteArrayView bytes)
{
    const Tables &t = Tables::instance();
    const qsizetype n = bytes.size();
    QString out(n, Qt::Uninitialized);
    char16_t *const begin = reinterpret_cast<char16_t *>(out.data());
    char16_t *o = begin;
    const auto *p = reinterpret_cast<const std::uint8_t *>(bytes.data());
    for (qsizetype i = 0; i < n; ++i) {
        const std::uint8_t b = p[i];
        if (b < 0x80) {
            *o++ = b;
        } else if (t.isLead(b)) {
            const char32_t cp = i + 1 < n ? t.pair(b, p[i + 1]) : Replacement;
            // A lead byte without a valid trail byte is dropped alone, so the next byte
            // (often ASCII) still decodes as itself.
            if (cp != Replacement)
                ++i;
            *o++ = char16_t(cp);
        } else {
            *o++ = char16_t(t.single(b));
        }
    }
    out.truncate(o - begin);
    return out;
}

CharBytes encodeChar(char32_t cp)
{
    CharBytes r;
    if (cp == 0) {
        r.size = 1;
        return r;
    }
    const std::uint16_t e = Tables::instance().encoded(cp);
    if (e == 0)
        return r;
    if (e < 0x100) {
        r.bytes[0] = std::uint8_t(e);
        r.size = 1;
    } else {
        r.bytes[0] = std::uint8_t(e >> 8);
        r.bytes[1] = std::uint8_t(e & 0xFF);
        r.size = 2;
    }
    return r;
}

bool canEncode(char32_t cp)
{
    return encodeChar(cp).size > 0;
}

namespace {

// Runs `f` on each code point of the text; a lone surrogate reads as U+FFFD. The text is walked
// in place: a copy as UTF-32 would take twice the memory of the text itself.
template <typename F>
void forEachCodePoint(QStringView text, F f)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode()))
            f(QChar::surrogateToUcs4(u, text[++i].unicode()));
        else
            f(QChar::isSurrogate(u) ? char32_t(Replacement) : char32_t(u));
    }
}

// The numeric character reference of an HTML body for a character CP932 cannot hold.
QByteArray characterReference(char32_t cp)
{
    return "&#" + QByteArray::number(uint(cp)) + ';';
}

qsizetype decimalDigits(char32_t cp)
{
    qsizetype n = 1;
    for (; cp >= 10; cp /= 10)
        ++n;
    return n;
}

// Copies one encoded character to `out` and returns the position after it.
char *put(char *out, const CharBytes &c)
{
    out[0] = char(c.bytes[0]);
    if (c.size == 2)
        out[1] = char(c.bytes[1]);
    return out + c.size;
}

} // namespace

qsizetype encodedSize(QStringView text)
{
    qsizetype n = 0;
    forEachCodePoint(text, [&n](char32_t cp) { n += encodeChar(cp).size; });
    return n;
}

qsizetype encodedHtmlSize(QStringView text)
{
    qsizetype n = 0;
    forEachCodePoint(text, [&n](char32_t cp) {
        const int size = encodeChar(cp).size;
        n += size > 0 ? size : 3 + decimalDigits(cp);
    });
    return n;
}

// The bytes are sized once, exactly, and written in place.
EncodeResult encode(QStringView text)
{
    EncodeResult r;
    r.bytes.resize(encodedSize(text));
    char *out = r.bytes.data();
    forEachCodePoint(text, [&](char32_t cp) {
        const CharBytes c = encodeChar(cp);
        if (c.size > 0)
            out = put(out, c);
        else if (!r.unencodable.contains(cp))
            r.unencodable.append(cp);
    });
    return r;
}

QByteArray encodeHtml(QStringView text)
{
    QByteArray bytes(encodedHtmlSize(text), Qt::Uninitialized);
    char *out = bytes.data();
    forEachCodePoint(text, [&out](char32_t cp) {
        const CharBytes c = encodeChar(cp);
        if (c.size > 0) {
            out = put(out, c);
            return;
        }
        const QByteArray reference = characterReference(cp);
        out = std::copy(reference.begin(), reference.end(), out);
    });
    return bytes;
}

QString describe(const QList<char32_t> &characters)
{
    QString out;
    for (char32_t cp : characters) {
        if (!out.isEmpty())
            out.append(QLatin1Char(' '));
        out.append(QLatin1Char('"'));
        appendCodePoint(out, cp);
        out.append(QLatin1Char('"'));
        out.append(QStringLiteral(" (U+%1)")
                       .arg(QString::number(uint(cp), 16).toUpper().rightJustified(4, QLatin1Char('0'))));
    }
    return out;
}

} // namespace qm::text::cp932
