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

// Blanks are the space character only (code 32), as in the host's padded fields.
std::string_view trim(std::string_view text);
std::string_view trimLeft(std::string_view text);
std::string_view trimRight(std::string_view text);

// Upper case of a Windows-1252 text, accented letters included.
std::string upper(std::string_view text);

} // namespace ansi
