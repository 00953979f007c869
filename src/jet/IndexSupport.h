// Keeping a table's indexes in step with its rows (Jet 4 files).
//
// Every insert and delete goes through here, so that each index holds exactly one entry for each
// of the table's rows, in Access's key order and encoding: an index that misses a row, or keeps
// a deleted one, makes Access report the database as corrupt.
//
// Inserts and deletes are gathered per index (Table::pendingIndexes), never both at once, and
// written by flushIndexes. Gathered inserts are merged into the leaves that receive them, the
// levels above laid out afresh; gathered deletes, when there are many, take one pass over the
// entries and a fresh layout of the tree, its pages filled as Access's compaction fills them; a
// few go down the tree one by one. Appending or emptying a table then costs a pass over each
// index instead of a descent, a decode and a rewrite per row. What is gathered is bounded; the
// database flushes it before it closes.
#pragma once

#include "jet/IndexTree.h"
#include "jet/Table.h"
#include "jet/Types.h"
#include "jet/Value.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace jet {

// The index pages of one real index in a file, for IndexTree.
class FileIndexPages : public IndexPages {
public:
    FileIndexPages(Table& table, std::size_t realIndex);
    IndexNode load(std::uint32_t page) override;
    void store(std::uint32_t page, const IndexNode& node) override;
    bool fits(const IndexNode& node) override;
    std::uint32_t allocate() override;
    void release(std::uint32_t page) override;

private:
    std::vector<std::uint8_t> pageBytes(std::uint32_t page);
    Table& table_;
    std::size_t index_;
    std::string where_;
    std::vector<std::uint8_t> scratch_;
};

// The name users know a real index by (its first logical index).
std::u16string indexName(const TableDef& t, std::size_t realIndex);

// The key of a row in a real index. Throws jet::Error for a value Access cannot key the same
// way (a text outside Windows-1252).
std::vector<std::uint8_t> indexKey(const TableDef& t, std::size_t realIndex,
                                   const std::vector<Value>& row);

// The key the row has in the index, or nothing when the index leaves the row out (an index that
// ignores Nulls, for a row whose key columns are all Null).
std::optional<std::vector<std::uint8_t>> indexedKey(const TableDef& t, std::size_t realIndex,
                                                    const std::vector<Value>& row);

// The row's key in each real index (nothing where the index leaves the row out).
using IndexKeys = std::vector<std::optional<std::vector<std::uint8_t>>>;

// Refuses (jet::Error naming the index) a row that would duplicate a unique key, or a primary
// key with a Null column. Call before anything is written. Returns the row's keys.
IndexKeys checkUnique(Table& t, const std::vector<Value>& row);
void addToIndexes(Table& t, RowId at, IndexKeys&& keys);
void addToIndexes(Table& t, RowId at, const std::vector<Value>& row);
void removeFromIndexes(Table& t, RowId at, const std::vector<Value>& row);

// Writes the gathered inserts or deletes to the index pages, and each changed index's count of
// distinct keys to the table definition.
void flushIndexes(Table& t);

// Each index holds exactly the table's rows, in key order, in a sound tree. Jet 3 indexes are
// not looked at.
std::vector<std::string> checkIndexes(Table& t);

} // namespace jet
