#include "jet/IndexPage.h"

#include "base/Coding.h"
#include "jet/Error.h"
#include "jet/IndexKey.h"
#include "jet/IndexTree.h"

#include <algorithm>

namespace jet {
namespace {

// Where both versions keep them.
constexpr std::size_t kFreeSpace = 2;
constexpr std::size_t kOwner = 4;
constexpr std::size_t kRowPointerSize = 4;
constexpr std::size_t kChildSize = 4;
static_assert(indexEntryTrailer(true) == kRowPointerSize &&
              indexEntryTrailer(false) == kRowPointerSize + kChildSize);

// Only Jet 4 pages are written.
constexpr const Format& kWritten = kJet4Format;

static_assert(kJet3Format.indexEntryCapacity() <= 4096 && kJet4Format.indexEntryCapacity() <= 4096,
              "IndexPageView keeps one end per byte for entries");

// What encoding needs of an entry, from a decoded page's entry or a tree node's, without
// copying its key.
struct EntryRef {
    std::span<const std::uint8_t> key;
    std::uint32_t dataPage;
    std::uint32_t dataRow;
    std::uint32_t childPage;
};

EntryRef refOf(const IndexPageEntry& e) {
    return {e.key, e.dataPage, e.dataRow, e.childPage};
}

// Key bytes the first and last entries share; entries in between share them too, being in key
// order.
std::size_t sharedPrefix(std::span<const EntryRef> entries) {
    if (entries.size() < 2)
        return 0;
    const auto a = entries.front().key;
    const auto b = entries.back().key;
    std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

std::size_t entriesSize(bool leaf, std::span<const EntryRef> entries, std::uint16_t* prefixLength) {
    std::size_t total = 0;
    for (const auto& e : entries)
        total += e.key.size() + indexEntryTrailer(leaf);
    std::size_t prefix = 0;
    if (total > kWritten.indexEntryCapacity()) {
        prefix = sharedPrefix(entries);
        total -= prefix * (entries.size() - 1);
    }
    if (prefixLength)
        *prefixLength = static_cast<std::uint16_t>(std::min<std::size_t>(prefix, 0xFFFF));
    return total;
}

// The page's own fields, apart from its entries.
struct PageFields {
    bool leaf = true;
    std::uint32_t owner = 0, prevPage = 0, nextPage = 0, tailPage = 0;
    std::uint8_t marker = 0;
};

void encodeEntries(const PageFields& p, std::span<const EntryRef> entries,
                   std::span<std::uint8_t> out) {
    const Format& F = kWritten;
    if (out.size() != F.pageSize)
        throw Error("index page: a Jet 4 page has " + std::to_string(F.pageSize) + " bytes, not " +
                    std::to_string(out.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].dataPage > kMaxDataPage)
            throw Error("index page: entry " + std::to_string(i) + " points at data page " +
                        std::to_string(entries[i].dataPage) + ", beyond 3 bytes");
        if (entries[i].dataRow > 0xFF)
            throw Error("index page: entry " + std::to_string(i) + " points at row " +
                        std::to_string(entries[i].dataRow) + ", beyond one byte");
    }
    std::uint16_t prefix = 0;
    const std::size_t used = entriesSize(p.leaf, entries, &prefix);
    for (std::size_t i = 1; i < entries.size() && prefix > 0; ++i) {
        const auto first = entries.front().key;
        const auto k = entries[i].key;
        if (k.size() < prefix || !std::equal(first.begin(), first.begin() + prefix, k.begin()))
            throw Error("index page: entry " + std::to_string(i) +
                        " does not share the first entry's prefix (entries out of order)");
    }
    if (used > F.indexEntryCapacity())
        throw Error("index page: " + std::to_string(entries.size()) + " entries take " +
                    std::to_string(used) + " bytes, more than the page's " +
                    std::to_string(F.indexEntryCapacity()));

    std::fill(out.begin(), out.end(), 0);
    out[0] = p.leaf ? kIndexLeafPage : kIndexIntermediatePage;
    out[1] = 0x01;
    coding::putLE<std::uint16_t>(out, kFreeSpace,
                                 static_cast<std::uint16_t>(F.indexEntryCapacity() - used));
    coding::putLE<std::uint32_t>(out, kOwner, p.owner);
    coding::putLE<std::uint32_t>(out, F.indexPrevPage, p.prevPage);
    coding::putLE<std::uint32_t>(out, F.indexNextPage, p.nextPage);
    coding::putLE<std::uint32_t>(out, F.indexTailPage, p.tailPage);
    coding::putLE<std::uint16_t>(out, F.indexPrefixLength, prefix);
    out[F.indexMarker] = p.marker;

    std::size_t pos = 0; // from the first entry's start
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const EntryRef& e = entries[i];
        const std::size_t skip = i == 0 ? 0 : prefix;
        auto dst = out.subspan(F.indexFirstEntry + pos);
        std::copy(e.key.begin() + static_cast<std::ptrdiff_t>(skip), e.key.end(), dst.begin());
        std::size_t at = e.key.size() - skip;
        coding::putBE<std::uint32_t>(dst, at, (e.dataPage << 8) | e.dataRow);
        at += kRowPointerSize;
        if (!p.leaf) {
            coding::putBE<std::uint32_t>(dst, at, e.childPage);
            at += kChildSize;
        }
        pos += at;
        out[F.indexEntryMask + pos / 8] |= static_cast<std::uint8_t>(1u << (pos % 8));
    }
}

std::vector<EntryRef> refsOf(std::span<const IndexPageEntry> entries) {
    std::vector<EntryRef> refs;
    refs.reserve(entries.size());
    for (const auto& e : entries)
        refs.push_back(refOf(e));
    return refs;
}

std::string hexByte(std::uint8_t b) {
    static const char* d = "0123456789ABCDEF";
    return std::string("0x") + d[b >> 4] + d[b & 15];
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

} // namespace

IndexPageView::IndexPageView(std::span<const std::uint8_t> page, const Format& format)
    : page_(page), format_(&format) {
    const Format& F = format;
    if (page.size() != F.pageSize)
        throw Error("an index page has " + std::to_string(F.pageSize) + " bytes, not " +
                    std::to_string(page.size()));
    const std::uint8_t type = page[0];
    if (type != kIndexLeafPage && type != kIndexIntermediatePage)
        throw Error("not an index page (type " + hexByte(type) + ")");
    leaf_ = type == kIndexLeafPage;
    trailer_ = indexEntryTrailer(leaf_);
    prefix_ = coding::getU16(page, F.indexPrefixLength);
    const std::size_t capacity = F.indexEntryCapacity();
    std::size_t start = 0; // of the current entry, from the first entry's start
    for (std::size_t m = F.indexEntryMask; m < F.indexFirstEntry; ++m) {
        for (unsigned bits = page[m]; bits != 0; bits &= bits - 1) {
            const std::size_t end =
                (m - F.indexEntryMask) * 8 + static_cast<unsigned>(__builtin_ctz(bits));
            if (end > capacity)
                throw Error("the entry bitmap marks an entry ending at byte " +
                            std::to_string(end) + ", past the page's " + std::to_string(capacity) +
                            " bytes for entries");
            if (end == start)
                throw Error("the entry bitmap marks an empty entry at byte " + std::to_string(end));
            // The shared prefix is key bytes: every entry's trailer lies past it.
            if (count_ == 0 && prefix_ > end)
                throw Error("the shared prefix (" + std::to_string(prefix_) +
                            " bytes) is longer than the first entry (" + std::to_string(end) +
                            " bytes)");
            const std::size_t own = end - start - (count_ == 0 ? prefix_ : 0);
            if (own < trailer_)
                throw Error("entry " + std::to_string(count_) + " has " + std::to_string(own) +
                            " bytes besides the shared prefix, too few for its " +
                            (leaf_ ? "row pointer" : "row pointer and child page"));
            ends_[count_++] = static_cast<std::uint16_t>(end);
            start = end;
        }
    }
}

std::uint16_t IndexPageView::freeSpace() const {
    return coding::getU16(page_, kFreeSpace);
}
std::uint32_t IndexPageView::owner() const {
    return coding::getU32(page_, kOwner);
}
std::uint32_t IndexPageView::prevPage() const {
    return coding::getU32(page_, format_->indexPrevPage);
}
std::uint32_t IndexPageView::nextPage() const {
    return coding::getU32(page_, format_->indexNextPage);
}
std::uint32_t IndexPageView::tailPage() const {
    return coding::getU32(page_, format_->indexTailPage);
}
std::uint8_t IndexPageView::marker() const {
    return format_->indexMarker ? page_[format_->indexMarker] : 0;
}

std::span<const std::uint8_t> IndexPageView::stored(std::size_t k) const {
    const std::size_t start = k == 0 ? prefix_ : ends_[k - 1];
    return page_.subspan(format_->indexFirstEntry + start, ends_[k] - start);
}

std::span<const std::uint8_t> IndexPageView::keyRest(std::size_t k) const {
    auto s = stored(k);
    return s.first(s.size() - trailer_);
}

std::vector<std::uint8_t> IndexPageView::key(std::size_t k) const {
    auto shared = page_.subspan(format_->indexFirstEntry, prefix_);
    auto rest = keyRest(k);
    std::vector<std::uint8_t> key;
    key.reserve(shared.size() + rest.size());
    key.insert(key.end(), shared.begin(), shared.end());
    key.insert(key.end(), rest.begin(), rest.end());
    return key;
}

void IndexPageView::keyInto(std::size_t k, std::vector<std::uint8_t>& out) const {
    auto shared = page_.subspan(format_->indexFirstEntry, prefix_);
    auto rest = keyRest(k);
    out.assign(shared.begin(), shared.end());
    out.insert(out.end(), rest.begin(), rest.end());
}

int IndexPageView::compare(std::span<const std::uint8_t> key, std::size_t k) const {
    return compareKey(key, page_.subspan(format_->indexFirstEntry, prefix_), keyRest(k));
}

std::size_t IndexPageView::lowerBound(std::span<const std::uint8_t> key) const {
    std::size_t lo = 0, hi = count_;
    while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        if (compare(key, mid) > 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

RowId IndexPageView::row(std::size_t k) const {
    auto s = stored(k);
    return rowIdFromPointer(coding::getBE<std::uint32_t>(s, s.size() - trailer_));
}

std::uint32_t IndexPageView::child(std::size_t k) const {
    auto s = stored(k);
    return coding::getBE<std::uint32_t>(s, s.size() - kChildSize);
}

std::uint32_t IndexPageView::lastChild() const {
    if (tailPage() != 0)
        return tailPage();
    return count_ == 0 ? 0 : child(count_ - 1);
}

IndexPage decodeIndexPage(std::span<const std::uint8_t> buf, const std::string& where,
                          JetVersion version) {
    const IndexPageView v = viewIndexPage(buf, formatFor(version), [&] { return where; });
    IndexPage p;
    p.leaf = v.leaf();
    p.freeSpace = v.freeSpace();
    p.owner = v.owner();
    p.prevPage = v.prevPage();
    p.nextPage = v.nextPage();
    p.tailPage = v.tailPage();
    p.prefixLength = v.prefixLength();
    p.marker = v.marker();
    p.entries.reserve(v.count());
    for (std::size_t k = 0; k < v.count(); ++k) {
        const RowId r = v.row(k);
        p.entries.push_back(
            {v.key(k), r.page, static_cast<std::uint8_t>(r.row), p.leaf ? 0 : v.child(k)});
    }
    return p;
}

std::size_t indexEntriesSize(bool leaf, std::span<const IndexPageEntry> entries,
                             std::uint16_t* prefixLength) {
    return entriesSize(leaf, refsOf(entries), prefixLength);
}

bool indexEntriesFit(bool leaf, std::span<const IndexPageEntry> entries) {
    return indexEntriesSize(leaf, entries) <= kWritten.indexEntryCapacity();
}

void encodeIndexPage(const IndexPage& p, std::span<std::uint8_t> out) {
    encodeEntries({p.leaf, p.owner, p.prevPage, p.nextPage, p.tailPage, p.marker},
                  refsOf(p.entries), out);
}

// --- nodes ---

namespace {

IndexEntry entryOf(const IndexPageView& v, std::size_t k) {
    return IndexEntry{v.key(k), v.row(k), v.leaf() ? 0 : v.child(k)};
}

// The last entry in the subtree under `page`.
IndexEntry lastEntryUnder(std::uint32_t page, const std::string& where,
                          const IndexPageLoader& load) {
    for (std::size_t depth = 0; depth < kMaxTreeDepth; ++depth) {
        auto here = [&] { return where + ", tail page " + std::to_string(page); };
        auto bytes = load(page);
        const IndexPageView v = viewIndexPage(bytes, kWritten, here);
        if (!v.leaf() && v.tailPage() != 0) {
            page = v.tailPage();
            continue;
        }
        if (v.count() == 0)
            throw Error(here() + ": an index page in the tree holds no entries");
        return entryOf(v, v.count() - 1);
    }
    throw Error(where + ": tail pages lead more than " + std::to_string(kMaxTreeDepth) +
                " levels down (a loop?)");
}

} // namespace

IndexNode decodeIndexNode(std::span<const std::uint8_t> page, const std::string& where,
                          const IndexPageLoader& load) {
    const IndexPageView v = viewIndexPage(page, kWritten, [&] { return where; });
    IndexNode n;
    n.leaf = v.leaf();
    n.prev = v.prevPage();
    n.next = v.nextPage();
    n.entries.reserve(v.count() + 1);
    for (std::size_t k = 0; k < v.count(); ++k)
        n.entries.push_back(entryOf(v, k));
    if (!v.leaf() && v.tailPage() != 0) {
        IndexEntry tail = lastEntryUnder(v.tailPage(), where, load);
        tail.child = v.tailPage();
        n.entries.push_back(std::move(tail));
    }
    return n;
}

bool encodeIndexNode(const IndexNode& node, std::uint32_t owner, std::span<std::uint8_t> out) {
    PageFields p{node.leaf, owner, node.prev, node.next, 0, 0};
    std::size_t written = node.entries.size();
    if (!node.leaf && written >= 2) {
        p.tailPage = node.entries.back().child;
        --written;
    }
    // Pages are written by the thousand: the references live on between calls.
    thread_local std::vector<EntryRef> refs;
    refs.clear();
    for (std::size_t i = 0; i < written; ++i) {
        const IndexEntry& e = node.entries[i];
        refs.push_back({e.key, e.row.page, e.row.row, e.child});
    }
    if (entriesSize(p.leaf, refs, nullptr) > kWritten.indexEntryCapacity())
        return false;
    encodeEntries(p, refs, out);
    return true;
}

} // namespace jet
