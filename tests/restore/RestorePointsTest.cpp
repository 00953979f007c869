// What the host's data can go back to: the restore points an import leaves in an account's
// folder, and the catalogue of backups the calendar shows.
#include "restore/RestorePoints.h"

#include "backup/BackupCatalogue.h"
#include "support/SampleDatabases.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using backup::BackupCatalogue;
using restore::ImportType;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

// The host's restore names end in a 26-character stamp: the date, the time, an extension.
const std::string kStampA = "01-15-2026 at 10-30-05.dat";
const std::string kStampB = "02-01-2026 at 08-05-59.dat";
const std::string kStampC = "03-09-2026 at 23-59-00.dat";

class RestorePointsTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(host / "ACME" / "Restore");
        accountDir = host.withSlash() + "ACME\\";
    }
    fs::path restoreDir() { return host / "ACME" / "Restore"; }

    testsupport::TempDir host;
    std::string accountDir;
};

TEST_F(RestorePointsTest, ListsEachPointOfItsTypeWithItsOwnCompanions) {
    writeFile(restoreDir() / ("NEWHIRE" + kStampB), "person B");
    writeFile(restoreDir() / ("newhire" + kStampA), "person A");
    writeFile(restoreDir() / ("Newhire" + kStampC), "person C");
    writeFile(restoreDir() / ("Company_" + kStampA), "company A");
    writeFile(restoreDir() / ("Insplan_" + kStampA), "plan A");
    writeFile(restoreDir() / ("Insplan_" + kStampC), "plan C");
    writeFile(restoreDir() / ("Qualifer" + kStampA), "other type");

    auto points = restore::listRestorePoints(accountDir, ImportType::ActiveEmployees);
    ASSERT_TRUE(points);
    ASSERT_EQ(points->size(), 3u);
    EXPECT_EQ((*points)[0].Caption, "Restore Point - 02-01-2026 at 08:05:59");
    EXPECT_EQ((*points)[0].PersonFile, accountDir + "Restore\\NEWHIRE" + kStampB);
    EXPECT_EQ((*points)[0].CompanyFile, "");
    EXPECT_EQ((*points)[1].Caption, "Restore Point - 03-09-2026 at 23:59:00");
    EXPECT_EQ((*points)[1].PlanFile, accountDir + "Restore\\Insplan_" + kStampC);
    EXPECT_EQ((*points)[1].CompanyFile, "");
    EXPECT_EQ((*points)[2].CompanyFile, accountDir + "Restore\\Company_" + kStampA);
    EXPECT_EQ((*points)[2].PlanFile, accountDir + "Restore\\Insplan_" + kStampA);

    EXPECT_EQ(restore::listRestorePoints(accountDir, ImportType::Qualifiers)->size(), 1u);
    EXPECT_TRUE(restore::listRestorePoints(accountDir, ImportType::Retirees)->empty());
    EXPECT_FALSE(restore::listRestorePoints(host.withSlash() + "NONE\\", ImportType::Qualifiers));
    EXPECT_EQ(restore::captionFor("newhire"), "Restore Point - newhire at ::") << "short, no harm";
    // Retirees and participants share their files.
    writeFile(restoreDir() / ("particip" + kStampA), "participants");
    auto retirees = restore::listRestorePoints(accountDir, ImportType::Retirees);
    auto participants = restore::listRestorePoints(accountDir, ImportType::Participants);
    ASSERT_EQ(retirees->size(), 1u);
    EXPECT_EQ((*retirees)[0].PersonFile, (*participants)[0].PersonFile);
    EXPECT_STREQ(restore::personTarget(ImportType::Retirees), "Particip.dat");
    EXPECT_STREQ(restore::personTarget(ImportType::Participants), "Particip.dat");
}

TEST_F(RestorePointsTest, RestoresWhatTheCheckBoxesSay) {
    writeFile(restoreDir() / ("newhire" + kStampA), "old person");
    writeFile(restoreDir() / ("Company_" + kStampA), "old company");
    writeFile(restoreDir() / ("Insplan_" + kStampA), "old plan");
    auto point = restore::listRestorePoints(accountDir, ImportType::ActiveEmployees)->front();
    struct Case {
        bool company, plan;
    };
    for (auto [company, plan] :
         {Case{false, false}, Case{true, false}, Case{false, true}, Case{true, true}}) {
        writeFile(host / "ACME" / "NEWHIRE.DAT", "new person");
        writeFile(host / "ACME" / "COMPANY.DAT", "new company");
        writeFile(host / "ACME" / "INSPLAN.DAT", "new plan");
        restore::restoreFiles(point, accountDir, ImportType::ActiveEmployees, company, plan);
        EXPECT_EQ(readFile(host / "ACME" / "NEWHIRE.DAT"), "old person");
        EXPECT_EQ(readFile(host / "ACME" / "COMPANY.DAT"), company ? "old company" : "new company");
        EXPECT_EQ(readFile(host / "ACME" / "INSPLAN.DAT"), plan ? "old plan" : "new plan");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(host / "ACME"), fs::directory_iterator()), 4)
        << "no temporary file is left beside the targets";
}

TEST_F(RestorePointsTest, AFailedCopyNamesTheFileAndKeepsWhatWasRestored) {
    writeFile(restoreDir() / ("qualifer" + kStampA), "old person");
    writeFile(restoreDir() / ("Company_" + kStampA), "old company");
    auto point = restore::listRestorePoints(accountDir, ImportType::Qualifiers)->front();
    writeFile(host / "ACME" / "Company.dat", "new company");
    fs::remove(restoreDir() / ("Company_" + kStampA)); // gone since it was listed
    try {
        restore::restoreFiles(point, accountDir, ImportType::Qualifiers, true, true);
        FAIL() << "the vanished copy must be reported";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("Company.dat"), std::string::npos) << e.what();
    }
    EXPECT_EQ(readFile(host / "ACME" / "Qualifer.dat"), "old person");
    EXPECT_EQ(readFile(host / "ACME" / "Company.dat"), "new company") << "never half written";
}

// The days in red, the list of a day and the details are seen through the backup windows; here
// what they do not show.
TEST(BackupCatalogue, DetailsAreTrimmedAndTheCalendarStartsOnTheRightWeekday) {
    testsupport::TempDir host;
    testsupport::writeSampleCatalogue(host / "sysrestore.mdb");
    BackupCatalogue catalogue(host.withSlash());
    ASSERT_TRUE(catalogue.exists());
    EXPECT_EQ(catalogue.backupsOfDay(12, 2026, backup::dayCaption(1)),
              (std::vector<std::string>{"1 - 09:15:02 AM - Weekly backup",
                                        "2 - 04:40:10 PM - Afternoon backup"}));
    // Details are trimmed and joined by carriage returns.
    EXPECT_EQ(catalogue.details(4),
              "Name: Month end\rDate / Time: 11-28-2026 10:00:00 AM\r"
              "Backup Location: D:\\Backups\\2026-11-28\\\rNotes: trimmed notes");
    EXPECT_EQ(catalogue.details(99), "");
    EXPECT_EQ(backup::weekdayOfFirst(2026, 8), 7); // a month starting on a Saturday
    EXPECT_EQ(backup::weekdayOfFirst(2000, 2), 3);
    EXPECT_EQ(backup::weekdayOfFirst(1999, 1), 6);
}

} // namespace
