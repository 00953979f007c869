// The windows that put data back: the restore of the files an import replaced, and the backup
// windows with their calendar of backups.
#include "app/frmMainMenu.h"
#include "backup/frmCreatBackup.h"
#include "backup/frmRestoreData.h"
#include "backup/frmRestoreData2.h"
#include "backup/frmStartBackup.h"
#include "restore/frmRestore.h"
#include "support/SampleDatabases.h"
#include "support/WindowTest.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>

namespace fs = std::filesystem;
using backup::frmRestoreData;
using restore::frmRestore;

namespace {

class RestoreWindowTest : public testsupport::WindowTest {
protected:
    void SetUp() override {
        testsupport::writeAccounts(host / "Account.dat", {{"ACME\\", ""}});
        fs::create_directories(host / "ACME");
    }
};

TEST_F(RestoreWindowTest, TheRestoreCommandPutsTheChosenPointBack) {
    fs::create_directories(host / "ACME" / "Restore");
    testsupport::writeFile(host / "ACME" / "Restore" / "newhire01-15-2026 at 10-30-05.dat", "old");
    testsupport::writeFile(host / "ACME" / "Newhire.dat", "new");
    auto& main = startMainMenu();
    ui.clearTranscript();

    ui.queueAnswer(platform::Answer::Yes);
    whenOpens<frmRestore>([&](frmRestore& w) {
        EXPECT_FALSE(w.cboRestorePoint->isEnabled());
        EXPECT_FALSE(w.cmdRestore->isEnabled());
        EXPECT_TRUE(w.chkCompany->isChecked());
        w.cboType->setCurrentIndex(0);
        w.cboType_Click();
        ASSERT_EQ(w.cboRestorePoint->count(), 1);
        EXPECT_EQ(w.cboRestorePoint->itemText(0), "Restore Point - 01-15-2026 at 10:30:05");
        w.cboRestorePoint->setCurrentIndex(0);
        w.cboRestorePoint_Click();
        EXPECT_TRUE(w.cmdRestore->isEnabled());
        w.cmdRestore_Click();
    });
    main.mnuFileRestore->trigger();
    EXPECT_EQ(context.session.AccountDir, host.withSlash() + "ACME\\");
    EXPECT_EQ(titles(), (std::vector<std::string>{"Restore Data to the earlier date now?",
                                                  "Procedure Completed"}));
    EXPECT_EQ(testsupport::readFile(host / "ACME" / "Newhire.dat"), "old");
    EXPECT_EQ(context.session.ModeCode, session::mode::kNone);
    EXPECT_FALSE(context.windows.isLoaded<frmRestore>());
}

TEST_F(RestoreWindowTest, AnAccountWithoutRestoreFilesIsToldSo) {
    context.session.AccountDir = host.withSlash() + "ACME\\";
    auto& w = context.windows.get<frmRestore>();
    w.cboType->setCurrentIndex(2);
    w.cboType_Click();
    EXPECT_EQ(titles(), std::vector<std::string>{"No Restore Files Available"});
    fs::create_directories(host / "ACME" / "Restore");
    w.cboType_Click();
    EXPECT_EQ(titles().size(), 2u) << "an empty folder says the same";
    w.cmdRestore_Click();
    EXPECT_EQ(titles().back(), "Missing Information");

    ui.clearTranscript();
    testsupport::writeFile(host / "ACME" / "Restore" / "PARTICIP01-15-2026 at 10-30-05.dat", "old");
    w.cboType_Click();
    w.cboRestorePoint->setCurrentIndex(0);
    ui.queueAnswer(platform::Answer::No);
    w.cmdRestore_Click();
    EXPECT_FALSE(fs::exists(host / "ACME" / "Particip.dat")) << "No changes nothing";
    EXPECT_FALSE(context.windows.isLoaded<frmRestore>());
}

class BackupWindowsTest : public testsupport::WindowTest {
protected:
    void SetUp() override {
        context.today = [] { return dates::Date{2026, 12, 6}; };
        testsupport::writeSampleCatalogue(host / "sysrestore.mdb");
        // Month names follow the user's language; these tests read them in English.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    std::vector<int> redDays(const frmRestoreData& w) {
        std::vector<int> out;
        for (const auto& c : w.cells)
            if (c.visible && c.red)
                out.push_back(std::stoi(c.caption));
        return out;
    }
};

TEST_F(BackupWindowsTest, TheCalendarShowsTodaysMonthInTheUsersLanguageWithBackupDaysInRed) {
    auto& w = context.windows.get<frmRestoreData>();
    EXPECT_EQ(w.MonthYearLabel->text(), "December 2026");
    EXPECT_EQ(w.MonthList->currentText(), "12");
    EXPECT_EQ(w.YearList->currentText(), "2026");
    EXPECT_FALSE(w.cells[1].visible);
    EXPECT_EQ(w.cells[2].caption, " 1 ");
    EXPECT_EQ(w.cells[32].caption, " 31");
    EXPECT_FALSE(w.cells[33].visible);
    EXPECT_EQ(redDays(w), (std::vector<int>{1, 4}));
    EXPECT_TRUE(w.cells[7].today);
    EXPECT_EQ(w.selectedDay, " 6 ");
    EXPECT_TRUE(w.cells[7].outlined);
    EXPECT_EQ(w.lstRestorePoints->count(), 0);

    w.dateLabel_Click(2);
    ASSERT_EQ(w.lstRestorePoints->count(), 2);
    EXPECT_EQ(w.lstRestorePoints->item(0)->text(), "1 - 09:15:02 AM - Weekly backup");
    EXPECT_FALSE(w.cells[7].outlined);
    EXPECT_TRUE(w.cells[2].outlined);

    w.MonthDn_Click();
    EXPECT_EQ(w.MonthYearLabel->text(), "November 2026");
    EXPECT_EQ(redDays(w), (std::vector<int>{28}));
    EXPECT_EQ(w.selectedDay, " 1 ") << "the same day number stays selected";
    w.Monthup_Click();
    w.Monthup_Click();
    EXPECT_EQ(w.MonthYearLabel->text(), "January 2027");
    EXPECT_TRUE(redDays(w).empty());
    // Leap years count, and navigation stops at the ends of the year list.
    w.YearList->setCurrentIndex(2000 - 1999);
    w.MonthList->setCurrentIndex(1);
    EXPECT_EQ(redDays(w), (std::vector<int>{29}));
    w.YearList->setCurrentIndex(2100 - 1999);
    EXPECT_EQ(w.cells[std::size_t(backup::weekdayOfFirst(2100, 2) - 1 + 27)].caption, " 28");
    EXPECT_FALSE(w.cells[std::size_t(backup::weekdayOfFirst(2100, 2) - 1 + 28)].visible);

    w.YearList->setCurrentIndex(0);
    w.MonthList->setCurrentIndex(0);
    w.MonthDn_Click();
    w.YearDn_Click();
    EXPECT_EQ(w.MonthYearLabel->text(), "January 1999");
    w.YearList->setCurrentIndex(w.YearList->count() - 1);
    w.MonthList->setCurrentIndex(11);
    w.Monthup_Click();
    w.YearUp_Click();
    EXPECT_EQ(w.MonthYearLabel->text(), "December 2101");
    EXPECT_EQ(redDays(w), (std::vector<int>{31}));

    context.windows.unload<frmRestoreData>(); // the month is named in the user's language
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(context.windows.get<frmRestoreData>().MonthYearLabel->text(), "Dezember 2026");
}

TEST_F(BackupWindowsTest, NextShowsTheChosenBackupsDetails) {
    auto& w = context.windows.get<frmRestoreData>();
    w.cmdNext_Click();
    ASSERT_EQ(titles(), std::vector<std::string>{"Selection Error"});

    w.dateLabel_Click(5); // the 4th
    w.lstRestorePoints->setCurrentRow(0);
    QString details;
    whenOpens<backup::frmRestoreData2>([&](backup::frmRestoreData2& d) {
        details = d.lblDatatoRestore->text();
        d.cmdCancel_Click();
    });
    w.cmdNext_Click();
    EXPECT_EQ(context.session.SelectedBackupNumber, 3);
    EXPECT_EQ(details, "Name: Before import\nDate / Time: 12-4-2026 08:00:00 AM\nBackup Location: "
                       "D:\\Backups\\2026-12-04\\\nNotes: ACME import");
    EXPECT_FALSE(context.windows.isLoaded<frmRestoreData>());
}

TEST_F(BackupWindowsTest, TheStartWindowNeedsAChoiceAndTheCatalogueAndTheGroupsAreTheCompanies) {
    testsupport::writeFile(host / "ACCOUNT.DAT",
                           testsupport::accountRecord("", "Acme") + std::string(60, ' '));
    auto& group = context.windows.get<backup::frmCreatBackup>();
    EXPECT_EQ(context.session.AccountCount, 1) << "whole records only";
    ASSERT_EQ(group.cboCompanyName->count(), 2);
    EXPECT_EQ(group.cboCompanyName->itemText(1), "Complete Backup");
    group.cmdNext_Click();
    EXPECT_EQ(ui.messages().back().title, "Application Error");
    group.cboCompanyName->setCurrentIndex(1);
    group.cmdNext_Click();
    EXPECT_EQ(context.session.BackupGroup, "Complete Backup");
    EXPECT_EQ(ui.messages().back().icon, platform::Icon::Information);

    ui.clearTranscript();
    auto& start = context.windows.get<backup::frmStartBackup>();
    EXPECT_TRUE(start.cmdNext->isEnabled());
    start.cmdNext_Click();
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, "You need to select an option before you can continue.");
    context.windows.unload<backup::frmStartBackup>();
    fs::remove(host / "sysrestore.mdb");
    EXPECT_FALSE(context.windows.get<backup::frmStartBackup>().cmdNext->isEnabled());
    EXPECT_EQ(ui.messages().back().title, "Missing File");
}

} // namespace
