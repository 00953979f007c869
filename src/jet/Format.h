// Byte positions of the Access page layouts that differ between Jet 3 (Access 97) and Jet 4
// (Access 2000-2003). Everything that reads or writes a page takes its offsets from here, so the
// two versions share one reader.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>

namespace jet {

enum class JetVersion : std::uint8_t { Jet3 = 0, Jet4 = 1 };

// Page type codes (first byte of every page).
enum class PageType : std::uint8_t {
    Header = 0x00,
    Data = 0x01,
    TableDef = 0x02,
    IndexNode = 0x03,
    IndexLeaf = 0x04,
    UsageBitmap = 0x05,
};

struct Format {
    JetVersion version;
    std::uint32_t pageSize;

    // Data page:
    //   OFFSET SIZE MEANING
    //   0      1    page type 0x01
    //   2      2    free space
    //   4      4    owning table definition page ("LVAL" on long value pages)
    //   8/12   2    number of row slots (Jet 3 / Jet 4)
    //   10/14  2*n  row slot offsets: low 13 bits offset, 0x4000 overflow pointer, 0x8000 deleted
    std::size_t dataRowCount;
    std::size_t dataRowTable;

    // Table definition header (first page of the chain).
    std::size_t tdefRowCount;
    std::size_t tdefAutoNumber;
    std::size_t tdefTableType;
    std::size_t tdefMaxCols;
    std::size_t tdefVarCols;
    std::size_t tdefNumCols;
    std::size_t tdefNumIndexes;
    std::size_t tdefNumRealIndexes;
    std::size_t tdefUsedPages;
    std::size_t tdefFreePages;
    std::size_t tdefBlockEnd; // first byte after the header: the real index row counts start here
    std::size_t realIndexCountSize;
    // Within each: the index's count of distinct keys.
    static constexpr std::size_t realIndexRowCount = 4;

    // Column descriptor, one per column after the real index counts.
    std::size_t columnSize;
    std::size_t colNumber;   // position in the null mask, includes deleted columns
    std::size_t colVarIndex; // slot in the variable offset table
    std::size_t colIndex;
    std::size_t colSortOrder; // text: collating order (0x409 General)
    std::size_t colPrecision; // numeric: precision, then scale in the next byte
    std::size_t colFlags;
    std::size_t colExtFlags; // Jet 4 only: 0x01 compressed unicode
    std::size_t colFixedOffset;
    std::size_t colLength;

    // Real (physical) index descriptor.
    std::size_t realIndexSize;
    std::size_t realIndexColumns; // 10 x (u16 column number, u8 order)
    std::size_t realIndexUsedPages;
    std::size_t realIndexFirstPage;
    std::size_t realIndexFlags;

    // Logical index descriptor.
    std::size_t logicalIndexSize;
    std::size_t logicalIndexNumber;
    std::size_t logicalIndexReal;
    std::size_t logicalIndexRelTableType;
    std::size_t logicalIndexRelIndex;
    std::size_t logicalIndexRelTable;
    std::size_t logicalIndexCascadeUpdates;
    std::size_t logicalIndexCascadeDeletes;
    std::size_t logicalIndexType;

    // Rows: width of the column count, offsets and the variable count.
    std::size_t rowFieldSize;

    // Index page (IndexPage.h has the whole layout): the neighbours on the same level, the tail
    // page, the shared prefix length, a marker byte (Jet 4 only; 0: none), the entry end bitmap
    // and the first entry.
    std::size_t indexPrevPage;
    std::size_t indexNextPage;
    std::size_t indexTailPage;
    std::size_t indexPrefixLength;
    std::size_t indexMarker;
    std::size_t indexEntryMask;
    std::size_t indexFirstEntry;

    bool jet4() const { return version == JetVersion::Jet4; }
    // Bytes an index page has for its entries.
    constexpr std::size_t indexEntryCapacity() const { return pageSize - indexFirstEntry; }
};

inline constexpr Format kJet3Format{JetVersion::Jet3, 2048,
                                    // data page
                                    8, 10,
                                    // tdef header
                                    12, 16, 20, 21, 23, 25, 27, 31, 35, 39, 43, 8,
                                    // column
                                    18, 1, 3, 5, 7, 9, 13, 0, 14, 16,
                                    // real index
                                    39, 0, 30, 34, 38,
                                    // logical index
                                    20, 0, 4, 8, 9, 13, 17, 18, 19, 1,
                                    // index page
                                    8, 12, 16, 20, 0, 0x16, 0xF8};

inline constexpr Format kJet4Format{JetVersion::Jet4, 4096,
                                    // data page
                                    12, 14,
                                    // tdef header
                                    16, 20, 40, 41, 43, 45, 47, 51, 55, 59, 63, 12,
                                    // column
                                    25, 5, 7, 9, 11, 11, 15, 16, 21, 23,
                                    // real index: 4 unknown bytes between root and flags
                                    52, 4, 34, 38, 46,
                                    // logical index
                                    28, 4, 8, 12, 13, 17, 21, 22, 23, 2,
                                    // index page
                                    12, 16, 20, 24, 26, 0x1B, 0x1E0};

inline const Format& formatFor(JetVersion v) {
    return v == JetVersion::Jet3 ? kJet3Format : kJet4Format;
}

// Row slot flags on data pages.
inline constexpr std::uint16_t kRowOffsetMask = 0x1FFF;
inline constexpr std::uint16_t kRowOverflow = 0x4000;
inline constexpr std::uint16_t kRowDeleted = 0x8000;

// A row address as Access writes it in pointers: row number in the low byte, page above it.
struct RowId {
    std::uint32_t page = 0;
    std::uint16_t row = 0;
    friend bool operator==(const RowId&, const RowId&) = default;
    friend auto operator<=>(const RowId&, const RowId&) = default;
};

inline RowId rowIdFromPointer(std::uint32_t pointer) {
    return RowId{pointer >> 8, static_cast<std::uint16_t>(pointer & 0xFF)};
}
inline std::uint32_t pointerFromRowId(RowId id) {
    return (id.page << 8) | (id.row & 0xFF);
}

} // namespace jet
