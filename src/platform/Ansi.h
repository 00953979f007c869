// Single-byte Windows-1252 text, the encoding of every host file and of the program's own
// strings. One byte is one character, as the host's fixed-width fields assume; conversion to
// Unicode happens only where text meets the windows or the database engine.
#pragma once

#include <string>
#include <string_view>

namespace ansi {

std::u16string toUtf16(std::string_view text);
std::string fromUtf16(std::u16string_view text);
std::string toUtf8(std::string_view text);
std::string fromUtf8(std::string_view text);

// Blanks are the space character only (code 32), as in the host's padded fields. Defined
// here so that the import's every field is trimmed without a call. A text of blanks only
// gives an empty view with no data.
inline std::string_view trimLeft(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && text[start] == ' ')
        ++start;
    return start == text.size() ? std::string_view() : text.substr(start);
}

inline std::string_view trimRight(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0 && text[end - 1] == ' ')
        --end;
    return end == 0 ? std::string_view() : text.substr(0, end);
}

inline std::string_view trim(std::string_view text) {
    return trimRight(trimLeft(text));
}

// Upper case of a Windows-1252 text, accented letters included.
std::string upper(std::string_view text);

} // namespace ansi
