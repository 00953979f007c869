// The import database is made whole or not at all, and never in the place of a file the run or
// the host still needs; the records reach the template's tables. The windows and tarnfield-batch
// both go through MakeImportDatabase and RunImportInto, so these tests hold for both.
#include "hostdata/ImportDatabase.h"
#include "jet/Database.h"
#include "jet/PageFile.h"
#include "platform/ScriptedInteraction.h"
#include "sample/SampleDatabases.h"
#include "support/ImportInput.h"
#include "support/Rows.h"
#include "support/TempDir.h"
#include "wizard/ImportRun.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

using hostdata::ImportDatabaseMade;
using testsupport::columns;

class AtomicCreateTest : public testing::Test {
protected:
    void SetUp() override {
        sample::writeTemplate(dir / "BRANDMDB.MDB");
        sample::writeOneAccount(dir.path());
        testsupport::writeFile(dir / "import.txt", "Smith\tAnn\r\nJones\tAl\r\n");
        testsupport::writeFile(dir / "old.mdb", "the old database");
    }
    void TearDown() override { jet::setFileSizeLimit(jet::kAccessFileLimit); }

    hostdata::HostFolders host() const {
        return {dir.withSlash(), dir.withSlash() + "ACME/", (dir / "import.txt").string()};
    }
    std::optional<ImportDatabaseMade> make(const fs::path& target) {
        return hostdata::MakeImportDatabase(host(), ui, target.string());
    }
    wizard::ImportRunInput input(std::vector<std::string> labels = {"Last Name", "First Name"},
                                 int mode = 1, bool firstLineIsRecord = true) const {
        return testsupport::importInput(dir, std::move(labels), mode, firstLineIsRecord);
    }
    std::string lastMessage() const {
        auto m = ui.messages();
        return m.empty() ? std::string() : m.back().text;
    }

    testsupport::TempDir dir;
    platform::ScriptedInteraction ui;
};

TEST_F(AtomicCreateTest, FilesTheRunOrTheHostNeedsAreRefusedAndLeftAlone) {
    fs::create_directory(dir / "folder.mdb");
    testsupport::writeFile(dir / "Formats.Dat", "formats");
    testsupport::writeFile(dir / "ACME" / "other.mdb", "account file");
    const std::string accounts = testsupport::readFile(dir / "Account.dat");
    struct Case {
        fs::path target;
        const char* why;
    };
    for (const auto& c : {Case{dir / "import.txt", "the TAB file being imported"},
                          Case{dir / "Account.dat", "belongs to the Brandmoor program"},
                          Case{dir / "FORMATS.DAT", "belongs to the Brandmoor program"},
                          Case{dir / "ACME" / "other.mdb", "belongs to the Brandmoor program"},
                          Case{dir / "folder.mdb", "is a folder"}}) {
        SCOPED_TRACE(c.target.string());
        EXPECT_FALSE(make(c.target));
        EXPECT_NE(lastMessage().find(c.target.string()), std::string::npos) << lastMessage();
        EXPECT_NE(lastMessage().find(c.why), std::string::npos) << lastMessage();
    }
    EXPECT_EQ(testsupport::readFile(dir / "import.txt"), "Smith\tAnn\r\nJones\tAl\r\n");
    EXPECT_EQ(testsupport::readFile(dir / "Account.dat"), accounts);
    EXPECT_EQ(testsupport::readFile(dir / "Formats.Dat"), "formats");
    EXPECT_EQ(testsupport::readFile(dir / "ACME" / "other.mdb"), "account file");
    EXPECT_TRUE(fs::is_directory(dir / "folder.mdb"));
    EXPECT_TRUE(testsupport::partialFiles(dir.path()).empty());
}

