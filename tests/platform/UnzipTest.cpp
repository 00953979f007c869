// Unzip extracts every item or, for a hostile, damaged or too large archive, nothing: it writes
// nothing into the destination until every item is extracted, and keeps UTF-8 item names.
#include "platform/Unzip.h"

#include "support/Archive.h"
#include "support/TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

using Entry = testsupport::ArchiveEntry;
using testsupport::makeArchive;

TEST(Unzip, ExtractsEveryItemAndNamesTheFirstFileButNeverWritesOverAReadOnlyFile) {
    TempDir dir;
    makeArchive(dir / "update.zip",
                {{"docs/", ""}, {"Brandmoor.exe", "program"}, {"docs/readme.txt", "read me"}});
    fs::create_directory(dir / "out");
    writeFile(dir / "out" / "Brandmoor.exe", "old program");
    EXPECT_EQ(unzip::firstItemName(dir.withSlash() + "update.zip"), "Brandmoor.exe");
    EXPECT_EQ(unzip::extractAll(dir.withSlash() + "update.zip", dir.withSlash() + "out/"),
              unzip::kSuccess);
    EXPECT_EQ(readFile(dir / "out" / "Brandmoor.exe"), "program");
    EXPECT_EQ(readFile(dir / "out" / "docs" / "readme.txt"), "read me");
    EXPECT_FALSE(fs::exists(dir / "out" / "Brandmoor.exe.unzipping"));
    // A read-only target gives 28 and keeps its content.
    makeArchive(dir / "a.zip", {{"locked.dat", "new"}});
    writeFile(dir / "out" / "locked.dat", "old");
    fs::permissions(dir / "out" / "locked.dat", fs::perms::owner_read);
    EXPECT_EQ(unzip::extractAll(dir.withSlash() + "a.zip", dir.withSlash() + "out/"),
              unzip::kCannotCreate);
    EXPECT_EQ(readFile(dir / "out" / "locked.dat"), "old");
}

TEST(Unzip, HostileNamesAreRefusedAndNothingIsWritten) {
    for (const auto& hostile : std::vector<std::vector<Entry>>{
             {{"good.txt", "x"}, {"../escape.txt", "evil"}},
             {{"good.txt", "x"}, {"/tmp/absolute.txt", "evil"}},
             {{"good.txt", "x"}, {"C:evil.txt", "evil"}},
             {{"good.txt", "x"}, {"a/../../escape.txt", "evil"}},
             {{"good.txt", "x"}, {"link", "/etc/passwd", true}},
         }) {
        TempDir dir;
        makeArchive(dir / "bad.zip", hostile);
        fs::create_directory(dir / "out");
        EXPECT_EQ(unzip::extractAll(dir.withSlash() + "bad.zip", dir.withSlash() + "out/"),
                  unzip::kUnsafeEntry)
            << hostile[1].name;
        EXPECT_TRUE(fs::is_empty(dir / "out")) << hostile[1].name;
        EXPECT_FALSE(fs::exists(dir / "escape.txt"));
    }
}

TEST(Unzip, ADamagedOrMissingArchiveIsAnArchiveError) {
    TempDir dir;
    makeArchive(dir / "ok.zip", {{"file.txt", std::string(5000, 'a')}});
    auto bytes = readFile(dir / "ok.zip");
    writeFile(dir / "cut.zip", bytes.substr(0, bytes.size() / 2));
    writeFile(dir / "text.zip", "this is not an archive");
    for (const char* name : {"cut.zip", "text.zip", "missing.zip"}) {
        EXPECT_THROW(unzip::firstItemName(dir.withSlash() + name), unzip::ArchiveError) << name;
        EXPECT_THROW(unzip::extractAll(dir.withSlash() + name, dir.withSlash()),
                     unzip::ArchiveError)
            << name;
    }
}

// Staging on Linux file systems: UTF-8 names and small file systems.
#ifndef _WIN32
std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(UnzipStaging, Utf8NamesAreKept) {
    TempDir dir;
    makeArchive(dir / "names.zip", {{"Übersicht-é.txt", "1"}, {"päth/ñ.txt", "2"}});
    ASSERT_EQ(unzip::extractAll(dir.withSlash() + "names.zip", dir.withSlash() + "out/"),
              unzip::kSuccess);
    EXPECT_EQ(readFile(dir / "out" / "Übersicht-é.txt"), "1");
    EXPECT_EQ(readFile(dir / "out" / "päth" / "ñ.txt"), "2");
}

TEST(UnzipStaging, ADamagedLaterItemLeavesTheDestinationAsItWas) {
    TempDir dir;
    std::string later;
    for (int i = 0; i < 400; ++i)
        later += std::to_string(i * 7919 % 1000) + " ";
    makeArchive(dir / "bad.zip", {{"a.txt", "first item"}, {"b.txt", later}});
    // Damage the second item's compressed data, behind its local header.
    auto bytes = readFile(dir / "bad.zip");
    auto at = bytes.find("b.txt");
    ASSERT_NE(at, std::string::npos);
    for (std::size_t i = at + 20; i < at + 60; ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    writeFile(dir / "bad.zip", bytes);
    fs::create_directory(dir / "out");
    writeFile(dir / "out" / "a.txt", "kept");

    EXPECT_EQ(unzip::extractAll(dir.withSlash() + "bad.zip", dir.withSlash() + "out/"),
              unzip::kReadFailed);
    EXPECT_EQ(readFile(dir / "out" / "a.txt"), "kept");
    EXPECT_EQ(namesIn(dir / "out"), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"bad.zip", "out"}));
}

TEST(UnzipStaging, ItemsLargerThanTheFreeSpaceAreRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    const auto disk = dir / "disk";
    fs::create_directory(disk);
    if (::geteuid() != 0 || ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    makeArchive(dir / "big.zip", {{"small.txt", "x"}, {"zeros.bin", std::string(4 << 20, '\0')}});
    const int result = unzip::extractAll(dir.withSlash() + "big.zip", disk.string() + "/out/");
    const auto left = namesIn(disk);
    ::umount(disk.c_str());
    EXPECT_EQ(result, unzip::kDiskFull);
    EXPECT_TRUE(left.empty());
}
#endif

} // namespace
