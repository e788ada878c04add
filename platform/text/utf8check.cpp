#include "utf8check.h"

#include <cstdint>

namespace qm::text {

namespace {

struct Lead {
    int length = 0;         // 0: no sequence starts with this byte
    std::uint8_t low = 0x80; // the range of the second byte
    std::uint8_t high = 0xBF;
};

Lead leadOf(std::uint8_t b)
{
    if (b < 0x80)
        return {1};
    if (b >= 0xC2 && b <= 0xDF)
        return {2};
    if (b == 0xE0)
        return {3, 0xA0, 0xBF};
    if (b == 0xED)
        return {3, 0x80, 0x9F}; // no surrogates
    if (b >= 0xE1 && b <= 0xEF)
        return {3};
    if (b == 0xF0)
        return {4, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3)
        return {4};
    if (b == 0xF4)
        return {4, 0x80, 0x8F}; // nothing beyond U+10FFFF
    return {};
}

} // namespace

Utf8Check checkUtf8(QByteArrayView bytes)
{
    const auto at = [&bytes](qsizetype i) { return static_cast<std::uint8_t>(bytes[i]); };
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const Lead lead = leadOf(at(i));
        if (lead.length == 0)
            return {i, i};
        for (int k = 1; k < lead.length; ++k) {
            if (i + k >= n)
                return {-1, i};
            const std::uint8_t low = k == 1 ? lead.low : 0x80;
            const std::uint8_t high = k == 1 ? lead.high : 0xBF;
            if (at(i + k) < low || at(i + k) > high)
                return {i, i};
        }
        i += lead.length;
    }
    return {-1, n};
}

} // namespace qm::text