TEST_F(AtomicCreateTest, ADatabaseOpenForWritingElsewhereIsNotReplaced) {
    sample::writeTemplate(dir / "open.mdb");
    const std::string before = testsupport::readFile(dir / "open.mdb");
    {
        auto held = jet::Database::OpenDatabase(dir / "open.mdb", jet::OpenMode::ReadWrite);
        EXPECT_FALSE(make(dir / "open.mdb"));
        EXPECT_NE(lastMessage().find((dir / "open.mdb").string() + " is open in another program"),
                  std::string::npos)
            << lastMessage();
        // Opened after the database was begun: the finish refuses, and says so.
        held.Close();
        auto made = make(dir / "open.mdb");
        ASSERT_TRUE(made);
        held = jet::Database::OpenDatabase(dir / "open.mdb", jet::OpenMode::ReadWrite);
        EXPECT_FALSE(hostdata::FinishImportDatabase(*made, ui, "record #7"));
        EXPECT_NE(lastMessage().find("No import database was made"), std::string::npos);
        EXPECT_NE(lastMessage().find("record #7"), std::string::npos);
        held.Close();
    }
    EXPECT_EQ(testsupport::readFile(dir / "open.mdb"), before);
    EXPECT_TRUE(testsupport::partialFiles(dir.path()).empty());
}

TEST_F(AtomicCreateTest, TheRecordsReachTheTablesAndTheTargetChangesOnlyWhenTheRunHasFinished) {
    testsupport::writeFile(dir / "import.txt", "Last\tFirst\tSSN\tQE\tMed\tFSA\tKid\r\n"
                                               "Smith\tAnn\t123456789\t1/5/2007\tBlue\t12.5\tBo\r\n"
                                               "Jones\tAl\t987654321\t@\t\tabc\t\r\n"
                                               "\tNo\t111111111\t1/1/2007\t\t\t\r\n");
    auto made = make(dir / "old.mdb");
    ASSERT_TRUE(made) << lastMessage();
    EXPECT_EQ(testsupport::readFile(dir / "old.mdb"), "the old database")
        << "nothing is replaced while the database is being made";
    ASSERT_EQ(testsupport::partialFiles(dir.path()).size(), 1u);

    auto r = wizard::RunImportInto(
        input({"Last Name", "First Name", "Social Security Number", "COBRA Qualifying Event Date",
               "  Medical Insurance Plan Name", "  Monthly Contribution towards Medical FSA",
               "  Child #1 Name"},
              3, false),
        *made, ui);
    EXPECT_EQ(r.outcome, wizard::RunOutcome::Completed) << r.stopCause;
    EXPECT_EQ(r.recordsWritten, 2);
    EXPECT_TRUE(testsupport::partialFiles(dir.path()).empty());
    EXPECT_NE(testsupport::readFile(dir / "ImportLog.doc")
                  .find("1)  In record #3, the mandatory field 'Last Name'"),
              std::string::npos);

    auto rows = [&](const char* table) {
        return testsupport::sortedBy(testsupport::engineRows(dir / "old.mdb", table),
                                     {"Employee_ID"});
    };
    auto people = rows("Qualifier_Information");
    ASSERT_EQ(people.size(), 2u);
    EXPECT_EQ(columns(people[1],
                      {"Employee_ID", "Last_Name", "Social", "Qualifying_Event_Date", "File_Type"}),
              "2|Jones|987-65-4321||Participant");
    auto plans = rows("Member_Insurance_Plan");
    ASSERT_EQ(plans.size(), 2u);
    EXPECT_EQ(columns(plans[0], {"SOCIAL", "Medical_FSA_Premium"}), "123-45-6789|12.5000");
    EXPECT_EQ(plans[1]["Medical_FSA_Premium"], "0.0000");
    EXPECT_EQ(rows("Dependent_Information").size(), 2u);
    EXPECT_TRUE(rows("Active_Employees").empty()) << "the template's rows are gone";
}

