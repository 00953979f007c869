// The "General" sort order of Access 2000-2003 (Jet 4, sort order 0x409): how each character of
// a text value contributes to an index key.
//
// Every character a Windows-1252 text can hold has a code. A character either writes one or two
// bytes into the key ("inline" bytes, which decide the primary order: letters ignore case), or
// writes inline bytes plus one byte that records an accent ("international"), or writes nothing
// inline and is only recorded after the text ("unprintable": the apostrophe, the hyphen, control
// characters), or is dropped altogether (U+0000).
//
// Characters outside Windows-1252 have codes in Access too (it asks Windows for them), but this
// table does not carry them: they report as Unmapped, and callers must refuse the text rather
// than write a key Access would not find.
#pragma once

#include <array>
#include <cstdint>

namespace jet {

enum class SortClass : std::uint8_t {
    Unmapped,      // not in the table
    Ignored,       // contributes nothing
    Simple,        // inline bytes only
    International, // inline bytes and an accent byte
    Unprintable,   // no inline bytes; recorded with its code after the text
};

struct SortCode {
    SortClass kind = SortClass::Unmapped;
    std::uint8_t inlineCount = 0; // 1 or 2 for Simple and International
    std::array<std::uint8_t, 2> inlineBytes{};
    std::uint8_t accent = 0;      // International: the byte for the character's position
    std::uint8_t unprintable = 0; // Unprintable: its code
};

SortCode generalSortCode(char16_t c);

} // namespace jet
