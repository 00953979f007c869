// Laying an index tree out on its pages from entries in order: packing entries into nodes as
// Access's compaction fills pages, building the levels above a level, rebuilding a whole tree,
// and rewriting only the leaves a run of changes falls in.
#pragma once

#include "jet/IndexFilePages.h"
#include "jet/IndexTree.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <span>
#include <vector>

namespace jet {

// Sorts entries as entryLess orders them.
void sortEntries(std::vector<IndexEntry>& entries);
// Where each entry goes in that order: the position of the first, the second, ...
std::vector<std::uint32_t> sortedOrder(const std::vector<IndexEntry>& entries);

// The entries of a page and gathered ones (both in order), in order.
template <typename It>
std::vector<IndexEntry> mergeEntries(std::vector<IndexEntry>&& onPage, It from, It to) {
    std::vector<IndexEntry> all;
    all.reserve(onPage.size() + static_cast<std::size_t>(std::distance(from, to)));
    std::merge(std::make_move_iterator(onPage.begin()), std::make_move_iterator(onPage.end()), from,
               to, std::back_inserter(all), entryLess);
    return all;
}

// Keys that differ from the one before them; `before` is the key of the entry just before the
// range (nullptr: none).
std::uint32_t distinctKeys(std::span<const IndexEntry> entries,
                           const std::vector<std::uint8_t>* before);

// Entries (in order) into nodes for pages with `capacity` bytes for entries, counting the
// prefix the entries of a full page share as the page codec does. Always at least one node.
std::vector<IndexNode> packNodes(std::vector<IndexEntry>&& entries, bool leaf,
                                 std::size_t capacity);

// Stores `nodes` (neighbours on one level) on the pages `at`, linked to each other and, at the
// ends, to `prev` and `next`; appends each node's entry for the level above to `above`.
void storeLinked(IndexPages& pages, std::vector<IndexNode>& nodes,
                 const std::vector<std::uint32_t>& at, std::uint32_t prev, std::uint32_t next,
                 std::vector<IndexEntry>& above);

// Puts `nodes` (one level, in order) on pages and builds the levels above them, up to a single
// node, which goes on the `root` page. Pages come from the back of `spare` first; spare pages
// left over are given back.
void layOutLevels(IndexPages& pages, std::uint32_t root, std::vector<IndexNode>&& nodes,
                  std::vector<std::uint32_t>& spare, std::size_t capacity);

// Every page of the tree, the root first.
std::vector<std::uint32_t> treePages(FileIndexPages& pages);

// Each leaf as the level above lists it: its page and its last entry, in key order. Also the
// pages above the leaves. False when the root is itself a leaf.
bool leafLevel(FileIndexPages& pages, std::vector<IndexEntry>& leaves,
               std::vector<std::uint32_t>& upper);

// Lays the tree out afresh over `entries` (in order), reusing the old tree's pages.
void rebuildTree(FileIndexPages& pages, std::vector<IndexEntry>&& entries);

// Lays a fresh tree out over entries handed over in order, too many to hold at once: full leaves
// are written as they fill, left to right, and the levels above laid out once at the end. The
// old tree's pages other than the root are given back.
class LeafStream {
public:
    explicit LeafStream(FileIndexPages& pages);
    // Refuses an entry out of order, or a row indexed twice. The entry is copied, into the room
    // of entries already written: a build of millions allocates nothing per entry.
    void add(const IndexEntry& e) { add(e.key, e.row, e.child); }
    void add(std::span<const std::uint8_t> key, RowId row, std::uint32_t child = 0);
    // An entry already known to follow the one added before: a new key, or the same key on a
    // later row.
    void addFollowing(std::span<const std::uint8_t> key, RowId row, std::uint32_t child,
                      bool newKey);
    // Writes the rest and the levels above; returns the count of distinct keys.
    std::uint32_t finish();

private:
    void pack(bool last);
    void emit(IndexNode&& node);
    void store(IndexNode& node, std::uint32_t page, std::uint32_t next);
    FileIndexPages& pages_;
    std::size_t capacity_;
    std::vector<std::uint32_t> spare_;
    std::vector<IndexEntry> buffer_;
    std::vector<IndexEntry> written_; // entries of written leaves, whose room add uses again
    std::size_t buffered_ = 0;        // bytes of the buffered entries, as packNodes reckons them
    std::vector<IndexEntry> above_;   // the leaves' entries for the level above
    IndexNode held_;                  // the last leaf, not yet written: its next is not known
    bool holding_ = false;
    std::uint32_t heldPage_ = 0; // 0: not given a page yet (it may turn out to be the root)
    std::uint32_t prevPage_ = 0;
    std::uint32_t distinct_ = 0;
    bool any_ = false;
};

// One leaf that changes, for rewriteLeaves: its separator in the level above, its neighbours'
// pages (0: none), and the run of changes that falls in it.
struct LeafChange {
    const IndexEntry& leaf;
    std::uint32_t prev, next;
    std::vector<IndexEntry>::iterator from, to;
};

// Stores what becomes of a changed leaf, appending the separators of its pages (none when it
// leaves the tree) to the new leaf level.
using LeafRewrite = std::function<void(const LeafChange&, std::vector<IndexEntry>& level)>;

// Walks the leaf level of a tree whose root is an intermediate page (`leaves` and `upper` from
// leafLevel), handing each leaf the run of `changes` (in order) that falls in it: entries up to
// the leaf's last, the last leaf the rest. Untouched leaves stay as they are (their link back
// corrected when the leaf before them split or went). The levels above are then laid out afresh
// over the new leaf level.
void rewriteLeaves(FileIndexPages& pages, std::vector<IndexEntry>& changes,
                   std::vector<IndexEntry>&& leaves, std::vector<std::uint32_t> upper,
                   const LeafRewrite& rewrite);

} // namespace jet
