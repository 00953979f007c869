#include "jet/IndexLayout.h"

#include "jet/Error.h"
#include "jet/IndexPage.h"

#include <set>

namespace jet {
namespace {

std::size_t commonPrefix(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    std::size_t n = std::min(a.size(), b.size()), k = 0;
    while (k < n && a[k] == b[k])
        ++k;
    return k;
}

std::size_t capacityOf(FileIndexPages& pages) {
    return pages.table().file().format().indexEntryCapacity();
}

// A page given back earlier when there is one, else a new one.
std::uint32_t takePage(IndexPages& pages, std::vector<std::uint32_t>& spare) {
    if (spare.empty())
        return pages.allocate();
    const std::uint32_t p = spare.back();
    spare.pop_back();
    return p;
}

} // namespace

std::vector<std::uint32_t> sortedOrder(const std::vector<IndexEntry>& entries) {
    return prefixSortedOrder(
        entries.size(), [&](std::size_t k) { return std::span(entries[k].key); },
        [&](std::size_t a, std::size_t b) { return entryLess(entries[a], entries[b]); });
}

// Keys gathered in order stay as they are.
void sortEntries(std::vector<IndexEntry>& entries) {
    if (std::is_sorted(entries.begin(), entries.end(), entryLess))
        return;
    std::vector<IndexEntry> sorted;
    sorted.reserve(entries.size());
    for (std::uint32_t at : sortedOrder(entries))
        sorted.push_back(std::move(entries[at]));
    entries = std::move(sorted);
}

std::uint32_t distinctKeys(std::span<const IndexEntry> entries,
                           const std::vector<std::uint8_t>* before) {
    std::uint32_t n = 0;
    for (const auto& e : entries) {
        n += !before || e.key != *before;
        before = &e.key;
    }
    return n;
}

std::vector<IndexNode> packNodes(std::vector<IndexEntry>&& entries, bool leaf,
                                 std::size_t capacity) {
    const std::size_t trailer = indexEntryTrailer(leaf);
    std::vector<IndexNode> nodes;
    IndexNode cur;
    cur.leaf = leaf;
    std::size_t total = 0;
    // The size reckoned here is the page codec's own (for an intermediate page, which leaves its
    // last child out as the tail, a little more), so every node fits; storing it checks again.
    auto close = [&] {
        const std::size_t held = cur.entries.size();
        nodes.push_back(std::move(cur));
        cur = IndexNode{};
        cur.leaf = leaf;
        // The next node holds about as many: room for them at once, not grown entry by entry.
        cur.entries.reserve(held + held / 8);
        total = 0;
    };
    // Spread over as few pages as take them, evenly: a leaf that splits leaves room on both
    // sides for the entries that come later.
    std::size_t all = 0;
    for (const auto& e : entries)
        all += e.key.size() + trailer;
    const std::size_t needed = std::max<std::size_t>(1, (all + capacity - 1) / capacity);
    const std::size_t target = (all + needed - 1) / needed;
    nodes.reserve(needed + 1);
    for (auto& e : entries) {
        if (!cur.entries.empty()) {
            std::size_t size = total + e.key.size() + trailer;
            if (size > target && nodes.size() + 1 < needed)
                close();
            else if (size > capacity &&
                     size - commonPrefix(cur.entries.front().key, e.key) * cur.entries.size() >
                         capacity)
                close();
        }
        total += e.key.size() + trailer;
        cur.entries.push_back(std::move(e));
    }
    if (!cur.entries.empty() || nodes.empty())
        close();
    return nodes;
}

void storeLinked(IndexPages& pages, std::vector<IndexNode>& nodes,
                 const std::vector<std::uint32_t>& at, std::uint32_t prev, std::uint32_t next,
                 std::vector<IndexEntry>& above) {
    for (std::size_t k = 0; k < nodes.size(); ++k) {
        nodes[k].prev = k == 0 ? prev : at[k - 1];
        nodes[k].next = k + 1 == nodes.size() ? next : at[k + 1];
        pages.store(at[k], nodes[k]);
        IndexEntry sep = nodes[k].entries.back();
        sep.child = at[k];
        above.push_back(std::move(sep));
    }
}

void layOutLevels(IndexPages& pages, std::uint32_t root, std::vector<IndexNode>&& nodes,
                  std::vector<std::uint32_t>& spare, std::size_t capacity) {
    auto take = [&] { return takePage(pages, spare); };
    while (nodes.size() > 1) {
        std::vector<std::uint32_t> at(nodes.size());
        for (auto& p : at)
            p = take();
        std::vector<IndexEntry> above;
        above.reserve(nodes.size());
        storeLinked(pages, nodes, at, 0, 0, above);
        nodes = packNodes(std::move(above), false, capacity);
    }
    nodes.front().prev = nodes.front().next = 0;
    pages.store(root, nodes.front());
    for (std::uint32_t p : spare)
        pages.release(p);
}

std::vector<std::uint32_t> treePages(FileIndexPages& pages) {
    std::vector<std::uint32_t> out{pages.root()};
    std::set<std::uint32_t> seen(out.begin(), out.end());
    for (std::size_t k = 0; k < out.size(); ++k) {
        const StoredIndexPage p(pages.table(), pages.index(), out[k]);
        if (p->leaf())
            continue;
        std::vector<std::uint32_t> children;
        for (std::size_t e = 0; e < p->count(); ++e)
            children.push_back(p->child(e));
        if (p->tailPage())
            children.push_back(p->tailPage());
        for (std::uint32_t c : children)
            if (!seen.insert(c).second)
                throw p.bad("child page " + std::to_string(c) + " is reached twice");
            else
                out.push_back(c);
    }
    return out;
}

bool leafLevel(FileIndexPages& pages, std::vector<IndexEntry>& leaves,
               std::vector<std::uint32_t>& upper) {
    const std::uint32_t root = pages.root();
    if (pages.isLeaf(root))
        return false;
    std::vector<std::uint32_t> level{root};
    upper = level;
    for (std::size_t depth = 0; depth < kMaxTreeDepth; ++depth) {
        std::vector<IndexEntry> below;
        for (std::uint32_t page : level) {
            IndexNode n = pages.load(page);
            if (n.leaf || n.entries.empty())
                throw Error(pages.where() + ", page " + std::to_string(page) +
                            ": an intermediate page without children");
            std::move(n.entries.begin(), n.entries.end(), std::back_inserter(below));
        }
        if (pages.isLeaf(below.front().child)) {
            leaves = std::move(below);
            return true;
        }
        level.clear();
        for (const auto& e : below)
            level.push_back(e.child);
        upper.insert(upper.end(), level.begin(), level.end());
    }
    throw Error(pages.where() + ": the index tree is deeper than " + std::to_string(kMaxTreeDepth) +
                " levels (a loop?)");
}

void rebuildTree(FileIndexPages& pages, std::vector<IndexEntry>&& entries) {
    const std::size_t capacity = capacityOf(pages);
    std::vector<std::uint32_t> spare = treePages(pages);
    spare.erase(spare.begin()); // the root
    std::reverse(spare.begin(), spare.end());
    layOutLevels(pages, pages.root(), packNodes(std::move(entries), true, capacity), spare,
                 capacity);
}

LeafStream::LeafStream(FileIndexPages& pages) : pages_(pages), capacity_(capacityOf(pages)) {
    spare_ = treePages(pages);
    spare_.erase(spare_.begin()); // the root
    std::reverse(spare_.begin(), spare_.end());
}

void LeafStream::add(std::span<const std::uint8_t> key, RowId row, std::uint32_t child) {
    bool newKey = true;
    if (any_) {
        // The entry before is the last buffered one: a pack keeps the last node's entries.
        const IndexEntry& last = buffer_.back();
        const int order = compareKeys(key, last.key);
        if (order < 0 || (order == 0 && !(last.row < row))) {
            if (order == 0 && row == last.row)
                throw Error(pages_.where() + ": the row at page " + std::to_string(row.page) +
                            ", row " + std::to_string(row.row) + " is indexed twice");
            throw Error(pages_.where() + ": entries handed over out of order");
        }
        newKey = order != 0;
    }
    addFollowing(key, row, child, newKey);
}

void LeafStream::addFollowing(std::span<const std::uint8_t> key, RowId row, std::uint32_t child,
                              bool newKey) {
    distinct_ += newKey || !any_;
    any_ = true;
    buffered_ += key.size() + indexEntryTrailer(true);
    if (written_.empty()) {
        buffer_.emplace_back();
    } else {
        buffer_.push_back(std::move(written_.back()));
        written_.pop_back();
    }
    IndexEntry& e = buffer_.back();
    e.key.assign(key.begin(), key.end());
    e.row = row;
    e.child = child;
    // Enough for a few dozen pages: packed together so they are spread as a whole tree's are.
    if (buffered_ > 32 * capacity_)
        pack(false);
}

void LeafStream::pack(bool last) {
    if (buffer_.empty() && (holding_ || !last))
        return; // an empty tree alone has an (empty) leaf
    std::vector<IndexNode> nodes = packNodes(std::move(buffer_), true, capacity_);
    buffer_.clear();
    buffered_ = 0;
    if (!last) {
        // The last node may still take entries to come.
        buffer_ = std::move(nodes.back().entries);
        nodes.pop_back();
        for (const IndexEntry& e : buffer_)
            buffered_ += e.key.size() + indexEntryTrailer(true);
    }
    for (IndexNode& n : nodes)
        emit(std::move(n));
}

void LeafStream::emit(IndexNode&& node) {
    auto take = [&] { return takePage(pages_, spare_); };
    if (holding_) {
        if (heldPage_ == 0)
            heldPage_ = take();
        const std::uint32_t page = take();
        store(held_, heldPage_, page);
        prevPage_ = heldPage_;
        heldPage_ = page;
    }
    held_ = std::move(node);
    holding_ = true;
}

void LeafStream::store(IndexNode& node, std::uint32_t page, std::uint32_t next) {
    node.prev = prevPage_;
    node.next = next;
    pages_.store(page, node);
    IndexEntry sep = node.entries.back();
    sep.child = page;
    above_.push_back(std::move(sep));
    std::move(node.entries.begin(), node.entries.end(), std::back_inserter(written_));
    node.entries.clear();
}

std::uint32_t LeafStream::finish() {
    pack(true);
    if (heldPage_ == 0) {
        // One leaf in all: the root itself.
        std::vector<IndexNode> root;
        root.push_back(std::move(held_));
        layOutLevels(pages_, pages_.root(), std::move(root), spare_, capacity_);
        return any_ ? distinct_ : 0;
    }
    store(held_, heldPage_, 0);
    layOutLevels(pages_, pages_.root(), packNodes(std::move(above_), false, capacity_), spare_,
                 capacity_);
    return distinct_;
}

void rewriteLeaves(FileIndexPages& pages, std::vector<IndexEntry>& changes,
                   std::vector<IndexEntry>&& leaves, std::vector<std::uint32_t> upper,
                   const LeafRewrite& rewrite) {
    std::vector<IndexEntry> out; // the new leaf level, as the level above will list it
    out.reserve(leaves.size());
    auto it = changes.begin();
    for (std::size_t k = 0; k < leaves.size(); ++k) {
        IndexEntry& leaf = leaves[k];
        const bool lastLeaf = k + 1 == leaves.size();
        const std::uint32_t prev = out.empty() ? 0 : out.back().child;
        auto from = it;
        while (it != changes.end() && (lastLeaf || !entryLess(leaf, *it)))
            ++it;
        if (from == it) {
            if (k > 0 && prev != leaves[k - 1].child)
                pages.setPrev(leaf.child, prev);
            out.push_back(std::move(leaf));
            continue;
        }
        rewrite(LeafChange{leaf, prev, lastLeaf ? 0 : leaves[k + 1].child, from, it}, out);
    }
    upper.erase(upper.begin()); // the root stays
    std::reverse(upper.begin(), upper.end());
    const std::size_t capacity = capacityOf(pages);
    if (out.empty()) // an empty tree: one empty leaf
        layOutLevels(pages, pages.root(), packNodes({}, true, capacity), upper, capacity);
    else
        layOutLevels(pages, pages.root(), packNodes(std::move(out), false, capacity), upper,
                     capacity);
}

} // namespace jet
