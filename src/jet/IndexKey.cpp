#include "jet/IndexKey.h"

#include "jet/Error.h"
#include "jet/GeneralSort.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace jet {
namespace {

constexpr std::uint8_t kEndOfText = 0x01;
constexpr std::uint8_t kEndOfKey = 0x00;
constexpr std::uint8_t kNoAccent = 0x02;
constexpr std::uint8_t kUnprintableMark = 0x06;
constexpr std::uint16_t kUnprintableBase = 7;
constexpr std::uint16_t kUnprintableStep = 4;
constexpr std::uint16_t kUnprintableFlag = 0x8000;

std::uint8_t startFlag(bool ascending) {
    return ascending ? kKeyAscendingFlag : kKeyDescendingFlag;
}

void invert(std::vector<std::uint8_t>& bytes, std::size_t from) {
    for (std::size_t i = from; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(~bytes[i]);
}

std::string codePoint(char16_t c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
    return buf;
}

std::string typeName(ColumnType t) {
    switch (t) {
    case ColumnType::Boolean:
        return "Yes/No";
    case ColumnType::Byte:
        return "Byte";
    case ColumnType::Int:
        return "Integer";
    case ColumnType::Long:
        return "Long";
    case ColumnType::Money:
        return "Currency";
    case ColumnType::Float:
        return "Single";
    case ColumnType::Double:
        return "Double";
    case ColumnType::DateTime:
        return "Date/Time";
    case ColumnType::Binary:
        return "Binary";
    case ColumnType::Text:
        return "Text";
    case ColumnType::Ole:
        return "OLE Object";
    case ColumnType::Memo:
        return "Memo";
    case ColumnType::Guid:
        return "GUID";
    case ColumnType::Numeric:
        return "Decimal";
    case ColumnType::SystemBinary:
        return "system binary";
    }
    return "type " + std::to_string(static_cast<int>(t));
}

// A key's raw width: a row's fixed width, and one byte for yes/no, whose key is built from
// its value.
std::size_t keyWidth(ColumnType t) {
    return t == ColumnType::Boolean ? 1 : fixedWidth(t);
}

// Binary data goes in 8-byte groups, each followed by a count byte: 9 while more groups follow,
// else the number of bytes the last group really holds. Descending inverts the data and the last
// count, but not the 9s: they must still say "more follows".
void appendBinaryGroups(std::span<const std::uint8_t> data, bool ascending,
                        std::vector<std::uint8_t>& out) {
    constexpr std::size_t kGroup = 8;
    constexpr std::uint8_t kMore = 9;
    std::size_t pos = 0;
    while (data.size() - pos > kGroup) {
        std::size_t at = out.size();
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(pos),
                   data.begin() + static_cast<std::ptrdiff_t>(pos + kGroup));
        if (!ascending)
            invert(out, at);
        out.push_back(kMore);
        pos += kGroup;
    }
    std::size_t rest = data.size() - pos;
    if (rest == 0)
        return;
    std::size_t at = out.size();
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(pos), data.end());
    out.insert(out.end(), kGroup - rest, 0);
    out.push_back(static_cast<std::uint8_t>(rest));
    if (!ascending)
        invert(out, at);
}

// The one inline byte of each ASCII character that has just that (0: any other kind), looked
// up directly: names and numbers are nearly all such characters.
const std::array<std::uint8_t, 0x80>& asciiSimpleBytes() {
    static const std::array<std::uint8_t, 0x80> bytes = [] {
        std::array<std::uint8_t, 0x80> b{};
        for (char16_t c = 0; c < 0x80; ++c) {
            const SortCode code = generalSortCode(c);
            if (code.kind == SortClass::Simple && code.inlineCount == 1)
                b[c] = code.inlineBytes[0];
        }
        return b;
    }();
    return bytes;
}

void appendTextBody(std::u16string_view text, bool ascending, std::vector<std::uint8_t>& out) {
    text = text.substr(0, std::min(text.size(), kMaxIndexedTextLength));
    // Access ignores trailing blanks, so "A" and "A " are the same key.
    while (!text.empty() && text.back() == u' ')
        text.remove_suffix(1);

    const std::size_t start = out.size();
    struct Unprintable {
        std::size_t position;
        std::uint8_t code;
    };
    // Kept from key to key: a hyphen in every social number would otherwise cost an allocation
    // for each row.
    thread_local std::vector<std::uint8_t> accents; // one per inline character, to the last accent
    thread_local std::vector<Unprintable> unprintables;
    accents.clear();
    unprintables.clear();
    std::size_t position = 0; // characters with inline bytes so far
    const auto& simple = asciiSimpleBytes();
    out.reserve(out.size() + text.size() + 2);
    for (char16_t c : text) {
        if (c < 0x80 && simple[c] != 0) {
            out.push_back(simple[c]);
            ++position;
            continue;
        }
        SortCode code = generalSortCode(c);
        switch (code.kind) {
        case SortClass::Unmapped:
            throw Error("index key: character " + codePoint(c) +
                        " has no place in the General sort order this engine knows; the text "
                        "cannot be indexed");
        case SortClass::Ignored:
            break;
        case SortClass::Simple:
        case SortClass::International:
            out.insert(out.end(), code.inlineBytes.begin(),
                       code.inlineBytes.begin() + code.inlineCount);
            if (code.kind == SortClass::International) {
                accents.resize(position, kNoAccent);
                accents.push_back(code.accent);
            }
            ++position;
            break;
        case SortClass::Unprintable:
            unprintables.push_back({position, code.unprintable});
            break;
        }
    }
    out.push_back(kEndOfText);
    while (!accents.empty() && accents.back() <= kNoAccent)
        accents.pop_back();
    out.insert(out.end(), accents.begin(), accents.end());
    if (!unprintables.empty()) {
        out.insert(out.end(), {kEndOfText, kEndOfText, kEndOfText});
        for (const Unprintable& u : unprintables) {
            auto at = static_cast<std::uint16_t>(
                (kUnprintableBase + kUnprintableStep * u.position) | kUnprintableFlag);
            out.push_back(static_cast<std::uint8_t>(at >> 8));
            out.push_back(static_cast<std::uint8_t>(at));
            out.push_back(kUnprintableMark);
            out.push_back(u.code);
        }
    }
    out.push_back(kEndOfKey);
    if (!ascending) {
        // The inverted end byte would sort after a longer text's bytes; a plain 0x00 after it
        // keeps "A" after "AB" going down.
        invert(out, start);
        out.push_back(kEndOfKey);
    }
}

} // namespace

