// The verification window: the file chosen, each check shown as it passes or fails, and a file
// the import cannot read as written refused or offered a corrected copy.
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
using namespace std::string_literals;

namespace {

class StepTwoTest : public testsupport::WindowTest {
protected:
    void SetUp() override {
        testsupport::writeFile(host / "BRANDMDB.MDB", "template");
        auto& s = context.session;
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

    // The three result rows as the user sees them: '+' a check, 'x' a cross, '.' neither.
    std::string marks(frmStepTwo& w) {
        std::string out;
        for (int i = 0; i < 3; ++i) {
            const bool check = !w.imgCheck[i]->isHidden(), cross = !w.imgWrong[i]->isHidden();
            EXPECT_FALSE(check && cross) << "row " << i;
            if (cross) {
                EXPECT_EQ(w.imgWrong[i]->pos(), w.imgCheck[i]->pos()) << "row " << i;
            }
            out += check ? '+' : cross ? 'x' : '.';
        }
        return out;
    }
};

TEST_F(StepTwoTest, BrowseEnablesVerifyAndStartsWhereTheLastFileWasFound) {
    auto& w = context.windows.get<frmStepTwo>();
    w.show();
    EXPECT_FALSE(w.cmdVerify->isEnabled());
    w.cmdBrowse_Click(); // cancelled: nothing changes
    EXPECT_EQ(w.lblFile->text(), "Click on the Browse Button to get file.");
    EXPECT_FALSE(w.cmdVerify->isEnabled());
    ui.queueFile("  /data/march/staff.txt ");
    w.cmdBrowse_Click();
    QApplication::processEvents();
    EXPECT_EQ(w.lblFile->text(), "/data/march/staff.txt");
    EXPECT_TRUE(w.cmdVerify->isEnabled());
    EXPECT_FALSE(w.cmdNext->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), w.cmdVerify) << "Space verifies";
    context.windows.unload<frmStepTwo>();
    context.windows.get<frmStepTwo>().cmdBrowse_Click(); // the next import of the run
    const auto& dialogs = ui.transcript();
    ASSERT_EQ(dialogs.size(), 3u);
    EXPECT_EQ(dialogs[0].title, "Find Your Import File");
    EXPECT_EQ(dialogs[0].filter, "Text files (*.txt)|*.txt|Spreadsheets (*.xlsx *.ods *.xls "
                                 "*.csv)|*.xlsx;*.ods;*.xls;*.csv|All files (*.*)|*.*");
    EXPECT_EQ(dialogs[1].detail, "C:\\");
    EXPECT_EQ(dialogs[2].detail, "/data/march/");
}

TEST_F(StepTwoTest, AWorkbookIsVerifiedThroughTheTabCopyWrittenBesideIt) {
    using Kind = ScriptedInteraction::Kind;
    const auto workbook = host / "clients.xlsx", copy = host / "clients_Tab.txt";
    std::filesystem::copy_file(TARNFIELD_SHEETS_DATA "/clients.xlsx", workbook);
    auto& w = context.windows.get<frmStepTwo>();
    auto browse = [&] {
        ui.clearTranscript();
        ui.queueFile(workbook.string());
        w.cmdBrowse_Click();
        std::vector<ScriptedInteraction::Entry> shown;
        for (const auto& e : ui.transcript())
            if (e.kind != Kind::Busy)
                shown.push_back(e);
        EXPECT_FALSE(ui.busy());
        return shown;
    };

    // Several sheets: the user picks one; the hidden one is not offered.
    ui.queueInput("Plans");
    auto shown = browse();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1].kind, Kind::Choice);
    EXPECT_EQ(shown[1].detail, "Clients\nPlans\nEmpty\n");
    EXPECT_EQ(shown[2].title, "TAB Delimited File Written");
    EXPECT_NE(shown[2].text.find("The sheet 'Plans' of " + workbook.string()), std::string::npos);
    EXPECT_EQ(w.lblFile->text().toStdString(), copy.string());
    EXPECT_TRUE(w.cmdVerify->isEnabled());
    const std::string plans = testsupport::readFile(copy);
    EXPECT_EQ(plans,
              testsupport::readFile(TARNFIELD_SHEETS_DATA "/expected/clients.xlsx.Plans.txt"));

    // An earlier copy is replaced only when the user says so; a cancelled choice writes nothing.
    w.lblFile->setText("earlier.txt");
    ui.queueInput("Clients");
    ui.queueAnswer(platform::Answer::No);
    shown = browse();
    EXPECT_EQ(shown.back().title, "Replace File?");
    EXPECT_EQ(w.lblFile->text(), "earlier.txt");
    ui.queueInput(std::nullopt);
    EXPECT_EQ(browse().size(), 2u);
    EXPECT_EQ(testsupport::readFile(copy), plans);
    ui.queueInput("Clients");
    ui.queueAnswer(platform::Answer::Yes);
    browse();
    EXPECT_EQ(w.lblFile->text().toStdString(), copy.string());
    EXPECT_NE(testsupport::readFile(copy), plans);

    // A workbook that cannot be read: one message naming it, nothing written.
    std::filesystem::remove(copy);
    std::filesystem::copy_file(TARNFIELD_SHEETS_DATA "/encrypted.xlsx", workbook,
                               std::filesystem::copy_options::overwrite_existing);
    shown = browse();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].icon, Icon::Critical);
    EXPECT_NE(shown[1].text.find("password"), std::string::npos) << shown[1].text;
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_EQ(w.lblFile->text().toStdString(), copy.string());
}

