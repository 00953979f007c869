#include "jet/TableDefWriter.h"

#include "base/Coding.h"
#include "jet/Error.h"
#include "jet/Text.h"
#include "jet/Value.h"

#include <algorithm>

namespace jet {
namespace {

// Constants Access writes into every Jet 4 definition it makes; their meaning is not known,
// and readers ignore them.
constexpr std::uint32_t kDefinitionMark = 0x0659;
constexpr std::uint32_t kRealIndexMark = 0x0783;
constexpr std::uint16_t kGeneralSortOrder = 0x0409;

void putName(std::vector<std::uint8_t>& out, std::u16string_view name) {
    auto bytes = encodeText(name, true, false);
    std::uint8_t len[2];
    coding::putLE<std::uint16_t>(len, 0, static_cast<std::uint16_t>(bytes.size()));
    out.insert(out.end(), len, len + 2);
    out.insert(out.end(), bytes.begin(), bytes.end());
}

std::size_t grow(std::vector<std::uint8_t>& out, std::size_t n) {
    std::size_t at = out.size();
    out.resize(at + n, 0);
    return at;
}

} // namespace

void layoutColumns(TableDef& t) {
    std::uint16_t fixedOffset = 0, varSlot = 0;
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        ColumnDef& c = t.columns[i];
        c.number = static_cast<std::uint16_t>(i);
        c.index = static_cast<std::uint16_t>(i);
        const std::size_t width = fixedWidth(c.type);
        const bool fixed = width != 0 || c.type == ColumnType::Boolean;
        if (c.flags == 0)
            c.flags = static_cast<std::uint8_t>((fixed ? ColumnDef::kFixedFlag : 0) |
                                                ColumnDef::kNullableFlag);
        if (c.autoNumber() && c.type == ColumnType::Long)
            c.flags |= ColumnDef::kFixedFlag;
        if (c.type == ColumnType::Boolean) {
            c.length = 1; // the value lives in the null mask: no bytes in the row
            c.fixedOffset = 0;
            c.varIndex = 0;
        } else if (c.fixed()) {
            if (width != 0)
                c.length = static_cast<std::uint16_t>(width);
            c.fixedOffset = fixedOffset;
            fixedOffset = static_cast<std::uint16_t>(fixedOffset + c.length);
            c.varIndex = 0;
        } else {
            c.fixedOffset = 0;
            c.varIndex = varSlot++;
        }
        if (c.type != ColumnType::Numeric && c.sortOrder == 0)
            c.sortOrder = kGeneralSortOrder;
    }
    t.maxCols = static_cast<std::uint16_t>(t.columns.size());
    t.varCols = varSlot;
}

namespace {

void putColumn(std::vector<std::uint8_t>& out, const ColumnDef& c) {
    const Format& f = kJet4Format;
    std::size_t at = grow(out, f.columnSize);
    auto d = coding::slice(coding::MutableBytes(out), at, f.columnSize);
    d[0] = static_cast<std::uint8_t>(c.type);
    coding::putLE<std::uint32_t>(d, 1, kDefinitionMark);
    coding::putLE<std::uint16_t>(d, f.colNumber, c.number);
    coding::putLE<std::uint16_t>(d, f.colVarIndex, c.varIndex);
    coding::putLE<std::uint16_t>(d, f.colIndex, c.index);
    if (c.type == ColumnType::Numeric) {
        d[f.colPrecision] = c.precision;
        d[f.colPrecision + 1] = c.scale;
    } else {
        coding::putLE<std::uint16_t>(d, f.colSortOrder, c.sortOrder);
    }
    d[f.colFlags] = c.flags;
    d[f.colExtFlags] = c.extFlags;
    coding::putLE<std::uint16_t>(d, f.colFixedOffset, c.fixedOffset);
    coding::putLE<std::uint16_t>(d, f.colLength, c.length);
}

void putRealIndex(std::vector<std::uint8_t>& out, const TableDef& t, const RealIndex& ri) {
    const Format& f = kJet4Format;
    if (ri.columns.empty() || ri.columns.size() > 10)
        throw Error("table '" + utf8(t.name) + "': an index has " +
                    std::to_string(ri.columns.size()) + " columns (1 to 10 allowed)");
    std::size_t at = grow(out, f.realIndexSize);
    auto d = coding::slice(coding::MutableBytes(out), at, f.realIndexSize);
    coding::putLE<std::uint32_t>(d, 0, kRealIndexMark);
    for (std::size_t k = 0; k < 10; ++k) {
        std::size_t slot = f.realIndexColumns + 3 * k;
        if (k < ri.columns.size()) {
            coding::putLE<std::uint16_t>(d, slot, ri.columns[k].columnNumber);
            d[slot + 2] = ri.columns[k].ascending ? 0x01 : 0x00;
        } else {
            coding::putLE<std::uint16_t>(d, slot, 0xFFFF);
        }
    }
    coding::putLE<std::uint32_t>(d, f.realIndexUsedPages, ri.usedPages);
    coding::putLE<std::uint32_t>(d, f.realIndexFirstPage, ri.firstPage);
    d[f.realIndexFlags] = ri.flags;
}

void putLogicalIndex(std::vector<std::uint8_t>& out, const LogicalIndex& li) {
    const Format& f = kJet4Format;
    std::size_t at = grow(out, f.logicalIndexSize);
    auto d = coding::slice(coding::MutableBytes(out), at, f.logicalIndexSize);
    coding::putLE<std::uint32_t>(d, 0, kDefinitionMark);
    coding::putLE<std::uint32_t>(d, f.logicalIndexNumber, li.number);
    coding::putLE<std::uint32_t>(d, f.logicalIndexReal, li.realIndex);
    coding::putLE<std::uint32_t>(d, f.logicalIndexRelIndex, li.relatedIndex);
    coding::putLE<std::uint32_t>(d, f.logicalIndexRelTable, li.relatedTable);
    // Access's value in both cascade bytes of an index that is no relationship.
    d[f.logicalIndexCascadeUpdates] = 0x04;
    d[f.logicalIndexCascadeDeletes] = 0x04;
    d[f.logicalIndexType] = li.indexType;
}

} // namespace

