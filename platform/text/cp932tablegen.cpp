// Writes the CP932 tables as C++ arrays at build time, read from glibc's iconv "CP932" so that
// the mapping stays glibc's own while the program pays nothing to build them on first use.
//
//   cp932tablegen OUTPUT-FILE
//
// Fails (exit status 1, no output file) when iconv lacks the code page: tables of nothing but
// U+FFFD would turn every stored body into replacement characters.

#include <iconv.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr char32_t Replacement = 0xFFFD;
constexpr int FirstTrail = 0x40;
constexpr int TrailCount = 0x100 - FirstTrail;

class Converter final {
public:
    Converter(const char *to, const char *from)
        : m_cd(iconv_open(to, from))
    {
    }
    ~Converter()
    {
        if (ok())
            iconv_close(m_cd);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    bool ok() const { return m_cd != iconv_t(-1); }

    // Converts `in` completely into `out`; false when iconv refuses any part of it.
    bool convert(const char *in, std::size_t inLen, std::string &out)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char buffer[16];
        char *inPtr = const_cast<char *>(in);
        char *outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        if (iconv(m_cd, &inPtr, &inLen, &outPtr, &outLeft) == std::size_t(-1) || inLen != 0)
            return false;
        out.assign(buffer, sizeof buffer - outLeft);
        return true;
    }

private:
    iconv_t m_cd;
};

char32_t codePoint(const std::string &utf32le)
{
    if (utf32le.size() != 4)
        return Replacement;
    const auto *b = reinterpret_cast<const unsigned char *>(utf32le.data());
    return char32_t(b[0]) | char32_t(b[1]) << 8 | char32_t(b[2]) << 16 | char32_t(b[3]) << 24;
}

struct Tables {
    std::array<char32_t, 256> single{};
    std::array<int, 256> leadSlot{}; // 0: not a lead byte, else 1 + its row in `pairs`
    std::vector<std::array<char32_t, TrailCount>> pairs;
    std::vector<std::uint16_t> encode = std::vector<std::uint16_t>(0x10000, 0);

    char32_t pair(int lead, int trail) const
    {
        if (leadSlot[lead] == 0 || trail < FirstTrail)
            return Replacement;
        return pairs[leadSlot[lead] - 1][trail - FirstTrail];
    }
};

// A byte that does not stand alone may lead a pair; it does when at least one pair decodes.
bool readLead(Converter &decoder, int lead, Tables &t)
{
    std::array<char32_t, TrailCount> row;
    row.fill(Replacement);
    bool any = false;
    std::string out;
    for (int trail = FirstTrail; trail < 0x100; ++trail) {
        const char in[2] = {char(lead), char(trail)};
        if (decoder.convert(in, 2, out)) {
            row[trail - FirstTrail] = codePoint(out);
            any = true;
        }
    }
    if (any) {
        t.pairs.push_back(row);
        t.leadSlot[lead] = int(t.pairs.size());
    }
    return any;
}

bool readDecode(Tables &t)
{
    Converter decoder("UTF-32LE", "CP932");
    if (!decoder.ok())
        return false;
    t.single.fill(Replacement);
    std::string out;
    for (int b = 0; b < 0x100; ++b) {
        const char in = char(b);
        if (decoder.convert(&in, 1, out))
            t.single[b] = codePoint(out);
        else
            readLead(decoder, b, t);
    }
    return true;
}

// Only characters that come back as themselves are encodable: a best-fit mapping (U+301C to
// the bytes of U+FF5E, say) would change the text the user stored.
bool readEncode(Tables &t)
{
    Converter encoder("CP932", "UTF-32LE");
    if (!encoder.ok())
        return false;
    std::string out;
    for (char32_t cp = 1; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp < 0xE000)
            continue;
        const char in[4] = {char(cp & 0xFF), char(cp >> 8 & 0xFF), 0, 0};
        if (!encoder.convert(in, 4, out))
            continue;
        const auto *b = reinterpret_cast<const unsigned char *>(out.data());
        if (out.size() == 1 && t.single[b[0]] == cp)
            t.encode[cp] = b[0];
        else if (out.size() == 2 && t.pair(b[0], b[1]) == cp)
            t.encode[cp] = std::uint16_t(b[0] << 8 | b[1]);
    }
    return true;
}

// Every character of the code page lies in the Basic Multilingual Plane, so the tables hold
// UTF-16 units; a table that broke this would be written wrong.
bool fitsUtf16(const Tables &t)
{
    for (char32_t c : t.single)
        if (c > 0xFFFF)
            return false;
    for (const auto &row : t.pairs)
        for (char32_t c : row)
            if (c > 0xFFFF)
                return false;
    return true;
}

template<typename Range>
void writeValues(std::ofstream &out, const Range &values)
{
    int column = 0;
    for (auto v : values) {
        out << unsigned(v) << ',';
        if (++column == 24) {
            out << '\n';
            column = 0;
        }
    }
    out << '\n';
}

void write(std::ofstream &out, const Tables &t)
{
    out << "// Generated by cp932tablegen from glibc's iconv \"CP932\" at build time; not to be edited.\n"
        << "namespace qm::text::cp932::generated {\n"
        << "inline constexpr int FirstTrail = " << FirstTrail << ";\n"
        << "inline constexpr int TrailCount = " << TrailCount << ";\n"
        << "inline constexpr char16_t Single[256] = {\n";
    writeValues(out, t.single);
    out << "};\n// 0: not a lead byte; else 1 + the lead byte's row in Pairs.\n"
        << "inline constexpr std::uint8_t LeadSlot[256] = {\n";
    writeValues(out, t.leadSlot);
    out << "};\ninline constexpr char16_t Pairs[" << t.pairs.size() << "][TrailCount] = {\n";
    for (const auto &row : t.pairs) {
        out << "{";
        writeValues(out, row);
        out << "},\n";
    }
    out << "};\n// The bytes of each BMP character (a lead byte in the high half), 0: none.\n"
        << "inline constexpr std::uint16_t Encode[0x10000] = {\n";
    writeValues(out, t.encode);
    out << "};\n} // namespace qm::text::cp932::generated\n";
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: cp932tablegen OUTPUT-FILE\n");
        return 1;
    }
    Tables t;
    if (!readDecode(t) || !readEncode(t) || t.pairs.empty() || !fitsUtf16(t) || t.pairs.size() > 255) {
        std::fprintf(stderr, "cp932tablegen: iconv gives no usable CP932 tables\n");
        return 1;
    }
    const std::string temporary = std::string(argv[1]) + ".tmp";
    std::ofstream out(temporary, std::ios::trunc);
    write(out, t);
    out.close();
    if (!out || std::rename(temporary.c_str(), argv[1]) != 0) {
        std::fprintf(stderr, "cp932tablegen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
