#include "support/WindowTest.h"
#include "ui/QtText.h"
#include "wizard/frmStepTwo.h"
#include "wizard/frmTab.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

using platform::Icon;
using platform::ScriptedInteraction;
using wizard::frmStepTwo;

namespace {

class StepTwoTest : public testsupport::WindowTest {
protected:
    void SetUp() override {
        testsupport::writeFile(host / "BRANDMDB.MDB", "template");
        auto& s = context.session;
        s.AppDir = host.withSlash();
        s.FormatSource = session::source::kSavedFormat;
        s.ChosenFields = {"", "Last Name", "Date of Birth", "  Hire Date", "Gender (M/F)"};
        s.ModeCode = session::mode::kEmployee;
        s.FileTypeName = "EMPLOYEE";
    }

    frmStepTwo& verify(const std::string& content) {
        testsupport::writeFile(host / "staff.txt", content);
        auto& w = context.windows.get<frmStepTwo>();
        ui.queueFile(host.withSlash() + "staff.txt");
        w.cmdBrowse_Click();
        ui.clearTranscript();
        w.cmdVerify_Click();
        return w;
    }

    std::vector<bool> checks(frmStepTwo& w) {
        std::vector<bool> out;
        for (int i = 0; i < 3; ++i)
            out.push_back(!w.imgCheck[i]->isHidden());
        return out;
    }
    std::vector<bool> crosses(frmStepTwo& w) {
        std::vector<bool> out;
        for (int i = 0; i < 3; ++i) {
            out.push_back(!w.imgWrong[i]->isHidden());
            if (!w.imgWrong[i]->isHidden()) {
                EXPECT_EQ(w.imgWrong[i]->pos(), w.imgCheck[i]->pos()) << "row " << i;
            }
        }
        return out;
    }
    int pauses() {
        int n = 0;
        for (const auto& e : ui.transcript())
            n += e.kind == ScriptedInteraction::Kind::Pause;
        return n;
    }
};

TEST_F(StepTwoTest, BrowseEnablesVerifyAndACancelChangesNothing) {
    auto& w = context.windows.get<frmStepTwo>();
    EXPECT_FALSE(w.cmdVerify->isEnabled());
    w.cmdBrowse_Click(); // cancelled
    EXPECT_EQ(w.lblFile->text(), "Click on the Browse Button to get file.");
    ASSERT_EQ(ui.transcript().size(), 1u);
    EXPECT_EQ(ui.transcript()[0].title, "Find Your Import File");
    ui.queueFile("  /data/staff.txt ");
    w.cmdBrowse_Click();
    EXPECT_EQ(w.lblFile->text(), "/data/staff.txt");
    EXPECT_TRUE(w.cmdVerify->isEnabled());
    EXPECT_FALSE(w.cmdNext->isEnabled());
}

TEST_F(StepTwoTest, BrowseStartsWhereTheLastFileWasFoundAndOffersTextFilesFirst) {
    auto& w = context.windows.get<frmStepTwo>();
    w.show();
    ui.queueFile("/data/march/staff.txt");
    w.cmdBrowse_Click();
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), w.cmdVerify) << "Space verifies";
    context.windows.unload<frmStepTwo>();
    context.windows.get<frmStepTwo>().cmdBrowse_Click(); // the next import of the run
    const auto& dialogs = ui.transcript();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].detail, "C:\\");
    EXPECT_EQ(dialogs[1].detail, "/data/march/");
    EXPECT_EQ(dialogs[0].filter, "Text files (*.txt)|*.txt|All files (*.*)|*.*");
}

TEST_F(StepTwoTest, AGoodFilePassesEveryCheckWithPausesBetween) {
    auto& w = verify("Name\tBorn\tHired\tSex\r\nSmith\t1/5/1970\t\tM\r\n");
    EXPECT_EQ(checks(w), (std::vector<bool>{true, true, true}));
    EXPECT_EQ(crosses(w), (std::vector<bool>{false, false, false}));
    EXPECT_TRUE(w.cmdNext->isEnabled());
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(pauses(), 3);
    EXPECT_FALSE(ui.busy());
    EXPECT_EQ(context.session.DateFlags, (std::vector<std::string>{"", "N", "Y", "Y", "N"}));
    EXPECT_EQ(context.session.RecordText[2], "Smith, 1/5/1970, , M\r\n");
    EXPECT_TRUE(context.windows.isLoaded<wizard::frmTab>()) << "the structure came from the editor";
    EXPECT_FALSE(context.windows.find<wizard::frmTab>()->isVisible());
}

