#include "jet/IndexSupport.h"

#include "jet/Error.h"
#include "jet/IndexKey.h"
#include "jet/IndexPage.h"
#include "jet/PageFile.h"
#include "jet/Row.h"
#include "jet/UsageMap.h"
#include "base/Coding.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <set>

namespace jet {
namespace {

constexpr std::uint32_t kGlobalMap = (1u << 8) | 0; // page 1, row 0: the map of free pages

std::string indexWhere(Table& t, std::size_t i) {
    return t.file().name() + ", table '" + utf8(t.def().name) + "', index '" +
           utf8(indexName(t.def(), i)) + "'";
}

std::size_t columnPosition(const TableDef& t, const IndexColumn& ic) {
    const ColumnDef* c = t.columnByNumber(ic.columnNumber);
    if (!c)
        throw Error("table '" + utf8(t.name) + "': an index names column number " +
                    std::to_string(ic.columnNumber) + ", which the table does not have");
    return static_cast<std::size_t>(c - t.columns.data());
}

bool allKeyColumnsNull(const TableDef& t, std::size_t realIndex, const std::vector<Value>& row) {
    for (const IndexColumn& ic : t.realIndexes[realIndex].columns)
        if (!isNull(row[columnPosition(t, ic)]))
            return false;
    return true;
}

bool isPrimaryKey(const TableDef& t, std::size_t realIndex) {
    for (const auto& li : t.indexes)
        if (li.realIndex == realIndex && li.primaryKey())
            return true;
    return false;
}

// A page of the index, refused when it lies outside the file.
PageRef indexPage(Table& t, std::size_t i, std::uint32_t page) {
    PageFile& f = t.file();
    if (page == 0 || page >= f.pageCount())
        throw Error(indexWhere(t, i) + ", page " + std::to_string(page) +
                    ": index page outside the file");
    return f.page(page);
}

IndexTree treeOf(Table& t, std::size_t i, FileIndexPages& pages) {
    return IndexTree(pages, t.def().realIndexes[i].firstPage, indexWhere(t, i));
}

} // namespace

FileIndexPages::FileIndexPages(Table& table, std::size_t realIndex)
    : table_(table), index_(realIndex), where_(indexWhere(table, realIndex)),
      scratch_(table.file().pageSize()) {}

std::vector<std::uint8_t> FileIndexPages::pageBytes(std::uint32_t page) {
    auto v = indexPage(table_, index_, page)->view();
    return {v.begin(), v.end()};
}

IndexNode FileIndexPages::load(std::uint32_t page) {
    // An intermediate page keeps its last child as a tail, whose key is read from below.
    IndexPageLoader loader = [this](std::uint32_t n) { return pageBytes(n); };
    return decodeIndexNode(pageBytes(page), where_ + ", page " + std::to_string(page), loader);
}

void FileIndexPages::store(std::uint32_t page, const IndexNode& node) {
    auto p = table_.file().writablePage(page);
    if (!encodeIndexNode(node, table_.def().page, p->mut()))
        throw Error(where_ + ", page " + std::to_string(page) +
                    ": the entries do not fit the page");
}

bool FileIndexPages::fits(const IndexNode& node) {
    return encodeIndexNode(node, table_.def().page, scratch_);
}

std::uint32_t FileIndexPages::allocate() {
    PageFile& f = table_.file();
    const RealIndex& ri = table_.def().realIndexes[index_];
    auto p = f.appendPage();
    UsageMap global = UsageMap::read(f, kGlobalMap, f.name() + ", global usage map", false, false);
    if (global.contains(p->number))
        global.remove(f, p->number);
    UsageMap own = UsageMap::read(f, ri.usedPages, where_, true, false);
    own.add(f, p->number);
    return p->number;
}

void FileIndexPages::release(std::uint32_t page) {
    PageFile& f = table_.file();
    const RealIndex& ri = table_.def().realIndexes[index_];
    UsageMap own = UsageMap::read(f, ri.usedPages, where_, true, false);
    if (own.contains(page))
        own.remove(f, page);
    UsageMap global = UsageMap::read(f, kGlobalMap, f.name() + ", global usage map", false, false);
    if (global.reaches(page))
        global.add(f, page);
    auto p = f.writablePage(page);
    std::fill(p->bytes.begin(), p->bytes.end(), 0);
}

std::u16string indexName(const TableDef& t, std::size_t realIndex) {
    for (const auto& li : t.indexes)
        if (li.realIndex == realIndex && !li.foreignKey())
            return li.name;
    for (const auto& li : t.indexes)
        if (li.realIndex == realIndex)
            return li.name;
    return u"#" + utf16(std::to_string(realIndex));
}

std::vector<std::uint8_t> indexKey(const TableDef& t, std::size_t realIndex,
                                   const std::vector<Value>& row) {
    // Built where there is room, then kept at its exact size: thousands are held until written.
    thread_local std::vector<std::uint8_t> key;
    key.clear();
    for (const IndexColumn& ic : t.realIndexes[realIndex].columns) {
        std::size_t k = columnPosition(t, ic);
        const ColumnDef& c = t.columns[k];
        const Value& v = row[k];
        if (isNull(v))
            appendNullKey(ic.ascending, key);
        else if (const auto* s = std::get_if<std::u16string>(&v))
            appendTextKey(*s, ic.ascending, key);
        else if (const auto* b = std::get_if<Binary>(&v))
            appendBinaryKey(*b, ic.ascending, key);
        else
            appendFixedKey(c.type, fixedBytes(c, v, true), ic.ascending, key);
    }
    return {key.begin(), key.end()};
}

std::optional<std::vector<std::uint8_t>> indexedKey(const TableDef& t, std::size_t realIndex,
                                                    const std::vector<Value>& row) {
    if ((t.realIndexes[realIndex].flags & RealIndex::kIgnoreNullsFlag) &&
        allKeyColumnsNull(t, realIndex, row))
        return std::nullopt;
    return indexKey(t, realIndex, row);
}

namespace {

std::string_view bytesView(const std::vector<std::uint8_t>& key) {
    return {reinterpret_cast<const char*>(key.data()), key.size()};
}

// Entries gathered for the table's indexes, of one kind: `&PendingIndex::added` or `::removed`.
std::size_t gathered(const Table& t, std::vector<IndexEntry> PendingIndex::*kind) {
    std::size_t n = 0;
    for (const PendingIndex& p : t.pendingIndexes)
        n += (p.*kind).size();
    return n;
}

PendingIndex& pendingFor(Table& t, std::size_t i) {
    if (t.pendingIndexes.size() != t.def().realIndexes.size())
        t.pendingIndexes.resize(t.def().realIndexes.size());
    return t.pendingIndexes[i];
}

// Three-way comparison of `key` with an entry's key stored as `shared` (the page's common
// prefix) followed by `rest`.
int compareKey(std::span<const std::uint8_t> key, std::span<const std::uint8_t> shared,
               std::span<const std::uint8_t> rest) {
    std::size_t i = 0;
    for (auto part : {shared, rest}) {
        for (std::uint8_t b : part) {
            if (i == key.size())
                return -1;
            if (key[i] != b)
                return key[i] < b ? -1 : 1;
            ++i;
        }
    }
    return i == key.size() ? 0 : 1;
}

// The entries of one index page as stored, read in place: where each ends (from the entry
// bitmap), the prefix all share, and each one's own bytes.
class StoredEntries {
public:
    StoredEntries(Table& t, std::size_t i, std::uint32_t page)
        : ref_(indexPage(t, i, page)), v_(ref_->view()), t_(t), i_(i), page_(page) {
        leaf_ = v_[0] == kIndexLeafPage;
        if (!leaf_ && v_[0] != kIndexIntermediatePage)
            throw bad("not an index page");
        trailer_ = leaf_ ? 4 : 8;
        prefix_ = coding::getU16(v_, L.prefixLength);
        for (std::size_t m = L.entryMask; m < L.firstEntry; ++m) {
            for (unsigned b = v_[m]; b != 0; b &= b - 1) {
                std::size_t end = (m - L.entryMask) * 8 + static_cast<unsigned>(__builtin_ctz(b));
                if (end > L.capacity() || end == 0)
                    throw bad("damaged entry bitmap");
                ends_[count_++] = static_cast<std::uint16_t>(end);
            }
        }
        if (count_ > 0) {
            if (ends_[0] < prefix_ + trailer_)
                throw bad("shared prefix longer than the first entry");
            shared_ = v_.subspan(L.firstEntry, prefix_);
        }
    }

