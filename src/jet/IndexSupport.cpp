#include "jet/IndexSupport.h"

#include "base/Coding.h"
#include "jet/Error.h"
#include "jet/IndexFilePages.h"
#include "jet/IndexLayout.h"
#include "jet/IndexPage.h"
#include "jet/IndexTree.h"
#include "jet/PageFile.h"
#include "jet/Write.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <iterator>
#include <optional>
#include <span>

namespace jet {
namespace {

constexpr std::size_t kMaxHops = 1u << 22;

std::atomic<std::size_t> gBudget{std::size_t(16) << 20};

IndexTree treeOf(FileIndexPages& pages) {
    return IndexTree(pages, pages.root(), pages.where());
}

// Additions (and removals) gathered for the table's indexes.
std::size_t additions(const Table& t) {
    std::size_t n = 0;
    for (const PendingIndex& p : t.pendingIndexes)
        n += p.added.size();
    return n;
}

std::size_t removals(const Table& t) {
    std::size_t n = 0;
    for (const PendingIndex& p : t.pendingIndexes)
        n += p.removed.size();
    return n;
}

bool additionsGathered(const Table& t) {
    return t.runs || additions(t) > 0;
}

// Memory an entry with `key` takes while gathered as an IndexEntry: the entry, its key on the
// heap, and the heap's own.
std::size_t entryBytes(const std::vector<std::uint8_t>& key) {
    return sizeof(IndexEntry) + key.capacity() + 16;
}

PendingIndex& pendingFor(Table& t, std::size_t i) {
    if (t.pendingIndexes.size() != t.def().realIndexes.size())
        t.pendingIndexes.resize(t.def().realIndexes.size());
    return t.pendingIndexes[i];
}

// --- lookups for unique keys ---

std::uint32_t lastChild(const StoredIndexPage& p) {
    if (p->tailPage() == 0 && p->count() == 0)
        throw p.bad("an intermediate page without children");
    return p->lastChild();
}

// Whether any entry of the tree has exactly `key`, read straight from the page bytes: a lookup
// for every inserted row must not decode whole pages.
bool treeHoldsKey(Table& t, std::size_t i, std::span<const std::uint8_t> key) {
    std::uint32_t page = t.def().realIndexes[i].firstPage;
    for (std::size_t hops = 0; hops < kMaxHops; ++hops) {
        const StoredIndexPage p(t, i, page);
        const std::size_t at = p->lowerBound(key);
        if (at < p->count()) {
            if (p->leaf())
                return p->compare(key, at) == 0;
            page = p->child(at);
        } else {
            // Every entry here is below the key: the next leaf, or the last child.
            page = p->leaf() ? p->nextPage() : lastChild(p);
            if (page == 0)
                return false;
        }
    }
    throw Error(indexWhere(t, i) + ": the index pages loop");
}

// The highest key on the pages (empty when the tree holds none), from the rightmost leaf; none
// when that leaf is empty though the tree is not.
std::optional<std::vector<std::uint8_t>> highestKey(Table& t, std::size_t i) {
    const std::uint32_t root = t.def().realIndexes[i].firstPage;
    std::uint32_t page = root;
    for (std::size_t hops = 0; hops < kMaxHops; ++hops) {
        const StoredIndexPage p(t, i, page);
        if (!p->leaf()) {
            page = lastChild(p);
            continue;
        }
        if (p->count() == 0)
            return page == root
                       ? std::optional<std::vector<std::uint8_t>>(std::vector<std::uint8_t>{})
                       : std::nullopt;
        return p->key(p->count() - 1);
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
    return !p.highestKey || compareKeys(*p.highestKey, key) >= 0;
}

bool above(const std::vector<std::uint8_t>& key, const std::vector<std::uint8_t>& last) {
    return compareKeys(last, key) < 0;
}

// The hashes of every key gathered for index i, once its keys stop coming in order.
void startHashing(Table& t, std::size_t i) {
    PendingIndex& p = pendingFor(t, i);
    p.hashed = true;
    for (std::size_t k = 0; k < p.added.size(); ++k)
        p.hashes.insert(KeyHashes::of(p.added.key(k)));
    if (t.runs)
        t.runs->each(i, [&](const IndexEntry& e) { p.hashes.insert(KeyHashes::of(e.key)); });
}

// Whether an entry with `key` is among those gathered for index i (a unique one).
bool gatheredHolds(Table& t, std::size_t i, const std::vector<std::uint8_t>& key) {
    PendingIndex& p = pendingFor(t, i);
    if (!p.hashed) {
        if (p.added.empty() && !t.runs)
            return false;
        if (above(key, p.lastGathered))
            return false;
        startHashing(t, i);
    }
    if (!p.hashes.mayHold(KeyHashes::of(key)))
        return false;
    for (std::size_t k = 0; k < p.added.size(); ++k)
        if (std::ranges::equal(p.added.key(k), key))
            return true;
    bool found = false;
    if (t.runs)
        t.runs->each(i, [&](const IndexEntry& e) { found = found || e.key == key; });
    return found;
}

// Notes a key gathered for a unique index.
void noteGathered(Table& t, std::size_t i, const std::vector<std::uint8_t>& key) {
    PendingIndex& p = pendingFor(t, i);
    if (!p.hashed && (p.lastGathered.empty() || above(key, p.lastGathered))) {
        p.lastGathered = key;
        return;
    }
    if (!p.hashed)
        startHashing(t, i);
    p.hashes.insert(KeyHashes::of(key));
}

bool treeEmpty(Table& t, std::size_t i) {
    const StoredIndexPage p(t, i, t.def().realIndexes[i].firstPage);
    return p->leaf() && p->count() == 0;
}

// What the table holds gathered, and the file's count with it.
void setGathered(Table& t, std::size_t bytes) {
    std::size_t& all = t.file().gatheredIndexBytes;
    all = all - std::min(all, t.gatheredBytes) + bytes;
    t.gatheredBytes = bytes;
}

// Sets the gathered additions aside, sorted, in the table's runs.
void spill(Table& t) {
    if (!t.runs) {
        const std::filesystem::path db = t.file().path();
        auto name = db.filename();
        name += ".index" + std::to_string(t.def().page) + ".tmp";
        t.runs = std::make_shared<IndexRuns>(db.parent_path() / name, t.def().realIndexes.size());
    }
    for (std::size_t i = 0; i < t.pendingIndexes.size(); ++i) {
        GatheredEntries& added = t.pendingIndexes[i].added;
        if (added.empty())
            continue;
        t.runs->spill(i, added, added.sortedOrder());
        added = GatheredEntries{}; // its blocks freed: the budget counts only what is held
    }
    setGathered(t, 0);
}

// What the file's tables hold gathered, with this table's key hashes.
std::size_t gatherMemory(Table& t) {
    std::size_t n = t.file().gatheredIndexBytes;
    for (const PendingIndex& p : t.pendingIndexes)
        n += p.hashes.bytes();
    return n;
}

} // namespace

void setIndexGatherBudget(std::size_t bytes) {
    gBudget = bytes;
}

std::size_t indexGatherBudget() {
    return gBudget;
}

// --- gathering ---

void checkUnique(Table& t, const std::vector<Value>& row, IndexKeys& keys) {
    // Removals gathered so far reach the pages first: the lookups below read them.
    if (removals(t) > 0)
        flushIndexes(t);
    const TableDef& d = t.def();
    keys.resize(d.realIndexes.size());
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
        auto& key = keys[i];
        indexedKey(d, i, row, key);
        // Access lets a unique index hold several keys with a Null in them.
        if (!ri.unique() || anyNull || !key)
            continue;
        if (gatheredHolds(t, i, *key) || (pagesMayHold(t, i, *key) && treeHoldsKey(t, i, *key)))
            throw Error(indexWhere(t, i) + ": the index is unique and already holds this key");
    }
}

void addToIndexes(Table& t, RowId at, const IndexKeys& keys) {
    // Removals and additions are never gathered together.
    if (removals(t) > 0)
        flushIndexes(t);
    const TableDef& d = t.def();
    if (!additionsGathered(t)) {
        // Indexes that hold nothing yet (a table made or emptied) are built afresh at the end.
        t.freshBuild = t.file().format().jet4() && !d.realIndexes.empty();
        for (std::size_t i = 0; i < d.realIndexes.size() && t.freshBuild; ++i)
            t.freshBuild = treeEmpty(t, i);
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const auto& key = keys[i];
        if (!key)
            continue;
        PendingIndex& p = pendingFor(t, i);
        if (d.realIndexes[i].unique())
            noteGathered(t, i, *key);
        p.added.add(*key, at);
        // Entries written into the pages are first made IndexEntries; those built afresh are
        // not, and are reckoned as they are held.
        setGathered(t, t.gatheredBytes + (t.freshBuild ? GatheredEntries::bytesFor(key->size())
                                                       : entryBytes(*key)));
        p.changed = true;
    }
    // The budget is the file's: a table over it holding an eighth of it gives its entries up.
    // (Key hashes stay in memory and leave the entries less room, but runs do not get short.)
    const bool overBudget = gatherMemory(t) > gBudget && t.gatheredBytes > gBudget / 8;
    if (t.freshBuild) {
        if (overBudget)
            spill(t);
        return;
    }
    // Each write passes over the leaves that receive entries, nearly all of a large index with
    // keys in no order: so the more entries the pages hold, the more are gathered first.
    const std::size_t onPages = static_cast<std::size_t>(d.rowCount) * d.realIndexes.size();
    if (overBudget || additions(t) >= std::max(t.pendingLimit, onPages / 2))
        flushIndexes(t);
}

void addToIndexes(Table& t, RowId at, const std::vector<Value>& row) {
    IndexKeys keys;
    for (std::size_t i = 0; i < t.def().realIndexes.size(); ++i)
        keys.push_back(indexedKey(t.def(), i, row));
    addToIndexes(t, at, keys);
}

void removeFromIndexes(Table& t, RowId at, const std::vector<Value>& row) {
    const TableDef& d = t.def();
    // Gathered entries are written first: removals are gathered apart from them.
    if (additionsGathered(t))
        flushIndexes(t);
    for (std::size_t i = 0; i < d.realIndexes.size(); ++i) {
        auto key = indexedKey(d, i, row);
        if (!key)
            continue;
        PendingIndex& p = pendingFor(t, i);
        setGathered(t, t.gatheredBytes + entryBytes(*key));
        p.removed.push_back(IndexEntry{std::move(*key), at, 0});
        p.changed = true;
    }
    // Each write of many removals passes over nearly every leaf when the keys come in no order
    // (emptying a table in row order): as with additions, the larger the index, the more are
    // gathered first, within the memory budget.
    const std::size_t onPages = static_cast<std::size_t>(d.rowCount) * d.realIndexes.size();
    if (gatherMemory(t) > gBudget || removals(t) >= std::max(t.pendingLimit, onPages / 2))
        flushIndexes(t);
}

// --- writing what was gathered ---

namespace {

void writeDistinctKeys(Table& t, std::size_t i) {
    PageFile& f = t.file();
    const Format& fmt = f.format();
    const std::size_t at = fmt.tdefBlockEnd + i * fmt.realIndexCountSize + fmt.realIndexRowCount;
    auto page = f.writablePage(t.def().page);
    if (at + 4 <= page->bytes.size())
        coding::putLE<std::uint32_t>(page->mut(), at, t.def().realIndexes[i].rowCount);
}

// Writes the gathered entries of a tree whose root is an intermediate page: only the leaves
// that receive entries are rewritten (split as needed). Returns the change in the count of
// distinct keys.
std::int64_t mergeIntoLeaves(FileIndexPages& pages, std::vector<IndexEntry>&& added,
                             std::vector<IndexEntry>&& leaves, std::vector<std::uint32_t> upper) {
    const std::size_t capacity = pages.table().file().format().indexEntryCapacity();
    std::int64_t delta = 0;
    rewriteLeaves(pages, added, std::move(leaves), std::move(upper),
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
                      std::vector<IndexNode> group = packNodes(std::move(merged), true, capacity);
                      std::vector<std::uint32_t> at(group.size());
                      at[0] = c.leaf.child;
                      for (std::size_t g = 1; g < group.size(); ++g)
                          at[g] = pages.allocate();
                      storeLinked(pages, group, at, c.prev, c.next, out);
                  });
    return delta;
}

// Writes gathered additions (sorted here): merged into the leaves they fall in, or, when the
// root is the only leaf, the tree laid out afresh.
void addGathered(Table& t, std::size_t i, const GatheredEntries& gathered) {
    std::uint32_t& distinct = t.mutableDef().realIndexes[i].rowCount;
    std::vector<IndexEntry> added(gathered.size());
    const std::vector<std::uint32_t> order = gathered.sortedOrder();
    for (std::size_t k = 0; k < order.size(); ++k)
        gathered.copyTo(order[k], added[k]);
    auto dup = std::adjacent_find(
        added.begin(), added.end(),
        [](const IndexEntry& a, const IndexEntry& b) { return a.key == b.key && a.row == b.row; });
    if (dup != added.end())
        throw Error(indexWhere(t, i) + ": the row at page " + std::to_string(dup->row.page) +
                    ", row " + std::to_string(dup->row.row) + " is indexed twice");
    FileIndexPages pages(t, i);
    std::vector<IndexEntry> leaves;
    std::vector<std::uint32_t> upper;
    if (leafLevel(pages, leaves, upper)) {
        std::int64_t d = static_cast<std::int64_t>(distinct) +
                         mergeIntoLeaves(pages, std::move(added), std::move(leaves), upper);
        distinct = static_cast<std::uint32_t>(std::max<std::int64_t>(d, 0));
    } else {
        std::vector<IndexEntry> all =
            mergeEntries(pages.load(pages.root()).entries, std::make_move_iterator(added.begin()),
                         std::make_move_iterator(added.end()));
        distinct = distinctKeys(all, nullptr);
        rebuildTree(pages, std::move(all));
    }
}

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

// The count of distinct keys, walking the leaves from the first: one page at a time, read in
// place (this follows every large removal, over the whole leaf level).
std::uint32_t countDistinctKeys(Table& t, std::size_t i) {
    std::uint32_t page = t.def().realIndexes[i].firstPage;
    for (std::size_t depth = 0;; ++depth) {
        const StoredIndexPage p(t, i, page);
        if (p->leaf())
            break;
        if (p->count() == 0 && p->tailPage() == 0)
            throw p.bad("an intermediate page without children");
        if (depth > kMaxTreeDepth)
            throw Error(indexWhere(t, i) + ": the index pages loop");
        page = p->count() > 0 ? p->child(0) : p->tailPage();
    }
    std::uint32_t n = 0;
    std::vector<std::uint8_t> last;
    bool any = false;
    for (std::size_t hops = 0; hops < kMaxHops; ++hops) {
        const StoredIndexPage p(t, i, page);
        for (std::size_t k = 0; k < p->count(); ++k) {
            if (any && p->compare(last, k) == 0)
                continue;
            ++n;
            p->keyInto(k, last);
            any = true;
        }
        page = p->nextPage();
        if (page == 0)
            return n;
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
        IndexTree tree = treeOf(pages);
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
    if (!leafLevel(pages, leaves, upper)) {
        // One leaf, the root.
        std::vector<IndexEntry> kept = withoutRemoved(pages.load(pages.root()).entries, removed);
        distinct = distinctKeys(kept, nullptr);
        rebuildTree(pages, std::move(kept));
        return;
    }
    rewriteLeaves(pages, removed, std::move(leaves), std::move(upper),
                  [&](const LeafChange& c, std::vector<IndexEntry>& out) {
                      IndexNode node = pages.load(c.leaf.child);
                      node.entries =
                          withoutRemoved(std::move(node.entries),
                                         std::span<const IndexEntry>(&*c.from, c.to - c.from));
                      if (node.entries.empty()) {
                          // The leaf leaves the tree; the one before it now leads to the one after.
                          pages.release(c.leaf.child);
                          if (!out.empty())
                              pages.setNext(out.back().child, c.next);
                          return;
                      }
                      node.prev = c.prev;
                      node.next = c.next;
                      pages.store(c.leaf.child, node);
                      IndexEntry sep = std::move(node.entries.back());
                      sep.child = c.leaf.child;
                      out.push_back(std::move(sep));
                  });
    distinct = countDistinctKeys(t, i);
}

// Hands `out` the gathered entries of index i in order: the runs set aside merged with those in
// memory.
void sortedGathered(Table& t, std::size_t i, const EntryPipe::Sink& out) {
    const PendingIndex& p = t.pendingIndexes[i];
    const std::vector<std::uint32_t> order = p.added.sortedOrder();
    if (t.runs && t.runs->runs(i) > 0) {
        t.runs->merge(i, p.added, order, out);
        return;
    }
    IndexEntry e;
    for (std::uint32_t at : order) {
        p.added.copyTo(at, e);
        out(e);
    }
}

// Builds each changed index afresh over its gathered entries: its leaves written in order as
// they fill, the levels above laid out once. When they are many, the entries are put in order on
// a second thread while the leaves are written on this one.
void buildGathered(Table& t) {
    std::vector<std::size_t> changed;
    std::size_t entries = 0;
    for (std::size_t i = 0; i < t.pendingIndexes.size(); ++i)
        if (t.pendingIndexes[i].changed) {
            changed.push_back(i);
            entries += t.pendingIndexes[i].added.size();
        }
    constexpr std::size_t kPipedEntries = std::size_t(1) << 16;
    std::optional<EntryPipe> pipe;
    if (t.runs || entries >= kPipedEntries)
        pipe.emplace(changed.size(), [&t, &changed](std::size_t k, const EntryPipe::Sink& out) {
            sortedGathered(t, changed[k], out);
        });
    for (std::size_t i : changed) {
        FileIndexPages pages(t, i);
        LeafStream out(pages);
        if (pipe) {
            // The other thread has compared each entry with the one before; one it found out of
            // place is refused here, in the words of any other.
            while (const EntryPipe::Block* b = pipe->next())
                for (const EntryPipe::Block::Entry& e : b->entries)
                    if (e.follows < 0)
                        out.add(b->key(e), e.row, e.child);
                    else
                        out.addFollowing(b->key(e), e.row, e.child, e.follows > 0);
        } else {
            sortedGathered(t, i, [&](const IndexEntry& e) { out.add(e); });
        }
        t.mutableDef().realIndexes[i].rowCount = out.finish();
        writeDistinctKeys(t, i);
        // The other thread is done with this index: its end came after its last entries.
        t.pendingIndexes[i] = PendingIndex{};
    }
}

} // namespace

void flushIndexes(Table& t) {
    if (t.countsUnwritten)
        writeCounts(t);
    if (t.freshBuild) {
        // Whatever happens, what was gathered goes, and the runs' file with it.
        struct Done {
            Table& t;
            ~Done() {
                t.pendingIndexes.clear();
                t.runs.reset();
                t.freshBuild = false;
                setGathered(t, 0);
            }
        } done{t};
        buildGathered(t);
        return;
    }
    setGathered(t, 0);
    for (std::size_t i = 0; i < t.pendingIndexes.size(); ++i) {
        PendingIndex& p = t.pendingIndexes[i];
        if (!p.changed)
            continue;
        if (!p.removed.empty())
            removeGathered(t, i, std::move(p.removed));
        if (!p.added.empty())
            addGathered(t, i, p.added);
        writeDistinctKeys(t, i);
        p = PendingIndex{};
    }
}

// --- checking ---

namespace {

// A multiset of entries in a few words: equal sets of (key, row) give equal prints whatever
// their order, so the table's rows and an index's leaves are compared without holding either.
struct EntryPrint {
    std::uint64_t count = 0, sum = 0, mixed = 0;

