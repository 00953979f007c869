// The column headings of the file the structure is arranged from: the first line of a TAB file,
// or the first row of a workbook or CSV file, which is where its TAB copy's first line comes
// from.
#pragma once

#include "platform/Interaction.h"
#include "wizard/WorkbookCopy.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wizard {

// The first line of a text file's first bytes, in Windows-1252 whatever the file's character
// set (UTF-8, or UTF-16 with its mark, as spreadsheet programs also save), without its line end.
std::string firstLineText(std::string_view bytes);

// The headings of the file the user chose (a host path), split as formats::splitHeaderLine
// splits them. Nullopt when the file cannot be read, names no column or more than a format
// holds, or the user declined to choose a sheet; a message said why.
std::optional<std::vector<std::string>> fileHeadings(const std::string& chosen,
                                                     platform::UserInteraction& ui,
                                                     const WorkbookChoice& choice = {});

} // namespace wizard
