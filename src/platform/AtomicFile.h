// Whole or not at all: a file is built under a passing name beside its target and takes the
// target's name in one rename once it is complete on disk; the folder is synced after the
// rename, so that the new name survives a power cut as well.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace atomicfile {

// The name a file for target is built under: "<target's name>.<process id>.tarnfield-partial"
// in target's folder. A leftover of a killed run is recognised by it.
std::filesystem::path partialPath(const std::filesystem::path& target);

// Removes the partial files for target left by processes that no longer run.
void removeLeftovers(const std::filesystem::path& target);

// Pushes a file's bytes to the disk.
std::error_code syncFile(const std::filesystem::path& file);
// Pushes a folder's entries (a rename, a new or removed name) to the disk.
std::error_code syncFolder(const std::filesystem::path& folder);

// Renames from over to (a file already there is replaced in the same step), then syncs the
// folder. from must be complete on disk already.
std::error_code replace(const std::filesystem::path& from, const std::filesystem::path& to);

// A place where tests stop the process as a kill would: when TARNFIELD_CRASH_AT is
// "<where>:<step>", reaching that step ends the process at once, with no clean-up. With
// "<where>:<step>:interrupt" the process receives SIGINT there instead, as from Ctrl+C. The
// variable is read at the first call.
void crashPoint(std::string_view where, std::int64_t step);

} // namespace atomicfile
