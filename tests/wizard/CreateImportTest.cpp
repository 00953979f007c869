// The wizard's last steps: the company the import goes to, the first record, and Create making
// the database, importing the records, showing the message and opening the log.
#include "app/frmMainMenu.h"
#include "platform/HostPath.h"
#include "sample/SampleDatabases.h"
#include "support/Rows.h"
#include "support/WindowTest.h"
#include "wizard/ImportRun.h"
#include "wizard/frmStepFour.h"
#include "wizard/frmStepThree.h"
#include "wizard/frmStepTwo.h"
#include "wizard/frmTab.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

using platform::Icon;
using Kind = platform::ScriptedInteraction::Kind;
using wizard::frmStepFour;
using wizard::frmStepThree;
using wizard::frmStepTwo;

namespace {

class CreateImportTest : public testsupport::WindowTest {
protected:
    void SetUp() override {
        sample::writeTemplate(host / "BRANDMDB.MDB");
        sample::writeOneAccount(host.path());

        auto& s = context.session;
        s.ModeCode = session::mode::kEmployee;
        s.FileTypeName = "EMPLOYEE";
        s.FormatSource = session::source::kSavedFormat;
        s.ChosenFields = {"",
                          "Last Name",
                          "First Name",
                          "Social Security Number",
                          "Date of Birth",
                          "  Child #1 Name"};
    }

