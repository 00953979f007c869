#include "app/frmMainMenu.h"
#include "restore/frmRestore.h"
#include "support/WindowTest.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

namespace fs = std::filesystem;
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

} // namespace
