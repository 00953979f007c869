#include "spreadsheet/TabWriter.h"

#include "base/Cp1252.h"
#include "base/Utf8.h"

#include <algorithm>

namespace spreadsheet {

std::string tabField(std::string_view utf8) {
    const bool quoted = utf8.find_first_of("\t\"\r\n") != std::string_view::npos;
    std::string out;
    out.reserve(utf8.size() + (quoted ? 2 : 0));
    if (quoted)
        out += '"';
    std::size_t at = 0;
    while (at < utf8.size()) {
        const char c = utf8[at];
        if (c == '\r' || c == '\n') {
            out += ' ';
            at += c == '\r' && at + 1 < utf8.size() && utf8[at + 1] == '\n' ? 2 : 1;
            continue;
        }
        if (c == '"') {
            out += "\"\"";
            ++at;
            continue;
        }
        const auto cp = utf::nextCodePoint(utf8, at);
        const auto byte = cp ? cp1252::fromUnicode(*cp) : std::nullopt;
        out += byte ? static_cast<char>(*byte) : '?';
    }
    if (quoted)
        out += '"';
    return out;
}

TabWriter::TabWriter(std::ostream& out, std::int32_t width)
    : out_(out), width_(std::max<std::int32_t>(width, 1)),
      emptyRow_(static_cast<std::size_t>(width_ - 1), '\t') {
    emptyRow_ += "\r\n";
}

void TabWriter::endRow() {
    if (rowStarted_) {
        out_ << std::string(static_cast<std::size_t>(width_ - fields_), '\t') << "\r\n";
        ++row_;
        fields_ = 0;
        rowStarted_ = false;
    }
}

void TabWriter::cell(std::int64_t row, std::int32_t column, std::string_view utf8) {
    if (column >= width_ || row < row_ || (row == row_ && column < fields_))
        return;
    if (row > row_)
        endRow();
    for (; row_ < row; ++row_)
        out_ << emptyRow_;
    // Fields before this one, each begun by its TAB.
    if (!rowStarted_) {
        rowStarted_ = true;
        fields_ = 1;
    }
    for (; fields_ <= column; ++fields_)
        out_ << '\t';
    out_ << tabField(utf8);
}

void TabWriter::finish(std::int64_t rows) {
    endRow();
    for (rows = std::max<std::int64_t>(rows, 1); row_ < rows; ++row_)
        out_ << emptyRow_;
}

} // namespace spreadsheet