void appendNullKey(bool ascending, std::vector<std::uint8_t>& out) {
    out.push_back(ascending ? kKeyNullAscending : kKeyNullDescending);
}

void appendTextKey(std::u16string_view text, bool ascending, std::vector<std::uint8_t>& out) {
    out.push_back(startFlag(ascending));
    appendTextBody(text, ascending, out);
}

std::vector<std::uint8_t> textKeyBody(std::u16string_view text, bool ascending) {
    std::vector<std::uint8_t> out;
    appendTextBody(text, ascending, out);
    return out;
}

bool hasFixedKey(ColumnType type) {
    return keyWidth(type) != 0;
}

void appendFixedKey(ColumnType type, std::span<const std::uint8_t> raw, bool ascending,
                    std::vector<std::uint8_t>& out) {
    const std::size_t width = keyWidth(type);
    if (width == 0)
        throw Error("index key: a " + typeName(type) + " column has no fixed-width key");
    if (raw.size() != width)
        throw Error("index key: a " + typeName(type) + " value has " + std::to_string(width) +
                    " bytes, not " + std::to_string(raw.size()));
    out.push_back(startFlag(ascending));
    const std::size_t at = out.size();
    switch (type) {
    case ColumnType::Boolean:
        // Yes (-1 to Access) sorts before No.
        out.push_back(raw[0] != 0 ? 0x00 : 0xFF);
        break;
    case ColumnType::Byte:
        out.push_back(raw[0]);
        break;
    case ColumnType::Int:
    case ColumnType::Long:
    case ColumnType::Money: {
        // Two's complement with the sign bit flipped orders as unsigned bytes.
        out.insert(out.end(), raw.rbegin(), raw.rend()); // big-endian
        out[at] ^= 0x80;
        break;
    }
    case ColumnType::Float:
    case ColumnType::Double:
    case ColumnType::DateTime: {
        // IEEE sign and magnitude: positives need the sign bit set, negatives all bits
        // inverted so that larger magnitudes come first.
        out.insert(out.end(), raw.rbegin(), raw.rend()); // big-endian
        if (out[at] & 0x80)
            invert(out, at);
        else
            out[at] ^= 0x80;
        break;
    }
    case ColumnType::Guid: {
        // Keys take the GUID in its written order: the row holds the first three groups
        // little-endian.
        std::vector<std::uint8_t> g(raw.begin(), raw.end());
        std::reverse(g.begin(), g.begin() + 4);
        std::reverse(g.begin() + 4, g.begin() + 6);
        std::reverse(g.begin() + 6, g.begin() + 8);
        appendBinaryGroups(g, ascending, out); // the groups carry their own direction
        return;
    }
    case ColumnType::Numeric: {
        // Row: a sign byte (0x80 negative), then the magnitude as four 32-bit little-endian
        // words, most significant word first. Key: 0xFF for positive or 0x00 for negative,
        // then the magnitude big-endian, inverted for negatives. Jet 4 does not invert
        // descending positives' sign byte, so descending order puts all negatives first.
        const bool negative = (raw[0] & 0x80) != 0;
        std::vector<std::uint8_t> v(17);
        for (std::size_t w = 0; w < 4; ++w)
            for (std::size_t b = 0; b < 4; ++b)
                v[1 + w * 4 + b] = raw[1 + w * 4 + (3 - b)];
        if (negative == ascending)
            invert(v, 0);
        v[0] = negative ? 0x00 : 0xFF;
        out.insert(out.end(), v.begin(), v.end());
        return;
    }
    default:
        break;
    }
    if (!ascending)
        invert(out, at);
}

void appendBinaryKey(std::span<const std::uint8_t> value, bool ascending,
                     std::vector<std::uint8_t>& out) {
    out.push_back(startFlag(ascending));
    appendBinaryGroups(value, ascending, out);
}

} // namespace jet
