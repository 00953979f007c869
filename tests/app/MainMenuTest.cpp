#include "app/frmAbout.h"
#include "app/frmMainMenu.h"
#include "formats/FormatStore.h"
#include "platform/HostPath.h"
#include "support/WindowTest.h"
#include "ui/AppContext.h"
#include "ui/QtText.h"
#include "ui/Twips.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>

namespace fs = std::filesystem;
using platform::Icon;
using platform::ScriptedInteraction;

namespace {

// The four instruction pages, word for word and line for line (Windows-1252).
const char* const kPages[] = {
    // Import Instructions
    "Importing information from one system to another is a complex procedure.  We have created "
    "this program to assist with importing data from your Microsoft Excel files (provided you have "
    "all the required information).\n"
    "\n"
    "Tarnfield\xA9"
    " will create an import database file (from a TAB delimited file) in a format the Brandmoor "
    "software needs for importing Active Employees, COBRA Qualifiers, COBRA Participants and "
    "Retirees.  A TAB delimited file creates records with a TAB between each record field.  "
    "Programs like Microsoft Excel and Access have the ability to create a TAB delimited file "
    "(with a .txt extension).\n"
    "\n"
    "The Import process has three steps; Create the Tab Delimited file; Create the Database Import "
    "File and Import into the Brandmoor program.  Please go through the following steps.",
    // Step 1
    "You cannot import an Excel file.  First, you must create a Tab Delimited File.  This file may "
    "be created with Microsoft Excel by following these steps.\n"
    "\n"
    "   1)  Start your field headers/names in the \"A1\" box in Excel.  (Headers\n"
    "        may consist of only one row.)\n"
    "   2)  Place ONLY fields that are shown on the first form (under FILE\n"
    "        and Create Import File).  If your Excel file has other fields/\n"
    "        columns that are not needed in the Brandmoor software, you should\n"
    "        delete that Column.\n"
    "   3)  Under the File Menu, click the \"Save As\" option.\n"
    "   4)  Select a location to save the file AND select the \"Text (Tab\n"
    "        Delimited) (*.txt)\" option in the \"Save As Type\" drop down list.\n"
    "        Click the Save button.\n"
    "\n"
    "Remember where you have saved this TAB delimited file.  In the next step, you will be asked "
    "to select it so the system can create an import database file the Brandmoor Software may use "
    "to actually import your information.",
    // Step 2
    "Next, this program needs to create the Import Database file.\n"
    "\n"
    "   1)  Under FILE Menu, select Create Import File and the file type.\n"
    "   2)  Remove optional fields that are not in your TAB delimited file.\n"
    "   3)  Place the fields in the same order as your TAB delimited file.  Highlight\n"
    "        and move with green Up and Down Arrow buttons.\n"
    "   4)  Save format (for future imports) and click Next button.\n"
    "   5)  Browse and select your created TAB delimited file.\n"
    "   6)  Click the Verify button to ensure the structure is correct.\n"
    "   7)  Click the Next button after verification is completed.\n"
    "   8)  Select which record is the first record in your file.  If your headings\n"
    "        are showing in record #1, select record #2.\n"
    "   9)  Click the Create button and enter the location to save database file.\n"
    "\n"
    "If you encountered error in any of these steps, you'll need to correct your Tab Delimited "
    "file.  Once it is correct and the import database file is created, you are ready for the "
    "next step.",
    // Step 3
    "Lastly, you need to perform the actual import of the newly created database file.  This file "
    "will be in a Microsoft Access (.mdb) format.  Provided you followed steps 1 and 2, Tarnfield "
    "created this database file.  To import you information into the Brandmoor software:\n"
    "\n"
    "   1)  Start the Brandmoor program.\n"
    "   2)  Under the FILE Menu, select the Import Data from Database option.\n"
    "   3)  Select the newly created import database file.\n"
    "   4)  Review your list of selected imported files to verify the\n"
    "        import was performed correctly.\n"
    "\n"
    "\n"
    "            Congratulations!",
};

class MainMenuTest : public testsupport::WindowTest {};

TEST_F(MainMenuTest, FirstRunInAnEmptyFolderWarnsOverTheShownWindowAndALaterRunDoesNot) {
    context.session.AppDir.clear(); // the window's loading sets it
    bool shownUnder = false;
    ui.onMessage = [&](const ScriptedInteraction::Entry&) {
        shownUnder = mainMenu && mainMenu->isVisible();
    };
    auto& w = startMainMenu();
    EXPECT_TRUE(shownUnder);
    EXPECT_TRUE(fs::exists(host / "Formats.Dat"));
    EXPECT_EQ(fs::file_size(host / "Formats.Dat"), 0u);
    EXPECT_FALSE(w.mnuFileDeleteFormat->isVisible());
    EXPECT_EQ(context.session.AppDir, host.withSlash());
    EXPECT_EQ(context.session.AccountCount, 0);

    auto shown = ui.messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "Incorrect Location of Tarnfield.exe");
    EXPECT_EQ(shown[0].icon, Icon::Critical);
    EXPECT_EQ(shown[0].text,
              "The Tarnfield program does not seem to be in the default directory that houses "
              "the Brandmoor.exe.  It is recommended you use the Tarnfield.exe in the same "
              "folder where the Brandmoor.exe resides.");
    EXPECT_EQ(w.InsTab->currentIndex(), 0);
    // The next start: a store with a format shows the delete item, accounts silence the warning.
    ui.clearTranscript();
    formats::FormatStore(host.withSlash()).Append("Weekly", "QUALIFIER", {"Last Name"});
    testsupport::writeAccounts(host / "Account.dat",
                               {{"ACME\\", "Acme"}, {"ACME\\", "Acme"}, {"ACME\\", "Acme"}});
    auto& next = startMainMenu();
    EXPECT_TRUE(next.mnuFileDeleteFormat->isVisible());
    EXPECT_TRUE(next.mnuFileDeleteFormat->isEnabled());
    EXPECT_EQ(context.session.AccountCount, 3);
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(MainMenuTest, TheInstructionPagesHoldTheirTextsExactlyAndCanBeReadInFull) {
    auto& w = startMainMenu();
    w.show();
    EXPECT_EQ(w.windowTitle(), "Brandmoor Software Import & Utilities Program");
    ASSERT_EQ(w.InsTab->count(), 4);
    EXPECT_EQ(w.InsTab->tabText(0), "&Import Instructions");
    EXPECT_EQ(w.InsTab->tabText(3), "Step &3");
    const QLabel* labels[] = {w.lblInstructions, w.lblStep1, w.lblStep2, w.lblStep3};
    for (int page = 0; page < 4; ++page) {
        const QLabel* text = labels[page];
        EXPECT_EQ(ui::fromQt(text->text()), kPages[page]) << "page " << page;
        w.InsTab->setCurrentIndex(page);
        QApplication::processEvents();
        // The label is as tall as its wrapped text; where the page is shorter, it scrolls.
        EXPECT_GE(text->height(), text->heightForWidth(text->width())) << "page " << page;
    }
}

// The item, its name (the member's own) and caption, and whether it is shown.
#define MENU_ITEM(action, caption, visible)                                                        \
    { w.action, #action, caption, visible }
#define SUBMENU(menu, caption)                                                                     \
    { w.menu->menuAction(), #menu, caption, true }

TEST_F(MainMenuTest, TheMenuTreeHasItsNamesCaptionsAndVisibility) {
    auto& w = startMainMenu();
    struct Item {
        QAction* action;
        const char* name;
        const char* caption;
        bool visible;
    };
    // clang-format off
    for (const auto& item : std::initializer_list<Item>{
             SUBMENU(mnuFile, "&File"),
             SUBMENU(mnuFileCreate, "&Create Import File"),
             MENU_ITEM(mnuFileCreateEmployee, "&Active Employee Import File", true),
             MENU_ITEM(mnuFileCreateQualifier, "&COBRA Qualifier Import File", true),
             MENU_ITEM(mnuFileImportParticipant, "COBRA &Participant Import File", true),
             MENU_ITEM(mnuFileImportRetiree, "Retired Employee Import File", true),
             MENU_ITEM(mnuFileDeleteFormat, "&Delete a Created Format", false),
             MENU_ITEM(mnuFileRestore, "&Restore Prior to Import", true),
             MENU_ITEM(mnuSystemRestore, "&System Backup & Restore", false),
             MENU_ITEM(mnuFileExit, "E&xit", true),
             SUBMENU(mnuTools, "&Tools"),
             MENU_ITEM(mnuToolsUnzip, "&Unzip A File", true),
             MENU_ITEM(mnuToolsClean, "&Clean Brandmoor Acct folders", true),
             MENU_ITEM(mnuBckArcLetrs, "Archived Sent Notification", false),
             MENU_ITEM(mnuArchiveLetters, "Send Files to Archive (All Companies)", false),
             SUBMENU(mnuHelp, "&Help"),
             MENU_ITEM(mnuInstructions, "&Remove Instructions", true),
             MENU_ITEM(mnuVersion, "&Version", true),
         }) {
        // clang-format on
        EXPECT_EQ(item.action->objectName(), item.name);
        EXPECT_EQ(item.action->text(), item.caption) << item.name;
        EXPECT_EQ(item.action->isVisible(), item.visible) << item.name;
    }
    EXPECT_TRUE(w.mnuFileSep->isSeparator());
    // File menu order: the separator stands just before Exit.
    auto items = w.mnuFile->actions();
    ASSERT_GE(items.size(), 2);
    EXPECT_EQ(items[items.size() - 2], w.mnuFileSep);
    EXPECT_EQ(items.last(), w.mnuFileExit);
}

TEST_F(MainMenuTest, TheToolbarHasSevenButtonsWithKeysAndTips) {
    auto& w = startMainMenu();
    auto actions = w.Toolbar1->actions();
    ASSERT_EQ(actions.size(), 8); // seven buttons and two separators, one counted as a gap
    QStringList keys, tips;
    for (auto* a : actions) {
        keys << (a->isSeparator() ? QStringLiteral("|") : a->text());
        if (!a->isSeparator()) {
            tips << a->toolTip();
            EXPECT_EQ(a->objectName(), a->text());
        }
    }
    EXPECT_EQ(keys.join(","), "Open,New,Delete,|,Unzip,Clean,|,Help");
    EXPECT_EQ(tips.join(","), "Open Saved Structure,Create a New Structure,Delete a created "
                              "structure,Unzip a file,Clean up your account folders,Get Help");
    EXPECT_EQ(actions[3]->objectName(), "btnSep1");
    EXPECT_EQ(actions[6]->objectName(), "btnSep2");
    // Help opens the page shipped with the program; when nothing opens it, a message says where
    // it is.
    for (int shellResult : {42, 31}) {
        ui.clearTranscript();
        ui.queueShellResult(shellResult);
        actions[7]->trigger();
        ASSERT_GE(ui.transcript().size(), 1u);
        EXPECT_EQ(ui.transcript()[0].kind, ScriptedInteraction::Kind::Shell);
        const std::string page = ui.transcript()[0].text;
        EXPECT_TRUE(page.ends_with("Tarnfield Help.html")) << page;
        const std::string html = testsupport::readFile(hostpath::resolve(page));
        EXPECT_NE(html.find("<h1>Tarnfield Help</h1>"), std::string::npos);
        EXPECT_NE(html.find("Qualifying Event Reason"), std::string::npos) << "the catalogue";
        EXPECT_NE(html.find("You cannot import an Excel file."), std::string::npos);
        EXPECT_NE(html.find("Invalid Dates in Import File"), std::string::npos);
        EXPECT_EQ(titles(),
                  shellResult > 32 ? std::vector<std::string>{} : std::vector<std::string>{"Help"});
    }
}

TEST_F(MainMenuTest, TheToggleAlternatesItsCaptionAndThePagesAreCentredAgainAfterAResize) {
    auto& w = startMainMenu();
    auto expectCentred = [&] {
        const float left = (w.ScaleWidth() - 7575) / 2, top = (w.ScaleHeight() - 5535) / 2;
        EXPECT_FLOAT_EQ(w.insTabBox.left, left);
        EXPECT_FLOAT_EQ(w.insTabBox.top, top);
        EXPECT_FLOAT_EQ(w.shape1Box.left, left);
        EXPECT_FLOAT_EQ(w.shape1Box.top, top - 255);
        EXPECT_FLOAT_EQ(w.cmdCloseBox.top, top - 255 + 20);
        EXPECT_FLOAT_EQ(w.cmdCloseBox.left, left + 7575 - 225 - 20);
        EXPECT_EQ(w.InsTab->geometry(), QRect(ui::toPixels(left), ui::toPixels(top), 505, 369));
        EXPECT_EQ(w.Shape1->geometry().bottom() + 1, w.InsTab->geometry().top());
    };
    expectCentred();
    ASSERT_TRUE(w.InsTab->isVisible());
    for (bool shown : {false, true, false}) { // the caption has no access key
        w.mnuInstructions->trigger();
        EXPECT_EQ(w.mnuInstructions->text(), shown ? "Remove Instructions" : "Show Instructions");
        for (QWidget* part : std::initializer_list<QWidget*>{w.InsTab, w.Shape1, w.cmdClose})
            EXPECT_EQ(part->isVisible(), shown) << part->objectName().toStdString();
    }
    w.mnuInstructions->trigger();
    QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    EXPECT_EQ(w.mnuInstructions->text(), "Show Instructions");
    EXPECT_FALSE(w.InsTab->isVisible());

    w.resize(1200, 900);
    QApplication::processEvents();
    w.mnuInstructions->trigger();
    EXPECT_TRUE(w.InsTab->isVisible());
    expectCentred();
    EXPECT_GT(w.InsTab->geometry().left(), 200);
}

TEST_F(MainMenuTest, TheAboutBoxShowsTitleAndVersionAndExitClosesAll) {
    auto& w = startMainMenu();
    QString shown; // caption, version and title
    whenOpens<app::frmAbout>([&](app::frmAbout& about) {
        shown = about.windowTitle() + "|" + about.lblVersion->text() + "|" + about.lblTitle->text();
        QTest::mouseClick(about.cmdOK, Qt::LeftButton);
    });
    w.mnuVersion->trigger();
    EXPECT_EQ(shown, "About Tarnfield|Version 2.0.1|Tarnfield");
    EXPECT_FALSE(context.windows.isLoaded<app::frmAbout>());
    EXPECT_EQ(app::versionLabel({2, 0, 12}), "Version 2.0.12");
    // Exit closes every window and ends the program.
    context.windows.get<app::frmAbout>().show();
    w.mnuFileExit->trigger();
    EXPECT_FALSE(context.windows.isLoaded<app::frmAbout>());
    EXPECT_EQ(exitRequests, 1);
}

} // namespace
