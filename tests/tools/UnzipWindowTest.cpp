// The tools: unzipping an update and cleaning the account folders.
#include "support/Archive.h"
#include "support/WindowTest.h"
#include "tools/Dialog.h"
#include "tools/frmCleanUp.h"
#include "tools/frmUnzip.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>

namespace fs = std::filesystem;

namespace {

class ToolWindowsTest : public testsupport::WindowTest {
protected:
    void archive(const fs::path& file, const std::string& name, const std::string& data) {
        testsupport::makeArchive(file, {{name, data}});
    }

    tools::frmUnzip& browse(const fs::path& zipFile) {
        auto& w = context.windows.get<tools::frmUnzip>();
        ui.queueFile(zipFile.string());
        w.cmdBrowse_Click();
        ui.clearTranscript();
        return w;
    }
};

TEST_F(ToolWindowsTest, UnzipReplacesAnExistingFileIsReplacedOnlyWhenTheUserSaysSo) {
    archive(host / "update.zip", "Brandmoor.exe", "new program");
    testsupport::writeFile(host / "Brandmoor.exe", "old program");
    auto& w = browse(host / "update.zip");
    EXPECT_TRUE(w.cmdUnzipFile->isEnabled());
    EXPECT_EQ(w.DestDir, host.withSlash());

    ui.queueAnswer(platform::Answer::No);
    w.cmdUnzipFile_Click();
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_EQ(ui.messages()[0].title, "Confirm File Replace");
    EXPECT_EQ(ui.messages()[0].text, "This folder already contains a file named 'Brandmoor.exe'."
                                     "\n\nWould you like to replace the existing file?\n\n");
    EXPECT_EQ(ui.messages()[1].title, "Unzip Canceled");
    EXPECT_EQ(testsupport::readFile(host / "Brandmoor.exe"), "old program");

    ui.clearTranscript();
    ui.queueAnswer(platform::Answer::Yes);
    w.cmdUnzipFile_Click();
    EXPECT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(testsupport::readFile(host / "Brandmoor.exe"), "new program");
    EXPECT_FALSE(ui.busy());
}

TEST_F(ToolWindowsTest, ALongPathIsShortenedInTheLabelAndAChosenDestinationIsShownWhole) {
    const auto folder = host / "a folder whose name makes the whole path long enough";
    const auto target = host / "a destination folder with a name longer than the label";
    fs::create_directories(folder);
    fs::create_directories(target);
    archive(folder / "u.zip", "item.txt", "data");
    auto& w = browse(folder / "u.zip");
    EXPECT_EQ(w.lblUnzipTo->text().size(), 45);
    EXPECT_TRUE(w.lblUnzipTo->text().endsWith("~"));
    EXPECT_EQ(tools::shortenedPath(std::string(45, 'p')), std::string(45, 'p'));
    // The chooser opens on the archive's folder, selected: OK without a change keeps it.
    whenOpens<tools::Dialog>([&](tools::Dialog& d) {
        auto* model = static_cast<QFileSystemModel*>(d.Dir1->model());
        EXPECT_EQ(QDir::toNativeSeparators(model->filePath(d.Dir1->currentIndex())).toStdString(),
                  folder.string());
        d.OKButton_Click();
    });
    w.cmdBrowseDestination_Click();
    EXPECT_EQ(w.DestDir, (folder / "").string()) << "the folder itself, not its shortened name";

    whenOpens<tools::Dialog>([&](tools::Dialog& d) {
        EXPECT_GT(d.Drive1->count(), 0);
        d.Dir1->setCurrentIndex(static_cast<QFileSystemModel*>(d.Dir1->model())
                                    ->index(QString::fromStdString(target.string())));
        d.OKButton_Click();
    });
    w.cmdBrowseDestination_Click();
    EXPECT_EQ(w.DestDir, (target / "").string());
    EXPECT_EQ(w.lblUnzipTo->text().toStdString(), (target / "").string());
    w.cmdUnzipFile_Click();
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(testsupport::readFile(target / "item.txt"), "data");
}

TEST_F(ToolWindowsTest, ADamagedArchiveAndEachExtractionFailureAreToldAtTheWindow) {
    testsupport::writeFile(host / "broken.zip", "PK\x03\x04 not really");
    auto& w = browse(host / "broken.zip");
    w.cmdUnzipFile_Click();
    ASSERT_EQ(titles(), std::vector<std::string>{"Unzip Error"});
    EXPECT_TRUE(ui.messages()[0].text.starts_with(
        "The program has encountered an error and your file will not be unziped.\nPlease try "
        "again\nError Code: "));
    EXPECT_FALSE(ui.busy());
    context.windows.unload<tools::frmUnzip>();
    // A folder in the way of the item: the output file cannot be created.
    archive(host / "u.zip", "Brandmoor.exe", "new program");
    fs::create_directory(host / "Brandmoor.exe");
    browse(host / "u.zip").cmdUnzipFile_Click();
    ASSERT_EQ(titles(), std::vector<std::string>{"Unzip Error"});
    EXPECT_TRUE(ui.messages()[0].text.starts_with("During the extraction process the program must "
                                                  "be able to exclusively access and create"));
    context.windows.unload<tools::frmUnzip>();
    // An item that would land outside the destination: any other result, with its number.
    archive(host / "evil.zip", "../outside.txt", "x");
    browse(host / "evil.zip").cmdUnzipFile_Click();
    ASSERT_EQ(titles(), std::vector<std::string>{"Unzip Error"});
    EXPECT_EQ(ui.messages()[0].text, "There was an undefined unzip error51");
    EXPECT_FALSE(fs::exists(host.path().parent_path() / "outside.txt"));
    EXPECT_FALSE(ui.busy());
}

TEST_F(ToolWindowsTest, ACleanUpRunReportsTheCountAndTurnsCancelIntoDone) {
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
