#include "platform/Unzip.h"

#include "support/Archive.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

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

} // namespace
