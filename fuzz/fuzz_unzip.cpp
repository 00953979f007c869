// Zip archives of any content: the name of the first item, and extraction, which must write
// nothing outside its destination, whatever the names of the items say.
#include "FuzzFiles.h"
#include "platform/Unzip.h"

#include <filesystem>
#include <system_error>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace fs = std::filesystem;
    const auto& dir = fuzzfiles::folder();
    std::error_code ec;
    fs::remove_all(dir / "out", ec);
    fs::create_directories(dir / "out" / "dest");
    const auto archive = dir / "out" / "update.zip";
    fuzzfiles::write(archive, std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string host = fuzzfiles::hostFolder() + "out/";
    try {
        (void)unzip::firstItemName(host + "update.zip");
        const int result = unzip::extractAll(host + "update.zip", host + "dest");
        fuzzfiles::expect(result == unzip::kSuccess || result == unzip::kReadFailed ||
                              result == unzip::kCannotCreate || result == unzip::kUnsafeEntry,
                          "a known result code");
        if (result == unzip::kUnsafeEntry)
            fuzzfiles::expect(fs::is_empty(dir / "out" / "dest"), "nothing of an unsafe archive");
    } catch (const unzip::ArchiveError&) {
    }
    // Only the archive and the destination beside each other, nothing above.
    for (const auto& entry : fs::directory_iterator(dir / "out"))
        fuzzfiles::expect(entry.path() == archive || entry.path() == dir / "out" / "dest",
                          "nothing written beside the destination");
    for (const auto& entry : fs::directory_iterator(dir))
        fuzzfiles::expect(entry.path() == dir / "out", "nothing written above the destination");
    for (const auto& entry : fs::recursive_directory_iterator(dir / "out" / "dest"))
        fuzzfiles::expect(!entry.is_symlink(), "no links made");
    return 0;
}