    // Structure and verification; with one account, Next leads straight to the first record.
    frmStepFour& walkToStepFour(const std::string& tab) {
        testsupport::writeFile(host / "staff.txt", tab);
        context.windows.get<wizard::frmTab>();
        auto& two = context.windows.get<frmStepTwo>();
        ui.queueFile(host.withSlash() + "staff.txt");
        two.cmdBrowse_Click();
        two.cmdVerify_Click();
        EXPECT_TRUE(two.cmdNext->isEnabled()) << "the file verifies";
        two.cmdNext_Click();
        EXPECT_EQ(context.session.AccountCount, 1);
        EXPECT_FALSE(context.windows.isLoaded<frmStepThree>());
        auto* four = context.windows.find<frmStepFour>();
        EXPECT_NE(four, nullptr);
        EXPECT_TRUE(four->isVisible());
        ui.clearTranscript();
        return *four;
    }
    void accounts(std::initializer_list<std::pair<std::string, std::string>> list) {
        testsupport::writeAccounts(host / "Account.dat", list);
    }
};

const char* kStaff = "Name\tFirst\tSSN\tBorn\tKid\r\n"
                     "Smith\tAnn\t123456789\t1/5/1970\tBo\r\n"
                     "\tNo\t111111111\t2/2/1972\t\r\n"
                     "Jones\tAl\t987654321\t3/3/1973\t\r\n";

TEST_F(CreateImportTest, CreateMakesTheDatabaseImportsAndOpensTheLog) {
    auto& four = walkToStepFour(kStaff);
    EXPECT_FALSE(four.cmdCreate->isEnabled()) << "until the first record is chosen";
    four.optTwo->click();
    EXPECT_TRUE(four.cmdCreate->isEnabled());
    const std::string out = host.withSlash() + "Import1.mdb";
    ui.queueFile(out);
    four.cmdCreate->click();

    auto messages = ui.messages();
    ASSERT_EQ(messages.size(), 1u) << messages.at(0).text;
    EXPECT_EQ(messages[0].title, "Import Database has been Created");
    EXPECT_EQ(messages[0].icon, Icon::Information);
    EXPECT_EQ(messages[0].text,
              "Your Access database Import File has been created.  Next, enter the Brandmoor "
              "software and select the Import Data from Database option.  Find the file you just "
              "created and import it.  A report will notify you of the individuals imported into "
              "the system.\n\nRemember, the system will not import employees if the data "
              "structure is incorrect (i.e. invalid dates in a date field) or mandatory "
              "information is missing.  We have created an import log.  Click the Ok button to "
              "review and print it.");
    EXPECT_EQ(ui.progressDone(), 3) << "the progress window followed every record";
    EXPECT_EQ(ui.progressFinishing(), "Saving the import database");
    ASSERT_FALSE(ui.transcript().empty());
    // WordPad opens the log where it is installed (Windows), the shell elsewhere.
    const auto log = host.withSlash() + "ImportLog.doc";
    const auto wordPad = wizard::wordPadPath();
    if (!wordPad.empty() && hostpath::isFile(wordPad)) {
        EXPECT_EQ(ui.transcript().back().kind, Kind::Program);
        EXPECT_EQ(ui.transcript().back().text, "\"" + wordPad + "\" " + log);
    } else {
        EXPECT_EQ(ui.transcript().back().kind, Kind::Shell);
        EXPECT_EQ(ui.transcript().back().text, log);
    }
    QApplication::processEvents();
    EXPECT_FALSE(context.windows.isLoaded<frmStepFour>()) << "Create unloads its window";
    EXPECT_TRUE(context.windows.isLoaded<frmStepTwo>()) << "the others stay as they were";
    EXPECT_EQ(context.session.ImportDatabase, nullptr) << "closed for the host to read";

    EXPECT_EQ(testsupport::readFile(host / "ImportLog.doc"),
              "ACTIVE EMPLOYEE IMPORT FILE CREATION LOG\n" + std::string(40, '-') +
                  "\n\n1)  In record #2, the mandatory field 'Last Name' was not entered.  This "
                  "record will not be imported.\n\n");
    auto people = testsupport::sortedBy(
        testsupport::engineRows(host / "Import1.mdb", "Active_Employees"), {"Employee_ID"});
    ASSERT_EQ(people.size(), 2u);
    EXPECT_EQ(testsupport::columns(people[1], {"Employee_ID", "Last_Name", "EmployeeDOB"}),
              "2|Jones|03/03/1973");
}

TEST_F(CreateImportTest, TheFirstTwoLinesAreShownWithTabsAsCommasAndPreviousGoesBack) {
    auto& four = walkToStepFour("  Name\tFirst\tSSN\tBorn\tKid\r\n\r\n");
    // Blanks before the text go; the line ends stay in the texts, as read, and show as nothing.
    EXPECT_EQ(four.lblrecord1->text(), "Name, First, SSN, Born, Kid\r\n");
    EXPECT_EQ(four.lblrecord2->text(), "\r\n");
    EXPECT_EQ(context.session.AccountDir, host.withSlash() + "ACME\\");
    four.cmdPrevious_Click();
    EXPECT_FALSE(four.isVisible());
    EXPECT_TRUE(context.windows.find<frmStepTwo>()->isVisible());
}

TEST_F(CreateImportTest, ACancelOrAMissingFileKeepsTheWindowForAnotherCreate) {
    auto& four = walkToStepFour(kStaff);
    four.optOne->click();
    // The preview's count reads the file on a thread; Windows refuses to delete a file still
    // open, so the file goes only once the count is in.
    QTRY_COMPARE(four.lblPreview->text(),
                 QStringLiteral("4 records: 2 will be imported, 2 will be rejected"));
    four.cmdCreate->click(); // the save dialog is cancelled
    EXPECT_EQ(context.session.ModeCode, session::mode::kEmployee);
    EXPECT_TRUE(four.isVisible());
    EXPECT_TRUE(ui.messages().empty());
    // The file gone since verification: only the missing-file message, no log.
    std::filesystem::remove(host / "staff.txt");
    ui.queueFile(host.withSlash() + "Import3.mdb");
    four.cmdCreate->click();
    EXPECT_EQ(titles(), std::vector<std::string>{"Missing File"});
    for (const auto& e : ui.transcript())
        EXPECT_NE(e.kind, Kind::Shell) << "no log is opened";
    EXPECT_TRUE(context.windows.isLoaded<frmStepFour>());
    EXPECT_FALSE(std::filesystem::exists(host / "ImportLog.doc"));

    testsupport::writeFile(host / "staff.txt", kStaff);
    ui.clearTranscript();
    ui.queueFile(host.withSlash() + "Import2.mdb");
    four.cmdCreate->click();
    EXPECT_EQ(titles(), std::vector<std::string>{"Import Database has been Created"});
    // With "Record #1" the header is a record, rejected for its date.
    EXPECT_NE(testsupport::readFile(host / "ImportLog.doc")
                  .find("1)  In record #1, the date field called 'Date of Birth' had an invalid "
                        "date (Born)."),
              std::string::npos);
}

TEST_F(CreateImportTest, ThePreviewShowsTheRecordsAsStoredAndCountsTheWholeFile) {
    auto& four = walkToStepFour(kStaff);
    EXPECT_EQ(four.grdPreview->rowCount(), 0) << "nothing until the first record is chosen";
    four.optTwo->click();
    auto* grid = four.grdPreview;
    ASSERT_EQ(grid->columnCount(), 5);
    EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), "Social Security Number");
    ASSERT_EQ(grid->rowCount(), 3);
    EXPECT_EQ(grid->verticalHeaderItem(0)->text(), "#1");
    EXPECT_EQ(grid->item(0, 2)->text(), "123-45-6789");
    EXPECT_EQ(grid->item(0, 3)->text(), "01/05/1970");
    const QString reason = "In record #2, the mandatory field 'Last Name' was not entered.  This "
                           "record will not be imported.";
    EXPECT_EQ(grid->item(1, 1)->toolTip(), reason);
    EXPECT_EQ(grid->verticalHeaderItem(1)->toolTip(), reason);
    EXPECT_NE(grid->item(1, 1)->background(), grid->item(0, 1)->background())
        << "a rejected record is marked";
    QTRY_COMPARE(four.lblPreview->text(),
                 QStringLiteral("3 records: 2 will be imported, 1 will be rejected"));

    // Read from the header line on, the header is a record rejected for its date.
    four.optOne->click();
    ASSERT_EQ(grid->rowCount(), 4);
    EXPECT_EQ(grid->item(0, 0)->text(), "Name");
    EXPECT_NE(grid->item(0, 0)->toolTip().indexOf("invalid date (Born)"), -1);
    QTRY_COMPARE(four.lblPreview->text(),
                 QStringLiteral("4 records: 2 will be imported, 2 will be rejected"));
    EXPECT_TRUE(ui.messages().empty());
}

