// Writes a corrected copy of a TAB file whose lines carry empty columns beyond the structure,
// as spreadsheet programs leave them: every line keeps its first fieldCount fields.
#pragma once

#include "platform/Interaction.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace wizard {

// "staff.txt" -> "staff_Revised.txt": the last four characters, whatever they are, give way.
std::string revisedPath(const std::string& path);

// Points path at its corrected copy, with any older copy of that name removed, and returns the
// copy's native path for writing.
std::filesystem::path startRevisedCopy(std::string& path);

// path names the source on entry and the corrected copy on return. failed is set to 1 when a
// line holds data beyond the structure; the copy written so far is then left on disk and the
// user is told. Otherwise failed keeps the caller's value.
void RemoveExtraFields(std::string& path, std::int64_t fieldCount, int& failed,
                       platform::UserInteraction& ui);

} // namespace wizard
