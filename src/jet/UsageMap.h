// Usage maps: which pages belong to a table (or index, or the whole file), one bit a page.
#pragma once

#include "jet/Format.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace jet {

class PageFile;

class UsageMap {
public:
    // Reads the map stored in the row `pointer` (row in the low byte, page above).
    // Throws jet::Error naming `what` for a bad map, or, when `withinFile`, for a page past the
    // end of the file. The global map (page 1) marks free pages and reaches past the end.
    // Without `listPages`, pages() is not filled: reading a big table's map for one bit would
    // otherwise cost a pass over all of its pages.
    static UsageMap read(PageFile& file, std::uint32_t pointer, const std::string& what,
                         bool withinFile = true, bool listPages = true);

    const std::vector<std::uint32_t>& pages() const { return pages_; } // ascending
    bool contains(std::uint32_t page) const;
    bool inlineKind() const { return inline_; }
    // Whether the map can record `page` at all.
    bool reaches(std::uint32_t page) const;

    // Sets or clears a page's bit in the file. An inline map that cannot reach the page is
    // turned into the reference kind first.
    void add(PageFile& file, std::uint32_t page);
    void remove(PageFile& file, std::uint32_t page);

private:
    // Where a page's bit lies: page, byte on it, bit within the byte. Nothing when the map
    // cannot hold the page or has no bitmap page for it yet.
    struct BitAt {
        std::uint32_t page;
        std::size_t byte;
        std::uint8_t mask;
    };
    std::optional<BitAt> bitOf(PageFile& file, std::uint32_t page) const;
    void set(PageFile& file, std::uint32_t page, bool on);
    void promoteToReference(PageFile& file);

    PageFile* file_ = nullptr;
    bool listed_ = true; // pages_ holds every page of the map
    RowId row_;
    std::string what_;
    bool inline_ = true;
    std::uint32_t start_ = 0;          // inline: first page the bitmap covers
    std::uint32_t bits_ = 0;           // inline: pages the bitmap covers
    std::vector<std::uint32_t> maps_;  // reference: bitmap page per range (0: none yet)
    std::vector<std::uint32_t> pages_; // pages whose bit is set
};

} // namespace jet
