// Writing table definitions: the column layout of a new table and the bytes of its definition
// pages, as readTableDef() reads them back (Jet 4 only).
#pragma once

#include "jet/TableDef.h"

#include <cstdint>
#include <vector>

namespace jet {

// Numbers the columns in their order and gives each its variable slot or fixed offset, and the
// flags Access gives a column of its type (fixed, updatable, autonumber, compressed text).
// Expects name, type, length (bytes), precision/scale and the autonumber flag already set;
// flags already set on a column are kept (system tables carry their own).
void layoutColumns(TableDef& t);

// The definition as one block: bytes 0..7 are the first page's header (type, free space, next
// page left 0); the rest continues across pages at their byte 8 (see tableDefPages()).
std::vector<std::uint8_t> encodeTableDef(const TableDef& t, const std::vector<LongValueMaps>& lv);

// Pages the block needs.
std::size_t tableDefPageCount(std::size_t blockSize, std::size_t pageSize);

// The block cut into whole pages numbered `pages` (chained through their next-page field).
std::vector<std::vector<std::uint8_t>> tableDefPages(const std::vector<std::uint8_t>& block,
                                                     const std::vector<std::uint32_t>& pages,
                                                     std::size_t pageSize);

} // namespace jet
