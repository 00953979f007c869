// Windows-1252, the single-byte code page of the host's files and of Access 97 text.
#pragma once

#include <cstdint>
#include <optional>

namespace cp1252 {

// The Unicode character of a byte. The five bytes the code page leaves undefined map to the C1
// control of the same value, so every byte round-trips.
char16_t toUnicode(std::uint8_t byte);

// The byte of a character, or nothing when the code page cannot hold it.
std::optional<std::uint8_t> fromUnicode(char32_t c);

} // namespace cp1252
