// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes away. Tests write their real files here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

    // Folder as the program names it: native path with a trailing separator.
    std::string withSlash() const;

private:
    std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& file, std::string_view bytes);
void writeFile(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);
std::string readFile(const std::filesystem::path& file);

// The partial files in folder that a write not yet finished, or killed, has left there.
std::vector<std::string> partialFiles(const std::filesystem::path& folder);

// A spreadsheet's "Unicode Text": UTF-16 bytes of UTF-8 text, after the byte-order mark.
std::string utf16File(std::string_view utf8Text, bool bigEndian = false);

// The shared fixtures folder, or an empty path when it is not beside the repository.
std::filesystem::path fixturesDir();

} // namespace testsupport
