// The keys a table's rows have in its indexes, and the names its indexes go by.
#pragma once

#include "jet/TableDef.h"
#include "jet/Value.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace jet {

// The name users know a real index by (its first logical index).
std::u16string indexName(const TableDef& t, std::size_t realIndex);

// The key of a row in a real index. Throws jet::Error for a value Access cannot key the same
// way (a text outside Windows-1252).
std::vector<std::uint8_t> indexKey(const TableDef& t, std::size_t realIndex,
                                   const std::vector<Value>& row);

// The same into `key`, whose room is used again.
void indexKey(const TableDef& t, std::size_t realIndex, const std::vector<Value>& row,
              std::vector<std::uint8_t>& key);

// The key the row has in the index, or nothing when the index leaves the row out (an index that
// ignores Nulls, for a row whose key columns are all Null).
std::optional<std::vector<std::uint8_t>> indexedKey(const TableDef& t, std::size_t realIndex,
                                                    const std::vector<Value>& row);

// The same into `key`, whose room is used again.
void indexedKey(const TableDef& t, std::size_t realIndex, const std::vector<Value>& row,
                std::optional<std::vector<std::uint8_t>>& key);

// The row's key in each real index (nothing where the index leaves the row out).
using IndexKeys = std::vector<std::optional<std::vector<std::uint8_t>>>;

// Where the index column's values lie in a row. Throws jet::Error when the table has no such
// column.
std::size_t columnPosition(const TableDef& t, const IndexColumn& ic);

bool isPrimaryKey(const TableDef& t, std::size_t realIndex);

} // namespace jet
