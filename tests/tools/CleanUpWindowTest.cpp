#include "support/WindowTest.h"
#include "tools/frmCleanUp.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace fs = std::filesystem;

namespace {

class CleanUpWindowTest : public testsupport::WindowTest {
protected:
    void SetUp() override { context.session.AppDir = host.withSlash(); }
};

TEST_F(CleanUpWindowTest, ARunReportsTheCountAndTurnsCancelIntoDone) {
    // Without accounts nothing happens and nothing is said.
    context.windows.get<tools::frmCleanUp>().cmdEval_Click();
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(context.windows.get<tools::frmCleanUp>().Label3->text(), "");
    EXPECT_EQ(context.windows.get<tools::frmCleanUp>().cmdCancel->text(), "&Cancel");
    context.windows.unload<tools::frmCleanUp>();

    testsupport::writeAccounts(host / "Account.dat", {{"ACME\\", ""}});
    fs::create_directory(host / "ACME");
    for (const char* name : {"1.dat", "12.tmp", "INSPLAN.DAT"})
        testsupport::writeFile(host / "ACME" / name, "x");

    auto& w = context.windows.get<tools::frmCleanUp>();
    EXPECT_TRUE(w.lblCleanData->text().contains("backing up your data.  \n\nNote: It is not"));
    EXPECT_TRUE(w.ProgressBar1->isHidden());
    w.cmdEval_Click();
    EXPECT_TRUE(
        w.Label3->text().startsWith("1 file(s) have been removed from your hard drive.\n\n"));
    EXPECT_EQ(w.Label1->text(), "Scan Complete!");
    EXPECT_EQ(w.Label2->text(), "Done...");
    EXPECT_EQ(w.cmdCancel->text(), "&Done");
    EXPECT_EQ(w.ProgressBar1->value(), 1);
    EXPECT_EQ(context.session.AccountDir, host.withSlash() + "ACME\\");
    EXPECT_FALSE(ui.busy());
    w.cmdCancel_Click();
    EXPECT_FALSE(context.windows.isLoaded<tools::frmCleanUp>());
}

} // namespace
