// Text as stored in rows: Jet 3 in the file's single-byte code page (1252), Jet 4 as UTF-16LE
// or in the compressed form that starts with FF FE.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace jet {

// Throws jet::Error (with `where` in the message) for an odd-length UTF-16 value.
std::u16string decodeText(std::span<const std::uint8_t> bytes, bool jet4, const std::string& where);
// The same with the place made only for a message: rows are read by the million.
std::u16string decodeText(std::span<const std::uint8_t> bytes, bool jet4,
                          const std::function<std::string()>& where);

// Jet 4: compressed when `compress` and the result is shorter, otherwise UTF-16LE.
// Jet 3: 1252 bytes; characters outside the code page become '?'.
std::vector<std::uint8_t> encodeText(std::u16string_view text, bool jet4, bool compress);
// The same, appended to `out`.
void appendEncodedText(std::u16string_view text, bool jet4, bool compress,
                       std::vector<std::uint8_t>& out);

} // namespace jet
