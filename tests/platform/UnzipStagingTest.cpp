// Unzip writes nothing into the destination until every item is extracted, checks the space the
// items need first, and keeps UTF-8 item names as they are.
#include "platform/Unzip.h"
#include "support/Archive.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(UnzipStaging, Utf8NamesAreKept) {
    testsupport::TempDir dir;
    testsupport::makeArchive(dir / "names.zip", {{"Übersicht-é.txt", "1"}, {"päth/ñ.txt", "2"}});
    ASSERT_EQ(unzip::extractAll(dir.withSlash() + "names.zip", dir.withSlash() + "out/"),
              unzip::kSuccess);
    EXPECT_EQ(testsupport::readFile(dir / "out" / "Übersicht-é.txt"), "1");
    EXPECT_EQ(testsupport::readFile(dir / "out" / "päth" / "ñ.txt"), "2");
}

TEST(UnzipStaging, ADamagedLaterItemLeavesTheDestinationAsItWas) {
    testsupport::TempDir dir;
    std::string later;
    for (int i = 0; i < 400; ++i)
        later += std::to_string(i * 7919 % 1000) + " ";
    testsupport::makeArchive(dir / "bad.zip", {{"a.txt", "first item"}, {"b.txt", later}});
    // Damage the second item's compressed data, behind its local header.
    auto bytes = testsupport::readFile(dir / "bad.zip");
    auto at = bytes.find("b.txt");
    ASSERT_NE(at, std::string::npos);
    for (std::size_t i = at + 20; i < at + 60; ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    testsupport::writeFile(dir / "bad.zip", bytes);
    fs::create_directory(dir / "out");
    testsupport::writeFile(dir / "out" / "a.txt", "kept");

    EXPECT_EQ(unzip::extractAll(dir.withSlash() + "bad.zip", dir.withSlash() + "out/"),
              unzip::kReadFailed);
    EXPECT_EQ(testsupport::readFile(dir / "out" / "a.txt"), "kept");
    EXPECT_EQ(namesIn(dir / "out"), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"bad.zip", "out"}));
}

TEST(UnzipStaging, ItemsLargerThanTheFreeSpaceAreRefusedBeforeAnythingIsWritten) {
    testsupport::TempDir dir;
    const auto disk = dir / "disk";
    fs::create_directory(disk);
    if (::geteuid() != 0 || ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    testsupport::makeArchive(dir / "big.zip",
                             {{"small.txt", "x"}, {"zeros.bin", std::string(4 << 20, '\0')}});
    const int result = unzip::extractAll(dir.withSlash() + "big.zip", disk.string() + "/out/");
    const auto left = namesIn(disk);
    ::umount(disk.c_str());
    EXPECT_EQ(result, unzip::kDiskFull);
    EXPECT_TRUE(left.empty());
}

} // namespace
