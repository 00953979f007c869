// B-tree maintenance for Access indexes, independent of how a node is laid out on its page.
//
// Access keeps each index as a tree of pages: leaves hold (key, row) entries in order and are
// linked both ways; an intermediate page holds, for each child, a copy of the child's last
// entry and the child's page number. Entries are ordered by key bytes, then by row. The page
// layout itself is the business of an IndexPages implementation, which also says whether a
// node still fits its page.
#pragma once

#include "base/ByteScan.h"
#include "jet/Format.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace jet {

// Deeper than this, a walk down a tree takes it to be looping: Access trees of millions of rows
// are a handful of levels deep.
inline constexpr std::size_t kMaxTreeDepth = 32;

struct IndexEntry {
    std::vector<std::uint8_t> key;
    RowId row;
    std::uint32_t child = 0; // intermediate nodes: the page this entry stands for
};

// Keys by their bytes, a key before the longer ones it begins: below, equal or above zero.
// Inline and eight bytes at a time: index builds compare every entry with its neighbour, and most
// keys are shorter than a call to memcmp is worth.
inline int compareKeys(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const std::uint64_t differ = bytescan::load8(reinterpret_cast<const char*>(a.data() + i)) ^
                                     bytescan::load8(reinterpret_cast<const char*>(b.data() + i));
        if (differ != 0) {
            // The lowest set bit is in the first byte that differs.
            i += static_cast<std::size_t>(std::countr_zero(differ)) / 8;
            return a[i] < b[i] ? -1 : 1;
        }
    }
    for (; i < n; ++i)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// Key bytes first, then the row.
bool entryLess(const IndexEntry& a, const IndexEntry& b);

// The order of `count` keys: where the first, the second, ... come from. Sorting moves small
// items holding each key's first eight bytes (zero-padded, which keeps the order); `less(i, j)`
// decides between keys i and j only when those tie.
template <typename KeyAt, typename Less>
std::vector<std::uint32_t> prefixSortedOrder(std::size_t count, KeyAt keyAt, Less less) {
    struct Item {
        std::uint64_t prefix;
        std::uint32_t at;
    };
    std::vector<Item> items(count);
    for (std::size_t k = 0; k < count; ++k) {
        const std::span<const std::uint8_t> key = keyAt(k);
        std::uint64_t prefix = 0;
        for (std::size_t b = 0; b < 8; ++b)
            prefix = (prefix << 8) | (b < key.size() ? key[b] : 0u);
        items[k] = {prefix, static_cast<std::uint32_t>(k)};
    }
    std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        return a.prefix != b.prefix ? a.prefix < b.prefix : less(a.at, b.at);
    });
    std::vector<std::uint32_t> order(count);
    for (std::size_t k = 0; k < count; ++k)
        order[k] = items[k].at;
    return order;
}

struct IndexNode {
    bool leaf = true;
    std::uint32_t prev = 0, next = 0; // neighbours on the same level (0: none)
    std::vector<IndexEntry> entries;
};

class IndexPages {
public:
    virtual ~IndexPages() = default;
    virtual IndexNode load(std::uint32_t page) = 0;
    virtual void store(std::uint32_t page, const IndexNode& node) = 0;
    virtual bool fits(const IndexNode& node) = 0;
    virtual std::uint32_t allocate() = 0;
    virtual void release(std::uint32_t page) = 0;
};

class IndexTree {
public:
    // `what` names the index in messages.
    IndexTree(IndexPages& pages, std::uint32_t root, std::string what);

    std::uint32_t root() const { return root_; }

    // Removes the entry for (key, row); false when there is none. The root stays on its page.
    bool remove(const std::vector<std::uint8_t>& key, RowId row);
    // All entries in order, walking the leaves left to right.
    std::vector<IndexEntry> entries();
    // Structural problems: order, separators, links, levels. Empty when sound. Each leaf entry,
    // in tree order, goes to `visit` on the way, so that a check needs no copy of the index.
    std::vector<std::string> verify(const std::function<void(const IndexEntry&)>& visit = {});

private:
    struct Step {
        std::uint32_t page;
        IndexNode node;
        std::size_t slot; // entry taken in this node (intermediate nodes)
    };
    std::vector<Step> descend(const IndexEntry& e);
    void splitAndStore(std::vector<Step>& path, std::size_t level);
    void fixSeparators(std::vector<Step>& path, std::size_t level);
    std::uint32_t leftmostLeaf();

    IndexPages& pages_;
    std::uint32_t root_;
    std::string what_;
};

} // namespace jet
