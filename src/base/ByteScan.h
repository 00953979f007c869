// Tests on eight bytes at once, for passes over long texts whose bytes are nearly all ordinary.
#pragma once

#include <cstdint>
#include <cstring>

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

} // namespace bytescan
