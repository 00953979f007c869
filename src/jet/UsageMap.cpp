#include "jet/UsageMap.h"

#include "base/Coding.h"
#include "jet/DataPage.h"
#include "jet/Error.h"
#include "jet/PageFile.h"

#include <algorithm>
#include <optional>

namespace jet {

// Usage map row, inline kind:
//   OFFSET SIZE MEANING
//   0      1    0x00
//   1      4    first page the bitmap covers
//   5      n    bitmap, low bit first: bit k set = page start+k is in use
// Reference kind:
//   0      1    0x01
//   1      4*n  page numbers of bitmap pages (type 0x05), 0 for none; entry i covers pages
//               i*B .. (i+1)*B-1 with B = (page size - 4) * 8
// Bitmap page: 05 01 00 00, then the bitmap.
UsageMap UsageMap::read(PageFile& file, std::uint32_t pointer, const std::string& what,
                        bool withinFile, bool listPages) {
    UsageMap m;
    m.file_ = &file;
    m.listed_ = listPages;
    m.row_ = rowIdFromPointer(pointer);
    m.what_ = what;
    const Format& f = file.format();
    if (m.row_.page == 0 || m.row_.page >= file.pageCount())
        throw Error(what + ": usage map pointer names page " + std::to_string(m.row_.page) +
                    ", outside the file (" + std::to_string(file.pageCount()) + " pages)");
    auto page = file.page(m.row_.page);
    auto v = page->view();
    if (v[0] != static_cast<std::uint8_t>(PageType::Data))
        throw Error(what + ": usage map row is on page " + std::to_string(m.row_.page) +
                    ", which is not a data page (type " + std::to_string(v[0]) + ")");
    RowSpan s = rowSpan(f, v, m.row_.row, PagePlace{file, m.row_.page});
    if (s.deleted() || s.end - s.start < 5)
        throw Error(what + ": usage map row " + std::to_string(m.row_.row) + " on page " +
                    std::to_string(m.row_.page) + " is deleted or too short");
    auto row = v.subspan(s.start, s.end - s.start);
    const std::uint32_t count = file.pageCount();
    auto addBit = [&](std::uint32_t p) {
        if (withinFile && p >= count)
            throw Error(what + ": usage map marks page " + std::to_string(p) +
                        ", past the end of the file (" + std::to_string(count) + " pages)");
        if (listPages)
            m.pages_.push_back(p);
    };
    if (row[0] == 0x00) {
        m.inline_ = true;
        m.start_ = coding::getU32(row, 1);
        m.bits_ = static_cast<std::uint32_t>((row.size() - 5) * 8);
        for (std::size_t i = 5; listPages && i < row.size(); ++i)
            for (int bit = 0; bit < 8; ++bit)
                if (row[i] & (1u << bit))
                    addBit(m.start_ + static_cast<std::uint32_t>((i - 5) * 8 + bit));
    } else if (row[0] == 0x01) {
        m.inline_ = false;
        const std::uint32_t perPage = (f.pageSize - 4) * 8;
        for (std::size_t i = 1; i + 4 <= row.size(); i += 4) {
            std::uint32_t mp = coding::getU32(row, i);
            m.maps_.push_back(mp);
            if (mp == 0)
                continue;
            if (mp >= count)
                throw Error(what + ": usage bitmap page " + std::to_string(mp) +
                            " is past the end of the file");
            auto bp = file.page(mp);
            auto bv = bp->view();
            if (bv[0] != static_cast<std::uint8_t>(PageType::UsageBitmap))
                throw Error(what + ": page " + std::to_string(mp) +
                            " should be a usage bitmap page but is of type " +
                            std::to_string(bv[0]));
            std::uint32_t base = static_cast<std::uint32_t>((i - 1) / 4) * perPage;
            for (std::size_t k = 4; listPages && k < bv.size(); ++k) {
                if (!bv[k])
                    continue;
                for (int bit = 0; bit < 8; ++bit)
                    if (bv[k] & (1u << bit))
                        addBit(base + static_cast<std::uint32_t>((k - 4) * 8 + bit));
            }
        }
    } else {
        throw Error(what + ": unknown usage map kind " + std::to_string(row[0]) + " on page " +
                    std::to_string(m.row_.page));
    }
    return m;
}

std::optional<UsageMap::BitAt> UsageMap::bitOf(PageFile& file, std::uint32_t page) const {
    const Format& f = file.format();
    if (inline_) {
        if (!reaches(page))
            return std::nullopt;
        auto p = file.page(row_.page);
        RowSpan s = rowSpan(f, p->view(), row_.row, PagePlace{file, row_.page});
        std::size_t bit = page - start_;
        return BitAt{row_.page, s.start + 5 + bit / 8, static_cast<std::uint8_t>(1u << (bit % 8))};
    }
    const std::uint32_t perPage = (f.pageSize - 4) * 8;
    std::size_t entry = page / perPage;
    if (entry >= maps_.size() || maps_[entry] == 0)
        return std::nullopt;
    std::size_t bit = page - entry * perPage;
    return BitAt{maps_[entry], 4 + bit / 8, static_cast<std::uint8_t>(1u << (bit % 8))};
}

bool UsageMap::contains(std::uint32_t page) const {
    if (listed_)
        return std::binary_search(pages_.begin(), pages_.end(), page);
    // Straight from the bit in the file.
    auto at = bitOf(*file_, page);
    return at && (file_->page(at->page)->view()[at->byte] & at->mask) != 0;
}

bool UsageMap::reaches(std::uint32_t page) const {
    if (inline_)
        return page >= start_ && page - start_ < bits_;
    return true;
}

void UsageMap::add(PageFile& file, std::uint32_t page) {
    set(file, page, true);
}
void UsageMap::remove(PageFile& file, std::uint32_t page) {
    set(file, page, false);
}

// An inline map covers a fixed window of pages; a table that grows past it gets the reference
// kind in the same row (its bytes hold a bitmap page number per range), keeping its pages.
void UsageMap::promoteToReference(PageFile& file) {
    const Format& f = file.format();
    if (!listed_) {
        pages_ = read(file, pointerFromRowId(row_), what_, false, true).pages_;
        listed_ = true;
    }
    std::size_t entries = 0;
    {
        auto rp = file.writablePage(row_.page);
        RowSpan s = rowSpan(f, rp->view(), row_.row, PagePlace{file, row_.page});
        entries = (s.end - s.start - 1) / 4;
        auto bytes = rp->mut();
        bytes[s.start] = 0x01;
        for (std::size_t i = s.start + 1; i < s.end; ++i)
            bytes[i] = 0;
    }
    auto kept = std::move(pages_);
    pages_.clear();
    inline_ = false;
    maps_.assign(entries, 0);
    for (std::uint32_t p : kept)
        set(file, p, true);
}

void UsageMap::set(PageFile& file, std::uint32_t page, bool on) {
    const Format& f = file.format();
    if (inline_ && !reaches(page)) {
        if (!on)
            return; // a page the map cannot hold is not in it
        promoteToReference(file);
    }
    if (!inline_) {
        const std::uint32_t perPage = (f.pageSize - 4) * 8;
        std::size_t entry = page / perPage;
        if (entry >= maps_.size())
            throw Error(what_ + ": page " + std::to_string(page) + " is beyond the usage map");
        if (maps_[entry] == 0) {
            if (!on)
                return;
            auto np = file.appendPage();
            np->bytes[0] = static_cast<std::uint8_t>(PageType::UsageBitmap);
            np->bytes[1] = 0x01;
            maps_[entry] = np->number;
            auto rp = file.writablePage(row_.page);
            RowSpan s = rowSpan(f, rp->view(), row_.row, PagePlace{file, row_.page});
            coding::putLE<std::uint32_t>(rp->mut(), s.start + 1 + 4 * entry, np->number);
        }
    }
    auto at = bitOf(file, page);
    if (!at)
        throw Error(what_ + ": page " + std::to_string(page) +
                    " lies outside the reach of its inline usage map (pages " +
                    std::to_string(start_) + ".." + std::to_string(start_ + bits_ - 1) + ")");
    std::uint8_t& byte = file.writablePage(at->page)->bytes[at->byte];
    byte = on ? static_cast<std::uint8_t>(byte | at->mask)
              : static_cast<std::uint8_t>(byte & ~at->mask);
    if (!listed_)
        return;
    auto it = std::lower_bound(pages_.begin(), pages_.end(), page);
    bool present = it != pages_.end() && *it == page;
    if (on && !present)
        pages_.insert(it, page);
    else if (!on && present)
        pages_.erase(it);
}

} // namespace jet
