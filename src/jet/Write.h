// Changing tables: deleting and inserting rows, with the bookkeeping Access expects (row
// counts, free space, usage maps, indexes).
#pragma once

#include "jet/Row.h"
#include "jet/Table.h"
#include "jet/Value.h"

#include <cstdint>
#include <vector>

namespace jet {

// A value converted to a column's type as Access converts on assignment: text to number,
// currency, date or yes/no; numbers to text; empty text to a non-text column gives Null.
// Throws jet::Error naming the column for text too long or a value that does not convert.
Value convertForColumn(Table& table, const ColumnDef& column, Value v);

// Whether a text of `length` characters, assigned to a text column, is kept as it is (no other
// conversion applies); throws jet::Error naming the column for one too long. False for the
// other types, whose texts go through convertForColumn.
bool textFits(Table& table, const ColumnDef& column, std::size_t length);

// Per column of a new row, nonzero once it is given a value: bytes rather than bits, as one is
// set for every field of every row.
using AssignedColumns = std::vector<std::uint8_t>;

// Stores a new row. Unassigned columns are Null or their next autonumber. Returns its place.
// The columns in `plain` are stored from its texts (values holds them only as far as the keys
// need them, and otherwise any text).
RowRef insertRow(Table& table, std::vector<Value>& values, const AssignedColumns& assigned,
                 const PlainTexts& plain = {});

// Marks a row deleted and removes it from every index.
void deleteRow(Table& table, const RowRef& row);

// Writes the table's row count and last autonumber to its definition page. Inserts leave them
// to flushIndexes.
void writeCounts(Table& table);

} // namespace jet
