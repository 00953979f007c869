#include "app/frmMainMenu.h"
#include "formats/Dialog1.h"
#include "formats/FieldCatalogue.h"
#include "formats/FormatStore.h"
#include "formats/frmGetFormat.h"
#include "support/WindowTest.h"
#include "ui/QtText.h"
#include "wizard/frmStepTwo.h"
#include "wizard/frmTab.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <gmock/gmock.h>

namespace fs = std::filesystem;
using formats::FormatStore;
using platform::Icon;
using testing::ElementsAre;
using wizard::frmTab;

namespace {

class FormatWindowsTest : public testsupport::WindowTest {
protected:
    void SetUp() override { testsupport::writeFile(host / "BRANDMDB.MDB", "template"); }

    app::frmMainMenu& mainWindow() {
        auto& w = startMainMenu();
        ui.clearTranscript();
        return w;
    }

    frmTab& editor(int code, int source = session::source::kCatalogue) {
        auto& s = context.session;
        s.ModeCode = code;
        s.FileTypeName = formats::fileTypes()[static_cast<std::size_t>(code - 1)].name;
        s.FormatSource = source;
        return context.windows.get<frmTab>();
    }

    // Picks a format in the chooser that opens after the type dialog and presses its OK; what it
    // offered is kept.
    void thenChooseFormat(const QString& name) {
        QTimer::singleShot(50, [this, name] {
            auto* chooser = context.windows.find<formats::frmGetFormat>();
            ASSERT_NE(chooser, nullptr);
            for (int i = 0; i < chooser->cboFormat->count(); ++i)
                offered << chooser->cboFormat->itemText(i);
            chooser->cboFormat->setCurrentIndex(chooser->cboFormat->findText(name));
            QTest::mouseClick(chooser->cmdOk, Qt::LeftButton);
        });
    }
    QStringList offered;

