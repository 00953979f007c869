// Extraction of zip archives, on libzip: the name of the archive's item, and extraction of
// every item into a folder with overwriting, reported as a result code.
#pragma once

#include <stdexcept>
#include <string>

namespace unzip {

// Result codes of an extraction.
constexpr int kSuccess = 0;
constexpr int kReadFailed = 1;    // an item's data is damaged or cannot be read
constexpr int kCannotCreate = 28; // an output file or folder cannot be created
constexpr int kDiskFull = 50;     // the expanded items do not fit the free space
constexpr int kUnsafeEntry = 51;  // an item would land outside the destination

// The archive cannot be opened at all (missing, not a zip archive, damaged directory).
class ArchiveError : public std::runtime_error {
public:
    ArchiveError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// The name of the archive's first file item (folders skipped), or empty when it has none.
std::string firstItemName(const std::string& archiveHostPath);

// Extracts every item below destDir, replacing existing files. Items are first extracted into a
// passing folder beside destDir and moved into place only when all of them were, so a failure
// leaves destDir as it was. Nothing is written when any item's name is absolute, climbs out
// with "..", names a drive, or is a link, nor when the expanded items exceed the free space.
int extractAll(const std::string& archiveHostPath, const std::string& destDirHostPath);

} // namespace unzip