    bool leaf() const { return leaf_; }
    std::size_t count() const { return count_; }
    std::span<const std::uint8_t> shared() const { return shared_; }
    // Entry k's key, less the shared prefix.
    std::span<const std::uint8_t> keyRest(std::size_t k) const {
        auto e = stored(k);
        return e.first(e.size() - trailer_);
    }
    // The child page an intermediate entry points to.
    std::uint32_t child(std::size_t k) const {
        auto e = stored(k);
        return coding::getBE<std::uint32_t>(e, e.size() - 4);
    }
    std::uint32_t nextLeaf() const { return coding::getU32(v_, L.nextPage); }
    std::uint32_t tail() const { return coding::getU32(v_, L.tailPage); }
    // The first entry whose key is not below `key`; count() when there is none.
    std::size_t lowerBound(std::span<const std::uint8_t> key) const {
        std::size_t lo = 0, hi = count_;
        while (lo < hi) {
            std::size_t mid = (lo + hi) / 2;
            if (compareKey(key, shared_, keyRest(mid)) > 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }
    Error bad(const char* what) const {
        return Error(indexWhere(t_, i_) + ", page " + std::to_string(page_) + ": " + what);
    }

private:
    std::span<const std::uint8_t> stored(std::size_t k) const {
        std::size_t start = k == 0 ? prefix_ : ends_[k - 1];
        if (ends_[k] < start + trailer_)
            throw bad("an entry too short for its row pointer");
        return v_.subspan(L.firstEntry + start, ends_[k] - start);
    }

    static inline const IndexPageLayout& L = indexPageLayout(JetVersion::Jet4);
    PageRef ref_;
    std::span<const std::uint8_t> v_;
    Table& t_;
    std::size_t i_;
    std::uint32_t page_;
    bool leaf_ = false;
    std::size_t trailer_ = 4, prefix_ = 0, count_ = 0;
    std::array<std::uint16_t, 4096> ends_;
    std::span<const std::uint8_t> shared_;
};

// The child an intermediate page passes keys above all its entries to: its tail page, or, when
// it has none, the child of its last entry.
std::uint32_t lastChild(const StoredEntries& e) {
    if (e.tail() != 0)
        return e.tail();
    if (e.count() == 0)
        throw e.bad("an intermediate page without children");
    return e.child(e.count() - 1);
}

constexpr std::size_t kMaxHops = 1u << 22;

// Whether any entry of the tree has exactly `key`, read straight from the page bytes: a lookup
// for every inserted row must not decode whole pages.
bool treeHoldsKey(Table& t, std::size_t i, std::span<const std::uint8_t> key) {
    std::uint32_t page = t.def().realIndexes[i].firstPage;
    for (std::size_t hops = 0; hops < kMaxHops; ++hops) {
        StoredEntries e(t, i, page);
        const std::size_t at = e.lowerBound(key);
        if (at < e.count()) {
            if (e.leaf())
                return compareKey(key, e.shared(), e.keyRest(at)) == 0;
            page = e.child(at);
        } else {
            // Every entry here is below the key: the next leaf, or the last child.
            page = e.leaf() ? e.nextLeaf() : lastChild(e);
            if (page == 0)
                return false;
        }
    }
    throw Error(indexWhere(t, i) + ": the index pages loop");
}

// The highest key on the pages (empty when the tree holds none), from the rightmost leaf; none
// when that leaf is empty though the tree is not.
std::optional<std::vector<std::uint8_t>> highestKey(Table& t, std::size_t i) {
    std::uint32_t page = t.def().realIndexes[i].firstPage;
    for (std::size_t hops = 0; hops < kMaxHops; ++hops) {
        StoredEntries e(t, i, page);
        if (!e.leaf()) {
            page = lastChild(e);
            continue;
        }
        if (e.count() == 0)
            return page == t.def().realIndexes[i].firstPage
                       ? std::optional<std::vector<std::uint8_t>>(std::vector<std::uint8_t>{})
                       : std::nullopt;
        std::vector<std::uint8_t> key(e.shared().begin(), e.shared().end());
        auto rest = e.keyRest(e.count() - 1);
        key.insert(key.end(), rest.begin(), rest.end());
        return key;
    }
    throw Error(indexWhere(t, i) + ": the index pages loop");
}

// Whether the pages may hold `key`: a key above the highest one on them cannot be there, which
// spares rising keys (the usual primary key) a walk down the tree.
bool pagesMayHold(Table& t, std::size_t i, const std::vector<std::uint8_t>& key) {
    PendingIndex& p = pendingFor(t, i);
    if (!p.highestKeyKnown) {
        p.highestKey = highestKey(t, i);
        p.highestKeyKnown = true;
    }
    return !p.highestKey || !std::lexicographical_compare(
                                p.highestKey->begin(), p.highestKey->end(), key.begin(), key.end());
}

// Every page of the tree, the root first.
std::vector<std::uint32_t> treePages(Table& t, std::size_t i) {
    std::vector<std::uint32_t> out{t.def().realIndexes[i].firstPage};
    std::set<std::uint32_t> seen(out.begin(), out.end());
    for (std::size_t k = 0; k < out.size(); ++k) {
        std::string where = indexWhere(t, i) + ", page " + std::to_string(out[k]);
        IndexPage p = decodeIndexPage(indexPage(t, i, out[k])->view(), where);
        if (p.leaf)
            continue;
        std::vector<std::uint32_t> children;
        for (const auto& e : p.entries)
            children.push_back(e.childPage);
        if (p.tailPage)
            children.push_back(p.tailPage);
        for (std::uint32_t c : children)
            if (!seen.insert(c).second)
                throw Error(where + ": child page " + std::to_string(c) + " is reached twice");
            else
                out.push_back(c);
    }
    return out;
}

std::size_t commonPrefix(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    std::size_t n = std::min(a.size(), b.size()), k = 0;
    while (k < n && a[k] == b[k])
        ++k;
    return k;
}

// Entries into nodes for pages (the page's prefix compression counted).
std::vector<IndexNode> packNodes(std::vector<IndexEntry>&& entries, bool leaf) {
    const std::size_t capacity = indexPageLayout(JetVersion::Jet4).capacity();
    const std::size_t trailer = leaf ? 4 : 8;
    std::vector<IndexNode> nodes;
    IndexNode cur;
    cur.leaf = leaf;
    std::size_t total = 0;
    // The size reckoned here is the page codec's own (for an intermediate page, which leaves its
    // last child out as the tail, a little more), so every node fits; storing it checks again.
    auto close = [&] {
        nodes.push_back(std::move(cur));
        cur = IndexNode{};
        cur.leaf = leaf;
        total = 0;
    };
    // Spread over as few pages as take them, evenly: a leaf that splits leaves room on both
    // sides for the entries that come later.
    std::size_t all = 0;
    for (const auto& e : entries)
        all += e.key.size() + trailer;
    const std::size_t needed = std::max<std::size_t>(1, (all + capacity - 1) / capacity);
    const std::size_t target = (all + needed - 1) / needed;
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

// Sorts entries as entryLess orders them. Entries carry their keys on the heap, so they are
// ordered through small items holding each key's first eight bytes (zero-padded, which keeps the
// order) and looked at in full only when those tie. Keys gathered in order stay as they are.
void sortEntries(std::vector<IndexEntry>& entries) {
    if (std::is_sorted(entries.begin(), entries.end(), entryLess))
        return;
    struct Item {
        std::uint64_t prefix;
        std::uint32_t at;
    };
    std::vector<Item> items(entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const auto& key = entries[k].key;
        std::uint64_t prefix = 0;
        for (std::size_t b = 0; b < 8; ++b)
            prefix = (prefix << 8) | (b < key.size() ? key[b] : 0u);
        items[k] = {prefix, static_cast<std::uint32_t>(k)};
    }
    std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        return entryLess(entries[a.at], entries[b.at]);
    });
    std::vector<IndexEntry> sorted;
    sorted.reserve(entries.size());
    for (const Item& item : items)
        sorted.push_back(std::move(entries[item.at]));
    entries = std::move(sorted);
}

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
                           const std::vector<std::uint8_t>* before) {
    std::uint32_t n = 0;
    for (const auto& e : entries) {
        n += !before || e.key != *before;
        before = &e.key;
    }
    return n;
}

void writeDistinctKeys(Table& t, std::size_t i) {
    PageFile& f = t.file();
    const Format& fmt = f.format();
    const std::size_t at = fmt.tdefBlockEnd + i * fmt.realIndexCountSize + fmt.realIndexRowCount;
    auto page = f.writablePage(t.def().page);
    if (at + 4 <= page->bytes.size())
        coding::putLE<std::uint32_t>(page->mut(), at, t.def().realIndexes[i].rowCount);
}

// Each leaf as the level above lists it: its page and its last entry, in key order. Also the
// pages above the leaves. False when the root is itself a leaf.
bool leafLevel(Table& t, std::size_t i, FileIndexPages& pages, std::vector<IndexEntry>& leaves,
               std::vector<std::uint32_t>& upper) {
    const std::uint32_t root = t.def().realIndexes[i].firstPage;
    auto isLeaf = [&](std::uint32_t page) {
        return indexPage(t, i, page)->view()[0] == kIndexLeafPage;
    };
    if (isLeaf(root))
        return false;
    std::vector<std::uint32_t> level{root};
    upper = level;
    for (std::size_t depth = 0; depth < 32; ++depth) {
        std::vector<IndexEntry> below;
        for (std::uint32_t page : level) {
            IndexNode n = pages.load(page);
            if (n.leaf || n.entries.empty())
                throw Error(indexWhere(t, i) + ", page " + std::to_string(page) +
                            ": an intermediate page without children");
            std::move(n.entries.begin(), n.entries.end(), std::back_inserter(below));
        }
        if (isLeaf(below.front().child)) {
            leaves = std::move(below);
            return true;
        }
        level.clear();
        for (const auto& e : below)
            level.push_back(e.child);
        upper.insert(upper.end(), level.begin(), level.end());
    }
    throw Error(indexWhere(t, i) + ": the index tree is deeper than 32 levels (a loop?)");
}

// Stores `nodes` (neighbours on one level) on the pages `at`, linked to each other and, at the
// ends, to `prev` and `next`; appends each node's entry for the level above to `above`.
void storeLinked(FileIndexPages& pages, std::vector<IndexNode>& nodes,
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

// Puts `nodes` (one level, in order) on pages and builds the levels above them, up to a single
// node, which goes on the root page. Pages come from `spare` first; spare pages left over are
// given back.
void layOutLevels(Table& t, std::size_t i, FileIndexPages& pages, std::vector<IndexNode>&& nodes,
                  std::vector<std::uint32_t>& spare) {
    auto take = [&] {
        if (spare.empty())
            return pages.allocate();
        std::uint32_t p = spare.back();
        spare.pop_back();
        return p;
    };
    while (nodes.size() > 1) {
        std::vector<std::uint32_t> at(nodes.size());
        for (auto& p : at)
            p = take();
        std::vector<IndexEntry> above;
        above.reserve(nodes.size());
        storeLinked(pages, nodes, at, 0, 0, above);
        nodes = packNodes(std::move(above), false);
    }
    nodes.front().prev = nodes.front().next = 0;
    pages.store(t.def().realIndexes[i].firstPage, nodes.front());
    for (std::uint32_t p : spare)
        pages.release(p);
}

// Lays the tree out afresh over `entries` (in order), reusing the old tree's pages.
void rebuildTree(Table& t, std::size_t i, std::vector<IndexEntry>&& entries) {
    FileIndexPages pages(t, i);
    std::vector<std::uint32_t> spare = treePages(t, i);
    spare.erase(spare.begin()); // the root
    std::reverse(spare.begin(), spare.end());
    layOutLevels(t, i, pages, packNodes(std::move(entries), true), spare);
}

// One leaf that changes, for rewriteLeaves: its separator in the level above, its neighbours'
// pages (0: none), and the run of changes that falls in it.
struct LeafChange {
    const IndexEntry& leaf;
    std::uint32_t prev, next;
    std::vector<IndexEntry>::iterator from, to;
};

// Walks the leaf level of a tree whose root is an intermediate page, handing each leaf the run
// of `changes` (in order) that falls in it: entries up to the leaf's last, the last leaf the
// rest. Untouched leaves stay as they are (their link back corrected when the leaf before them
// split or went); `rewrite` stores what becomes of a touched leaf and appends the separators of
// its pages to the new leaf level. The levels above are then laid out afresh over that level.
template <typename Rewrite>
void rewriteLeaves(Table& t, std::size_t i, FileIndexPages& pages, std::vector<IndexEntry>& changes,
                   std::vector<IndexEntry>&& leaves, std::vector<std::uint32_t> upper,
                   Rewrite rewrite) {
    PageFile& f = t.file();
    const IndexPageLayout& L = indexPageLayout(JetVersion::Jet4);
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
                coding::putLE<std::uint32_t>(f.writablePage(leaf.child)->mut(), L.prevPage, prev);
            out.push_back(std::move(leaf));
            continue;
        }
        rewrite(LeafChange{leaf, prev, lastLeaf ? 0 : leaves[k + 1].child, from, it}, out);
    }
    upper.erase(upper.begin()); // the root stays
    std::reverse(upper.begin(), upper.end());
    if (out.empty())
        layOutLevels(t, i, pages, packNodes({}, true), upper); // an empty tree: one empty leaf
    else
        layOutLevels(t, i, pages, packNodes(std::move(out), false), upper);
}

// Writes the gathered entries of a tree whose root is an intermediate page: only the leaves
// that receive entries are rewritten (split as needed). Returns the change in the count of
// distinct keys.
std::int64_t mergeIntoLeaves(Table& t, std::size_t i, std::vector<IndexEntry>&& added,
                             std::vector<IndexEntry>&& leaves, std::vector<std::uint32_t> upper) {
    FileIndexPages pages(t, i);
    std::int64_t delta = 0;
    rewriteLeaves(t, i, pages, added, std::move(leaves), std::move(upper),
                  [&](const LeafChange& c, std::vector<IndexEntry>& out) {
                      IndexNode node = pages.load(c.leaf.child);
                      // The last key of the leaf before, as it now stands.
                      const std::vector<std::uint8_t>* before =
                          out.empty() ? nullptr : &out.back().key;
                      delta -= distinctKeys(node.entries, before);
                      std::vector<IndexEntry> merged =
                          mergeEntries(std::move(node.entries), std::make_move_iterator(c.from),
                                       std::make_move_iterator(c.to));
                      delta += distinctKeys(merged, before);
                      std::vector<IndexNode> group = packNodes(std::move(merged), true);
                      std::vector<std::uint32_t> at(group.size());
                      at[0] = c.leaf.child;
                      for (std::size_t g = 1; g < group.size(); ++g)
                          at[g] = pages.allocate();
                      storeLinked(pages, group, at, c.prev, c.next, out);
                  });
    return delta;
}

} // namespace