    // Picks an entry in the modal dialog that opens next and presses its OK.
    template <typename Dialog>
    void answerDialog(const QString& entry) {
        whenOpens<Dialog>([entry](Dialog& d) {
            QComboBox* combo = d.template findChild<QComboBox*>();
            combo->setCurrentIndex(combo->findText(entry));
            QTest::mouseClick(d.template findChildren<QPushButton*>().front(), Qt::LeftButton);
        });
    }
};

TEST_F(FormatWindowsTest, UpDownAndRemoveActOnAHighlightedFieldAndFollowTheirRules) {
    auto& tab = editor(session::mode::kEmployee);
    ASSERT_EQ(tab.lstField->count(), 45);
    // Current, as a list makes its first item on opening, but not highlighted.
    tab.lstField->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    tab.cmdRemove_Click();
    EXPECT_EQ(titles(), std::vector<std::string>{"No Selection Made"});
    tab.lstField->setCurrentRow(2, QItemSelectionModel::NoUpdate);
    tab.cmdDown_Click();
    EXPECT_EQ(titles(), (std::vector<std::string>{"No Selection Made", "No Selection Made"}));
    EXPECT_EQ(tab.lstField->item(2)->text(), "  Middle Initial") << "nothing moved";

    for (QToolButton* arrow : {tab.cmdUP, tab.cmdDown}) {
        const QImage image = arrow->icon().pixmap(16, 16).toImage();
        const QColor middle = image.pixelColor(8, 8);
        EXPECT_GT(middle.green(), 2 * middle.red()) << "green, not grey";
        EXPECT_GT(middle.green(), 2 * middle.blue());
    }
    ui.clearTranscript();
    const auto original = tab.labels();

    tab.cmdUP_Click(); // nothing selected
    ASSERT_EQ(titles(), std::vector<std::string>{"No Selection Made"});
    EXPECT_EQ(ui.messages()[0].icon, Icon::Critical);
    EXPECT_EQ(ui.messages()[0].text, "Please click on a database field in the listbox to move "
                                     "upward in the list prior to clicking the Up Button.");
    tab.lstField->setCurrentRow(0);
    tab.cmdUP_Click();
    tab.lstField->setCurrentRow(44);
    tab.cmdDown_Click();
    EXPECT_EQ(tab.labels(), original);
    EXPECT_EQ(ui.messages().size(), 1u) << "the ends of the list move nothing, silently";

    tab.lstField->setCurrentRow(0);
    tab.cmdDown_Click();
    EXPECT_EQ(tab.lstField->item(1)->text(), "Last Name");
    EXPECT_EQ(tab.lstField->currentRow(), 1);
    tab.cmdUP_Click();
    EXPECT_EQ(tab.labels(), original);
    EXPECT_EQ(tab.lstField->currentRow(), 0);

    tab.cmdRemove_Click(); // "Last Name" is mandatory
    EXPECT_EQ(ui.messages().back().title, "Tarnfield");
    EXPECT_EQ(ui.messages().back().icon, Icon::None);
    EXPECT_EQ(tab.lstField->count(), 45);

    tab.lstField->setCurrentRow(2);
    tab.cmdRemove_Click();
    EXPECT_EQ(tab.lstField->count(), 44);
    EXPECT_EQ(tab.lstField->currentItem()->text(), "Mailing Address");
    tab.lstField->setCurrentRow(43);
    tab.cmdRemove_Click();
    EXPECT_EQ(tab.lstField->currentRow(), 42) << "removing the last label selects the one above";
    // The only label left, once removed, leaves nothing current for a later click to act on.
    tab.lstField->clear();
    tab.lstField->addItem(QStringLiteral("  Middle Initial"));
    tab.lstField->setCurrentRow(0);
    tab.cmdRemove_Click();
    EXPECT_EQ(tab.lstField->count(), 0);
    EXPECT_EQ(tab.lstField->currentRow(), -1);
    ui.clearTranscript();
    tab.cmdRemove_Click();
    EXPECT_EQ(titles(), std::vector<std::string>{"No Selection Made"});
}

TEST_F(FormatWindowsTest, SaveStoresTheTrimmedNameAndNextAsksOnlyForAnUnsavedList) {
    auto& tab = editor(session::mode::kQualifier);
    ui.queueInput("Type file structure name here.");
    tab.cmdSave_Click();
    EXPECT_EQ(titles(), std::vector<std::string>{"Structure Name Needed"});
    ui.queueInput(std::nullopt); // cancelled
    tab.cmdSave_Click();
    EXPECT_EQ(FormatStore(host.withSlash()).Count(), 0);

    ui.queueInput("   Quarterly   ");
    tab.cmdSave_Click();
    FormatStore store(host.withSlash());
    EXPECT_THAT(store.NamesOfType("QUALIFIER"), ElementsAre("Quarterly"));
    auto loaded = store.LoadFormat("QUALIFIER", "Quarterly");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->chosenFields.size(), 48u);
    EXPECT_EQ(loaded->chosenFields[3], "  Middle Initial");
    EXPECT_EQ(context.session.FormatSource, session::source::kSavedFormat);
    EXPECT_EQ(ui.messages().back().title, "Structure Saved");
    EXPECT_EQ(ui.messages().back().text, "Your field structure as been saved.");
    // Names are not looked up: the same name saved again is a second record beside the first.
    ui.queueInput("Quarterly");
    tab.cmdSave_Click();
    EXPECT_THAT(FormatStore(host.withSlash()).NamesOfType("QUALIFIER"),
                ElementsAre("Quarterly", "Quarterly"));

    ui.clearTranscript();
    tab.show();
    tab.cmdNext_Click();
    EXPECT_TRUE(ui.messages().empty()) << "after a save, Next does not ask again";
    EXPECT_FALSE(tab.isVisible());
    EXPECT_TRUE(context.windows.isLoaded<frmTab>());
    context.windows.unload<frmTab>();
    // A new list: Next offers to save it and keeps the same editor, list unchanged.
    auto& retiree = editor(session::mode::kRetiree);
    retiree.show();
    ui.queueAnswer(platform::Answer::No);
    retiree.cmdNext_Click();
    ASSERT_EQ(titles(), std::vector<std::string>{"Save this format?"});
    EXPECT_EQ(ui.messages()[0].buttons, platform::Buttons::YesNo);
    EXPECT_FALSE(retiree.isVisible());
    EXPECT_EQ(&context.windows.get<frmTab>(), &retiree);
    EXPECT_EQ(retiree.lstField->count(), 47);
    // Saving an empty list closes the editor.
    retiree.lstField->clear();
    retiree.cmdSave_Click();
    EXPECT_EQ(titles().back(), "Not Fields Entered");
    EXPECT_FALSE(context.windows.isLoaded<frmTab>());
}

