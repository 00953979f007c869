// One table of an open database: its definition, its pages, and its rows.
#pragma once

#include "jet/Format.h"
#include "jet/IndexBuild.h"
#include "jet/IndexRowKeys.h"
#include "jet/IndexTree.h"
#include "jet/Row.h"
#include "jet/TableDef.h"
#include "jet/Value.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace jet {

class PageFile;

// Entries added to one index since its pages were last written (see IndexSupport.h): in the
// order they came, sorted when written (or set aside in the table's runs); the hashes of a
// unique index's keys also kept, for the check of each new row, unless they come in order.
static_assert(std::is_nothrow_move_constructible_v<IndexEntry>,
              "growing the list must move the entries' keys, not copy them");
struct PendingIndex {
    GatheredEntries added;
    std::vector<IndexEntry> removed; // never gathered together with `added`
    // A unique index's keys gathered in rising order need no hashes: a key above the last is
    // new. The first that is not starts the hashes, of every key gathered.
    KeyHashes hashes;
    bool hashed = false;
    std::vector<std::uint8_t> lastGathered;
    bool changed = false; // the index differs from its pages' last rebuild
    // No key on the pages is above this (empty: the pages hold none; none: not known). Deletes
    // keep it true; writing the gathered entries forgets it.
    std::optional<std::vector<std::uint8_t>> highestKey;
    bool highestKeyKnown = false;
};

// A live row: `id` is the slot indexes point to; `data` is where its bytes are (another page
// when the slot holds an overflow pointer).
struct RowRef {
    RowId id;
    RowId data;
};

class Table {
public:
    Table(PageFile& file, TableDef def);

    const TableDef& def() const { return def_; }
    TableDef& mutableDef() { return def_; }
    PageFile& file() { return file_; }

    // Live rows in table-scan order: pages in usage-map order, slots in page order; deleted
    // slots and the targets of overflow pointers are skipped.
    std::vector<RowRef> scan();
    // The same rows one at a time, none held: a walk over a large table takes no memory.
    void eachRow(const std::function<void(const RowRef&)>& visit);
    // Pages the table owns according to its usage map.
    std::vector<std::uint32_t> ownedPages();

    // The row's values; with `wanted`, only the marked columns (others Null).
    // With `longValueRows`, long values are not fetched but their rows listed.
    std::vector<Value> read(const RowRef& r, const std::vector<bool>* wanted = nullptr,
                            std::vector<RowId>* longValueRows = nullptr);
    // "file.mdb, table 'Name'", and with a row's place after it.
    const std::string& where() const;
    std::string where(RowId at) const;

    // Index entries not yet on the index pages, one slot per real index; IndexSupport's.
    std::vector<PendingIndex> pendingIndexes;
    // Entries (or removals) gathered before they are written, at the least; more when the
    // indexes are larger.
    std::size_t pendingLimit = 120000;
    // The indexes were empty when gathering began: they are built afresh from what is gathered,
    // once, when it is written. What outgrows the memory budget waits in `runs`.
    bool freshBuild = false;
    std::size_t gatheredBytes = 0;
    std::shared_ptr<IndexRuns> runs;
    // Pages the last row and each column's last long value went to (0: none yet); Write's.
    std::uint32_t rowHint = 0;
    std::map<std::uint16_t, std::uint32_t> longValueHints;
    // The row count or autonumber changed since they were written to the definition page.
    bool countsUnwritten = false;
    // The bytes and keys of the row being added, kept for the next so that their room is used
    // again; Write's.
    std::vector<std::uint8_t> newRow;
    IndexKeys newRowKeys;
    std::optional<RowShape> rowShape; // worked out at the first row added

private:
    PageFile& file_;
    TableDef def_;
    mutable std::string where_;
};

} // namespace jet