IndexKeys checkUnique(Table& t, const std::vector<Value>& row) {
    // Removals gathered so far reach the pages first: the lookups below read them.
    if (gathered(t, &PendingIndex::removed) > 0)
        flushIndexes(t);
    const TableDef& d = t.def();
    IndexKeys keys(d.realIndexes.size());
    for (std::size_t i = 0; i < d.realIndexes.size(); ++i) {
        const RealIndex& ri = d.realIndexes[i];
        const bool required = isPrimaryKey(d, i) || (ri.flags & RealIndex::kRequiredFlag);
        bool anyNull = false;
        for (const IndexColumn& ic : ri.columns) {
            std::size_t k = columnPosition(d, ic);
            if (!isNull(row[k]))
                continue;
            anyNull = true;
            if (required)
                throw Error(indexWhere(t, i) + ": column '" + utf8(d.columns[k].name) +
                            "' of the key may not be Null");
        }
        // Computing every key here also refuses a text Access would key differently, before
        // anything is written.
        auto& key = keys[i] = indexedKey(d, i, row);
        // Access lets a unique index hold several keys with a Null in them.
        if (!ri.unique() || anyNull || !key)
            continue;
        const auto& gathered = pendingFor(t, i).keys;
        if (gathered.count(bytesView(*key)) ||
            (pagesMayHold(t, i, *key) && treeHoldsKey(t, i, *key)))
            throw Error(indexWhere(t, i) + ": the index is unique and already holds this key");
    }
    return keys;
}

