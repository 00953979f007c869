// Host paths: the program composes Windows-style paths (AppDir + "ACME\" + "COMPANY.DAT"), in
// Windows-1252, as the host's files name each other. The resolver turns such a path into a
// native one: both separators are accepted, and on file systems whose names are case-sensitive
// each name is matched without regard to case, so "Account.dat" finds "ACCOUNT.DAT".
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace hostpath {

// The native path a host path names. Components that exist are matched without regard to case
// (an exact match wins); the first component that does not exist, and everything after it, is
// kept as written, so that the result also serves for creating a file.
std::filesystem::path resolve(std::string_view hostPath);

// A native path as the program writes host paths (Windows-1252).
std::string fromNative(const std::filesystem::path& path);

bool exists(std::string_view hostPath);
bool isFile(std::string_view hostPath);
bool isDirectory(std::string_view hostPath);

// Length in bytes of an existing regular file; nullopt when there is none.
std::optional<std::uint64_t> fileLength(std::string_view hostPath);

// The folder part of a host path, up to and with its last separator (either kind); empty when it
// has none.
std::string folderOf(std::string_view hostPath);

// Names compared as the host compares file names: letter case ignored.
bool sameName(std::string_view a, std::string_view b);

} // namespace hostpath
