// A writer of the format store killed at any step of an append or a deletion leaves the store
// whole: the old records or the new ones, never a torn record.
#include "formats/FormatStore.h"
#include "support/Command.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

void setCrashPoint(const std::string& value) {
#ifdef _WIN32
    _putenv_s("TARNFIELD_CRASH_AT", value.c_str());
#else
    if (value.empty())
        unsetenv("TARNFIELD_CRASH_AT");
    else
        setenv("TARNFIELD_CRASH_AT", value.c_str(), 1);
#endif
}

// The writer, changing the store in folder.
testsupport::Outcome runWriter(const testsupport::TempDir& folder, const std::string& args) {
    std::string command = testsupport::quote(TARNFIELD_STORE_WRITER) + " " +
                          testsupport::quote(folder.path().string()) + " " + args;
#ifdef _WIN32
    // cmd takes off the first and the last quote of a line that holds more than two.
    command = "\"" + command + "\"";
#endif
    return testsupport::run(command);
}

using Names = std::vector<std::string>;

struct Change {
    const char* op;
    const char* name;
    Names after;
};

TEST(StoreCrash, AWriterKilledAtAnyStepLeavesTheOldStoreOrTheNewOne) {
    const Names before{"Keep", "Gone"};
    for (const auto& change :
         {Change{"append", "New", {"Keep", "Gone", "New"}}, Change{"delete", "Gone", {"Keep"}}}) {
        for (int step = 1; step <= 4; ++step) {
            SCOPED_TRACE(std::string(change.op) + " killed at step " + std::to_string(step));
            testsupport::TempDir dir;
            formats::FormatStore store(dir.withSlash());
            for (const auto& name : before)
                store.Append(name, "EMPLOYEE", {"Last Name"});

            setCrashPoint("store:" + std::to_string(step));
            auto r = runWriter(dir, std::string(change.op) + " " + change.name);
            setCrashPoint("");
            EXPECT_NE(r.status, 0) << "the writer was not stopped";

            EXPECT_EQ(fs::file_size(dir / formats::kStoreFile) % formats::FormatRecord::kLength,
                      0u);
            EXPECT_EQ(store.AllNames(), step < 4 ? before : change.after);
        }
    }
}

TEST(StoreCrash, AKilledAppendsPartialFileIsClearedByTheNextAppend) {
    testsupport::TempDir dir;
    formats::FormatStore store(dir.withSlash());
    store.Append("Keep", "EMPLOYEE", {"Last Name"});
    setCrashPoint("store:3");
    EXPECT_NE(runWriter(dir, "append New").status, 0);
    setCrashPoint("");
    store.Append("Next", "EMPLOYEE", {"Last Name"});
    EXPECT_EQ(store.AllNames(), (Names{"Keep", "Next"}));
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename(), formats::kStoreFile);
}

TEST(StoreCrash, AReadOnlyStoreServesEveryReader) {
    testsupport::TempDir dir;
    formats::FormatStore store(dir.withSlash());
    store.Append("Payroll", "EMPLOYEE", {"Last Name", "First Name"});
    fs::permissions(dir / formats::kStoreFile,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(store.Count(), 1);
    EXPECT_EQ(store.NamesOfType("EMPLOYEE"), (Names{"Payroll"}));
    auto loaded = store.LoadFormat("EMPLOYEE", "Payroll");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->chosenFields, (Names{"", "Last Name", "First Name"}));
    fs::permissions(dir / formats::kStoreFile, fs::perms::owner_write, fs::perm_options::add);
}

} // namespace