void addToIndexes(Table& t, RowId at, IndexKeys&& keys) {
    // Removals and additions are never gathered together.
    if (gathered(t, &PendingIndex::removed) > 0)
        flushIndexes(t);
    const TableDef& d = t.def();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        auto& key = keys[i];
        if (!key)
            continue;
        PendingIndex& p = pendingFor(t, i);
        p.added.push_back(IndexEntry{std::move(*key), at, 0});
        if (d.realIndexes[i].unique()) {
            if (p.keys.empty()) // room for what the table gathers before writing, at once
                p.keys.reserve(t.pendingLimit / d.realIndexes.size());
            p.keys.insert(bytesView(p.added.back().key));
        }
        p.changed = true;
    }
    if (gathered(t, &PendingIndex::added) >= t.pendingLimit)
        flushIndexes(t);
}

void addToIndexes(Table& t, RowId at, const std::vector<Value>& row) {
    IndexKeys keys;
    for (std::size_t i = 0; i < t.def().realIndexes.size(); ++i)
        keys.push_back(indexedKey(t.def(), i, row));
    addToIndexes(t, at, std::move(keys));
}

namespace {

// Entries of `entries` (in order) less those of `removed` (in order); a removal with no entry
// has nothing to take away.
std::vector<IndexEntry> withoutRemoved(std::vector<IndexEntry>&& entries,
                                       std::span<const IndexEntry> removed) {
    std::vector<IndexEntry> kept;
    kept.reserve(entries.size());
    auto gone = removed.begin();
    for (IndexEntry& e : entries) {
        while (gone != removed.end() && entryLess(*gone, e))
            ++gone;
        if (gone != removed.end() && gone->key == e.key && gone->row == e.row) {
            ++gone;
            continue;
        }
        kept.push_back(std::move(e));
    }
    return kept;
}

// The count of distinct keys, walking the leaves from the first: one page at a time.
std::uint32_t countDistinctKeys(Table& t, std::size_t i, FileIndexPages& pages) {
    IndexNode node = pages.load(t.def().realIndexes[i].firstPage);
    for (std::size_t depth = 0; !node.leaf; ++depth) {
        if (node.entries.empty() || depth > 32)
            throw Error(indexWhere(t, i) + ": an intermediate page without children");
        node = pages.load(node.entries.front().child);
    }
    std::uint32_t n = 0;
    const std::vector<std::uint8_t>* last = nullptr;
    std::vector<std::uint8_t> lastOfPage;
    for (std::size_t hops = 0; hops < kMaxHops; ++hops) {
        for (const IndexEntry& e : node.entries) {
            n += !last || e.key != *last;
            last = &e.key;
        }
        if (node.next == 0)
            return n;
        if (last) {
            lastOfPage = *last;
            last = &lastOfPage;
        }
        node = pages.load(node.next);
    }
    throw Error(indexWhere(t, i) + ": the index pages loop");
}

// Takes gathered removals off the pages: a few one by one, down the tree; many leaf by leaf,
// rewriting only the leaves that lose entries (dropping those left empty) and laying the levels
// above out afresh, then recounting the distinct keys. A removal whose entry is not on the pages
// has nothing to take away (the index already lacks it).
void removeGathered(Table& t, std::size_t i, std::vector<IndexEntry>&& removed) {
    constexpr std::size_t kFew = 32;
    std::uint32_t& distinct = t.mutableDef().realIndexes[i].rowCount;
    FileIndexPages pages(t, i);
    if (removed.size() <= kFew) {
        IndexTree tree = treeOf(t, i, pages);
        for (const IndexEntry& e : removed) {
            // The last entry of its key gone: one distinct key fewer.
            if (tree.remove(e.key, e.row) && distinct > 0 && !treeHoldsKey(t, i, e.key))
                --distinct;
        }
        return;
    }
    sortEntries(removed);
    std::vector<IndexEntry> leaves;
    std::vector<std::uint32_t> upper;
    if (!leafLevel(t, i, pages, leaves, upper)) {
        // One leaf, the root.
        std::vector<IndexEntry> kept =
            withoutRemoved(pages.load(t.def().realIndexes[i].firstPage).entries, removed);
        distinct = distinctKeys(kept, nullptr);
        rebuildTree(t, i, std::move(kept));
        return;
    }
    PageFile& f = t.file();
    const IndexPageLayout& L = indexPageLayout(JetVersion::Jet4);
    rewriteLeaves(t, i, pages, removed, std::move(leaves), std::move(upper),
                  [&](const LeafChange& c, std::vector<IndexEntry>& out) {
                      IndexNode node = pages.load(c.leaf.child);
                      node.entries =
                          withoutRemoved(std::move(node.entries),
                                         std::span<const IndexEntry>(&*c.from, c.to - c.from));
                      if (node.entries.empty()) {
                          // The leaf leaves the tree; the one before it now leads to the one after.
                          pages.release(c.leaf.child);
                          if (!out.empty())
                              coding::putLE<std::uint32_t>(f.writablePage(out.back().child)->mut(),
                                                           L.nextPage, c.next);
                          return;
                      }
                      node.prev = c.prev;
                      node.next = c.next;
                      pages.store(c.leaf.child, node);
                      IndexEntry sep = std::move(node.entries.back());
                      sep.child = c.leaf.child;
                      out.push_back(std::move(sep));
                  });
    distinct = countDistinctKeys(t, i, pages);
}

} // namespace