TEST_F(FormatWindowsTest, StartUpChecksTheSingleAccountAndTheTemplate) {
    testsupport::writeAccounts(host / "Account.dat", {{"ACME\\", ""}});
    fs::create_directory(host / "ACME");
    testsupport::writeFile(host / "ACME" / "COMPANY.DAT", std::string(556, ' '));

    auto& tab = editor(session::mode::kEmployee);
    EXPECT_EQ(context.session.AccountDir, host.withSlash() + "ACME\\");
    EXPECT_EQ(titles(), std::vector<std::string>{"Process Terminated"});
    EXPECT_FALSE(tab.cmdNext->isEnabled());
    EXPECT_EQ(tab.lstField->count(), 45) << "the list is built all the same";
    EXPECT_EQ(tab.windowTitle(), "Create an Active Employee Import Database");
    context.windows.unload<frmTab>();

    ui.clearTranscript();
    fs::remove(host / "BRANDMDB.MDB");
    auto& bare = editor(session::mode::kQualifier);
    ASSERT_EQ(titles(), (std::vector<std::string>{"Process Terminated", "Missing File"}));
    EXPECT_TRUE(
        ui.messages()[1].text.ends_with(".  Once there, try again.\nValue= " + host.withSlash()));
    EXPECT_EQ(bare.lstField->count(), 0);
    EXPECT_FALSE(bare.cmdSave->isEnabled());
    EXPECT_EQ(bare.windowTitle(),
              "Creating Active Employee Import File from a Tab Deliminated file");
}

TEST_F(FormatWindowsTest, CreateCommandsGoThroughTheChooserOnlyWhenTheTypeHasFormats) {
    FormatStore store(host.withSlash());
    store.Append("Qualifiers A", "QUALIFIER", {"Last Name", "  State", "Gender (M/F)"});
    auto& w = mainWindow();

    w.mnuFileCreateEmployee->trigger();
    auto* tab = context.windows.find<frmTab>();
    ASSERT_NE(tab, nullptr);
    EXPECT_TRUE(tab->isVisible());
    EXPECT_EQ(tab->lstField->count(), 45);
    EXPECT_EQ(context.session.ModeCode, session::mode::kEmployee);
    context.windows.unload<frmTab>();

    whenOpens<formats::frmGetFormat>([&](formats::frmGetFormat& chooser) {
        for (int i = 0; i < chooser.cboFormat->count(); ++i)
            offered << chooser.cboFormat->itemText(i);
        QTest::mouseClick(chooser.cmdCancel, Qt::LeftButton);
    });
    w.mnuFileCreateQualifier->trigger();
    EXPECT_EQ(offered, (QStringList{"Enter a New Field Format", "Qualifiers A"}));
    EXPECT_EQ(context.session.ModeCode, session::mode::kCancelled);
    EXPECT_FALSE(context.windows.isLoaded<frmTab>());

    answerDialog<formats::frmGetFormat>("Qualifiers A");
    w.mnuFileCreateQualifier->trigger();
    tab = context.windows.find<frmTab>();
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->labels(), (QStringList{"Last Name", "  State", "Gender (M/F)"}));
    EXPECT_EQ(context.session.FormatSource, session::source::kSavedFormat);
    EXPECT_EQ(tab->windowTitle(), "Create a Qualified Beneficiary Import Database");
    // A saved format is edited without Save; its optional labels stay removable.
    EXPECT_FALSE(tab->cmdSave->isEnabled());
    tab->lstField->setCurrentRow(1);
    tab->cmdRemove_Click();
    EXPECT_EQ(tab->labels(), (QStringList{"Last Name", "Gender (M/F)"}));
}

TEST_F(FormatWindowsTest, DeletionsByTypeAndByNameRemoveEverySuchRecord) {
    FormatStore store(host.withSlash());
    store.Append("Shared", "QUALIFIER", {"Last Name"});
    store.Append("Shared", "RETIREE", {"Last Name"});
    store.Append("Other", "QUALIFIER", {"Last Name"});
    auto& w = mainWindow();
    QAction* deleteButton = w.Toolbar1->findChild<QAction*>("Delete");
    ASSERT_NE(deleteButton, nullptr);

    answerDialog<formats::Dialog1>("COBRA Qualifier");
    thenChooseFormat("Shared");
    deleteButton->trigger();
    EXPECT_EQ(offered, (QStringList{"Shared", "Other"})) << "no new-format entry here";
    EXPECT_THAT(store.AllNames(), ElementsAre("Other"));
    EXPECT_TRUE(ui.messages().empty()) << "the chooser deletes without a confirmation";

    store.Append("Mixed Case", "EMPLOYEE", {"Last Name"});
    whenOpens<formats::Dialog1>([](formats::Dialog1& d) {
        d.Combo1->setEditable(true);
        d.Combo1->setEditText("  MIXED case ");
        QTest::mouseClick(d.OKButton, Qt::LeftButton);
    });
    w.mnuFileDeleteFormat_Click();
    EXPECT_THAT(store.AllNames(), ElementsAre("Other"));
    EXPECT_EQ(titles(), std::vector<std::string>{"Format Deleted"});
}

