// The lines of a TAB-delimited text file as a spreadsheet program saves a sheet: Windows-1252,
// CR LF line ends, every row from the first as wide as the sheet's used range.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace spreadsheet {

// A cell's text as one field: characters Windows-1252 cannot hold become '?'; a text holding a
// TAB, a double quote or a line break is quoted with its quotes doubled, and each line break
// becomes a blank, since a line of the file is one record.
std::string tabField(std::string_view utf8);

class TabWriter {
public:
    // Each row gets `width` fields (at least one).
    TabWriter(std::ostream& out, std::int32_t width);

    // Cells come row by row, left to right; rows and cells skipped are written empty.
    void cell(std::int64_t row, std::int32_t column, std::string_view utf8);

    // Ends the last row and writes empty rows up to `rows` in all; at least one line is written,
    // as a spreadsheet program writes one for an empty sheet.
    void finish(std::int64_t rows);

private:
    void endRow();
    std::ostream& out_;
    std::int32_t width_;
    std::int64_t row_ = 0;    // the row being written
    std::int32_t fields_ = 0; // fields of that row begun so far
    bool rowStarted_ = false;
    std::string emptyRow_;
};

} // namespace spreadsheet