void removeFromIndexes(Table& t, RowId at, const std::vector<Value>& row) {
    const TableDef& d = t.def();
    // Gathered entries are written first: removals are gathered apart from them.
    if (gathered(t, &PendingIndex::added) > 0)
        flushIndexes(t);
    for (std::size_t i = 0; i < d.realIndexes.size(); ++i) {
        auto key = indexedKey(d, i, row);
        if (!key)
            continue;
        PendingIndex& p = pendingFor(t, i);
        p.removed.push_back(IndexEntry{std::move(*key), at, 0});
        p.changed = true;
    }
    if (gathered(t, &PendingIndex::removed) >= t.pendingLimit)
        flushIndexes(t);
}

void flushIndexes(Table& t) {
    for (std::size_t i = 0; i < t.pendingIndexes.size(); ++i) {
        PendingIndex& p = t.pendingIndexes[i];
        if (!p.changed)
            continue;
        std::uint32_t& distinct = t.mutableDef().realIndexes[i].rowCount;
        if (!p.removed.empty())
            removeGathered(t, i, std::move(p.removed));
        if (!p.added.empty()) {
            sortEntries(p.added);
            auto dup = std::adjacent_find(p.added.begin(), p.added.end(),
                                          [](const IndexEntry& a, const IndexEntry& b) {
                                              return a.key == b.key && a.row == b.row;
                                          });
            if (dup != p.added.end())
                throw Error(indexWhere(t, i) + ": the row at page " +
                            std::to_string(dup->row.page) + ", row " +
                            std::to_string(dup->row.row) + " is indexed twice");
            FileIndexPages pages(t, i);
            std::vector<IndexEntry> leaves;
            std::vector<std::uint32_t> upper;
            if (leafLevel(t, i, pages, leaves, upper)) {
                std::int64_t d =
                    static_cast<std::int64_t>(distinct) +
                    mergeIntoLeaves(t, i, std::move(p.added), std::move(leaves), upper);
                distinct = static_cast<std::uint32_t>(std::max<std::int64_t>(d, 0));
            } else {
                // One leaf: lay the whole tree out.
                std::vector<IndexEntry> all =
                    mergeEntries(pages.load(t.def().realIndexes[i].firstPage).entries,
                                 std::make_move_iterator(p.added.begin()),
                                 std::make_move_iterator(p.added.end()));
                distinct = distinctKeys(all, nullptr);
                rebuildTree(t, i, std::move(all));
            }
        }
        writeDistinctKeys(t, i);
        p = PendingIndex{};
    }
}

