#include "platform/Ansi.h"

#include "base/Cp1252.h"
#include "base/Utf8.h"

namespace ansi {
std::u16string toUtf16(std::string_view text) {
    std::u16string out(text.size(), u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        out[i] = cp1252::toUnicode(static_cast<unsigned char>(text[i]));
    return out;
}

std::string fromUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        // A surrogate pair is one character and becomes one '?'.
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            ++i, cp = 0x10000;
        out += static_cast<char>(cp1252::fromUnicode(cp).value_or('?'));
    }
    return out;
}

std::string toUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text)
        utf::appendUtf8(out, cp1252::toUnicode(c));
    return out;
}

std::string fromUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    // A malformed sequence costs one byte and one '?', so nothing after it is lost.
    for (std::size_t i = 0; i < text.size();) {
        auto cp = utf::nextCodePoint(text, i);
        out += static_cast<char>(cp ? cp1252::fromUnicode(*cp).value_or('?') : '?');
    }
    return out;
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& ch : out) {
        auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            c = static_cast<unsigned char>(c - 0x20);
        else if (c == 0x9A || c == 0x9C || c == 0x9E) // š œ ž
            c = static_cast<unsigned char>(c - 0x10);
        else if (c == 0xFF) // ÿ
            c = 0x9F;
        ch = static_cast<char>(c);
    }
    return out;
}

} // namespace ansi