TEST_F(StepTwoTest, TheFieldCountMessageNamesBothCounts) {
    auto& w = verify("a\tb\tc\td\te\r\nx\t\t\t\t\r\n");
    EXPECT_EQ(checks(w), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(crosses(w), (std::vector<bool>{false, true, false}));
    ASSERT_EQ(titles(), std::vector<std::string>{"Incorrect File Format"});
    EXPECT_EQ(ui.messages()[0].icon, Icon::Critical);
    EXPECT_EQ(ui.messages()[0].text,
              "Your import file seems to have 5 fields in each record but you selected 4 fields "
              "on the previous form.  Since these do not match up, the system cannot create an "
              "import database for import into the Brandmoor program.");
    EXPECT_FALSE(w.cmdVerify->isEnabled());
    EXPECT_FALSE(w.cmdNext->isEnabled());
}

TEST_F(StepTwoTest, BadDatesAreListedAndVerifyStaysAvailable) {
    auto& w = verify("a\tb\tc\td\r\nx\tyesterday\tsoon\tM\r\n");
    ASSERT_EQ(titles(), std::vector<std::string>{"Invalid Dates in Import File"});
    EXPECT_NE(ui.messages()[0].text.find("following fields:   Date of Birth, Hire Date.  Because"),
              std::string::npos);
    EXPECT_NE(ui.messages()[0].text.find("importing.\n\nThe most common"), std::string::npos);
    EXPECT_EQ(crosses(w), (std::vector<bool>{false, false, true}));
    EXPECT_TRUE(w.cmdVerify->isEnabled());
    EXPECT_FALSE(w.cmdNext->isEnabled());
}

TEST_F(StepTwoTest, ExtraEmptyColumnsAreRemovedIntoARevisedCopy) {
    ui.queueAnswer(platform::Answer::Yes);
    auto& w = verify("a\tb\tc\td\t\t\r\nx\t1/1/2000\t\tM\t\t\r\n");
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_EQ(ui.messages()[0].title, "Remove extra fields?");
    EXPECT_EQ(ui.messages()[1].title, "Scanned Import File");
    EXPECT_EQ(ui::fromQt(w.lblFile->text()), host.withSlash() + "staff_Revised.txt");
    EXPECT_EQ(testsupport::readFile(host / "staff_Revised.txt"),
              "a\tb\tc\td\r\nx\t1/1/2000\t\tM\r\n");
    EXPECT_TRUE(w.cmdVerify->isEnabled());
    EXPECT_FALSE(w.cmdNext->isEnabled());

    ui.clearTranscript();
    w.cmdVerify_Click();
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_TRUE(w.cmdNext->isEnabled());
}

TEST_F(StepTwoTest, PreviousShowsTheEditorAgainAndCancelEndsTheWizard) {
    auto& w = context.windows.get<frmStepTwo>();
    w.cmdPrevious_Click();
    EXPECT_FALSE(context.windows.isLoaded<frmStepTwo>());
    ASSERT_TRUE(context.windows.isLoaded<wizard::frmTab>());
    EXPECT_TRUE(context.windows.find<wizard::frmTab>()->isVisible());
    context.windows.get<frmStepTwo>().cmdCancel_Click();
    EXPECT_FALSE(context.windows.isLoaded<frmStepTwo>());
    EXPECT_FALSE(context.windows.isLoaded<wizard::frmTab>());
}

TEST_F(StepTwoTest, EveryOtherFailureLeavesItsButtonsAsTheUserNeedsThem) {
    auto& empty = verify("");
    EXPECT_EQ(crosses(empty), (std::vector<bool>{true, true, true}));
    EXPECT_TRUE(ui.messages().empty()) << "an empty file says nothing";
    EXPECT_FALSE(empty.cmdNext->isEnabled());

    auto& w = verify("a,b,c,d\r\nx,1/1/2000,,M\r\n");
    ASSERT_EQ(titles(), std::vector<std::string>{"Incorrect File Format"});
    EXPECT_EQ(crosses(w), (std::vector<bool>{true, true, true}));
    EXPECT_FALSE(w.cmdVerify->isEnabled());

    auto& pound = verify("a\tb\tc\td\r\n#####\t1/1/2000\t\tM\r\n");
    ASSERT_EQ(titles(), std::vector<std::string>{"Invalid Import File"});
    EXPECT_NE(ui.messages()[0].text.find("following fields:   Last Name.  It is"),
              std::string::npos);
    EXPECT_EQ(checks(pound), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(crosses(pound), (std::vector<bool>{false, false, true}));
    EXPECT_FALSE(pound.cmdNext->isEnabled());

    ui.queueAnswer(platform::Answer::No);
    auto& refused = verify("a\tb\tc\td\t\t\r\n");
    EXPECT_EQ(ui.messages().size(), 1u);
    EXPECT_FALSE(refused.cmdVerify->isEnabled());
    EXPECT_FALSE(refused.cmdNext->isEnabled());
    EXPECT_FALSE(std::filesystem::exists(host / "staff_Revised.txt"));
}

} // namespace
