// Tests on eight bytes at once, for passes over long texts whose bytes are nearly all ordinary.
#pragma once

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

inline bool hasZeroByte(std::uint64_t w) {
    return ((w - kOnes) & ~w & kHigh) != 0;
}

inline bool hasByte(std::uint64_t w, std::uint8_t b) {
    return hasZeroByte(w ^ (kOnes * b));
}

// A byte of 0x80 or above.
inline bool hasHighByte(std::uint64_t w) {
    return (w & kHigh) != 0;
}

// The place of the first byte at or after `at` that is a, b or c; the text's end when none is.
// The bytes passed over are ORed into `seen`.
inline std::size_t findAnyOf(std::string_view text, std::size_t at, std::uint8_t a, std::uint8_t b,
                             std::uint8_t c, std::uint64_t& seen) {
    for (; at + 8 <= text.size(); at += 8) {
        const std::uint64_t w = load8(text.data() + at);
        if (hasByte(w, a) || hasByte(w, b) || hasByte(w, c))
            break;
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
