#include "backup/BackupCatalogue.h"

#include "support/SampleDatabases.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using backup::BackupCatalogue;

namespace {

TEST(BackupCatalogue, FindsTheDaysBackupsAndDetailsForTheCalendar) {
    testsupport::TempDir host;
    testsupport::writeSampleCatalogue(host / "sysrestore.mdb");
    BackupCatalogue catalogue(host.withSlash());
    ASSERT_TRUE(catalogue.exists());
    EXPECT_EQ(catalogue.daysWithBackups(12, 2026), (std::set<int>{1, 4}));
    EXPECT_EQ(catalogue.daysWithBackups(2, 2000), (std::set<int>{29}));
    EXPECT_TRUE(catalogue.daysWithBackups(1, 2026).empty());
    EXPECT_EQ(catalogue.backupsOfDay(12, 2026, backup::dayCaption(1)),
              (std::vector<std::string>{"1 - 09:15:02 AM - Weekly backup",
                                        "2 - 04:40:10 PM - Afternoon backup"}));
    EXPECT_TRUE(catalogue.backupsOfDay(12, 2026, backup::dayCaption(2)).empty());
    // Details are trimmed and joined by carriage returns.
    EXPECT_EQ(catalogue.details(4),
              "Name: Month end\rDate / Time: 11-28-2026 10:00:00 AM\r"
              "Backup Location: D:\\Backups\\2026-11-28\\\rNotes: trimmed notes");
    EXPECT_EQ(catalogue.details(99), "");

    // The calendar's weekdays and day captions.
    EXPECT_EQ(backup::weekdayOfFirst(2026, 12), 3); // a Tuesday
    EXPECT_EQ(backup::weekdayOfFirst(2026, 8), 7);  // a month starting on a Saturday
    EXPECT_EQ(backup::weekdayOfFirst(2000, 2), 3);
    EXPECT_EQ(backup::weekdayOfFirst(1999, 1), 6);
    EXPECT_EQ(backup::dayCaption(5), " 5 ");
    EXPECT_EQ(backup::dayCaption(12), " 12");
}

} // namespace
