// A client's workbook or CSV file saved as the TAB-delimited text the import reads: the same
// file a spreadsheet program writes with "Save As" Text (Tab delimited), cells as shown, so the
// user need not open the spreadsheet program first.
//
// Messages and sheet names are UTF-8. Nothing here throws: every problem with a file comes
// back as one message that names the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace spreadsheet {

enum class Kind { Text, Csv, Xlsx, Ods, Xls };

// By extension, in any case: .csv, .xlsx and .xlsm, .ods, .xls and .xlsb (workbooks we ask to
// have saved as .xlsx); anything else (.txt, .tab, ...) is Text.
Kind kindOf(const std::filesystem::path& file);

// Where the TAB copy of source goes: beside it, "<stem>_Tab.txt".
std::filesystem::path tabCopyPath(const std::filesystem::path& source);

struct SheetList {
    std::vector<std::string> names; // the visible sheets, in the workbook's order
    std::string error;              // empty when the names could be read
};

// A CSV file lists one sheet named after the file, as a spreadsheet program opens it.
SheetList listSheets(const std::filesystem::path& workbook);

struct CopyResult {
    bool ok = false;
    std::string error;     // when not ok: one message naming the file
    std::int64_t rows = 0; // rows of the sheet's used range written (0 for an empty sheet, whose
                           // copy holds one empty line as a spreadsheet program writes it)
};

struct FirstRow {
    bool ok = false;
    std::string error;               // when not ok: one message naming the file
    std::vector<std::string> fields; // Windows-1252, as the TAB copy's first line holds them, up
                                     // to the last cell of the row that holds something
};

// The first row of the sheet (chosen as for writeTabCopy), read without the rows below it: the
// column headings, where a workbook has them.
FirstRow readFirstRow(const std::filesystem::path& source, const std::string& sheet);

// Writes the sheet (empty: the first visible one; a CSV file's one sheet whatever the name) to
// target, which is replaced whole or not at all: the copy is built under a passing name beside
// target and renamed once complete.
CopyResult writeTabCopy(const std::filesystem::path& source, const std::string& sheet,
                        const std::filesystem::path& target);

} // namespace spreadsheet
