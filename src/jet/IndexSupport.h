// Keeping a table's indexes in step with its rows.
//
// The byte layout of index pages and of index keys comes from an IndexCodec, registered once
// (by the module that implements the Jet 4 index page format and the key encoding). Without
// one, tables that have indexes cannot be changed: writing rows without their index entries
// would leave a database Access reports as corrupt.
#pragma once

#include "jet/IndexTree.h"
#include "jet/Table.h"
#include "jet/Types.h"
#include "jet/Value.h"

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace jet {

class PageFile;

struct IndexCodec {
    // Index page (leaf 0x04 or intermediate 0x03) to node; throws jet::Error naming `where`.
    std::function<IndexNode(std::span<const std::uint8_t> page, const std::string& where)> decode;
    // Node to page bytes (the whole page, owned by the table at `tdefPage`); false when the
    // node does not fit.
    std::function<bool(const IndexNode& node, std::uint32_t tdefPage, std::span<std::uint8_t> page)>
        encode;
    // Key pieces, flag byte included.
    std::function<void(bool ascending, std::vector<std::uint8_t>& out)> nullKey;
    std::function<void(std::u16string_view text, bool ascending, std::vector<std::uint8_t>& out)>
        textKey;
    std::function<void(ColumnType type, std::span<const std::uint8_t> littleEndian, bool ascending,
                       std::vector<std::uint8_t>& out)>
        fixedKey;
};

void registerIndexCodec(IndexCodec codec);
void clearIndexCodec();
const IndexCodec* indexCodec();

// The index pages of one real index in a file, for IndexTree.
class FileIndexPages : public IndexPages {
public:
    FileIndexPages(Table& table, std::size_t realIndex, const IndexCodec& codec);
    IndexNode load(std::uint32_t page) override;
    void store(std::uint32_t page, const IndexNode& node) override;
    bool fits(const IndexNode& node) override;
    std::uint32_t allocate() override;
    void release(std::uint32_t page) override;

private:
    Table& table_;
    std::size_t index_;
    const IndexCodec& codec_;
    std::vector<std::uint8_t> scratch_;
};

// The name users know a real index by (its first logical index).
std::u16string indexName(const TableDef& t, std::size_t realIndex);

// The key of a row in a real index.
std::vector<std::uint8_t> indexKey(const TableDef& t, std::size_t realIndex,
                                   const std::vector<Value>& row, bool jet4,
                                   const IndexCodec& codec);

// Refuses (jet::Error naming the index) a row that would duplicate a unique key, or a primary
// key with a Null column. Call before anything is written.
void checkUnique(Table& t, const std::vector<Value>& row);
void addToIndexes(Table& t, RowId at, const std::vector<Value>& row);
void removeFromIndexes(Table& t, RowId at, const std::vector<Value>& row);

// Each index holds exactly the table's rows, in key order, in a sound tree.
std::vector<std::string> checkIndexes(Table& t);

} // namespace jet
