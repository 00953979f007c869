// Index pages: one page of an index B-tree, decoded into its header and entries, and written
// back. Pure functions over one page buffer; the tree itself is IndexTree's business.
//
// Layout (Jet 4, 4096-byte pages; Jet 3 differs where noted, 2048-byte pages; the offsets that
// differ are Format's):
//
//   OFFSET  SIZE  MEANING
//   0       1     page type: 0x04 leaf, 0x03 intermediate
//   1       1     0x01
//   2       2     free space: page size - first entry offset - bytes of entries
//   4       4     owning table definition page
//   8       4     Jet 4 only: zero on every page seen (Jet 3 moves what follows 4 bytes up)
//   12/8    4     previous page on the same level (0: none)
//   16/12   4     next page on the same level (0: none)
//   20/16   4     tail page: on an intermediate page, its last child, which has no entry here
//   24/20   2     prefix length: bytes every entry shares with the first
//   26      1     Jet 4 only: 0 on leaves; 1 on the intermediate page seen (kept as read)
//   27/22   453/226  entry end bitmap: bit n (low bit first) set when an entry ends n bytes
//                 after the first entry's start; the last set bit ends the used area
//   0x1E0/0xF8    entries, back to back
//
// An entry is its key bytes, then the row it stands for as a 3-byte big-endian page and a 1-byte
// row, then on intermediate pages the child page, 4 bytes big-endian. Entries are in key order
// (bytes, then row). An intermediate entry is a copy of its child's last entry.
//
// Prefix compression: the first entry is written whole; every later entry leaves out the first
// `prefix length` bytes, which it shares with the first entry. Access compresses only a page
// whose entries would not fit otherwise, and then by the key bytes the page's first and last
// entries share; the encoder does the same, so re-encoding an Access page gives its bytes.
//
// Tail: an intermediate page with two or more children keeps the last child in the tail field
// instead of an entry (so appending at the end of an index touches no separator). A page with a
// tail has one entry fewer than children; a single child is an ordinary entry with no tail.
#pragma once

#include "jet/Error.h"
#include "jet/Format.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace jet {

struct IndexNode;

struct IndexPageEntry {
    std::vector<std::uint8_t> key;
    std::uint32_t dataPage = 0; // 24 bits
    std::uint8_t dataRow = 0;
    std::uint32_t childPage = 0; // intermediate pages only
    friend bool operator==(const IndexPageEntry&, const IndexPageEntry&) = default;
};

struct IndexPage {
    bool leaf = true;
    std::uint32_t owner = 0; // table definition page
    std::uint32_t prevPage = 0;
    std::uint32_t nextPage = 0;
    std::uint32_t tailPage = 0;
    std::uint8_t marker = 0; // Jet 4 byte 26
    std::vector<IndexPageEntry> entries;
    // As read; the encoder computes both.
    std::uint16_t freeSpace = 0;
    std::uint16_t prefixLength = 0;
};

inline constexpr std::uint8_t kIndexLeafPage = 0x04;
inline constexpr std::uint8_t kIndexIntermediatePage = 0x03;
inline constexpr std::uint32_t kMaxDataPage = 0xFFFFFF;

// Bytes after an entry's key: its row pointer, and on an intermediate page its child page.
inline constexpr std::size_t indexEntryTrailer(bool leaf) {
    return leaf ? 4 : 8;
}

// One index page read in place, without copying a key: its header fields, where each entry
// ends (from the entry bitmap), the prefix the entries share and each one's own bytes. Every
// reading of an index page goes through here. The whole layout is checked on construction; a
// fault throws jet::Error saying what is wrong but not where (callers put that in front). The
// view points into `page`, which must outlive it.
class IndexPageView {
public:
    IndexPageView(std::span<const std::uint8_t> page, const Format& format);

    bool leaf() const { return leaf_; }
    std::uint16_t freeSpace() const;
    std::uint32_t owner() const;
    std::uint32_t prevPage() const;
    std::uint32_t nextPage() const;
    std::uint32_t tailPage() const;
    std::uint16_t prefixLength() const { return static_cast<std::uint16_t>(prefix_); }
    std::uint8_t marker() const;

    std::size_t count() const { return count_; }
    // Entry k's key, whole.
    std::vector<std::uint8_t> key(std::size_t k) const;
    // The same into `out`, whose room is used again.
    void keyInto(std::size_t k, std::vector<std::uint8_t>& out) const;
    // Three-way comparison of `key` with entry k's key.
    int compare(std::span<const std::uint8_t> key, std::size_t k) const;
    // The first entry whose key is not below `key`; count() when there is none.
    std::size_t lowerBound(std::span<const std::uint8_t> key) const;
    RowId row(std::size_t k) const;
    // The child page an intermediate entry stands for.
    std::uint32_t child(std::size_t k) const;
    // The child an intermediate page passes keys above all its entries to: its tail page, or,
    // when it has none, the child of its last entry (0: neither).
    std::uint32_t lastChild() const;

private:
    // Entry k's bytes past the shared prefix: the rest of its key, then its trailer.
    std::span<const std::uint8_t> stored(std::size_t k) const;
    std::span<const std::uint8_t> keyRest(std::size_t k) const;

    std::span<const std::uint8_t> page_;
    const Format* format_;
    bool leaf_ = true;
    std::size_t trailer_ = 4, prefix_ = 0, count_ = 0;
    // Entry ends, from the first entry's start: no more than the page has bytes for entries.
    // Left uninitialised: pages are read by the thousand.
    std::array<std::uint16_t, 4096> ends_;
};

// The page read in place; a fault is an error starting with `where()`, which is called only then
// (naming a page takes longer than reading it).
template <typename Where>
IndexPageView viewIndexPage(std::span<const std::uint8_t> page, const Format& format,
                            const Where& where) {
    try {
        return IndexPageView(page, format);
    } catch (const Error& e) {
        throw Error(where() + ": " + e.what());
    }
}

// The page, its keys copied out. Throws jet::Error, its message starting with `where`, for a
// page that is not a well-formed index page of that version.
IndexPage decodeIndexPage(std::span<const std::uint8_t> page, const std::string& where,
                          JetVersion version = JetVersion::Jet4);

// Bytes the entries take on a Jet 4 page, compressed when they must be; the prefix length the
// page would carry goes to `prefixLength`.
std::size_t indexEntriesSize(bool leaf, std::span<const IndexPageEntry> entries,
                             std::uint16_t* prefixLength = nullptr);
bool indexEntriesFit(bool leaf, std::span<const IndexPageEntry> entries);

// Writes the whole Jet 4 page (bytes past the used area are zero). The free space and prefix
// length come from the entries; `page.freeSpace` and `page.prefixLength` are ignored. Throws
// jet::Error when the entries do not fit or an entry cannot be written.
void encodeIndexPage(const IndexPage& page, std::span<std::uint8_t> out);

// --- Nodes for IndexTree: every child as an entry, the tail resolved ---

// Bytes of an index page, for resolving tails.
using IndexPageLoader = std::function<std::vector<std::uint8_t>(std::uint32_t page)>;

// The node of a Jet 4 page. A tail child becomes the node's last entry, its key the last entry
// under it, read through `load` (following tails down to the leaf).
IndexNode decodeIndexNode(std::span<const std::uint8_t> page, const std::string& where,
                          const IndexPageLoader& load);

// The page of a node owned by the table at `owner`: an intermediate node with two or more
// entries writes its last one as the tail. False when the node does not fit.
bool encodeIndexNode(const IndexNode& node, std::uint32_t owner, std::span<std::uint8_t> out);

} // namespace jet
