// tarnfield-batch never destroys a file: not the one it imports, not the host's, not a database
// another program is writing, and not the old database when the new one fails part-way, is
// killed or meets a full disk.
#include "jet/Database.h"
#include "support/Command.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using testsupport::quote;

const char* kGoodLine = "Abbott\tRuth\tK\t10 Harbor Road\t\tDover\tDE\t19901\tF\t123456001\t"
                        "1/11/1970\t3/1/2001\t4/1/2001\t\r\n";

class NothingLostTest : public testing::Test {
protected:
    void SetUp() override {
#ifndef TARNFIELD_DEMO_HOST_TOOL
        GTEST_SKIP() << "the demo host writer is built with the windows only";
#else
        ASSERT_EQ(
            testsupport::run(quote(TARNFIELD_DEMO_HOST_TOOL) + " " + quote(host.string())).status,
            0);
#endif
    }

    testsupport::Outcome batch(const fs::path& out, const fs::path& tab) {
        return testsupport::run(quote(TARNFIELD_BATCH_TOOL) + " --app-dir " + quote(host.string()) +
                                " --account 'Acme Manufacturing' --type EMPLOYEE --format "
                                "'Acme payroll export' --first-record 2 --out " +
                                quote(out.string()) + " " + quote(tab.string()));
    }
    // A TAB file of the demo's header and n good records.
    fs::path manyRecords(int n) {
        std::string text = testsupport::readFile(host / "employees-good.txt");
        text = text.substr(0, text.find('\n') + 1);
        for (int i = 0; i < n; ++i)
            text += kGoodLine;
        testsupport::writeFile(host / "many.txt", text);
        return host / "many.txt";
    }
    std::vector<std::string> partialFiles(const fs::path& folder) {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().filename().string().ends_with(".tarnfield-partial"))
                out.push_back(e.path().filename().string());
        return out;
    }

    testsupport::TempDir dir;
    fs::path host = dir / "host";
};

TEST_F(NothingLostTest, TheImportedFileAndTheHostsFilesAreRefused) {
    const auto tab = host / "employees-good.txt";
    const auto tabBytes = testsupport::readFile(tab);
    const auto accounts = testsupport::readFile(host / "Account.dat");
    for (const auto& out : {tab, host / "Account.dat"}) {
        SCOPED_TRACE(out.string());
        auto r = batch(out, tab);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(out.string()), std::string::npos) << r.err;
    }
    EXPECT_EQ(testsupport::readFile(tab), tabBytes);
    EXPECT_EQ(testsupport::readFile(host / "Account.dat"), accounts);

    fs::create_directory(host / "folder.txt");
    auto r = batch(host / "out.mdb", host / "folder.txt");
    EXPECT_NE(r.err.find("is a folder, not a TAB file"), std::string::npos) << r.err;
}

TEST_F(NothingLostTest, ADatabaseAnotherProgramWritesIsNotReplaced) {
    ASSERT_EQ(batch(host / "out.mdb", host / "employees-good.txt").status, 0);
    const auto before = testsupport::readFile(host / "out.mdb");
    auto held = jet::Database::OpenDatabase(host / "out.mdb", jet::OpenMode::ReadWrite);
    auto r = batch(host / "out.mdb", host / "employees-good.txt");
    held.Close();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find((host / "out.mdb").string() + " is open in another program"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(testsupport::readFile(host / "out.mdb"), before);
}

TEST_F(NothingLostTest, AKilledRunLeavesTheOldDatabaseAndTheNextRunClearsUp) {
    ASSERT_EQ(batch(host / "out.mdb", host / "employees-good.txt").status, 0);
    const auto before = testsupport::readFile(host / "out.mdb");
    const auto tab = manyRecords(50);

    setenv("TARNFIELD_CRASH_AT", "record:20", 1);
    auto killed = batch(host / "out.mdb", tab);
    unsetenv("TARNFIELD_CRASH_AT");
    EXPECT_EQ(killed.status, 128 + 9) << "not killed: " << killed.err;
    EXPECT_EQ(testsupport::readFile(host / "out.mdb"), before);
    EXPECT_EQ(partialFiles(host).size(), 1u) << "the killed run's partial file, by its name";

    auto r = batch(host / "out.mdb", tab);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("50 records written"), std::string::npos) << r.out;
    EXPECT_TRUE(partialFiles(host).empty());
}

// A small file system of its own: mounting one needs root.
class FullDisk {
public:
    explicit FullDisk(const fs::path& at, std::size_t bytes) : at_(at) {
        fs::create_directories(at);
        const auto options = "size=" + std::to_string(bytes);
        mounted_ =
            ::geteuid() == 0 && ::mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~FullDisk() {
        if (mounted_)
            ::umount(at_.c_str());
    }
    bool mounted() const { return mounted_; }

private:
    fs::path at_;
    bool mounted_ = false;
};

TEST_F(NothingLostTest, AFullDiskLeavesTheOldDatabaseAndSaysNoneWasMade) {
    const auto disk = dir / "disk";
    const auto templateSize = fs::file_size(host / "BRANDMDB.MDB");
    FullDisk full(disk, 2 * templateSize + 64 * 1024);
    if (!full.mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    fs::copy_file(host / "BRANDMDB.MDB", disk / "out.mdb");
    const auto before = testsupport::readFile(disk / "out.mdb");

    auto r = batch(disk / "out.mdb", manyRecords(20000));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No import database was made"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("record #"), std::string::npos) << r.err;
    EXPECT_EQ(testsupport::readFile(disk / "out.mdb"), before);
    EXPECT_TRUE(partialFiles(disk).empty());
}

} // namespace
