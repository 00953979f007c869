// Keeping a table's indexes in step with its rows (Jet 4 files).
//
// Every insert and delete goes through here, so that each index holds exactly one entry for each
// of the table's rows, in Access's key order and encoding: an index that misses a row, or keeps
// a deleted one, makes Access report the database as corrupt.
//
// Inserts and deletes are gathered per index (Table::pendingIndexes), never both at once, and
// written by flushIndexes. Inserts into indexes that were empty when gathering began are written
// once, the whole tree laid out from the sorted entries; what outgrows the memory budget is set
// aside in sorted runs and merged back then. Other gathered inserts are merged into the leaves
// that receive them, the levels above laid out afresh; gathered deletes, when there are many, take
// one pass over the entries and a fresh layout of the tree, its pages filled as Access's compaction
// fills them; a few go down the tree one by one. Appending or emptying a table then costs a pass
// over each index instead of a descent, a decode and a rewrite per row. What is gathered is
// bounded; the database flushes it before it closes.
//
// The keys themselves come from IndexRowKeys.h, the pages from IndexFilePages.h, and the layout
// of a tree over its pages from IndexLayout.h.
#pragma once

#include "jet/IndexRowKeys.h"
#include "jet/Table.h"
#include "jet/Types.h"
#include "jet/Value.h"

#include <string>
#include <vector>

namespace jet {

// Refuses (jet::Error naming the index) a row that would duplicate a unique key, or a primary
// key with a Null column. Call before anything is written. The row's keys are left in `keys`,
// whose room is used again.
void checkUnique(Table& t, const std::vector<Value>& row, IndexKeys& keys);
void addToIndexes(Table& t, RowId at, const IndexKeys& keys);
void addToIndexes(Table& t, RowId at, const std::vector<Value>& row);
void removeFromIndexes(Table& t, RowId at, const std::vector<Value>& row);

// Memory the entries gathered for a table may take before they are written (or, for indexes
// built afresh, set aside sorted in a temporary file beside the database). Tests lower it.
void setIndexGatherBudget(std::size_t bytes);
std::size_t indexGatherBudget();

// Writes the gathered inserts or deletes to the index pages, and each changed index's count of
// distinct keys to the table definition, with the table's own row count if not yet written.
void flushIndexes(Table& t);

// Each index holds exactly the table's rows, in key order, in a sound tree. Jet 3 indexes are
// not looked at. Every row is read once (a row that cannot be read throws), indexed or not;
// `rowsRead` gets their count. Memory stays flat with the table's size.
std::vector<std::string> checkIndexes(Table& t, std::size_t* rowsRead = nullptr);

} // namespace jet
