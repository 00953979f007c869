// A table definition as stored on its chain of table definition pages: columns, real indexes
// (the B-trees) and logical indexes (the names the user sees, several of which may share one
// real index).
#pragma once

#include "jet/Format.h"
#include "jet/Types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace jet {

class PageFile;

struct ColumnDef {
    std::u16string name;
    ColumnType type = ColumnType::Text;
    std::uint16_t number = 0;   // bit in the null mask; includes deleted columns
    std::uint16_t index = 0;    // position among the table's columns
    std::uint16_t varIndex = 0; // slot in the variable offset table
    std::uint16_t fixedOffset = 0;
    std::uint16_t length = 0; // bytes (Jet 4 text: two per character)
    std::uint8_t flags = 0;
    std::uint8_t extFlags = 0;
    std::uint16_t sortOrder = 0;
    std::uint8_t precision = 0;
    std::uint8_t scale = 0;
    // Refuses Null: Access keeps this among the column's properties in the catalogue, not in the
    // definition, so it is filled in when the table is opened through its database.
    bool required = false;

    static constexpr std::uint8_t kFixedFlag = 0x01;
    static constexpr std::uint8_t kNullableFlag = 0x02;
    static constexpr std::uint8_t kAutoLongFlag = 0x04;
    static constexpr std::uint8_t kAutoGuidFlag = 0x40;
    static constexpr std::uint8_t kCompressedExtFlag = 0x01;

    bool fixed() const { return (flags & kFixedFlag) != 0; }
    bool autoNumber() const { return (flags & (kAutoLongFlag | kAutoGuidFlag)) != 0; }
    bool compressedUnicode() const { return (extFlags & kCompressedExtFlag) != 0; }
    bool isLongValue() const { return type == ColumnType::Memo || type == ColumnType::Ole; }
};

struct IndexColumn {
    std::uint16_t columnNumber = 0;
    bool ascending = true;
    // Where the column was found among the table's columns when the definition was read: a
    // hint that columnPosition checks before it searches.
    std::uint16_t position = UINT16_MAX;
};

struct RealIndex {
    std::vector<IndexColumn> columns;
    std::uint32_t usedPages = 0; // row pointer of the usage map
    std::uint32_t firstPage = 0; // root page of the B-tree
    std::uint8_t flags = 0;
    std::uint32_t rowCount = 0; // as counted in the table header

    static constexpr std::uint8_t kUniqueFlag = 0x01;
    static constexpr std::uint8_t kIgnoreNullsFlag = 0x02;
    static constexpr std::uint8_t kRequiredFlag = 0x08;
    bool unique() const { return (flags & kUniqueFlag) != 0; }
};

struct LogicalIndex {
    std::u16string name;
    std::uint32_t number = 0;
    std::uint32_t realIndex = 0;
    std::uint8_t indexType = 0; // 1 primary key, 2 foreign key
    std::uint32_t relatedIndex = 0xFFFFFFFF;
    std::uint32_t relatedTable = 0;
    bool primaryKey() const { return indexType == 1; }
    bool foreignKey() const { return indexType == 2; }
};

// Where a memo or OLE column keeps the pages of its long values (Jet 4): Access gives each such
// column its own owned-pages and free-space maps, apart from the table's.
struct LongValueMaps {
    std::uint16_t columnNumber = 0;
    std::uint32_t usedPages = 0;
    std::uint32_t freePages = 0;
};

struct TableDef {
    std::u16string name;
    std::uint32_t page = 0;           // first table definition page
    std::vector<std::uint32_t> pages; // the whole chain
    std::uint32_t rowCount = 0;
    std::uint32_t lastAutoNumber = 0; // the last autonumber handed out
    std::uint8_t tableType = 0;       // 0x4E user, 0x53 system
    std::uint16_t maxCols = 0;
    std::uint16_t varCols = 0;
    std::uint32_t usedPages = 0;    // row pointer of the owned-pages usage map
    std::uint32_t freePages = 0;    // row pointer of the pages-with-room usage map
    std::vector<ColumnDef> columns; // in column order
    std::vector<RealIndex> realIndexes;
    std::vector<LogicalIndex> indexes;
    std::vector<LongValueMaps> longValueMaps;

    // Case-insensitive lookup of a column name.
    const ColumnDef* findColumn(std::u16string_view name) const;
    const ColumnDef* columnByNumber(std::uint16_t number) const;
};

// Reads the definition whose chain starts at `page`. `name` is used in messages.
TableDef readTableDef(PageFile& file, std::uint32_t page, const std::u16string& name);

// Case-insensitive comparison of names as Access compares them (ASCII and Latin-1 letters).
bool sameName(std::u16string_view a, std::u16string_view b);

} // namespace jet