// Jet 4 definition block (see readTableDef for the fields it reads):
//   OFFSET SIZE MEANING
//   0      1    0x02, then 0x01
//   2      2    free space on the first page, less 8
//   4      4    next definition page (set by tableDefPages)
//   8      4    length of the whole definition
//   12     4    0x0659
//   16     4    rows;  20  4  last autonumber;  24  1  0x01 (autonumbers in use)
//   40..62      table type, column and index counts, usage map pointers
//   then        12 per real index (row count at +4), 25 per column, names, 52 per real
//               index, 28 per logical index, index names, then per memo/OLE column its number
//               and two map pointers, closed by 0xFFFF
std::vector<std::uint8_t> encodeTableDef(const TableDef& t, const std::vector<LongValueMaps>& lv) {
    const Format& f = kJet4Format;
    std::vector<std::uint8_t> out(f.tdefBlockEnd, 0);
    out[0] = static_cast<std::uint8_t>(PageType::TableDef);
    out[1] = 0x01;
    coding::putLE<std::uint32_t>(out, 12, kDefinitionMark);
    coding::putLE<std::uint32_t>(out, f.tdefRowCount, t.rowCount);
    coding::putLE<std::uint32_t>(out, f.tdefAutoNumber, t.lastAutoNumber);
    out[24] = 0x01;
    out[f.tdefTableType] = t.tableType;
    coding::putLE<std::uint16_t>(out, f.tdefMaxCols, t.maxCols);
    coding::putLE<std::uint16_t>(out, f.tdefVarCols, t.varCols);
    coding::putLE<std::uint16_t>(out, f.tdefNumCols, static_cast<std::uint16_t>(t.columns.size()));
    coding::putLE<std::uint32_t>(out, f.tdefNumIndexes,
                                 static_cast<std::uint32_t>(t.indexes.size()));
    coding::putLE<std::uint32_t>(out, f.tdefNumRealIndexes,
                                 static_cast<std::uint32_t>(t.realIndexes.size()));
    coding::putLE<std::uint32_t>(out, f.tdefUsedPages, t.usedPages);
    coding::putLE<std::uint32_t>(out, f.tdefFreePages, t.freePages);

    for (const auto& ri : t.realIndexes) {
        std::size_t at = grow(out, f.realIndexCountSize);
        coding::putLE<std::uint32_t>(out, at + f.realIndexRowCount, ri.rowCount);
    }
    for (const auto& c : t.columns)
        putColumn(out, c);
    for (const auto& c : t.columns)
        putName(out, c.name);
    for (const auto& ri : t.realIndexes)
        putRealIndex(out, t, ri);
    for (const auto& li : t.indexes)
        putLogicalIndex(out, li);
    for (const auto& li : t.indexes)
        putName(out, li.name);
    for (const auto& m : lv) {
        std::size_t at = grow(out, 10);
        coding::putLE<std::uint16_t>(out, at, m.columnNumber);
        coding::putLE<std::uint32_t>(out, at + 2, m.usedPages);
        coding::putLE<std::uint32_t>(out, at + 6, m.freePages);
    }
    std::size_t end = grow(out, 2);
    coding::putLE<std::uint16_t>(out, end, 0xFFFF);
    coding::putLE<std::uint32_t>(out, 8, static_cast<std::uint32_t>(out.size()));
    return out;
}

std::size_t tableDefPageCount(std::size_t blockSize, std::size_t pageSize) {
    if (blockSize <= pageSize)
        return 1;
    std::size_t rest = blockSize - pageSize, per = pageSize - 8;
    return 1 + (rest + per - 1) / per;
}

// A continuation page: 02 01, free space, next page, then the block goes on at byte 8.
std::vector<std::vector<std::uint8_t>> tableDefPages(const std::vector<std::uint8_t>& block,
                                                     const std::vector<std::uint32_t>& pages,
                                                     std::size_t pageSize) {
    if (pages.size() != tableDefPageCount(block.size(), pageSize))
        throw Error("table definition: " + std::to_string(pages.size()) + " pages given for " +
                    std::to_string(block.size()) + " bytes");
    std::vector<std::vector<std::uint8_t>> out;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        std::vector<std::uint8_t> p(pageSize, 0);
        std::size_t start = i == 0 ? 0 : 8;
        std::size_t n = std::min(pageSize - start, block.size() - pos);
        std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(pos), n,
                    p.begin() + static_cast<std::ptrdiff_t>(start));
        pos += n;
        p[0] = static_cast<std::uint8_t>(PageType::TableDef);
        p[1] = 0x01;
        std::size_t used = start + n + 8;
        coding::putLE<std::uint16_t>(
            p, 2, static_cast<std::uint16_t>(used < pageSize ? pageSize - used : 0));
        coding::putLE<std::uint32_t>(p, 4, i + 1 < pages.size() ? pages[i + 1] : 0);
        out.push_back(std::move(p));
    }
    return out;
}

} // namespace jet
