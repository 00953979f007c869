// Index keys as Jet 4 writes them: the bytes an index entry holds for each column of its key.
//
// A key is the concatenation of one piece per indexed column, and Access orders entries by
// comparing keys byte by byte. Each piece starts with a flag byte: 0x7F for a value and 0x00 for
// Null in an ascending column, 0x80 and 0xFF in a descending one, so Nulls come first going up
// and last going down. Descending columns invert the value's bytes (the flag is already
// inverted), which reverses the byte order without another comparison rule.
//
// Text uses the General sort order (see GeneralSort.h); a text with a character outside it is
// refused with a jet::Error, because a key Access would compute differently breaks its lookups.
#pragma once

#include "jet/Types.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace jet {

inline constexpr std::uint8_t kKeyAscendingFlag = 0x7F;
inline constexpr std::uint8_t kKeyDescendingFlag = 0x80;
inline constexpr std::uint8_t kKeyNullAscending = 0x00;
inline constexpr std::uint8_t kKeyNullDescending = 0xFF;

// Characters of a text value that take part in its key; the rest is ignored.
inline constexpr std::size_t kMaxIndexedTextLength = 255;

void appendNullKey(bool ascending, std::vector<std::uint8_t>& out);

// Text or memo value, flag byte included.
void appendTextKey(std::u16string_view text, bool ascending, std::vector<std::uint8_t>& out);

// The same key without its flag byte.
std::vector<std::uint8_t> textKeyBody(std::u16string_view text, bool ascending);

// A fixed-width value from its bytes as stored in the row (little-endian; Boolean as one byte,
// 0 for No). Throws jet::Error for a type without fixed-width keys or a wrong width.
void appendFixedKey(ColumnType type, std::span<const std::uint8_t> rawLittleEndian, bool ascending,
                    std::vector<std::uint8_t>& out);

// Short binary value (ColumnType::Binary), flag byte included.
void appendBinaryKey(std::span<const std::uint8_t> value, bool ascending,
                     std::vector<std::uint8_t>& out);

// Whether appendFixedKey takes this type.
bool hasFixedKey(ColumnType type);

} // namespace jet
