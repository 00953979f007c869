#include "jet/Text.h"

#include "base/Cp1252.h"
#include "jet/Error.h"

#include <algorithm>

namespace jet {
// Compressed form: FF FE, then runs that alternate between one byte per character (the high
// byte is zero) and two bytes per character, starting with one byte; a 00 byte switches.
std::u16string decodeText(std::span<const std::uint8_t> b, bool jet4, const std::string& where) {
    return decodeText(b, jet4, [&where] { return where; });
}

std::u16string decodeText(std::span<const std::uint8_t> b, bool jet4,
                          const std::function<std::string()>& where) {
    std::u16string out;
    if (!jet4) {
        out.reserve(b.size());
        for (auto c : b)
            out += cp1252::toUnicode(c);
        return out;
    }
    if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        out.reserve(b.size() - 2);
        bool compressed = true;
        for (std::size_t i = 2; i < b.size();) {
            if (b[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out += static_cast<char16_t>(b[i++]);
            } else {
                if (i + 1 >= b.size())
                    throw Error(where() + ": compressed text ends inside a character");
                out += static_cast<char16_t>(b[i] | (b[i + 1] << 8));
                i += 2;
            }
        }
        return out;
    }
    if (b.size() % 2 != 0)
        throw Error(where() + ": text of odd length " + std::to_string(b.size()) + " bytes");
    out.reserve(b.size() / 2);
    for (std::size_t i = 0; i + 1 < b.size(); i += 2)
        out += static_cast<char16_t>(b[i] | (b[i + 1] << 8));
    return out;
}

void appendEncodedText(std::u16string_view text, bool jet4, bool compress,
                       std::vector<std::uint8_t>& out) {
    if (!jet4) {
        for (char16_t c : text)
            out.push_back(cp1252::fromUnicode(c).value_or('?'));
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
