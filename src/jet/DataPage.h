// Row slots of data pages (and long value pages, which share the layout).
#pragma once

#include "jet/Format.h"

#include <cstdint>
#include <span>
#include <string>

namespace jet {

struct RowSpan {
    std::uint16_t start = 0; // offset of the first byte in the page
    std::uint16_t end = 0;   // one past the last byte
    std::uint16_t flags = 0; // kRowDeleted, kRowOverflow
    bool deleted() const { return (flags & kRowDeleted) != 0; }
    bool overflow() const { return (flags & kRowOverflow) != 0; }
};

class PageFile;

// A page, named in a message (PageFile::where) only when a message is made: rows are found far
// more often than they are found wanting.
struct PagePlace {
    const PageFile& file;
    std::uint32_t page;
    std::string text() const;
};

// Number of row slots; throws jet::Error (prefixed with `where`) when the slot table does not
// fit the page.
std::uint16_t rowSlotCount(const Format& f, std::span<const std::uint8_t> page,
                           const std::string& where);

// A row's bytes run from its slot's offset to the previous slot's offset (the page end for
// slot 0). Deleted slots are returned unchecked unless `checkDeleted` (the target of an
// overflow pointer carries the deleted flag); live ones are checked against the page.
RowSpan rowSpan(const Format& f, std::span<const std::uint8_t> page, std::uint16_t row,
                const std::string& where, bool checkDeleted = false);
RowSpan rowSpan(const Format& f, std::span<const std::uint8_t> page, std::uint16_t row,
                const PagePlace& where, bool checkDeleted = false);

// Free bytes recorded in the header, and the bytes actually between the slot table and the
// lowest row.
std::uint16_t recordedFreeSpace(std::span<const std::uint8_t> page);

// Appends a row (a new slot) to a data page; returns its slot number. The caller checks room
// with roomFor() first. Updates the free space field.
std::uint16_t addRow(const Format& f, std::span<std::uint8_t> page,
                     std::span<const std::uint8_t> row);
// Bytes a new row of `size` needs, slot included, and whether the page has them.
bool roomFor(const Format& f, std::span<const std::uint8_t> page, std::size_t size);
// Starts an empty data page owned by the table definition at `tdefPage`.
void initDataPage(const Format& f, std::span<std::uint8_t> page, std::uint32_t tdefPage);
// Marks a slot deleted and gives its bytes back to the free space count.
void markDeleted(const Format& f, std::span<std::uint8_t> page, std::uint16_t row);

} // namespace jet
