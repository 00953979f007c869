// The readers behind Book, one per kind of file.
#pragma once

#include "spreadsheet/Book.h"
#include "spreadsheet/Zip.h"

#include <filesystem>
#include <memory>

namespace spreadsheet::detail {

// Office Open XML (.xlsx, .xlsm). Problems: NotWorkbook, BinaryExcel, Damaged, and those of
// ZipPackage.
std::unique_ptr<Book> openXlsx(std::unique_ptr<ZipPackage> package);

// OpenDocument spreadsheets (.ods). Problems: NotWorkbook, Password, Damaged, and those of
// ZipPackage.
std::unique_ptr<Book> openOds(std::unique_ptr<ZipPackage> package);

// Comma- or semicolon-separated text, UTF-8 or Windows-1252. Problems: Unreadable, TooWide.
std::unique_ptr<Book> openCsv(const std::filesystem::path& file);

} // namespace spreadsheet::detail