// Checked and logged in the middle of a line, stored without a check at its end: the run leaves
// out both dates, and the preview marks both.
TEST_F(CreateImportTest, ADateThePreviewedRecordLosesIsMarkedInItsCell) {
    context.session.ChosenFields.push_back("  Child #1 Date of Birth");
    context.session.ChosenFields.push_back("  Child #2 Date of Birth");
    auto& four = walkToStepFour("Smith\tAnn\t123456789\t1/5/1970\tBo\tsoon\tlater\r\n"
                                "Jones\tAl\t987654321\t3/3/1973\tCy\t4/4/2004\t@\r\n");
    four.optOne->click();
    auto* grid = four.grdPreview;
    ASSERT_EQ(grid->rowCount(), 2);
    const auto plain = grid->item(1, 4)->background();
    EXPECT_EQ(grid->item(0, 4)->background(), plain) << "the record itself is imported";
    for (int column : {5, 6}) {
        EXPECT_EQ(grid->item(0, column)->text(), "") << column;
        EXPECT_NE(grid->item(0, column)->background(), plain) << column;
    }
    EXPECT_NE(grid->item(0, 5)->toolTip().indexOf("no date will be imported"), -1);
    EXPECT_NE(grid->item(0, 6)->toolTip().indexOf("not a date"), -1);
    EXPECT_EQ(grid->item(1, 5)->text(), "04/04/2004");
    EXPECT_EQ(grid->item(1, 6)->background(), plain) << "\"@\" is no date on purpose";
}

TEST_F(CreateImportTest, CancelDuringCreateLeavesNoDatabaseAndTheTemplateAsItWas) {
    std::string tab = "Name\tFirst\tSSN\tBorn\tKid\r\n";
    for (int i = 0; i < 40; ++i)
        tab += "Smith\tAnn\t123456789\t1/5/1970\tBo\r\n";
    auto& four = walkToStepFour(tab);
    four.optTwo->click();
    const auto templateBefore = testsupport::readFile(host / "BRANDMDB.MDB");
    testsupport::writeFile(host / "Import1.mdb", "an earlier import");
    // At the start, in the middle, and after the last record.
    for (int at : {0, 17, 40}) {
        ui.clearTranscript();
        ui.cancelProgressAt(at);
        ui.queueAnswer(platform::Answer::Yes); // to replace the earlier import
        ui.queueFile(host.withSlash() + "Import1.mdb");
        four.cmdCreate->click();
        EXPECT_TRUE(ui.messages().empty() ||
                    ui.messages().back().title != "Import Database has been Created");
        for (const auto& e : ui.transcript()) {
            EXPECT_NE(e.kind, Kind::Shell) << "no log is opened";
            if (e.kind == Kind::Progress) {
                EXPECT_EQ(e.detail, "40") << "the records of the file, the header line not";
            }
        }
        EXPECT_EQ(ui.progressDone(), at);
        EXPECT_EQ(ui.progressFinishing(), "") << "a cancelled run saves nothing";
        EXPECT_EQ(testsupport::readFile(host / "Import1.mdb"), "an earlier import");
        EXPECT_EQ(testsupport::readFile(host / "BRANDMDB.MDB"), templateBefore);
        EXPECT_TRUE(testsupport::partialFiles(host.path()).empty());
        EXPECT_TRUE(testsupport::readFile(host / "ImportLog.doc")
                        .ends_with("The import was cancelled after " + std::to_string(at) +
                                   " records.  No import database was made.\n\n"));
        EXPECT_TRUE(context.windows.isLoaded<frmStepFour>()) << "for another Create";
        EXPECT_EQ(context.session.ImportDatabase, nullptr);
    }
}