TEST_F(AtomicCreateTest, ARunWhoseDatabaseCannotTakeItsNameSaysSoInTheLog) {
    sample::writeTemplate(dir / "open.mdb");
    auto made = make(dir / "open.mdb");
    ASSERT_TRUE(made) << lastMessage();
    auto held = jet::Database::OpenDatabase(dir / "open.mdb", jet::OpenMode::ReadWrite);
    auto r = wizard::RunImportInto(input(), *made, ui);
    held.Close();
    EXPECT_EQ(r.outcome, wizard::RunOutcome::Stopped);
    ASSERT_EQ(ui.messages().size(), 1u) << "one message, not a second one for the stop";
    EXPECT_NE(lastMessage().find("No import database was made"), std::string::npos);
    const std::string log = testsupport::readFile(dir / "ImportLog.doc");
    EXPECT_EQ(log.find(wizard::kNoErrorSentence), std::string::npos) << log;
    EXPECT_NE(log.find("Every record was read, but the import database could not be saved: " +
                       (dir / "open.mdb").string() + " is open in another program"),
              std::string::npos)
        << log;
    EXPECT_TRUE(testsupport::partialFiles(dir.path()).empty());
}

TEST_F(AtomicCreateTest, NoUnfinishedDatabaseIsLeftBehindAndTheOldFileStays) {
    // Partial files of dead runs for the same target go; another target's stay.
    const auto dead = dir / "old.mdb.999999999.tarnfield-partial";
    const auto other = dir / "other.mdb.999999999.tarnfield-partial";
    testsupport::writeFile(dead, "half a database");
    testsupport::writeFile(other, "another target's");
    auto made = make(dir / "old.mdb");
    ASSERT_TRUE(made);
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(other));
    fs::remove(other);

    fs::remove(dir / "import.txt"); // a run that does not complete
    EXPECT_EQ(wizard::RunImportInto(input(), *made, ui).outcome, wizard::RunOutcome::MissingFile);
    EXPECT_EQ(testsupport::readFile(dir / "old.mdb"), "the old database");
    EXPECT_TRUE(testsupport::partialFiles(dir.path()).empty());

    auto again = make(dir / "new.mdb"); // a discard
    ASSERT_TRUE(again);
    hostdata::DiscardImportDatabase(*again);
    EXPECT_FALSE(fs::exists(dir / "new.mdb"));
    EXPECT_TRUE(testsupport::partialFiles(dir.path()).empty());

    fs::remove(dir / "BRANDMDB.MDB"); // a copy that fails
    EXPECT_FALSE(make(dir / "new.mdb"));
    EXPECT_NE(lastMessage().find("could not be copied"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "new.mdb"));
    EXPECT_TRUE(testsupport::partialFiles(dir.path()).empty());
}

TEST_F(AtomicCreateTest, TheSizeLimitStopsTheRunWithNothingWritten) {
    std::string tab;
    for (int i = 0; i < 3000; ++i)
        tab += "Name" + std::to_string(i) + "\tFirst" + std::to_string(i) + "\r\n";
    testsupport::writeFile(dir / "import.txt", tab);
    // Room for the template's copy and a few pages more.
    jet::setFileSizeLimit(fs::file_size(dir / "BRANDMDB.MDB") + 4 * 4096);
    auto made = make(dir / "old.mdb");
    ASSERT_TRUE(made) << lastMessage();
    auto r = wizard::RunImportInto(input(), *made, ui);
    EXPECT_EQ(r.outcome, wizard::RunOutcome::Stopped);
    EXPECT_TRUE(r.sizeLimit);
    EXPECT_GT(r.recordsWritten, 0);
    EXPECT_LT(r.recordsWritten, 3000);
    const std::string text = lastMessage();
    EXPECT_NE(text.find("larger than 2 GB"), std::string::npos) << text;
    EXPECT_NE(text.find("The " + std::to_string(r.recordsWritten) + " records before it fit"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("nothing was written"), std::string::npos) << text;
    EXPECT_EQ(testsupport::readFile(dir / "old.mdb"), "the old database");
    EXPECT_TRUE(testsupport::partialFiles(dir.path()).empty());
}

} // namespace