std::vector<std::string> checkIndexes(Table& t) {
    std::vector<std::string> problems;
    const TableDef& d = t.def();
    if (d.realIndexes.empty() || !t.file().format().jet4())
        return problems;
    flushIndexes(t);
    // Expected entries: every row's key, in order.
    std::vector<std::vector<IndexEntry>> expected(d.realIndexes.size());
    std::vector<std::string> unkeyable(d.realIndexes.size());
    for (const RowRef& r : t.scan()) {
        auto values = t.read(r);
        for (std::size_t i = 0; i < d.realIndexes.size(); ++i) {
            try {
                if (auto key = indexedKey(d, i, values))
                    expected[i].push_back({std::move(*key), r.id, 0});
            } catch (const Error& e) {
                // A key outside what this engine encodes (text beyond Windows-1252): the index
                // can still be walked, but not compared row by row.
                unkeyable[i] = e.what();
            }
        }
    }
    for (std::size_t i = 0; i < d.realIndexes.size(); ++i) {
        try {
            FileIndexPages pages(t, i);
            IndexTree tree = treeOf(t, i, pages);
            for (auto& p : tree.verify())
                problems.push_back(std::move(p));
            if (!unkeyable[i].empty())
                continue;
            auto got = tree.entries();
            auto& want = expected[i];
            sortEntries(want);
            if (got.size() != want.size()) {
                problems.push_back(indexWhere(t, i) + ": holds " + std::to_string(got.size()) +
                                   " entries for " + std::to_string(want.size()) + " rows");
                continue;
            }
            for (std::size_t k = 0; k < got.size(); ++k) {
                if (got[k].key != want[k].key || !(got[k].row == want[k].row)) {
                    problems.push_back(indexWhere(t, i) + ": entry " + std::to_string(k) +
                                       " does not match row " + std::to_string(want[k].row.page) +
                                       ":" + std::to_string(want[k].row.row));
                    break;
                }
            }
        } catch (const Error& e) {
            problems.push_back(e.what());
        }
    }
    return problems;
}

} // namespace jet
