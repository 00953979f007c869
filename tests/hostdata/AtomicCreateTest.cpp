// The import database is made whole or not at all, and never in the place of a file the run or
// the host still needs: the windows and tarnfield-batch both go through MakeImportDatabase and
// RunImportInto, so these tests hold for both.
#include "hostdata/ImportDatabase.h"
#include "jet/Database.h"
#include "jet/PageFile.h"
#include "platform/ScriptedInteraction.h"
#include "sample/SampleDatabases.h"
#include "support/TempDir.h"
#include "wizard/ImportRun.h"
#include "wizard/TabVerifier.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

using hostdata::ImportDatabaseMade;

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
    wizard::ImportRunInput input() const {
        wizard::ImportRunInput in;
        in.ModeCode = 1;
        in.AppDir = dir.withSlash();
        in.TabPath = (dir / "import.txt").string();
        in.labels = {"Last Name", "First Name"};
        in.DateFlags = wizard::initialDateFlags(in.labels);
        in.firstLineIsRecord = true;
        return in;
    }
    // Names in the folder that belong to no test set-up: what a run left behind.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path().filename().string().find("tarnfield-partial") != std::string::npos)
                out.push_back(e.path().filename().string());
        return out;
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
    EXPECT_TRUE(leftovers().empty());
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
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(AtomicCreateTest, TheTargetChangesOnlyWhenTheRunHasFinished) {
    auto made = make(dir / "old.mdb");
    ASSERT_TRUE(made) << lastMessage();
    EXPECT_EQ(testsupport::readFile(dir / "old.mdb"), "the old database")
        << "nothing is replaced while the database is being made";
    ASSERT_EQ(leftovers().size(), 1u);

    auto r = wizard::RunImportInto(input(), *made, ui);
    EXPECT_EQ(r.outcome, wizard::RunOutcome::Completed) << lastMessage();
    EXPECT_TRUE(leftovers().empty());
    auto db = jet::Database::OpenDatabase(dir / "old.mdb", jet::OpenMode::ReadOnly);
    EXPECT_EQ(db.OpenRecordset("Active_Employees").RecordCount(), 2);
    db.Close();
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
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(AtomicCreateTest, ARunThatDoesNotCompleteOrADiscardLeavesTheOldFile) {
    auto made = make(dir / "old.mdb");
    ASSERT_TRUE(made);
    fs::remove(dir / "import.txt");
    auto r = wizard::RunImportInto(input(), *made, ui);
    EXPECT_EQ(r.outcome, wizard::RunOutcome::MissingFile);
    EXPECT_EQ(testsupport::readFile(dir / "old.mdb"), "the old database");
    EXPECT_TRUE(leftovers().empty());

    auto again = make(dir / "new.mdb");
    ASSERT_TRUE(again);
    hostdata::DiscardImportDatabase(*again);
    EXPECT_FALSE(fs::exists(dir / "new.mdb"));
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(AtomicCreateTest, PartialFilesOfDeadRunsGoAndAFailedCopyLeavesNothing) {
    const auto dead = dir / "old.mdb.999999999.tarnfield-partial";
    testsupport::writeFile(dead, "half a database");
    testsupport::writeFile(dir / "other.mdb.999999999.tarnfield-partial", "another target's");
    auto made = make(dir / "old.mdb");
    ASSERT_TRUE(made);
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(dir / "other.mdb.999999999.tarnfield-partial"));
    hostdata::DiscardImportDatabase(*made);
    fs::remove(dir / "other.mdb.999999999.tarnfield-partial");

    fs::remove(dir / "BRANDMDB.MDB");
    EXPECT_FALSE(make(dir / "new.mdb"));
    EXPECT_NE(lastMessage().find("could not be copied"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "new.mdb"));
    EXPECT_TRUE(leftovers().empty());
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
    EXPECT_TRUE(leftovers().empty());
}

} // namespace
