#include "jet/IndexPage.h"

#include "jet/Error.h"
#include "jet/IndexKey.h"
#include "jet/IndexTree.h"
#include "base/Coding.h"

#include <algorithm>

namespace jet {
namespace {

constexpr IndexPageLayout kJet3Layout{2048, 8, 12, 16, 20, 0, 0x16, 0xF8};
constexpr IndexPageLayout kJet4Layout{4096, 12, 16, 20, 24, 26, 0x1B, 0x1E0};

constexpr std::size_t kOwner = 4;
constexpr std::size_t kFreeSpace = 2;
constexpr std::size_t kRowPointerSize = 4;
constexpr std::size_t kChildSize = 4;
constexpr std::size_t kMaxTreeDepth = 32;

std::size_t trailerSize(bool leaf) {
    return kRowPointerSize + (leaf ? 0 : kChildSize);
}

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
        total += e.key.size() + trailerSize(leaf);
    std::size_t prefix = 0;
    if (total > kJet4Layout.capacity()) {
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
    const IndexPageLayout& L = kJet4Layout;
    if (out.size() != L.pageSize)
        throw Error("index page: a Jet 4 page has " + std::to_string(L.pageSize) + " bytes, not " +
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
    if (used > L.capacity())
        throw Error("index page: " + std::to_string(entries.size()) + " entries take " +
                    std::to_string(used) + " bytes, more than the page's " +
                    std::to_string(L.capacity()));

    std::fill(out.begin(), out.end(), 0);
    out[0] = p.leaf ? kIndexLeafPage : kIndexIntermediatePage;
    out[1] = 0x01;
    coding::putLE<std::uint16_t>(out, kFreeSpace, static_cast<std::uint16_t>(L.capacity() - used));
    coding::putLE<std::uint32_t>(out, kOwner, p.owner);
    coding::putLE<std::uint32_t>(out, L.prevPage, p.prevPage);
    coding::putLE<std::uint32_t>(out, L.nextPage, p.nextPage);
    coding::putLE<std::uint32_t>(out, L.tailPage, p.tailPage);
    coding::putLE<std::uint16_t>(out, L.prefixLength, prefix);
    out[L.marker] = p.marker;

    std::size_t pos = 0; // from the first entry's start
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const EntryRef& e = entries[i];
        const std::size_t skip = i == 0 ? 0 : prefix;
        auto dst = out.subspan(L.firstEntry + pos);
        std::copy(e.key.begin() + static_cast<std::ptrdiff_t>(skip), e.key.end(), dst.begin());
        std::size_t at = e.key.size() - skip;
        coding::putBE<std::uint32_t>(dst, at, (e.dataPage << 8) | e.dataRow);
        at += kRowPointerSize;
        if (!p.leaf) {
            coding::putBE<std::uint32_t>(dst, at, e.childPage);
            at += kChildSize;
        }
        pos += at;
        out[L.entryMask + pos / 8] |= static_cast<std::uint8_t>(1u << (pos % 8));
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

} // namespace

const IndexPageLayout& indexPageLayout(JetVersion v) {
    return v == JetVersion::Jet3 ? kJet3Layout : kJet4Layout;
}

IndexPage decodeIndexPage(std::span<const std::uint8_t> buf, const std::string& where,
                          JetVersion version) {
    const IndexPageLayout& L = indexPageLayout(version);
    if (buf.size() != L.pageSize)
        throw Error(where + ": an index page has " + std::to_string(L.pageSize) + " bytes, not " +
                    std::to_string(buf.size()));
    IndexPage p;
    const std::uint8_t type = buf[0];
    if (type != kIndexLeafPage && type != kIndexIntermediatePage)
        throw Error(where + ": not an index page (type " + hexByte(type) + ")");
    p.leaf = type == kIndexLeafPage;
    p.freeSpace = coding::getU16(buf, kFreeSpace);
    p.owner = coding::getU32(buf, kOwner);
    p.prevPage = coding::getU32(buf, L.prevPage);
    p.nextPage = coding::getU32(buf, L.nextPage);
    p.tailPage = coding::getU32(buf, L.tailPage);
    p.prefixLength = coding::getU16(buf, L.prefixLength);
    if (L.marker)
        p.marker = buf[L.marker];

    const std::size_t capacity = L.capacity();
    const std::size_t maskBytes = L.firstEntry - L.entryMask;
    const std::size_t trailer = trailerSize(p.leaf);
    std::vector<std::uint8_t> prefix;
    std::size_t start = 0; // of the current entry, from the first entry's start
    for (std::size_t i = 0; i < maskBytes; ++i) {
        const std::uint8_t m = buf[L.entryMask + i];
        if (m == 0)
            continue;
        for (unsigned bit = 0; bit < 8; ++bit) {
            if (!(m & (1u << bit)))
                continue;
            const std::size_t end = i * 8 + bit;
            if (end > capacity)
                throw Error(where + ": the entry bitmap marks an entry ending at byte " +
                            std::to_string(end) + ", past the page's " + std::to_string(capacity) +
                            " bytes for entries");
            if (end == start)
                throw Error(where + ": the entry bitmap marks an empty entry at byte " +
                            std::to_string(end));
            auto stored = buf.subspan(L.firstEntry + start, end - start);
            const std::size_t index = p.entries.size();
            std::vector<std::uint8_t> full;
            if (index == 0) {
                if (p.prefixLength > stored.size())
                    throw Error(where + ": the shared prefix (" + std::to_string(p.prefixLength) +
                                " bytes) is longer than the first entry (" +
                                std::to_string(stored.size()) + " bytes)");
                prefix.assign(stored.begin(), stored.begin() + p.prefixLength);
                full.assign(stored.begin(), stored.end());
            } else {
                full = prefix;
                full.insert(full.end(), stored.begin(), stored.end());
            }
            if (full.size() < trailer)
                throw Error(where + ": entry " + std::to_string(index) + " has " +
                            std::to_string(full.size()) + " bytes, too few for its " +
                            (p.leaf ? "row pointer" : "row pointer and child page"));
            IndexPageEntry e;
            const std::size_t keySize = full.size() - trailer;
            e.key.assign(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(keySize));
            std::span<const std::uint8_t> t(full.data() + keySize, trailer);
            e.dataPage = (std::uint32_t{t[0]} << 16) | (std::uint32_t{t[1]} << 8) | t[2];
            e.dataRow = t[3];
            if (!p.leaf)
                e.childPage = coding::getBE<std::uint32_t>(t, kRowPointerSize);
            p.entries.push_back(std::move(e));
            start = end;
        }
    }
    return p;
}

std::size_t indexEntriesSize(bool leaf, std::span<const IndexPageEntry> entries,
                             std::uint16_t* prefixLength) {
    return entriesSize(leaf, refsOf(entries), prefixLength);
}

bool indexEntriesFit(bool leaf, std::span<const IndexPageEntry> entries) {
    return indexEntriesSize(leaf, entries) <= kJet4Layout.capacity();
}

void encodeIndexPage(const IndexPage& p, std::span<std::uint8_t> out) {
    encodeEntries({p.leaf, p.owner, p.prevPage, p.nextPage, p.tailPage, p.marker},
                  refsOf(p.entries), out);
}

// --- nodes ---

namespace {

IndexEntry toEntry(const IndexPageEntry& e) {
    return IndexEntry{e.key, RowId{e.dataPage, e.dataRow}, e.childPage};
}

// The last entry in the subtree under `page`.
IndexEntry lastEntryUnder(std::uint32_t page, const std::string& where,
                          const IndexPageLoader& load) {
    for (std::size_t depth = 0; depth < kMaxTreeDepth; ++depth) {
        std::string here = where + ", tail page " + std::to_string(page);
        auto bytes = load(page);
        IndexPage p = decodeIndexPage(bytes, here);
        if (!p.leaf && p.tailPage != 0) {
            page = p.tailPage;
            continue;
        }
        if (p.entries.empty())
            throw Error(here + ": an index page in the tree holds no entries");
        return toEntry(p.entries.back());
    }
    throw Error(where + ": tail pages lead more than " + std::to_string(kMaxTreeDepth) +
                " levels down (a loop?)");
}

IndexNode nodeOf(const IndexPage& p) {
    IndexNode n;
    n.leaf = p.leaf;
    n.prev = p.prevPage;
    n.next = p.nextPage;
    for (const auto& e : p.entries)
        n.entries.push_back(toEntry(e));
    return n;
}

} // namespace

IndexNode decodeIndexNode(std::span<const std::uint8_t> page, const std::string& where,
                          const IndexPageLoader& load) {
    IndexPage p = decodeIndexPage(page, where);
    IndexNode n = nodeOf(p);
    if (!p.leaf && p.tailPage != 0) {
        IndexEntry tail = lastEntryUnder(p.tailPage, where, load);
        tail.child = p.tailPage;
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
    if (entriesSize(p.leaf, refs, nullptr) > kJet4Layout.capacity())
        return false;
    encodeEntries(p, refs, out);
    return true;
}

} // namespace jet