    void add(std::span<const std::uint8_t> key, RowId row) {
        std::uint64_t h = 0xCBF29CE484222325ull;
        for (std::uint8_t b : key)
            h = (h ^ b) * 0x100000001B3ull;
        h = (h ^ row.page) * 0x100000001B3ull;
        h = (h ^ row.row) * 0x100000001B3ull;
        ++count;
        sum += finish(h);
        mixed += finish(h ^ 0x9E3779B97F4A7C15ull) | 1;
    }
    static std::uint64_t finish(std::uint64_t h) {
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDull;
        h ^= h >> 33;
        h *= 0xC4CEB9FE1A85EC53ull;
        return h ^ (h >> 33);
    }
    friend bool operator==(const EntryPrint&, const EntryPrint&) = default;
};

// Where the index and the rows part, found the slow way: both sides in memory, for the one index
// whose prints differ.
std::string firstDifference(Table& t, std::size_t i, IndexTree& tree) {
    const TableDef& d = t.def();
    std::vector<IndexEntry> want;
    t.eachRow([&](const RowRef& r) {
        if (auto key = indexedKey(d, i, t.read(r)))
            want.push_back({std::move(*key), r.id, 0});
    });
    sortEntries(want);
    std::vector<IndexEntry> got;
    tree.verify([&](const IndexEntry& e) { got.push_back(e); });
    for (std::size_t k = 0; k < got.size() && k < want.size(); ++k)
        if (got[k].key != want[k].key || !(got[k].row == want[k].row))
            return indexWhere(t, i) + ": entry " + std::to_string(k) + " does not match row " +
                   std::to_string(want[k].row.page) + ":" + std::to_string(want[k].row.row);
    return indexWhere(t, i) + ": holds other entries than the table's rows";
}

} // namespace

std::vector<std::string> checkIndexes(Table& t, std::size_t* rowsRead) {
    std::vector<std::string> problems;
    const TableDef& d = t.def();
    const bool indexed = !d.realIndexes.empty() && t.file().format().jet4();
    if (indexed)
        flushIndexes(t);
    // Every row read once: its keys printed, in no order.
    std::vector<EntryPrint> expected(indexed ? d.realIndexes.size() : 0);
    std::vector<std::string> unkeyable(expected.size());
    std::size_t rows = 0;
    t.eachRow([&](const RowRef& r) {
        ++rows;
        auto values = t.read(r);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            try {
                if (auto key = indexedKey(d, i, values))
                    expected[i].add(*key, r.id);
            } catch (const Error& e) {
                // A key outside what this engine encodes (text beyond Windows-1252): the index
                // can still be walked, but not compared row by row.
                unkeyable[i] = e.what();
            }
        }
    });
    if (rowsRead)
        *rowsRead = rows;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        try {
            FileIndexPages pages(t, i);
            IndexTree tree = treeOf(pages);
            EntryPrint got;
            for (auto& p : tree.verify([&](const IndexEntry& e) { got.add(e.key, e.row); }))
                problems.push_back(std::move(p));
            if (!unkeyable[i].empty() || got == expected[i])
                continue;
            if (got.count != expected[i].count)
                problems.push_back(indexWhere(t, i) + ": holds " + std::to_string(got.count) +
                                   " entries for " + std::to_string(expected[i].count) + " rows");
            else
                problems.push_back(firstDifference(t, i, tree));
        } catch (const Error& e) {
            problems.push_back(e.what());
        }
    }
    return problems;
}

} // namespace jet
