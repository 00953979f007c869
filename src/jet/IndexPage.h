// Index pages: one page of an index B-tree, decoded into its header and entries, and written
// back. Pure functions over one page buffer; the tree itself is IndexTree's business.
//
// Layout (Jet 4, 4096-byte pages; Jet 3 differs where noted, 2048-byte pages):
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

#include "jet/Format.h"

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

struct IndexPageLayout {
    std::size_t pageSize;
    std::size_t prevPage, nextPage, tailPage, prefixLength, marker; // marker: 0 when absent
    std::size_t entryMask, firstEntry;
    std::size_t capacity() const { return pageSize - firstEntry; } // bytes for entries
};

const IndexPageLayout& indexPageLayout(JetVersion v);

inline constexpr std::uint8_t kIndexLeafPage = 0x04;
inline constexpr std::uint8_t kIndexIntermediatePage = 0x03;
inline constexpr std::uint32_t kMaxDataPage = 0xFFFFFF;

// Throws jet::Error, its message starting with `where`, for a page that is not a well-formed
// index page of that version.
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
