// The parts of a workbook's zip package, read in chunks through libzip so a large sheet is
// never held whole in memory.
#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

struct zip;

namespace spreadsheet::detail {

class ZipPackage {
public:
    // Problems: Unreadable, Damaged (not a zip archive, or its directory is broken).
    explicit ZipPackage(const std::filesystem::path& file);
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    // Part names are compared without regard to case, as the package formats ask.
    bool has(std::string_view part) const;

    // Hands the part's bytes to `take`, a chunk at a time, until it returns false. Problems:
    // Damaged (missing, bad data, more bytes than the directory states), Password (an encrypted
    // entry), TooLarge (the part would unpack to more than a workbook could hold: a zip bomb).
    void read(std::string_view part, const std::function<bool(std::string_view)>& take) const;

private:
    struct zip* zip_;
};

} // namespace spreadsheet::detail
