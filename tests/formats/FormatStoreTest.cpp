// The field catalogue each file type starts from, and the store of saved formats: its records
// byte for byte as the host's programs lay them out, and a writer killed at any step leaving the
// old store or the new one, never a torn record.
#include "formats/FormatStore.h"

#include "formats/FieldCatalogue.h"
#include "support/Command.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using formats::defaultFieldList;
namespace fs = std::filesystem;
using formats::FormatStore;
using formats::isOptionalLabel;
using testing::ElementsAre;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
using Names = std::vector<std::string>;

namespace {

// The labels every type shares, before and after its own block, spelled as saved formats and
// TAB files carry them.
// clang-format off
const std::vector<std::string> kHead = {
    "Last Name", "First Name", "  Middle Initial", "Mailing Address", "  Address Overflow",
    "City (or City, State Zip)", "  State", "  Zip Code", "Gender (M/F)", "Social Security Number",
    "Date of Birth", "Employee's Hire Date", "Employee Benefits Start Date",
};
const std::vector<std::string> kTail = {
    "  Spouse's Name (Full Name)", "  Spouse's Social Sec. Number (###-##-####)",
    "  Spouse's Date of Birth",
    "  Child #1 Name", "  Child #1 Social (###-##-####)", "  Child #1 Date of Birth",
    "  Child #2 Name", "  Child #2 Social (###-##-####)", "  Child #2 Date of Birth",
    "  Child #3 Name", "  Child #3 Social (###-##-####)", "  Child #3 Date of Birth",
    "  Child #4 Name", "  Child #4 Social (###-##-####)", "  Child #4 Date of Birth",
    "  Child #5 Name", "  Child #5 Social (###-##-####)", "  Child #5 Date of Birth",
    "  Child #6 Name", "  Child #6 Social (###-##-####)", "  Child #6 Date of Birth",
    "  Medical Insurance Plan Name", "  Medical Ins. Coverage Type (Single, Family)",
    "  Dental Insurance Plan Name", "  Dental Ins. Coverage Type (Single, Family)",
    "  Other Insurance Plan Name #1", "  Other Plan #1 Coverage Type (Single, Family)",
    "  Other Insurance Plan Name #2", "  Other Plan #2 Coverage Type (Single, Family)",
    "  Other Insurance Plan Name #3", "  Other Plan #3 Coverage Type (Single, Family)",
};
// clang-format on

TEST(FieldCatalogue, EachTypeListsItsLabelsInOrder) {
    struct Case {
        int code;
        std::vector<std::string> block; // between the head and the tail
        bool fsa;                       // the FSA contribution last
    };
    for (const auto& c : {
             Case{1, {"  Date COBRA General Notice Provided"}, false},
             Case{2, {"Date Benefits Will be Terminated", "Qualifying Event Reason"}, true},
             Case{3,
                  {"COBRA Qualifying Event Date", "Qualifying Event Reason",
                   "Premium Paid Through Date"},
                  true},
             Case{4, {"Date Employee became a Retiree", "Premium Paid Through Date"}, true},
             Case{0, {}, false},
             Case{22, {}, false},
         }) {
        auto expected = kHead;
        expected.insert(expected.end(), c.block.begin(), c.block.end());
        expected.insert(expected.end(), kTail.begin(), kTail.end());
        if (c.fsa)
            expected.emplace_back("  Monthly Contribution towards Medical FSA");
        EXPECT_EQ(defaultFieldList(c.code), expected) << c.code;
    }
}

TEST(FieldCatalogue, OptionalMeansTwoLeadingBlanksAndEachTypeHasItsNames) {
    EXPECT_TRUE(isOptionalLabel("  State"));
    EXPECT_FALSE(isOptionalLabel(" State"));
    EXPECT_FALSE(isOptionalLabel("City (or City, State Zip)"));
    EXPECT_FALSE(isOptionalLabel(""));

    const auto& types = formats::fileTypes();
    ASSERT_EQ(types.size(), 4u);
    const char* const names[] = {"EMPLOYEE", "QUALIFIER", "PARTICIPANT", "RETIREE"};
    const char* const captions[] = {"Create an Active Employee Import Database",
                                    "Create a Qualified Beneficiary Import Database",
                                    "Create a COBRA Participant Import Database",
                                    "Create a Retiree Import Database"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(types[i].code, static_cast<int>(i) + 1);
        EXPECT_STREQ(types[i].name, names[i]);
        EXPECT_STREQ(formats::editorCaption(names[i]), captions[i]);
        EXPECT_EQ(formats::fileTypeByName(names[i]), &types[i]);
    }
    EXPECT_EQ(formats::editorCaption("retiree"), nullptr);
    EXPECT_EQ(formats::fileTypeByName("Retiree"), nullptr);
}

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

// A missing store created empty is seen as the main window starts.
TEST_F(FormatStoreTest, DeletingTheOnlyRecordEmptiesTheStore) {
    store.Append("Only", "RETIREE", {"Last Name"});
    store.DeleteByName("Only");
    ASSERT_TRUE(fs::exists(file()));
    EXPECT_EQ(fs::file_size(file()), 0u);
    EXPECT_EQ(store.Count(), 0);
}

TEST_F(FormatStoreTest, ReadsAStoreWrittenFromTheLayout) {
    writeFile(file(), rawFormat("Payroll", "EMPLOYEE", {"Last Name", "", "", "  State"}) +
                          rawFormat("  Other  ", "RETIREE", {}) +
                          rawFormat("Payroll", "QUALIFIER", {"Gender (M/F)"}));
    EXPECT_EQ(store.Count(), 3);
    EXPECT_THAT(store.AllNames(), ElementsAre("Payroll", "Other", "Payroll"));
    EXPECT_THAT(store.NamesOfType("EMPLOYEE"), ElementsAre("Payroll"));
    EXPECT_TRUE(store.HasType("RETIREE"));
    EXPECT_FALSE(store.HasType("retiree")) << "type comparisons are exact";
    EXPECT_THAT(store.LoadFormat("EMPLOYEE", "Payroll")->chosenFields,
                ElementsAre("", "Last Name", "  State"))
        << "blank positions are skipped";
    EXPECT_FALSE(store.LoadFormat("EMPLOYEE", "payroll"));
    EXPECT_FALSE(store.LoadFormat("RETIREE", "Payroll"));
    // Of two records of the type and name, the last wins.
    writeFile(file(), rawFormat("F", "EMPLOYEE", {"Last Name"}) +
                          rawFormat("F", "QUALIFIER", {"Other type"}) +
                          rawFormat("F", "EMPLOYEE", {"Gender (M/F)"}));
    EXPECT_THAT(store.LoadFormat("EMPLOYEE", "F")->chosenFields, ElementsAre("", "Gender (M/F)"));
}

TEST_F(FormatStoreTest, AppendWritesTheRecordByteForByte) {
    store.Append("  Weekly  ", " EMPLOYEE ", {"Last Name   ", "  Middle Initial", "   "});
    EXPECT_EQ(readFile(file()), rawFormat("Weekly", "EMPLOYEE", {"Last Name", "  Middle Initial"}));
    store.Append(std::string(51, 'n') + "x", "QUALIFIER", {});
    EXPECT_EQ(store.Count(), 2);
    EXPECT_EQ(store.AllNames()[1], std::string(50, 'n'));
}

TEST_F(FormatStoreTest, DeletionsDropTheNameInEveryTypeWithTheirOwnCaseRules) {
    auto fill = [&] {
        writeFile(file(), rawFormat("Same", "EMPLOYEE", {"a"}) +
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
    EXPECT_EQ(readFile(file()), rawFormat("Keep", "EMPLOYEE", {"b"}));
    EXPECT_FALSE(fs::exists(dir / "Formats2.Dat"));
    EXPECT_FALSE(fs::exists(dir / "TempFormats.Dat"));
}

TEST_F(FormatStoreTest, ACrashBeforeTheReplacementLeavesTheOldStoreWhole) {
    store.Append("A", "EMPLOYEE", {"Last Name"});
    store.Append("B", "EMPLOYEE", {"First Name"});
    const auto before = readFile(file());
    struct Crash {};
    store.beforeReplace = [] { throw Crash{}; };
    EXPECT_THROW(store.DeleteByName("A"), Crash);
    EXPECT_EQ(readFile(file()), before);
    // The replacement was complete when the crash came.
    EXPECT_EQ(readFile(dir / "TempFormats.Dat"), rawFormat("B", "EMPLOYEE", {"First Name"}));

    EXPECT_THROW(store.DeleteByNameIgnoringCase("b"), Crash);
    EXPECT_EQ(readFile(file()), before);
    // A leftover replacement, longer than the store, never comes back.
    const auto ghost = rawFormat("Ghost", "EMPLOYEE", {"x"});
    writeFile(dir / "TempFormats.Dat", ghost + ghost + ghost);
    store.beforeReplace = nullptr;
    store.DeleteByName("nothing by this name");
    EXPECT_THAT(store.AllNames(), ElementsAre("A", "B"));
    store.DeleteByNameIgnoringCase("b");
    EXPECT_THAT(store.AllNames(), ElementsAre("A"));
}

TEST_F(FormatStoreTest, TheStoreIsFoundInAnyLetterCase) {
    writeFile(dir / "FORMATS.DAT", rawFormat("Upper", "EMPLOYEE", {"x"}));
    EXPECT_EQ(store.Count(), 1);
    // No second store beside it (on a file system that ignores case, it is the same file).
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

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
testsupport::Outcome runWriter(const TempDir& folder, const std::string& args) {
    std::string command = testsupport::quote(TARNFIELD_STORE_WRITER) + " " +
                          testsupport::quote(folder.path().string()) + " " + args;
    return testsupport::run(command);
}

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
            TempDir dir;
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
    TempDir dir;
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
    TempDir dir;
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
