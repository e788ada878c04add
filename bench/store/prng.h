#pragma once

#include <cstdint>

namespace qm::bench {

// A small deterministic generator (xoshiro256**, seeded through SplitMix64). Its output is the
// same on every compiler and library, which the standard distributions do not promise, so a
// seed always gives the same dictionaries.
class Prng final
{
public:
    explicit Prng(std::uint64_t seed)
    {
        for (std::uint64_t &s : m_state)
            s = splitMix(seed);
    }

    // A seed for an independent stream: the same (seed, stream) pair always gives the same one.
    static std::uint64_t derive(std::uint64_t seed, std::uint64_t stream)
    {
        std::uint64_t x = seed ^ (stream * 0x9E3779B97F4A7C15ULL);
        return splitMix(x);
    }

    std::uint64_t next()
    {
        const std::uint64_t result = rotl(m_state[1] * 5, 7) * 9;
        const std::uint64_t t = m_state[1] << 17;
        m_state[2] ^= m_state[0];
        m_state[3] ^= m_state[1];
        m_state[1] ^= m_state[2];
        m_state[0] ^= m_state[3];
        m_state[2] ^= t;
        m_state[3] = rotl(m_state[3], 45);
        return result;
    }

    // Uniform in [0, bound); bound must be above 0. Multiply-and-shift, without the bias a
    // plain modulo has for large bounds.
    std::uint32_t below(std::uint32_t bound)
    {
        return std::uint32_t((std::uint64_t(std::uint32_t(next() >> 32)) * bound) >> 32);
    }

    // Uniform in [low, high].
    int between(int low, int high) { return low + int(below(std::uint32_t(high - low + 1))); }

    // True with the given chance in thousandths.
    bool perMille(int chance) { return int(below(1000)) < chance; }

    // Favours small values: the lower of two draws, so index 0 is the most frequent. Used to
    // make some syllables and stems far more common than others, as in real words.
    std::uint32_t skewedBelow(std::uint32_t bound)
    {
        const std::uint32_t a = below(bound);
        const std::uint32_t b = below(bound);
        return a < b ? a : b;
    }

private:
    static std::uint64_t splitMix(std::uint64_t &x)
    {
        std::uint64_t z = (x += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

    std::uint64_t m_state[4];
};

} // namespace qm::bench
