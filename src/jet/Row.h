// Row bytes <-> column values, for both Jet versions.
#pragma once

#include "jet/TableDef.h"
#include "jet/Value.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

class PageFile;

// Values of one stored row, in the order of TableDef::columns. Long values (memo, OLE) are
// fetched from their pages. With `wanted`, only the columns it marks are decoded (the rest are
// Null). With `longValueRows`, long values are not fetched: the rows holding them are listed.
// Throws jet::Error prefixed with `where` for a malformed row.
std::vector<Value> decodeRow(PageFile& file, const TableDef& table,
                             std::span<const std::uint8_t> row, const std::string& where,
                             const std::vector<bool>* wanted = nullptr,
                             std::vector<RowId>* longValueRows = nullptr);

// The rows (on long value pages) that hold a long value; none when it is inline.
std::vector<RowId> longValueRowsOf(PageFile& file, std::span<const std::uint8_t> ref,
                                   const std::string& where);

// The bytes of a long value from its 12-byte reference in a row.
Binary readLongValue(PageFile& file, std::span<const std::uint8_t> ref, const std::string& where);

// Where a long value was stored outside the row: the row pointer of its first (or only) row,
// and whether it is one whole row (else a chain of rows each led by the next pointer).
struct LongValueRef {
    std::uint32_t pointer = 0;
    bool singleRow = true;
};
// Stores a long value outside the row; used by encodeRow for values too long to keep inline.
using LongValueStore =
    std::function<LongValueRef(const ColumnDef& column, std::span<const std::uint8_t> bytes)>;

// The little-endian bytes a fixed-size value is stored as (yes/no: one byte, 1 or 0). Held in
// place, as a key is made of them for every row.
struct FixedBytes {
    std::array<std::uint8_t, 17> bytes{}; // a decimal's, the widest
    std::size_t size = 0;
    std::span<const std::uint8_t> view() const { return {bytes.data(), size}; }
};
FixedBytes fixedBytes(const ColumnDef& c, const Value& v, bool jet4);

// Texts of a new row kept as Windows-1252 bytes that are their own Unicode codes (see
// plainAnsi), each standing for its column's value: an import's many short texts are stored
// without a round trip through UTF-16.
struct PlainText {
    std::uint32_t at = 0, size = 0; // in PlainTexts::bytes
    bool given = false;             // the text is the column's value
};
struct PlainTexts {
    std::string_view bytes;                        // the texts, one after another
    const std::vector<PlainText>* texts = nullptr; // by column position
    bool has(std::size_t k) const { return texts && (*texts)[k].given; }
    std::string_view text(std::size_t k) const {
        return bytes.substr((*texts)[k].at, (*texts)[k].size);
    }
};

// Whether every byte of a Windows-1252 text is its character's Unicode code, and none is zero
// (which compressed text cannot hold).
bool plainAnsi(std::string_view text);

// Where a table's columns go in its rows, worked out once for the table's many rows: positions
// in TableDef::columns, the variable ones in the order of their slots (kNoColumn for a slot no
// column has).
struct RowShape {
    static constexpr std::uint16_t kNoColumn = 0xFFFF;
    std::size_t cols = 0;      // the null mask's bits
    std::size_t fixedSize = 0; // bytes of the fixed part
    std::vector<std::uint16_t> fixed, booleans, variable;
    // Columns an insert fills in or checks: autonumbers, and those that refuse Null.
    std::vector<std::uint16_t> automatic, required;
    // The variable columns again, slot by slot, with what a row of plain texts needs of them;
    // empty when a slot has no column, as after a column was deleted.
    struct PlainSlot {
        std::uint16_t column;
        std::uint8_t maskByte, maskBit; // the column's bit in the null mask
        bool compressed;
    };
    std::vector<PlainSlot> plainSlots;
};
// Throws jet::Error for a table whose rows cannot be written.
RowShape rowShapeOf(const TableDef& table);

// Row bytes for `values` (already of each column's type, or Null), into `row`, whose room is
// used again. Long values longer than `inlineLimit` bytes go through `store`. A text column in
// `plain` takes its bytes from there, whatever values holds for it.
void encodeRow(const Format& f, const TableDef& table, const RowShape& shape,
               const std::vector<Value>& values, const LongValueStore& store,
               std::size_t inlineLimit, std::vector<std::uint8_t>& row,
               const PlainTexts& plain = {});

} // namespace jet