TEST_F(StepTwoTest, AGoodFilePassesEveryCheckWithPausesBetweenAndPreviousGoesBack) {
    auto& w = verify("Name\tBorn\tHired\tSex\r\nSmith\t1/5/1970\t\tM\r\n");
    EXPECT_EQ(marks(w), "+++");
    EXPECT_TRUE(w.cmdNext->isEnabled());
    EXPECT_TRUE(ui.messages().empty());
    int pauses = 0;
    for (const auto& e : ui.transcript())
        pauses += e.kind == ScriptedInteraction::Kind::Pause;
    EXPECT_EQ(pauses, 3);
    EXPECT_FALSE(ui.busy());
    EXPECT_EQ(context.session.DateFlags, (std::vector<std::string>{"", "N", "Y", "Y", "N"}));
    EXPECT_EQ(context.session.RecordText[2], "Smith, 1/5/1970, , M\r\n");
    ASSERT_TRUE(context.windows.isLoaded<wizard::frmTab>()) << "the structure came from the editor";
    EXPECT_FALSE(context.windows.find<wizard::frmTab>()->isVisible());
    // Previous shows the editor again; Cancel ends the wizard.
    w.cmdPrevious_Click();
    EXPECT_FALSE(context.windows.isLoaded<frmStepTwo>());
    EXPECT_TRUE(context.windows.find<wizard::frmTab>()->isVisible());
    context.windows.get<frmStepTwo>().cmdCancel_Click();
    EXPECT_FALSE(context.windows.isLoaded<frmStepTwo>());
    EXPECT_FALSE(context.windows.isLoaded<wizard::frmTab>());
}

TEST_F(StepTwoTest, EachFailureShowsItsCrossesAndMessageAndLeavesTheButtonsTheUserNeeds) {
    struct Case {
        std::string file;
        const char* marks;
        std::vector<std::string> titles;
        std::vector<std::string> text; // parts of the first message's text, or all of it
        bool verify;                   // Verify still available
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"a\tb\tc\td\te\r\nx\t\t\t\t\r\n", "+x.", {"Incorrect File Format"},
         {"Your import file seems to have 5 fields in each record but you selected 4 fields on "
          "the previous form.  Since these do not match up, the system cannot create an import "
          "database for import into the Brandmoor program."}, false},
        {"a\tb\tc\td\r\nx\tyesterday\tsoon\tM\r\n", "++x", {"Invalid Dates in Import File"},
         {"following fields:   Date of Birth, Hire Date.  Because",
          "importing.\n\nThe most common"}, true},
        {"", "xxx", {}, {}, true}, // an empty file says nothing
        {"a,b,c,d\r\nx,1/1/2000,,M\r\n", "xxx", {"Incorrect File Format"}, {}, false},
        {"a\tb\tc\td\r\n#####\t1/1/2000\t\tM\r\n", "++x", {"Invalid Import File"},
         {"following fields:   Last Name.  It is"}, true},
        // "#####" in a date field, the only bad date: the date message, with an empty list.
        {"a\tb\tc\td\r\nx\t#####\t\tM\r\n", "++x", {"Invalid Dates in Import File"},
         {"following fields:   .  Because"}, true},
        {"Name\tBorn\tHired\tSex\r\nSm\0th\t1/5/1970\t\tM\r\n"s, "xxx",
         {"NUL Characters in Import File"}, {host.withSlash() + "staff.txt holds NUL characters "
          "(character code 0), the first on line 2."}, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        auto& w = verify(c.file);
        EXPECT_EQ(marks(w), c.marks);
        ASSERT_EQ(titles(), c.titles);
        if (!c.titles.empty()) {
            EXPECT_EQ(ui.messages()[0].icon, Icon::Critical);
        }
        for (const auto& part : c.text)
            EXPECT_NE(ui.messages()[0].text.find(part), std::string::npos) << part;
        if (!c.text.empty() && c.titles[0] == "Incorrect File Format") {
            EXPECT_EQ(ui.messages()[0].text, c.text[0]);
        }
        EXPECT_EQ(w.cmdVerify->isEnabled(), c.verify);
        EXPECT_FALSE(w.cmdNext->isEnabled());
        EXPECT_FALSE(ui.busy());
    }
    EXPECT_FALSE(std::filesystem::exists(host / "staff_Revised.txt"));
}

