#include "jet/Text.h"

#include "jet/Error.h"

#include <algorithm>

namespace jet {
namespace {

// 0x80-0x9F of Windows-1252; 0 marks the five unassigned bytes.
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

char16_t cp1252ToUnicode(std::uint8_t b) {
    if (b >= 0x80 && b < 0xA0)
        return kHigh[b - 0x80] ? kHigh[b - 0x80] : static_cast<char16_t>(b);
    return static_cast<char16_t>(b);
}

std::optional<std::uint8_t> unicodeToCp1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<std::uint8_t>(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c || (kHigh[i] == 0 && c == 0x80 + i))
            return static_cast<std::uint8_t>(0x80 + i);
    return std::nullopt;
}

// Compressed form: FF FE, then runs that alternate between one byte per character (the high
// byte is zero) and two bytes per character, starting with one byte; a 00 byte switches.
std::u16string decodeText(std::span<const std::uint8_t> b, bool jet4, const std::string& where) {
    std::u16string out;
    if (!jet4) {
        out.reserve(b.size());
        for (auto c : b)
            out += cp1252ToUnicode(c);
        return out;
    }
    if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        bool compressed = true;
        for (std::size_t i = 2; i < b.size();) {
            if (b[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out += static_cast<char16_t>(b[i++]);
            } else {
                if (i + 1 >= b.size())
                    throw Error(where + ": compressed text ends inside a character");
                out += static_cast<char16_t>(b[i] | (b[i + 1] << 8));
                i += 2;
            }
        }
        return out;
    }
    if (b.size() % 2 != 0)
        throw Error(where + ": text of odd length " + std::to_string(b.size()) + " bytes");
    out.reserve(b.size() / 2);
    for (std::size_t i = 0; i + 1 < b.size(); i += 2)
        out += static_cast<char16_t>(b[i] | (b[i + 1] << 8));
    return out;
}

void appendEncodedText(std::u16string_view text, bool jet4, bool compress,
                       std::vector<std::uint8_t>& out) {
    if (!jet4) {
        for (char16_t c : text)
            out.push_back(unicodeToCp1252(c).value_or('?'));
        return;
    }
    const std::size_t start = out.size();
    if (compress) {
        // A character whose low byte is zero would read back as the run switch, so text
        // holding one stays uncompressed, as Access does.
        // Both tests in one pass without branches, which the compiler can vectorize.
        unsigned seen = 0;
        bool zeroLow = false;
        for (char16_t c : text) {
            seen |= c;
            zeroLow |= (c & 0xFF) == 0;
        }
        const bool possible = !zeroLow, narrow = seen < 0x100;
        // Worth it only when shorter: the two marker bytes cost two characters' saving.
        if (possible && narrow && text.size() > 2) {
            // The usual case: one run of single bytes.
            out.resize(start + 2 + text.size());
            std::uint8_t* at = out.data() + start;
            *at++ = 0xFF;
            *at++ = 0xFE;
            for (std::size_t i = 0; i < text.size(); ++i)
                at[i] = static_cast<std::uint8_t>(text[i]);
            return;
        }
        if (possible && !narrow) {
            // At worst: the marker, then a switch before every character.
            out.resize(start + 2 + 3 * text.size());
            std::uint8_t* at = out.data() + start;
            *at++ = 0xFF;
            *at++ = 0xFE;
            bool single = true;
            for (char16_t ch : text) {
                const bool fits = ch < 0x100;
                if (fits != single) {
                    *at++ = 0;
                    single = fits;
                }
                *at++ = static_cast<std::uint8_t>(ch);
                if (!single)
                    *at++ = static_cast<std::uint8_t>(ch >> 8);
            }
            const auto size = static_cast<std::size_t>(at - (out.data() + start));
            if (size < text.size() * 2) {
                out.resize(start + size);
                return;
            }
        }
    }
    out.resize(start + 2 * text.size());
    std::uint8_t* at = out.data() + start;
    for (char16_t ch : text) {
        *at++ = static_cast<std::uint8_t>(ch);
        *at++ = static_cast<std::uint8_t>(ch >> 8);
    }
}

std::vector<std::uint8_t> encodeText(std::u16string_view text, bool jet4, bool compress) {
    std::vector<std::uint8_t> out;
    appendEncodedText(text, jet4, compress, out);
    return out;
}

} // namespace jet