TEST_F(CreateImportTest, TheFirstAccountOfAChosenNameIsUsed) {
    accounts({{"ONE\\", "Twin Co"}, {"TWO\\", "Twin Co"}, {"OTHER\\", "Other"}});
    auto& three = context.windows.get<frmStepThree>();
    EXPECT_EQ(context.session.AccountCount, 3);
    ASSERT_EQ(three.cboCompany->count(), 3);
    three.show();
    QTest::keyClick(&three, Qt::Key_Return); // Enter is Next
    ASSERT_EQ(titles(), std::vector<std::string>{"Missing Information"});
    EXPECT_EQ(ui.messages()[0].icon, platform::Icon::Critical) << "Next's message, not Previous";
    EXPECT_FALSE(context.windows.isLoaded<frmStepFour>());

    three.cboCompany->setCurrentIndex(1);
    three.cmdNext_Click();
    EXPECT_EQ(context.session.AccountDir, host.withSlash() + "ONE\\");
    ASSERT_TRUE(context.windows.isLoaded<frmStepFour>());
    context.windows.find<frmStepFour>()->cmdPrevious_Click();
    EXPECT_TRUE(three.isVisible()) << "back to the company choice, which is kept";
    EXPECT_EQ(three.cboCompany->currentIndex(), 1);

    context.windows.find<frmStepFour>()->cmdCancel_Click();
    EXPECT_FALSE(context.windows.isLoaded<frmStepThree>());
    EXPECT_FALSE(context.windows.isLoaded<frmStepFour>());
}

TEST_F(CreateImportTest, TheRestoreFlowChoosesOnlyTheAccount) {
    accounts({{"ACME\\", "Acme"}, {"HARBOR\\", "Harbor"}});
    context.session.ModeCode = session::mode::kRestore;
    auto& three = context.windows.get<frmStepThree>();
    EXPECT_EQ(three.windowTitle(), "Restore Date to the point prior to Import");
    EXPECT_TRUE(three.cmdNext->isHidden());
    EXPECT_EQ(three.cmdPrevious->text(), "&Ok");
    EXPECT_EQ(three.cmdCancel->x(), static_cast<int>(0.6 * three.width()));
    EXPECT_EQ(three.cmdPrevious->x(), static_cast<int>(0.2 * three.width()));

    three.cmdPrevious_Click();
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].icon, platform::Icon::Information);
    EXPECT_TRUE(context.windows.isLoaded<frmStepThree>());
    three.cboCompany->setCurrentIndex(1);
    three.show();
    QTest::keyClick(&three, Qt::Key_Return); // Enter is OK here
    EXPECT_EQ(context.session.AccountDir, host.withSlash() + "HARBOR\\");
    EXPECT_FALSE(context.windows.isLoaded<frmStepThree>());
    EXPECT_EQ(context.session.ModeCode, session::mode::kRestore);

    context.windows.get<frmStepThree>().cmdCancel_Click();
    EXPECT_EQ(context.session.ModeCode, session::mode::kCancelled);
}

TEST_F(CreateImportTest, RestoreDuringAnImportUsesItsOwnFormAndLeavesTheWizardAsItWas) {
    accounts({{"ACME\\", "Acme"}, {"HARBOR\\", "Harbor"}});
    auto& menu = startMainMenu();
    context.session.ModeCode = session::mode::kQualifier;
    context.session.AccountDir = host.withSlash() + "HARBOR\\";
    auto& wizardChooser = context.windows.get<frmStepThree>();
    wizardChooser.cboCompany->setCurrentIndex(1);
    wizardChooser.show();

    bool restoreForm = false;
    whenOpens<frmStepThree>([&](frmStepThree& chooser) {
        restoreForm = chooser.cmdNext->isHidden() && chooser.cboCompany->currentIndex() == -1;
        chooser.cboCompany->setCurrentIndex(0);
        testsupport::whenModalOpens([&] { // the restore window: leave it
            if (auto* restore = QApplication::activeModalWidget())
                restore->close();
        });
        chooser.cmdPrevious_Click(); // "&Ok"
    });
    menu.mnuFileRestore_Click();
    EXPECT_TRUE(restoreForm) << "the restore form, not the wizard's";
    EXPECT_FALSE(context.windows.isLoaded<frmStepFour>());
    EXPECT_EQ(context.session.ModeCode, session::mode::kQualifier);
    EXPECT_EQ(context.session.AccountDir, host.withSlash() + "HARBOR\\");
    auto* back = context.windows.find<frmStepThree>();
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->isVisible());
    EXPECT_FALSE(back->cmdNext->isHidden());
    EXPECT_EQ(back->cboCompany->currentIndex(), 1);
}

} // namespace
