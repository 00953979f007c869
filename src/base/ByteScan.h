// Tests on eight bytes at once, for passes over long texts whose bytes are nearly all ordinary.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace bytescan {

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

// Whether `refused` passes every eight bytes of the text: the last eight overlap bytes already
// seen rather than being copied apart, and a text shorter than eight is made up to eight with
// blanks, which no test here refuses.
template <class Refused>
bool noneRefused(std::string_view text, Refused refused) {
    const std::size_t n = text.size();
    if (n < 8) {
        std::uint64_t w = kOnes * ' ';
        if (n > 0)
            std::memcpy(&w, text.data(), n);
        return !refused(w);
    }
    for (std::size_t i = 0; i + 8 < n; i += 8)
        if (refused(load8(text.data() + i)))
            return false;
    return !refused(load8(text.data() + n - 8));
}

// Whether every byte of the text is an ASCII character other than NUL.
inline bool plainAscii(std::string_view text) {
    return noneRefused(text, [](std::uint64_t w) { return hasZeroByte(w) || hasHighByte(w); });
}

// The place of the first byte at or after `at` that is a, b or c; the text's end when none is.
// The bytes passed over are ORed into `seen`.
inline std::size_t findAnyOf(std::string_view text, std::size_t at, std::uint8_t a, std::uint8_t b,
                             std::uint8_t c, std::uint64_t& seen) {
    static_assert(std::endian::native == std::endian::little, "the first byte is the lowest");
    for (; at + 8 <= text.size(); at += 8) {
        const std::uint64_t w = load8(text.data() + at);
        const std::uint64_t marks =
            zeroMarks(w ^ (kOnes * a)) | zeroMarks(w ^ (kOnes * b)) | zeroMarks(w ^ (kOnes * c));
        if (marks != 0) {
            const auto first = static_cast<std::size_t>(std::countr_zero(marks)) / 8;
            seen |= first == 0 ? 0 : w & (~std::uint64_t(0) >> (64 - 8 * first));
            return at + first;
        }
        seen |= w;
    }
    for (; at < text.size(); ++at) {
        const auto byte = static_cast<std::uint8_t>(text[at]);
        if (byte == a || byte == b || byte == c)
            break;
        seen |= byte;
    }
    return at;
}

inline std::size_t findAnyOf(std::string_view text, std::size_t at, std::uint8_t a, std::uint8_t b,
                             std::uint8_t c) {
    std::uint64_t unused = 0;
    return findAnyOf(text, at, a, b, c, unused);
}

} // namespace bytescan
