// The wizard walked from the structure to Create: the database made, the records imported, the
// message shown and the log opened.
#include "jet/Database.h"
#include "platform/HostPath.h"
#include "sample/SampleDatabases.h"
#include "support/WindowTest.h"
#include "wizard/ImportRun.h"
#include "wizard/frmStepFour.h"
#include "wizard/frmStepThree.h"
#include "wizard/frmStepTwo.h"
#include "wizard/frmTab.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

using platform::Icon;
using Kind = platform::ScriptedInteraction::Kind;
using wizard::frmStepFour;
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

    // Structure, verification and the one-account step to the first-record window.
    frmStepFour& walkToStepFour(const std::string& tab) {
        testsupport::writeFile(host / "staff.txt", tab);
        context.windows.get<wizard::frmTab>();
        auto& two = context.windows.get<frmStepTwo>();
        ui.queueFile(host.withSlash() + "staff.txt");
        two.cmdBrowse_Click();
        two.cmdVerify_Click();
        EXPECT_TRUE(two.cmdNext->isEnabled()) << "the file verifies";
        two.cmdNext_Click();
        auto* four = context.windows.find<frmStepFour>();
        EXPECT_NE(four, nullptr);
        ui.clearTranscript();
        return *four;
    }
};

const char* kStaff = "Name\tFirst\tSSN\tBorn\tKid\r\n"
                     "Smith\tAnn\t123456789\t1/5/1970\tBo\r\n"
                     "\tNo\t111111111\t2/2/1972\t\r\n"
                     "Jones\tAl\t987654321\t3/3/1973\t\r\n";

TEST_F(CreateImportTest, CreateMakesTheDatabaseImportsAndOpensTheLog) {
    auto& four = walkToStepFour(kStaff);
    four.optTwo->click();
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
    auto db = jet::Database::OpenDatabase(host / "Import1.mdb", jet::OpenMode::ReadOnly);
    auto people = db.OpenRecordset("Active_Employees");
    EXPECT_EQ(people.RecordCount(), 2);
    ASSERT_TRUE(people.FindFirst("[Employee_ID]=2"));
    EXPECT_EQ(std::get<std::u16string>(people.GetValue(u"Last_Name")), u"Jones");
    EXPECT_EQ(std::get<std::u16string>(people.GetValue(u"EmployeeDOB")), u"03/03/1973");
    EXPECT_EQ(db.OpenRecordset("Dependent_Information").RecordCount(), 2);
    EXPECT_EQ(db.OpenRecordset("Qualifier_Information").RecordCount(), 0);
    db.Close();
}

TEST_F(CreateImportTest, TheFirstTwoLinesAreShownWithTabsAsCommasAndAnEmptySecondLineAsNothing) {
    auto& four = walkToStepFour("Name\tFirst\tSSN\tBorn\tKid\r\n\r\n");
    // The line ends stay in the texts, as read, and show as nothing.
    EXPECT_EQ(four.lblrecord1->text(), "Name, First, SSN, Born, Kid\r\n");
    EXPECT_EQ(four.lblrecord2->text(), "\r\n");
}

TEST_F(CreateImportTest, ACancelOrAMissingFileKeepsTheWindowForAnotherCreate) {
    auto& four = walkToStepFour(kStaff);
    four.optOne->click();
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

} // namespace