TEST_F(StepTwoTest, AFileTheImportCannotReadAsWrittenIsOfferedACorrectedCopy) {
    const std::string good = "Name\tBorn\tHired\tSex\r\nZo\xEB\t1/5/1970\t\tF\r\n";
    const std::string utf8Text = "Name\tBorn\tHired\tSex\r\nZoë\t1/5/1970\t\tF\r\n";
    const std::string file = "Your import file " + host.withSlash() + "staff.txt ";
    const char* const correct = "Correct Import File?";
    struct Case {
        std::string file;
        const char* title;
        std::vector<std::string> says;
        std::string copy;
        bool goesOnAfterNo; // verified as it is
    };
    for (const auto& c : std::vector<Case>{
             {"Name\tBorn\tHired\tSex\nZo\xEB\t1/5/1970\t\tF\n",
              correct,
              {file, "line feed alone (the first is line 1)"},
              good,
              true},
             {good.substr(0, good.size() - 2),
              correct,
              {file, "Its last line (line 2) has no line end"},
              good,
              true},
             {testsupport::utf16File(utf8Text),
              correct,
              {file, "Unicode Text (UTF-16)"},
              good,
              false},
             {"\xEF\xBB\xBF" + utf8Text, correct, {file, "UTF-8 text"}, good, true},
             {utf8Text, correct, {file, "UTF-8 text"}, good, true},
             // Empty columns after the structure's last: the removal, refused, verifies nothing.
             {"a\tb\tc\td\t\t\r\nx\t1/1/2000\t\tM\t\t\r\n",
              "Remove extra fields?",
              {"has 6 fields but you had only selected 4"},
              "a\tb\tc\td\r\nx\t1/1/2000\t\tM\r\n",
              false},
         }) {
        for (auto answer : {platform::Answer::No, platform::Answer::Yes}) {
            SCOPED_TRACE(testing::PrintToString(c.file) +
                         (answer == platform::Answer::Yes ? ", Yes" : ", No"));
            std::filesystem::remove(host / "staff_Revised.txt");
            ui.queueAnswer(answer);
            auto& w = verify(c.file);
            ASSERT_GE(ui.messages().size(), 1u);
            const auto offer = ui.messages()[0];
            EXPECT_EQ(offer.title, c.title);
            EXPECT_EQ(offer.icon, Icon::Question);
            for (const auto& part : c.says)
                EXPECT_NE(offer.text.find(part), std::string::npos) << offer.text;
            EXPECT_FALSE(ui.busy());
            if (answer == platform::Answer::No) {
                EXPECT_EQ(ui.messages().size(), 1u);
                EXPECT_EQ(marks(w), c.goesOnAfterNo ? "+++" : "xxx");
                EXPECT_EQ(w.cmdNext->isEnabled(), c.goesOnAfterNo);
                EXPECT_EQ(w.cmdVerify->isEnabled(), c.goesOnAfterNo);
                EXPECT_FALSE(std::filesystem::exists(host / "staff_Revised.txt"));
                continue;
            }
            ASSERT_EQ(titles(), (std::vector<std::string>{c.title, "Scanned Import File"}));
            EXPECT_EQ(ui::fromQt(w.lblFile->text()), host.withSlash() + "staff_Revised.txt");
            EXPECT_EQ(testsupport::readFile(host / "staff_Revised.txt"), c.copy);
            EXPECT_EQ(marks(w), "...");
            EXPECT_TRUE(w.cmdVerify->isEnabled());
            EXPECT_FALSE(w.cmdNext->isEnabled());
            ui.clearTranscript();
            w.cmdVerify_Click();
            EXPECT_TRUE(ui.messages().empty());
            EXPECT_EQ(marks(w), "+++");
            EXPECT_TRUE(w.cmdNext->isEnabled());
        }
    }
}

} // namespace
