#include "jet/Row.h"

#include "base/ByteScan.h"
#include "base/Coding.h"
#include "jet/DataPage.h"
#include "jet/Error.h"
#include "jet/PageFile.h"
#include "jet/Text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <set>

namespace jet {
namespace {

Value fixedValue(const ColumnDef& c, coding::Bytes b, bool jet4, const std::string& where) {
    switch (c.type) {
    case ColumnType::Byte:
        return coding::getU8(b, 0);
    case ColumnType::Int:
        return coding::getI16(b, 0);
    case ColumnType::Long:
        return coding::getI32(b, 0);
    case ColumnType::Money:
        return Currency{coding::getI64(b, 0)};
    case ColumnType::Float:
        return coding::getF32(b, 0);
    case ColumnType::Double:
        return coding::getF64(b, 0);
    case ColumnType::DateTime:
        return DateTime{coding::getF64(b, 0)};
    case ColumnType::Guid: {
        Guid g;
        auto s = coding::slice(b, 0, 16);
        std::copy(s.begin(), s.end(), g.bytes.begin());
        return g;
    }
    case ColumnType::Numeric: {
        // OFFSET SIZE MEANING
        // 0      1    sign: 0x80 negative
        // 1      16   magnitude as four 32-bit little-endian words, most significant first
        Decimal d;
        d.negative = (coding::getU8(b, 0) & 0x80) != 0;
        d.precision = c.precision;
        d.scale = c.scale;
        for (int k = 0; k < 4; ++k)
            d.magnitude[3 - k] = coding::getU32(b, 1 + 4 * k);
        return d;
    }
    case ColumnType::Text:
        return decodeText(coding::slice(b, 0, c.length), jet4, where);
    case ColumnType::Binary:
    case ColumnType::SystemBinary: {
        auto s = coding::slice(b, 0, c.length);
        return Binary(s.begin(), s.end());
    }
    default:
        throw Error(where + ": column '" + utf8(c.name) + "' of type " +
                    std::to_string(static_cast<int>(c.type)) + " cannot be stored fixed");
    }
}

Value variableValue(PageFile& file, const ColumnDef& c, coding::Bytes b, const std::string& where) {
    const bool jet4 = file.format().jet4();
    switch (c.type) {
    case ColumnType::Text:
        return decodeText(b, jet4, [&] { return where + ", column '" + utf8(c.name) + "'"; });
    case ColumnType::Binary:
    case ColumnType::SystemBinary:
        return Binary(b.begin(), b.end());
    case ColumnType::Memo: {
        Binary raw = readLongValue(file, b, where + ", column '" + utf8(c.name) + "'");
        return decodeText(raw, jet4, where + ", column '" + utf8(c.name) + "'");
    }
    case ColumnType::Ole:
        return readLongValue(file, b, where + ", column '" + utf8(c.name) + "'");
    default:
        // A fixed type in the variable area: Access does this for columns added later; read the
        // bytes as the fixed value.
        return fixedValue(c, b, jet4, where);
    }
}

} // namespace

// Long value reference (12 bytes in the row):
//   OFFSET SIZE MEANING
//   0      4    length (low 30 bits); 0x80 in byte 3: the value follows inline,
//               0x40: the value is one whole row elsewhere, neither: a chain of rows
//   4      4    row pointer (row in the low byte, page above) of the first row
//   8      4    unused
//   12     n    inline: the value
// A chain row starts with the row pointer of the next piece (0: last), then the piece.
Binary readLongValue(PageFile& file, std::span<const std::uint8_t> ref, const std::string& where) {
    if (ref.size() < 12)
        throw Error(where + ": long value reference of " + std::to_string(ref.size()) +
                    " bytes (12 needed)");
    std::uint32_t word = coding::getU32(ref, 0);
    std::uint32_t length = word & 0x3FFFFFFF;
    std::uint8_t kind = static_cast<std::uint8_t>(word >> 24) & 0xC0;
    if (kind == 0x80) {
        if (ref.size() - 12 < length)
            throw Error(where + ": inline long value of " + std::to_string(length) +
                        " bytes overruns the row");
        return Binary(ref.begin() + 12, ref.begin() + 12 + length);
    }
    if (length > 0x7FFFFFF)
        throw Error(where + ": long value length " + std::to_string(length) + " is implausible");
    Binary out;
    const Format& f = file.format();
    RowId at = rowIdFromPointer(coding::getU32(ref, 4));
    std::set<RowId> seen;
    while (true) {
        if (!seen.insert(at).second)
            throw Error(where + ": the chain of long value pages loops at page " +
                        std::to_string(at.page));
        if (at.page == 0 || at.page >= file.pageCount())
            throw Error(where + ": long value on page " + std::to_string(at.page) +
                        ", outside the file");
        auto page = file.page(at.page);
        auto v = page->view();
        std::string pw = file.where(at.page);
        if (v[0] != static_cast<std::uint8_t>(PageType::Data))
            throw Error(where + ": long value page " + std::to_string(at.page) + " is of type " +
                        std::to_string(v[0]) + ", not a data page");
        RowSpan s = rowSpan(f, v, at.row, pw);
        if (s.deleted())
            throw Error(where + ": long value row " + std::to_string(at.row) + " on page " +
                        std::to_string(at.page) + " is deleted");
        auto row = v.subspan(s.start, s.end - s.start);
        if (kind == 0x40) {
            if (row.size() < length)
                throw Error(where + ": long value of " + std::to_string(length) +
                            " bytes but its row on page " + std::to_string(at.page) + " holds " +
                            std::to_string(row.size()));
            return Binary(row.begin(), row.begin() + length);
        }
        if (row.size() < 4)
            throw Error(where + ": long value piece on page " + std::to_string(at.page) +
                        " is too short");
        std::uint32_t next = coding::getU32(row, 0);
        std::size_t take = std::min<std::size_t>(row.size() - 4, length - out.size());
        out.insert(out.end(), row.begin() + 4, row.begin() + 4 + static_cast<std::ptrdiff_t>(take));
        if (out.size() >= length)
            return out;
        if (next == 0)
            throw Error(where + ": long value chain ends after " + std::to_string(out.size()) +
                        " of " + std::to_string(length) + " bytes");
        at = rowIdFromPointer(next);
    }
}

std::vector<RowId> longValueRowsOf(PageFile& file, std::span<const std::uint8_t> ref,
                                   const std::string& where) {
    std::vector<RowId> out;
    if (ref.size() < 12)
        throw Error(where + ": long value reference of " + std::to_string(ref.size()) +
                    " bytes (12 needed)");
    std::uint32_t word = coding::getU32(ref, 0);
    std::uint8_t kind = static_cast<std::uint8_t>(word >> 24) & 0xC0;
    if (kind == 0x80)
        return out;
    const Format& f = file.format();
    RowId at = rowIdFromPointer(coding::getU32(ref, 4));
    while (at.page != 0) {
        if (at.page >= file.pageCount() || out.size() > file.pageCount())
            throw Error(where + ": long value chain leaves the file or loops");
        out.push_back(at);
        if (kind == 0x40)
            break;
        auto page = file.page(at.page);
        RowSpan s = rowSpan(f, page->view(), at.row, file.where(at.page));
        if (s.deleted() || s.end - s.start < 4)
            throw Error(where + ": long value piece on page " + std::to_string(at.page) +
                        " is deleted or too short");
        at = rowIdFromPointer(coding::getU32(page->view(), s.start));
    }
    return out;
}

// Row, Jet 4 (Jet 3 in brackets where it differs):
//   OFFSET        SIZE MEANING
//   0             2[1] number of columns stored in this row
//   2[1]          ...  fixed columns, each at its column's fixed offset
//   ...           ...  variable columns, first to last
//   e-m-2v-4      2[1] end of the variable data (Jet 3: counted as slot v of the offset table)
//   e-m-2-2(i+1)  2[1] start of variable column i (reverse order)
//   [e-m-1-j      1    Jet 3 jump table: index of the first variable column at or past 256*(j+1)]
//   e-m-2         2[1] number of variable columns stored, v
//   e-m           m    null mask, (n+7)/8 bytes, bit = column number, 1 = present
//                      (yes/no: the value itself)
// (e = row end, m = mask size; the variable part exists when the table has variable columns.)
namespace {

// Where a row's parts lie.
struct RowLayout {
    std::size_t cols = 0;                // columns stored in the row
    std::size_t maskStart = 0;           // the null mask, to the end of the row
    std::size_t fixedEnd = 0;            // the end of the fixed columns' area
    std::vector<std::size_t> varOffsets; // v + 1 entries, the last is the end of data
};

// The Jet 4 offset table, two bytes an entry; gives where the fixed area ends.
std::size_t jet4VarOffsets(coding::Bytes row, std::size_t maskStart, const std::string& where,
                           std::vector<std::size_t>& varOffsets) {
    std::size_t v = coding::getU16(row, maskStart - 2);
    std::size_t tableEnd = maskStart - 2;
    if (tableEnd < 2 * (v + 1) + 2)
        throw Error(where + ": variable offset table of " + std::to_string(v) +
                    " entries does not fit the row");
    for (std::size_t i = 0; i < v; ++i)
        varOffsets.push_back(coding::getU16(row, tableEnd - 2 * (i + 1)));
    varOffsets.push_back(coding::getU16(row, tableEnd - 2 * (v + 1)));
    return tableEnd - 2 * (v + 1);
}

// The Jet 3 offset table, one byte an entry with a jump table for rows past 255 bytes; gives
// where the fixed area ends.
std::size_t jet3VarOffsets(coding::Bytes row, std::size_t maskStart, const std::string& where,
                           std::vector<std::size_t>& varOffsets) {
    std::size_t v = coding::getU8(row, maskStart - 1);
    std::size_t jumps = (row.size() - 1) / 256;
    std::size_t tableEnd = maskStart - 1; // var_len byte position
    if (tableEnd < jumps + v + 2)
        throw Error(where + ": variable offset table of " + std::to_string(v) +
                    " entries does not fit the row");
    std::size_t colPtr = tableEnd - jumps - 1; // offset table slot 0
    // The jump count follows from the row size, which may leave one dummy entry.
    std::size_t usable = jumps;
    if (usable > 0 && (colPtr - v) / 256 < usable)
        --usable;
    std::size_t used = 0;
    for (std::size_t i = 0; i <= v; ++i) {
        while (used < usable && coding::getU8(row, tableEnd - 1 - used) == i)
            ++used;
        varOffsets.push_back(coding::getU8(row, colPtr - i) + 256 * used);
    }
    return colPtr - v;
}

RowLayout rowLayout(const Format& f, const TableDef& t, coding::Bytes row,
                    const std::string& where) {
    const std::size_t w = f.rowFieldSize;
    const std::size_t size = row.size();
    if (size < w + 1)
        throw Error(where + ": row of " + std::to_string(size) + " bytes is too short");
    RowLayout l;
    l.cols = f.jet4() ? coding::getU16(row, 0) : coding::getU8(row, 0);
    std::size_t maskSize = (l.cols + 7) / 8;
    if (l.cols == 0 || maskSize + w > size)
        throw Error(where + ": row claims " + std::to_string(l.cols) +
                    " columns, which do not fit its " + std::to_string(size) + " bytes");
    l.maskStart = size - maskSize;
    if (t.varCols == 0) {
        l.fixedEnd = l.maskStart;
        return l;
    }
    if (l.maskStart < w)
        throw Error(where + ": no room for the variable column count");
    l.fixedEnd = f.jet4() ? jet4VarOffsets(row, l.maskStart, where, l.varOffsets)
                          : jet3VarOffsets(row, l.maskStart, where, l.varOffsets);
    std::size_t prev = w;
    for (std::size_t i = 0; i < l.varOffsets.size(); ++i) {
        if (l.varOffsets[i] < prev || l.varOffsets[i] > l.fixedEnd)
            throw Error(where + ": variable column offset " + std::to_string(l.varOffsets[i]) +
                        " (slot " + std::to_string(i) + ") is out of order or outside the row");
        prev = l.varOffsets[i];
    }
    return l;
}

} // namespace

std::vector<Value> decodeRow(PageFile& file, const TableDef& t, std::span<const std::uint8_t> row,
                             const std::string& where, const std::vector<bool>* wanted,
                             std::vector<RowId>* longValueRows) {
    const Format& f = file.format();
    const bool jet4 = f.jet4();
    const std::size_t w = f.rowFieldSize;
    std::vector<Value> values(t.columns.size(), Null{});
    try {
        const RowLayout l = rowLayout(f, t, row, where);
        auto present = [&](std::uint16_t number) {
            if (number >= l.cols)
                return false;
            return (row[l.maskStart + number / 8] & (1u << (number % 8))) != 0;
        };
        for (std::size_t k = 0; k < t.columns.size(); ++k) {
            const ColumnDef& c = t.columns[k];
            if (wanted && !(*wanted)[k])
                continue;
            if (c.type == ColumnType::Boolean) {
                values[k] = present(c.number);
                continue;
            }
            if (!present(c.number))
                continue;
            if (c.fixed()) {
                std::size_t start = w + c.fixedOffset;
                if (start + c.length > l.fixedEnd)
                    throw Error(where + ": fixed column '" + utf8(c.name) + "' at " +
                                std::to_string(start) + "+" + std::to_string(c.length) +
                                " passes the fixed area of the row");
                values[k] = fixedValue(c, row.subspan(start, c.length), jet4, where);
            } else {
                if (static_cast<std::size_t>(c.varIndex) + 1 >= l.varOffsets.size())
                    continue; // added after this row was written
                std::size_t s = l.varOffsets[c.varIndex], e = l.varOffsets[c.varIndex + 1];
                if (longValueRows && c.isLongValue()) {
                    auto held = longValueRowsOf(file, row.subspan(s, e - s), where);
                    longValueRows->insert(longValueRows->end(), held.begin(), held.end());
                    continue;
                }
                values[k] = variableValue(file, c, row.subspan(s, e - s), where);
            }
        }
    } catch (const coding::OutOfBounds& e) {
        throw Error(where + ": row data is cut short (" + e.what() + ")");
    }
    return values;
}

namespace {

void putFixed(const ColumnDef& c, const Value& v, coding::MutableBytes out, bool jet4) {
    switch (c.type) {
    case ColumnType::Byte:
        coding::putLE<std::uint8_t>(out, 0, std::get<std::uint8_t>(v));
        break;
    case ColumnType::Int:
        coding::putLE<std::int16_t>(out, 0, std::get<std::int16_t>(v));
        break;
    case ColumnType::Long:
        coding::putLE<std::int32_t>(out, 0, std::get<std::int32_t>(v));
        break;
    case ColumnType::Money:
        coding::putLE<std::int64_t>(out, 0, std::get<Currency>(v).scaled);
        break;
    case ColumnType::Float:
        coding::putF32(out, 0, std::get<float>(v));
        break;
    case ColumnType::Double:
        coding::putF64(out, 0, std::get<double>(v));
        break;
    case ColumnType::DateTime:
        coding::putF64(out, 0, std::get<DateTime>(v).days);
        break;
    case ColumnType::Guid: {
        const auto& g = std::get<Guid>(v);
        std::copy(g.bytes.begin(), g.bytes.end(), out.begin());
        break;
    }
    case ColumnType::Numeric: {
        const auto& d = std::get<Decimal>(v);
        out[0] = d.negative ? 0x80 : 0x00;
        for (int k = 0; k < 4; ++k)
            coding::putLE<std::uint32_t>(out, 1 + 4 * k, d.magnitude[3 - k]);
        break;
    }
    case ColumnType::Text: {
        auto bytes = encodeText(std::get<std::u16string>(v), jet4, false);
        std::fill(out.begin(), out.end(), 0);
        // Fixed text is padded with blanks to the column width.
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = i < bytes.size() ? bytes[i] : (jet4 && i % 2 == 1 ? 0 : ' ');
        break;
    }
    case ColumnType::Binary: {
        const auto& b = std::get<Binary>(v);
        std::fill(out.begin(), out.end(), 0);
        std::copy_n(b.begin(), std::min(b.size(), out.size()), out.begin());
        break;
    }
    default:
        break;
    }
}

} // namespace

FixedBytes fixedBytes(const ColumnDef& c, const Value& v, bool jet4) {
    std::size_t width = c.length;
    switch (c.type) {
    case ColumnType::Byte:
        width = 1;
        break;
    case ColumnType::Int:
        width = 2;
        break;
    case ColumnType::Long:
    case ColumnType::Float:
        width = 4;
        break;
    case ColumnType::Money:
    case ColumnType::Double:
    case ColumnType::DateTime:
        width = 8;
        break;
    case ColumnType::Guid:
        width = 16;
        break;
    case ColumnType::Numeric:
        width = 17;
        break;
    case ColumnType::Boolean:
        width = 1;
        break;
    default:
        break;
    }
    FixedBytes out;
    if (width > out.bytes.size())
        throw Error("column '" + utf8(c.name) + "' has no value of a fixed size");
    out.size = width;
    if (c.type == ColumnType::Boolean)
        out.bytes[0] = std::get<bool>(v) ? 1 : 0;
    else
        putFixed(c, v, std::span(out.bytes.data(), width), jet4);
    return out;
}

namespace {

// A long value: kept in the row after its 12-byte reference when short enough, else handed to
// `store` and only the reference kept.
void appendLongValue(std::vector<std::uint8_t>& row, const ColumnDef& c, const Value& v, bool jet4,
                     const LongValueStore& store, std::size_t inlineLimit) {
    const std::size_t ref = row.size();
    row.resize(ref + 12, 0);
    if (c.type == ColumnType::Memo) {
        const auto& text = std::get<std::u16string>(v);
        appendEncodedText(text, jet4, c.compressedUnicode() && text.size() <= 1024, row);
    } else {
        const auto& b = std::get<Binary>(v);
        row.insert(row.end(), b.begin(), b.end());
    }
    const auto len = static_cast<std::uint32_t>(row.size() - ref - 12);
    if (len <= inlineLimit) {
        coding::putLE<std::uint32_t>(row, ref, len | 0x80000000u);
        return;
    }
    // Too long to keep in the row: the value goes to long value pages.
    LongValueRef where = store(c, std::span<const std::uint8_t>(row).subspan(ref + 12, len));
    row.resize(ref + 12);
    coding::putLE<std::uint32_t>(row, ref, len | (where.singleRow ? 0x40000000u : 0u));
    coding::putLE<std::uint32_t>(row, ref + 4, where.pointer);
}

// A plain Windows-1252 text (Jet 4): its bytes are the compressed form's characters, or the
// low bytes of its UTF-16 ones; the same choice appendEncodedText makes.
std::size_t plainTextSize(std::size_t size, bool compress) {
    return compress && size > 2 ? size + 2 : 2 * size;
}

// Writes the text at `out`, whose plainTextSize bytes are zero; gives the size.
std::size_t putPlainText(std::uint8_t* out, std::string_view text, bool compress) {
    if (compress && text.size() > 2) {
        out[0] = 0xFF;
        out[1] = 0xFE;
        std::memcpy(out + 2, text.data(), text.size());
    } else {
        for (std::size_t i = 0; i < text.size(); ++i)
            out[2 * i] = static_cast<std::uint8_t>(text[i]); // the high bytes stay zero
    }
    return plainTextSize(text.size(), compress);
}

void appendPlainText(std::vector<std::uint8_t>& row, std::string_view text, bool compress) {
    const std::size_t start = row.size();
    row.resize(start + plainTextSize(text.size(), compress));
    putPlainText(row.data() + start, text, compress);
}

void appendVariableValue(std::vector<std::uint8_t>& row, const ColumnDef& c, const Value& v,
                         bool jet4, const LongValueStore& store, std::size_t inlineLimit) {
    if (c.type == ColumnType::Text) {
        appendEncodedText(std::get<std::u16string>(v), jet4, c.compressedUnicode(), row);
    } else if (c.type == ColumnType::Binary) {
        const auto& b = std::get<Binary>(v);
        row.insert(row.end(), b.begin(), b.end());
    } else if (c.isLongValue()) {
        appendLongValue(row, c, v, jet4, store, inlineLimit);
    } else {
        const std::size_t at = row.size();
        row.resize(at + c.length);
        putFixed(c, v, coding::MutableBytes(row).subspan(at, c.length), jet4);
    }
}

// The variable columns' offset table (from the end, as decodeRow reads it) and their count.
void appendOffsetTable(std::vector<std::uint8_t>& row, const TableDef& t,
                       std::span<const std::size_t> offsets, std::size_t maskSize, bool jet4) {
    const std::size_t stored = offsets.size();
    const std::size_t eod = row.size();
    if (jet4) {
        const std::size_t tail = row.size();
        row.resize(tail + 2 * (stored + 1) + 2);
        coding::putLE<std::uint16_t>(row, tail, static_cast<std::uint16_t>(eod));
        for (std::size_t i = 0; i < stored; ++i)
            coding::putLE<std::uint16_t>(row, tail + 2 * (stored - i),
                                         static_cast<std::uint16_t>(offsets[i]));
        coding::putLE<std::uint16_t>(row, tail + 2 * (stored + 1),
                                     static_cast<std::uint16_t>(stored));
        return;
    }
    // Jet 3 offsets are single bytes; rows past 255 bytes would need the jump table.
    std::size_t total = row.size() + stored + 2 + maskSize;
    if (total > 256)
        throw Error("table '" + utf8(t.name) +
                    "': writing Jet 3 rows longer than 256 bytes is not supported");
    row.push_back(static_cast<std::uint8_t>(eod));
    for (std::size_t i = stored; i-- > 0;)
        row.push_back(static_cast<std::uint8_t>(offsets[i]));
    row.push_back(static_cast<std::uint8_t>(stored));
}

// The variable part, offset table and null mask of a Jet 4 row whose variable columns are all
// plain texts or Null, as an import's rows are: sized first, then written in one pass, rather
// than grown column by column. False, with the row untouched, for any other row.
bool plainRowPart(const TableDef& t, const RowShape& shape, const std::vector<Value>& values,
                  const PlainTexts& plain, std::vector<std::uint8_t>& row,
                  std::span<std::uint8_t> mask) {
    if (t.varCols == 0 || shape.plainSlots.size() != shape.variable.size() || !plain.texts)
        return false;
    const std::vector<PlainText>& texts = *plain.texts;
    std::size_t bytes = 0, stored = 0;
    for (std::size_t i = 0; i < shape.plainSlots.size(); ++i) {
        const RowShape::PlainSlot& slot = shape.plainSlots[i];
        const PlainText& p = texts[slot.column];
        if (p.given) {
            bytes += plainTextSize(p.size, slot.compressed);
            stored = i + 1;
        } else if (!isNull(values[slot.column])) {
            return false;
        }
    }
    const std::size_t eod = row.size() + bytes;
    row.resize(eod + 2 * (stored + 1) + 2 + mask.size()); // zeroed, as putPlainText wants
    std::uint8_t* const out = row.data();
    std::size_t at = eod - bytes;
    // Without a branch on each column's presence, which varies too much to be foreseen: an
    // absent one is an empty text that sets no bit.
    for (std::size_t i = 0; i < stored; ++i) {
        const RowShape::PlainSlot& slot = shape.plainSlots[i];
        const PlainText& p = texts[slot.column];
        coding::putLE<std::uint16_t>(row, eod + 2 * (stored - i), static_cast<std::uint16_t>(at));
        const std::string_view text(plain.bytes.data() + (p.given ? p.at : 0),
                                    p.given ? p.size : 0);
        at += putPlainText(out + at, text, slot.compressed);
        mask[slot.maskByte] |= static_cast<std::uint8_t>(p.given << slot.maskBit);
    }
    // The offset table as appendOffsetTable lays it out, then the mask.
    coding::putLE<std::uint16_t>(row, eod, static_cast<std::uint16_t>(eod));
    coding::putLE<std::uint16_t>(row, eod + 2 * (stored + 1), static_cast<std::uint16_t>(stored));
    std::memcpy(out + eod + 2 * (stored + 1) + 2, mask.data(), mask.size());
    return true;
}

} // namespace

bool plainAnsi(std::string_view text) {
    // A byte is refused when it is zero, or when its top three bits are 100 (0x80-0x9F, where
    // the code page's characters lie above U+00FF).
    return bytescan::noneRefused(text, [](std::uint64_t w) {
        return bytescan::hasZeroByte(w) || bytescan::hasByte(w & 0xE0E0E0E0E0E0E0E0u, 0x80);
    });
}

RowShape rowShapeOf(const TableDef& t) {
    RowShape shape;
    std::size_t varCount = 0;
    for (const auto& c : t.columns) {
        shape.cols = std::max<std::size_t>(shape.cols, c.number + 1u);
        if (c.fixed() && c.type != ColumnType::Boolean)
            shape.fixedSize = std::max<std::size_t>(shape.fixedSize, c.fixedOffset + c.length);
        if (!c.fixed() && c.type != ColumnType::Boolean)
            varCount = std::max<std::size_t>(varCount, c.varIndex + 1u);
    }
    shape.cols = std::max<std::size_t>(shape.cols, t.maxCols);
    if (shape.cols > 256)
        throw Error("table '" + utf8(t.name) + "': more columns than a row holds");
    if (varCount > 256)
        throw Error("table '" + utf8(t.name) + "': more variable columns than a row holds");
    shape.variable.assign(varCount, RowShape::kNoColumn);
    for (std::size_t k = 0; k < t.columns.size(); ++k) {
        const ColumnDef& c = t.columns[k];
        const auto at = static_cast<std::uint16_t>(k);
        if ((c.type == ColumnType::Long && (c.flags & ColumnDef::kAutoLongFlag)) ||
            (c.type == ColumnType::Guid && (c.flags & ColumnDef::kAutoGuidFlag)))
            shape.automatic.push_back(at);
        if (c.required)
            shape.required.push_back(at);
        if (c.type == ColumnType::Boolean)
            shape.booleans.push_back(at);
        else if (c.fixed())
            shape.fixed.push_back(at);
        else
            shape.variable[c.varIndex] = at;
    }
    if (std::find(shape.variable.begin(), shape.variable.end(), RowShape::kNoColumn) ==
        shape.variable.end())
        for (std::uint16_t k : shape.variable) {
            const ColumnDef& c = t.columns[k];
            shape.plainSlots.push_back({k, static_cast<std::uint8_t>(c.number / 8),
                                        static_cast<std::uint8_t>(c.number % 8),
                                        c.compressedUnicode()});
        }
    return shape;
}

void encodeRow(const Format& f, const TableDef& t, const RowShape& shape,
               const std::vector<Value>& values, const LongValueStore& store,
               std::size_t inlineLimit, std::vector<std::uint8_t>& row, const PlainTexts& plain) {
    const bool jet4 = f.jet4();
    const std::size_t w = f.rowFieldSize;
    row.assign(w + shape.fixedSize, 0);
    std::array<std::uint8_t, 32> maskBytes{};
    const std::span<std::uint8_t> mask(maskBytes.data(), (shape.cols + 7) / 8);
    auto setBit = [&mask](std::uint16_t n) {
        mask[n / 8] |= static_cast<std::uint8_t>(1u << (n % 8));
    };
    if (jet4)
        coding::putLE<std::uint16_t>(row, 0, static_cast<std::uint16_t>(shape.cols));
    else
        row[0] = static_cast<std::uint8_t>(shape.cols);

    // Yes/no values live in the null mask alone; fixed ones have their places; variable ones
    // follow, in their slots' order, straight onto the row.
    for (std::uint16_t k : shape.booleans)
        if (const auto* b = std::get_if<bool>(&values[k]); b && *b)
            setBit(t.columns[k].number);
    for (std::uint16_t k : shape.fixed) {
        if (isNull(values[k]))
            continue;
        const ColumnDef& c = t.columns[k];
        setBit(c.number);
        putFixed(c, values[k], coding::MutableBytes(row).subspan(w + c.fixedOffset, c.length),
                 jet4);
    }
    if (jet4 && plainRowPart(t, shape, values, plain, row, mask))
        return;
    std::array<std::size_t, 256> offsets; // each set before it is read
    std::size_t stored = 0;               // trailing absent variable columns are not stored at all
    for (std::size_t i = 0; i < shape.variable.size(); ++i) {
        offsets[i] = row.size();
        const std::uint16_t k = shape.variable[i];
        if (k == RowShape::kNoColumn)
            continue;
        const ColumnDef& c = t.columns[k];
        if (plain.has(k)) {
            appendPlainText(row, plain.text(k), c.compressedUnicode());
        } else if (!isNull(values[k])) {
            appendVariableValue(row, c, values[k], jet4, store, inlineLimit);
        } else {
            continue;
        }
        setBit(c.number);
        stored = i + 1;
    }
    if (t.varCols > 0)
        appendOffsetTable(row, t, std::span<const std::size_t>(offsets.data(), stored), mask.size(),
                          jet4);
    row.insert(row.end(), mask.begin(), mask.end());
}

} // namespace jet
