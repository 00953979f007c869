// The fixed vocabulary of the import: for each file type, the ordered labels a TAB file's
// columns may carry. A label that begins with two blanks is optional; any other is mandatory.
// Verification, the import run and the record mapping all recognise a column by its label,
// so the labels below are kept character for character in this one place.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace formats {

struct FileTypeInfo {
    int code;                  // ModeCode 1..4
    const char* name;          // FileTypeName, also the type field of saved formats
    const char* editorCaption; // caption of the structure editor
};

// The four file types, in code order.
const std::vector<FileTypeInfo>& fileTypes();

// The type with this name, or null.
const FileTypeInfo* fileTypeByName(std::string_view name);

// The default list of a code 1..4; for any other code the common head and tail alone.
std::vector<std::string> defaultFieldList(int code);

// The first two characters are blanks.
bool isOptionalLabel(std::string_view label);

// The editor caption of a file type name, or null for any other name.
const char* editorCaption(std::string_view fileTypeName);

} // namespace formats