TEST_F(FormatWindowsTest, AFailedSaveOrDeleteSaysOnlyThatItFailed) {
    // A folder where the store's file should be: nothing can be written to it.
    std::filesystem::create_directory(host / formats::kStoreFile);
    auto& tab = editor(session::mode::kQualifier);
    ui.queueInput("Quarterly");
    tab.cmdSave_Click();
    EXPECT_EQ(titles(), std::vector<std::string>{"Tarnfield"});
    EXPECT_EQ(context.session.FormatSource, session::source::kCatalogue);
    EXPECT_TRUE(context.windows.isLoaded<frmTab>());
    context.windows.unload<frmTab>();

    ui.clearTranscript();
    context.session.ModeCode = session::mode::kDeleteByName;
    auto& d = context.windows.get<formats::Dialog1>();
    d.Combo1->setEditable(true);
    d.Combo1->setEditText("Quarterly");
    d.OKButton_Click();
    // The store can be neither listed nor changed; no "Format Deleted" follows.
    EXPECT_EQ(titles(), (std::vector<std::string>{"Tarnfield", "Tarnfield"}));
}

// Cancel, like the title bar and Escape, is tried by DialogCloseTest.
TEST_F(FormatWindowsTest, TheTypeDialogInsistsOnAChoice) {
    context.session.ModeCode = session::mode::kNone;
    auto& d = context.windows.get<formats::Dialog1>();
    EXPECT_EQ(d.Combo1->count(), 2);
    EXPECT_EQ(d.Combo1->itemText(0), "COBRA Qualifier");
    d.OKButton_Click();
    EXPECT_EQ(titles(), std::vector<std::string>{"Error"});
    EXPECT_TRUE(context.windows.isLoaded<formats::Dialog1>());
}

TEST_F(FormatWindowsTest, ToolbarNewEditsTheStructureOnlyAndOpenGoesToVerification) {
    auto& w = mainWindow();
    // Open with an empty store tells so and opens the editor.
    answerDialog<formats::Dialog1>("New Hire");
    w.Toolbar1->findChild<QAction*>("Open")->trigger();
    ASSERT_EQ(titles(), std::vector<std::string>{"Missing Information"});
    EXPECT_EQ(ui.messages()[0].icon, Icon::Information);
    auto* tab = context.windows.find<frmTab>();
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(context.session.FileTypeName, "EMPLOYEE");
    EXPECT_EQ(tab->lstField->count(), 45);
    context.windows.unload<frmTab>();
    // Delete with an empty store says there is nothing to delete.
    ui.clearTranscript();
    answerDialog<formats::Dialog1>("New Hire");
    w.Toolbar1->findChild<QAction*>("Delete")->trigger();
    ASSERT_EQ(titles(), std::vector<std::string>{"Missing Information"});
    EXPECT_EQ(ui.messages()[0].text, "Unable to delete.  You do not have a saved structure.");

    answerDialog<formats::Dialog1>("COBRA Qualifier");
    w.Toolbar1->findChild<QAction*>("New")->trigger();
    tab = context.windows.find<frmTab>();
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(context.session.FormatSource, session::source::kStructureOnly);
    tab->show();
    EXPECT_FALSE(tab->cmdNext->isVisible());
    EXPECT_EQ(tab->lstField->count(), 47);
    ui.queueInput("Saved from New");
    tab->cmdSave_Click();
    EXPECT_FALSE(context.windows.isLoaded<frmTab>()) << "a structure-only save closes the editor";
    // Open for a type with formats of other types only: the editor, with no chooser or message.
    ui.clearTranscript();
    answerDialog<formats::Dialog1>("New Hire");
    w.Toolbar1->findChild<QAction*>("Open")->trigger();
    EXPECT_TRUE(ui.messages().empty());
    tab = context.windows.find<frmTab>();
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->lstField->count(), 45);
    context.windows.unload<frmTab>();

    answerDialog<formats::Dialog1>("COBRA Qualifier");
    thenChooseFormat("Saved from New");
    w.Toolbar1->findChild<QAction*>("Open")->trigger();
    EXPECT_EQ(context.session.ToolbarOp, session::toolbar::kOpen);
    auto* verification = context.windows.find<wizard::frmStepTwo>();
    ASSERT_NE(verification, nullptr);
    EXPECT_TRUE(verification->isVisible());
    EXPECT_FALSE(context.windows.isLoaded<frmTab>()) << "the editor stays unshown";
    tab = &context.windows.get<frmTab>(); // as verification reads the list
    EXPECT_FALSE(tab->isVisible());
    EXPECT_EQ(tab->lstField->count(), 47);
    EXPECT_FALSE(tab->cmdSave->isEnabled());
}

} // namespace
