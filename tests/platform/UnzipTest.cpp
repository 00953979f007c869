#include "platform/Unzip.h"

#include "support/TempDir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <zip.h>

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

struct Entry {
    std::string name;
    std::string data;
    bool link = false;
};

// Builds a real archive with libzip.
void makeArchive(const fs::path& file, const std::vector<Entry>& entries) {
    int error = 0;
    zip_t* z = zip_open(file.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(z, nullptr);
    for (const auto& e : entries) {
        zip_int64_t index = -1;
        if (e.name.back() == '/') {
            index = zip_dir_add(z, e.name.c_str(), ZIP_FL_ENC_UTF_8);
        } else {
            // libzip frees the copy with the archive.
            char* copy = static_cast<char*>(std::malloc(e.data.size() + 1));
            std::memcpy(copy, e.data.data(), e.data.size());
            zip_source_t* src = zip_source_buffer(z, copy, e.data.size(), 1);
            index = zip_file_add(z, e.name.c_str(), src, ZIP_FL_ENC_UTF_8);
        }
        ASSERT_GE(index, 0) << e.name;
        if (e.link)
            zip_file_set_external_attributes(z, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                             (0120777u) << 16);
    }
    ASSERT_EQ(zip_close(z), 0);
}

TEST(Unzip, ExtractsEveryItemAndNamesTheFirstFile) {
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

TEST(Unzip, AReadOnlyTargetGives28AndKeepsItsContent) {
    TempDir dir;
    makeArchive(dir / "a.zip", {{"locked.dat", "new"}});
    fs::create_directory(dir / "out");
    writeFile(dir / "out" / "locked.dat", "old");
    fs::permissions(dir / "out" / "locked.dat", fs::perms::owner_read);
    EXPECT_EQ(unzip::extractAll(dir.withSlash() + "a.zip", dir.withSlash() + "out/"),
              unzip::kCannotCreate);
    EXPECT_EQ(readFile(dir / "out" / "locked.dat"), "old");
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
