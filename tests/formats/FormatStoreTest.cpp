#include "formats/FormatStore.h"

#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using formats::FormatStore;
using testing::ElementsAre;
using testsupport::TempDir;

namespace {

// One record as another program would write it from the layout.
std::string rawFormat(const std::string& name, const std::string& type,
                      const std::vector<std::string>& fields) {
    std::string r(2562, ' ');
    r.replace(0, name.size(), name);
    r.replace(50, type.size(), type);
    for (std::size_t k = 0; k < fields.size(); ++k)
        r.replace(62 + 50 * k, fields[k].size(), fields[k]);
    return r;
}

class FormatStoreTest : public testing::Test {
protected:
    TempDir dir;
    FormatStore store{dir.withSlash()};
    fs::path file() const { return dir / "Formats.Dat"; }
};

TEST_F(FormatStoreTest, AMissingStoreIsCreatedEmptyAndDeletingTheOnlyRecordEmptiesIt) {
    EXPECT_EQ(store.Count(), 0);
    EXPECT_TRUE(fs::exists(file()));
    EXPECT_EQ(fs::file_size(file()), 0u);
    EXPECT_FALSE(store.HasType("EMPLOYEE"));

    store.Append("Only", "RETIREE", {"Last Name"});
    store.DeleteByName("Only");
    ASSERT_TRUE(fs::exists(file()));
    EXPECT_EQ(fs::file_size(file()), 0u);
    EXPECT_EQ(store.Count(), 0);
}

TEST_F(FormatStoreTest, ReadsAStoreWrittenFromTheLayout) {
    testsupport::writeFile(file(), rawFormat("Payroll", "EMPLOYEE", {"Last Name", "  State"}) +
                                       rawFormat("  Other  ", "RETIREE", {}) +
                                       rawFormat("Payroll", "QUALIFIER", {"Gender (M/F)"}));
    EXPECT_EQ(store.Count(), 3);
    EXPECT_THAT(store.AllNames(), ElementsAre("Payroll", "Other", "Payroll"));
    EXPECT_THAT(store.NamesOfType("EMPLOYEE"), ElementsAre("Payroll"));
    EXPECT_TRUE(store.HasType("RETIREE"));
    EXPECT_FALSE(store.HasType("retiree")) << "type comparisons are exact";
    auto loaded = store.LoadFormat("EMPLOYEE", "Payroll");
    ASSERT_TRUE(loaded);
    EXPECT_THAT(loaded->chosenFields, ElementsAre("", "Last Name", "  State"));
}

TEST_F(FormatStoreTest, AppendWritesTheRecordByteForByte) {
    store.Append("  Weekly  ", " EMPLOYEE ", {"Last Name   ", "  Middle Initial", "   "});
    EXPECT_EQ(testsupport::readFile(file()),
              rawFormat("Weekly", "EMPLOYEE", {"Last Name", "  Middle Initial"}));
    store.Append(std::string(51, 'n') + "x", "QUALIFIER", {});
    EXPECT_EQ(store.Count(), 2);
    EXPECT_EQ(store.AllNames()[1], std::string(50, 'n'));
}

TEST_F(FormatStoreTest, LoadSkipsBlankPositionsAndTheLastMatchWins) {
    testsupport::writeFile(file(),
                           rawFormat("F", "EMPLOYEE", {"Last Name", "", "", "Date of Birth"}) +
                               rawFormat("F", "QUALIFIER", {"Other type"}) +
                               rawFormat("F", "EMPLOYEE", {"Gender (M/F)"}));
    auto loaded = store.LoadFormat("EMPLOYEE", "F");
    ASSERT_TRUE(loaded);
    EXPECT_THAT(loaded->chosenFields, ElementsAre("", "Gender (M/F)"));

    testsupport::writeFile(file(),
                           rawFormat("F", "EMPLOYEE", {"Last Name", "", "", "Date of Birth"}));
    EXPECT_THAT(store.LoadFormat("EMPLOYEE", "F")->chosenFields,
                ElementsAre("", "Last Name", "Date of Birth"));
    EXPECT_FALSE(store.LoadFormat("EMPLOYEE", "f"));
    EXPECT_FALSE(store.LoadFormat("RETIREE", "F"));
}

TEST_F(FormatStoreTest, DeletionsDropTheNameInEveryTypeWithTheirOwnCaseRules) {
    auto fill = [&] {
        testsupport::writeFile(file(), rawFormat("Same", "EMPLOYEE", {"a"}) +
                                           rawFormat("Keep", "EMPLOYEE", {"b"}) +
                                           rawFormat("Same", "QUALIFIER", {"c"}));
    };
    fill();
    store.DeleteByName("SAME");
    EXPECT_EQ(store.Count(), 3) << "an exact deletion ignores other letter cases";
    store.DeleteByName("Same");
    EXPECT_THAT(store.AllNames(), ElementsAre("Keep"));

    fill();
    store.DeleteByNameIgnoringCase("  SAME ");
    EXPECT_THAT(store.AllNames(), ElementsAre("Keep"));
    EXPECT_EQ(testsupport::readFile(file()), rawFormat("Keep", "EMPLOYEE", {"b"}));
    EXPECT_FALSE(fs::exists(dir / "Formats2.Dat"));
    EXPECT_FALSE(fs::exists(dir / "TempFormats.Dat"));
}

TEST_F(FormatStoreTest, ACrashBeforeTheReplacementLeavesTheOldStoreWhole) {
    store.Append("A", "EMPLOYEE", {"Last Name"});
    store.Append("B", "EMPLOYEE", {"First Name"});
    const auto before = testsupport::readFile(file());
    struct Crash {};
    store.beforeReplace = [] { throw Crash{}; };
    EXPECT_THROW(store.DeleteByName("A"), Crash);
    EXPECT_EQ(testsupport::readFile(file()), before);
    // The replacement was complete when the crash came.
    EXPECT_EQ(testsupport::readFile(dir / "TempFormats.Dat"),
              rawFormat("B", "EMPLOYEE", {"First Name"}));

    EXPECT_THROW(store.DeleteByNameIgnoringCase("b"), Crash);
    EXPECT_EQ(testsupport::readFile(file()), before);

    // A leftover replacement, longer than the store, never comes back.
    const auto ghost = rawFormat("Ghost", "EMPLOYEE", {"x"});
    testsupport::writeFile(dir / "TempFormats.Dat", ghost + ghost + ghost);
    store.beforeReplace = nullptr;
    store.DeleteByName("nothing by this name");
    EXPECT_THAT(store.AllNames(), ElementsAre("A", "B"));
    store.DeleteByNameIgnoringCase("b");
    EXPECT_THAT(store.AllNames(), ElementsAre("A"));
}

TEST_F(FormatStoreTest, TheStoreIsFoundInAnyLetterCase) {
    testsupport::writeFile(dir / "FORMATS.DAT", rawFormat("Upper", "EMPLOYEE", {"x"}));
    EXPECT_EQ(store.Count(), 1);
    // No second store beside it (on a file system that ignores case, it is the same file).
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

} // namespace
