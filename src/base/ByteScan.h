// Tests on eight bytes at once, and searches of 64 at once, for passes over long texts whose
// bytes are nearly all ordinary.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace bytescan {

static_assert(std::endian::native == std::endian::little, "a word's first byte is its lowest");

inline constexpr std::uint64_t kOnes = 0x0101010101010101u;
inline constexpr std::uint64_t kHigh = 0x8080808080808080u;

// The eight bytes at p, in any alignment.
inline std::uint64_t load8(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

// The high bit of each zero byte of w. Past the first zero byte a borrow can mark others too, so
// only the lowest mark is sure: it is the first zero byte's.
inline std::uint64_t zeroMarks(std::uint64_t w) {
    return (w - kOnes) & ~w & kHigh;
}

inline bool hasZeroByte(std::uint64_t w) {
    return zeroMarks(w) != 0;
}

inline bool hasByte(std::uint64_t w, std::uint8_t b) {
    return hasZeroByte(w ^ (kOnes * b));
}

// A byte of 0x80 or above.
inline bool hasHighByte(std::uint64_t w) {
    return (w & kHigh) != 0;
}

// The four bytes at p, in any alignment.
inline std::uint32_t load4(const char* p) {
    std::uint32_t w;
    std::memcpy(&w, p, 4);
    return w;
}

// Eight bytes made of a text shorter than eight and nothing else, some of them twice (blanks for
// an empty text): what a test of each byte on its own makes of the text. Loaded whole, not
// copied into place byte by byte, which would stall the load that reads them back.
inline std::uint64_t shortWord(std::string_view text) {
    const char* p = text.data();
    const std::size_t n = text.size();
    if (n >= 4)
        return load4(p) | std::uint64_t(load4(p + n - 4)) << 32;
    if (n == 0)
        return kOnes * ' ';
    const auto byte = [&](std::size_t i) { return std::uint64_t(static_cast<std::uint8_t>(p[i])); };
    return (kOnes * byte(0)) ^ ((byte(0) ^ byte(n / 2)) << 8) ^ ((byte(0) ^ byte(n - 1)) << 16);
}

// Whether `refused`, a test of each byte on its own, passes every eight bytes of the text: the
// last eight overlap bytes already seen rather than being copied apart.
template <class Refused>
bool noneRefused(std::string_view text, Refused refused) {
    const std::size_t n = text.size();
    if (n < 8)
        return !refused(shortWord(text));
    for (std::size_t i = 0; i + 8 < n; i += 8)
        if (refused(load8(text.data() + i)))
            return false;
    return !refused(load8(text.data() + n - 8));
}

// Whether every byte of the text is an ASCII character other than NUL.
inline bool plainAscii(std::string_view text) {
    return noneRefused(text, [](std::uint64_t w) { return hasZeroByte(w) || hasHighByte(w); });
}

// Whether a byte of the text is 0x80 or above.
inline bool anyHighByte(std::string_view text) {
    return !noneRefused(text, hasHighByte);
}

// The high bit of each zero byte of w, and of no other (unlike zeroMarks, no borrow crosses).
inline std::uint64_t exactZeroMarks(std::uint64_t w) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
    return ~(((w & kLow7) + kLow7) | w | kLow7);
}

// Bit i set where byte i of the 64 at p is a, b or c: eight bytes at a time, for any machine.
inline std::uint64_t blockMarksPortable(const char* p, std::uint8_t a, std::uint8_t b,
                                        std::uint8_t c) {
    std::uint64_t marks = 0;
    for (int i = 0; i < 8; ++i) {
        const std::uint64_t w = load8(p + 8 * i);
        const std::uint64_t high = exactZeroMarks(w ^ (kOnes * a)) |
                                   exactZeroMarks(w ^ (kOnes * b)) |
                                   exactZeroMarks(w ^ (kOnes * c));
        // Each byte's mark, from bit 8j + 7, gathered to bit 56 + j without carries.
        marks |= (((high >> 7) * 0x0102040810204080u) >> 56) << (8 * i);
    }
    return marks;
}

// The same, sixteen bytes at a time where the machine has SSE2 (every x86-64 does).
inline std::uint64_t blockMarks(const char* p, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(static_cast<char>(a));
    const __m128i vb = _mm_set1_epi8(static_cast<char>(b));
    const __m128i vc = _mm_set1_epi8(static_cast<char>(c));
    std::uint64_t marks = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(w, va), _mm_cmpeq_epi8(w, vb)),
                                         _mm_cmpeq_epi8(w, vc));
        marks |= std::uint64_t(static_cast<std::uint16_t>(_mm_movemask_epi8(hit))) << (16 * i);
    }
    return marks;
#else
    return blockMarksPortable(p, a, b, c);
#endif
}

// blockMarks for the up to 64 bytes of text from `at`; bits past the text's end are clear.
inline std::uint64_t marksAt(std::string_view text, std::size_t at, std::uint8_t a, std::uint8_t b,
                             std::uint8_t c) {
    const std::size_t n = text.size() - at;
    if (n >= 64)
        return blockMarks(text.data() + at, a, b, c);
    char block[64] = {};
    std::memcpy(block, text.data() + at, n);
    return blockMarks(block, a, b, c) & ((std::uint64_t(1) << n) - 1);
}

// How many bytes of the text are b.
inline std::int64_t countByte(std::string_view text, std::uint8_t b) {
    std::int64_t count = 0;
    for (std::size_t at = 0; at < text.size(); at += 64)
        count += std::popcount(marksAt(text, at, b, b, b));
    return count;
}

} // namespace bytescan
