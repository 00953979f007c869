// What the workbook and CSV readers share: the problems they report and the way they hand a
// sheet's cells on. Workbook.cpp turns a problem into the message the user reads.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace spreadsheet::detail {

enum class Trouble {
    Unreadable,     // the file cannot be opened or read
    Empty,          // the file has no bytes
    Damaged,        // cut short, not well-formed, or parts missing
    NotWorkbook,    // a zip archive, but no workbook inside
    Password,       // encrypted
    OldExcel,       // Excel 97-2003 (.xls)
    BinaryExcel,    // Excel Binary Workbook (.xlsb)
    TooLarge,       // unpacks to more than any workbook holds
    TooWide,        // more columns than a sheet holds
    NoSuchSheet,    // detail: the name asked for
    NoVisibleSheet, // every sheet is hidden, or there is none
    AlreadyText,    // a text file needs no copy
    CannotWrite,    // the TAB copy cannot be written; detail: why
};

class Problem : public std::runtime_error {
public:
    Problem(Trouble trouble, const std::string& detail = {})
        : std::runtime_error(detail), trouble_(trouble) {}
    Trouble trouble() const { return trouble_; }

private:
    Trouble trouble_;
};

// A sheet holds at most this many rows and columns; cells beyond are never shown.
constexpr std::int64_t kMaxRows = 1048576;
constexpr std::int32_t kMaxColumns = 16384;

struct SheetEntry {
    std::string name; // UTF-8
    bool visible = true;
};

// Receives a sheet's used cells, row by row and left to right (rows and columns from 0).
class CellSink {
public:
    virtual ~CellSink() = default;
    // False when only the places of the used cells matter, so the text need not be made.
    virtual bool wantsText() const { return true; }
    virtual void cell(std::int64_t row, std::int32_t column, std::string_view text) = 0;
};

class Book {
public:
    virtual ~Book() = default;
    virtual std::vector<SheetEntry> sheets() = 0;
    // The sheet of that name (any case), or the first visible sheet for an empty name. Called
    // twice for one copy: once to measure the used range, once to write it.
    virtual void read(std::string_view sheet, CellSink& sink) = 0;
};

// Letters compared without regard to case, the same under any C locale the program runs in.
inline char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether two sheet names are the same, as a spreadsheet program compares them (ASCII letters
// in any case).
bool sameSheetName(std::string_view a, std::string_view b);

// The index of the sheet asked for (see Book::read), or a NoSuchSheet / NoVisibleSheet problem.
std::size_t pickSheet(const std::vector<SheetEntry>& sheets, std::string_view name);

} // namespace spreadsheet::detail
