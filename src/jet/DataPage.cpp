#include "jet/DataPage.h"

#include "base/Coding.h"
#include "jet/Error.h"
#include "jet/PageFile.h"

namespace jet {

std::string PagePlace::text() const {
    return file.where(page);
}

namespace {

const std::string& text(const std::string& where) {
    return where;
}
std::string text(const PagePlace& where) {
    return where.text();
}

template <class Where>
std::uint16_t slotCount(const Format& f, std::span<const std::uint8_t> page, const Where& where) {
    std::uint16_t n = coding::getU16(page, f.dataRowCount);
    if (f.dataRowTable + 2 * static_cast<std::size_t>(n) > page.size())
        throw Error(text(where) + ": row count " + std::to_string(n) + " does not fit the page");
    return n;
}

template <class Where>
RowSpan spanOf(const Format& f, std::span<const std::uint8_t> page, std::uint16_t row,
               const Where& where, bool checkDeleted) {
    std::uint16_t n = slotCount(f, page, where);
    if (row >= n)
        throw Error(text(where) + ": row " + std::to_string(row) +
                    " does not exist (the page has " + std::to_string(n) + ")");
    std::uint16_t raw = coding::getU16(page, f.dataRowTable + 2 * row);
    RowSpan s;
    s.flags = raw & (kRowDeleted | kRowOverflow);
    s.start = raw & kRowOffsetMask;
    s.end = row == 0 ? static_cast<std::uint16_t>(page.size())
                     : coding::getU16(page, f.dataRowTable + 2 * (row - 1)) & kRowOffsetMask;
    if (s.deleted() && !checkDeleted)
        return s;
    if (s.start < f.dataRowTable + 2 * n || s.start > s.end || s.end > page.size())
        throw Error(text(where) + ", row " + std::to_string(row) + ": row bounds " +
                    std::to_string(s.start) + ".." + std::to_string(s.end) +
                    " lie outside the page's row area");
    return s;
}

} // namespace

std::uint16_t rowSlotCount(const Format& f, std::span<const std::uint8_t> page,
                           const std::string& where) {
    return slotCount(f, page, where);
}

RowSpan rowSpan(const Format& f, std::span<const std::uint8_t> page, std::uint16_t row,
                const std::string& where, bool checkDeleted) {
    return spanOf(f, page, row, where, checkDeleted);
}

RowSpan rowSpan(const Format& f, std::span<const std::uint8_t> page, std::uint16_t row,
                const PagePlace& where, bool checkDeleted) {
    return spanOf(f, page, row, where, checkDeleted);
}

std::uint16_t recordedFreeSpace(std::span<const std::uint8_t> page) {
    return coding::getU16(page, 2);
}

namespace {
std::size_t lowestRow(const Format& f, std::span<const std::uint8_t> page, std::uint16_t n) {
    std::size_t low = page.size();
    for (std::uint16_t i = 0; i < n; ++i) {
        std::size_t off = coding::getU16(page, f.dataRowTable + 2 * i) & kRowOffsetMask;
        if (off < low)
            low = off;
    }
    return low;
}
} // namespace

bool roomFor(const Format& f, std::span<const std::uint8_t> page, std::size_t size) {
    std::uint16_t n = coding::getU16(page, f.dataRowCount);
    std::size_t tableEnd = f.dataRowTable + 2 * (static_cast<std::size_t>(n) + 1);
    std::size_t low = lowestRow(f, page, n);
    // Access keeps at most 255 rows a page: row numbers in pointers are one byte.
    return n < 255 && low >= tableEnd && low - tableEnd >= size;
}

std::uint16_t addRow(const Format& f, std::span<std::uint8_t> page,
                     std::span<const std::uint8_t> row) {
    std::uint16_t n = coding::getU16(page, f.dataRowCount);
    std::size_t low = lowestRow(f, page, n);
    std::size_t start = low - row.size();
    std::copy(row.begin(), row.end(), page.begin() + static_cast<std::ptrdiff_t>(start));
    coding::putLE<std::uint16_t>(page, f.dataRowTable + 2 * n, static_cast<std::uint16_t>(start));
    coding::putLE<std::uint16_t>(page, f.dataRowCount, static_cast<std::uint16_t>(n + 1));
    std::uint16_t free = coding::getU16(page, 2);
    std::size_t used = row.size() + 2;
    coding::putLE<std::uint16_t>(page, 2,
                                 static_cast<std::uint16_t>(free > used ? free - used : 0));
    return n;
}

// Empty data page:
//   OFFSET SIZE MEANING
//   0      2    01 01
//   2      2    free space: page size minus the header
//   4      4    owning table definition page
//   8      4    Jet 4: zero
//   8/12   2    row count 0
void initDataPage(const Format& f, std::span<std::uint8_t> page, std::uint32_t tdefPage) {
    std::fill(page.begin(), page.end(), 0);
    page[0] = static_cast<std::uint8_t>(PageType::Data);
    page[1] = 0x01;
    coding::putLE<std::uint16_t>(page, 2, static_cast<std::uint16_t>(page.size() - f.dataRowTable));
    coding::putLE<std::uint32_t>(page, 4, tdefPage);
}

void markDeleted(const Format& f, std::span<std::uint8_t> page, std::uint16_t row) {
    std::uint16_t raw = coding::getU16(page, f.dataRowTable + 2 * row);
    if ((raw & (kRowDeleted | kRowOverflow)) == (kRowDeleted | kRowOverflow))
        return;
    std::uint16_t start = raw & kRowOffsetMask;
    std::uint16_t end = row == 0
                            ? static_cast<std::uint16_t>(page.size())
                            : coding::getU16(page, f.dataRowTable + 2 * (row - 1)) & kRowOffsetMask;
    // Access marks a deleted row with both flags; readers that take 0x4000 alone for "deleted"
    // (mdbtools) then agree.
    coding::putLE<std::uint16_t>(page, f.dataRowTable + 2 * row,
                                 static_cast<std::uint16_t>(raw | kRowDeleted | kRowOverflow));
    // The slot stays (row numbers of later rows must not move); its bytes count as free.
    std::uint16_t free = coding::getU16(page, 2);
    coding::putLE<std::uint16_t>(page, 2, static_cast<std::uint16_t>(free + (end - start)));
}

} // namespace jet
