#include "cp932.h"

#include <iconv.h>

#include <algorithm>

#include <cerrno>
#include <memory>
#include <mutex>
#include <vector>

namespace qm::text::cp932 {
namespace {

constexpr char32_t Replacement = 0xFFFD;

// The code page's tables, read once from iconv so that the mapping is glibc's own; every later
// conversion is a table lookup.
class Tables final {
public:
    static const Tables &instance()
    {
        static const Tables tables;
        return tables;
    }

    char32_t single(std::uint8_t byte) const { return m_single[byte]; }
    bool isLead(std::uint8_t byte) const { return m_lead[byte]; }
    char32_t pair(std::uint8_t lead, std::uint8_t trail) const
    {
        return m_double[std::size_t(lead) << 8 | trail];
    }
    std::uint16_t encoded(char32_t cp) const { return cp < 0x10000 ? m_encode[cp] : 0; }

private:
    Tables()
        : m_double(0x10000, Replacement)
        , m_encode(0x10000, 0)
    {
        m_single.fill(Replacement);
        m_lead.fill(false);
        fillDecode();
        fillEncode();
    }

    struct IconvHandle {
        iconv_t cd;
        explicit IconvHandle(const char *to, const char *from) : cd(iconv_open(to, from)) {}
        ~IconvHandle()
        {
            if (cd != iconv_t(-1))
                iconv_close(cd);
        }
        IconvHandle(const IconvHandle &) = delete;
        IconvHandle &operator=(const IconvHandle &) = delete;
    };

    // Converts `in` completely; false when iconv refuses any part of it.
    static bool convert(iconv_t cd, const char *in, size_t inLen, char *out, size_t &outLen)
    {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char *inPtr = const_cast<char *>(in);
        char *outPtr = out;
        size_t outLeft = outLen;
        if (iconv(cd, &inPtr, &inLen, &outPtr, &outLeft) == size_t(-1) || inLen != 0)
            return false;
        outLen -= outLeft;
        return true;
    }

    static char32_t toCodePoint(const char *utf32le, size_t len)
    {
        if (len != 4)
            return Replacement;
        const auto *b = reinterpret_cast<const unsigned char *>(utf32le);
        return char32_t(b[0]) | char32_t(b[1]) << 8 | char32_t(b[2]) << 16 | char32_t(b[3]) << 24;
    }

    void fillDecode()
    {
        IconvHandle h("UTF-32LE", "CP932");
        if (h.cd == iconv_t(-1))
            return;
        char out[16];
        for (int b = 0; b < 0x100; ++b) {
            const char in = char(b);
            size_t outLen = sizeof out;
            if (convert(h.cd, &in, 1, out, outLen)) {
                m_single[b] = toCodePoint(out, outLen);
                continue;
            }
            // A byte that does not stand alone may lead a pair.
            for (int t = 0x40; t < 0x100; ++t) {
                const char pairIn[2] = {char(b), char(t)};
                size_t pairLen = sizeof out;
                if (convert(h.cd, pairIn, 2, out, pairLen)) {
                    m_lead[b] = true;
                    m_double[std::size_t(b) << 8 | std::size_t(t)] = toCodePoint(out, pairLen);
                }
            }
        }
    }

    void fillEncode()
    {
        IconvHandle h("CP932", "UTF-32LE");
        if (h.cd == iconv_t(-1))
            return;
        char out[8];
        for (char32_t cp = 1; cp < 0x10000; ++cp) {
            if (cp >= 0xD800 && cp < 0xE000)
                continue;
            const char in[4] = {char(cp & 0xFF), char(cp >> 8 & 0xFF), 0, 0};
            size_t outLen = sizeof out;
            if (!convert(h.cd, in, 4, out, outLen))
                continue;
            // Only characters that come back as themselves are encodable: a best-fit mapping
            // (U+301C to the bytes of U+FF5E, say) would change the text the user stored.
            const auto *b = reinterpret_cast<const unsigned char *>(out);
            if (outLen == 1 && m_single[b[0]] == cp)
                m_encode[cp] = b[0];
            else if (outLen == 2 && pair(b[0], b[1]) == cp)
                m_encode[cp] = std::uint16_t(b[0] << 8 | b[1]);
        }
    }

    std::array<char32_t, 256> m_single{};
    std::array<bool, 256> m_lead{};
    std::vector<char32_t> m_double;
    std::vector<std::uint16_t> m_encode; // 0 = none; NUL is handled by the callers
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

QString decode(QByteArrayView bytes)
{
    const Tables &t = Tables::instance();
    QString out;
    out.reserve(bytes.size());
    const auto *p = reinterpret_cast<const std::uint8_t *>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const std::uint8_t b = p[i];
        if (b < 0x80) {
            out.append(QChar(char16_t(b)));
        } else if (t.isLead(b)) {
            const char32_t cp = i + 1 < n ? t.pair(b, p[i + 1]) : Replacement;
            // A lead byte without a valid trail byte is dropped alone, so the next byte
            // (often ASCII) still decodes as itself.
            if (cp != Replacement)
                ++i;
            appendCodePoint(out, cp);
        } else {
            appendCodePoint(out, t.single(b));
        }
    }
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
