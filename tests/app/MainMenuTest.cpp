#include "app/Instructions.h"
#include "app/frmAbout.h"
#include "app/frmMainMenu.h"
#include "formats/FormatStore.h"
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
#include <algorithm>

namespace fs = std::filesystem;
using platform::Icon;
using platform::ScriptedInteraction;

namespace {

class MainMenuTest : public testsupport::WindowTest {
protected:
    void writeAccounts(int n) {
        std::string bytes;
        for (int i = 0; i < n; ++i) {
            std::string r(102, ' ');
            r[0] = r[1] = 0;
            r.replace(2, 5, "ACME\\");
            r.replace(52, 4, "Acme");
            bytes += r;
        }
        testsupport::writeFile(host / "Account.dat", bytes);
    }

    app::frmMainMenu& start() {
        window = std::make_unique<app::frmMainMenu>(context);
        context.mainWindow = window.get();
        window->resize(900, 700);
        window->Form_Load();
        QApplication::processEvents();
        return *window;
    }

    std::unique_ptr<app::frmMainMenu> window;
};

TEST_F(MainMenuTest, FirstRunInAnEmptyFolder) {
    auto& w = start();
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
    // Start-up goes on after the message.
    EXPECT_EQ(w.InsTab->currentIndex(), 0);
    EXPECT_FALSE(w.lblStep3->text().isEmpty());
}

TEST_F(MainMenuTest, TheMainWindowIsShownBeforeTheWrongFolderMessage) {
    bool shownUnder = false;
    ui.onMessage = [&](const ScriptedInteraction::Entry&) {
        shownUnder = window && window->isVisible();
    };
    start();
    EXPECT_TRUE(shownUnder);
}

TEST_F(MainMenuTest, AStoreWithAFormatShowsTheDeleteItemAndAccountsSilenceTheWarning) {
    formats::FormatStore(host.withSlash()).Append("Weekly", "QUALIFIER", {"Last Name"});
    writeAccounts(3);
    auto& w = start();
    EXPECT_TRUE(w.mnuFileDeleteFormat->isVisible());
    EXPECT_TRUE(w.mnuFileDeleteFormat->isEnabled());
    EXPECT_EQ(context.session.AccountCount, 3);
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(MainMenuTest, TheInstructionPagesHoldTheirTextsExactly) {
    auto& w = start();
    EXPECT_EQ(w.windowTitle(), "Brandmoor Software Import & Utilities Program");
    EXPECT_EQ(ui::fromQt(w.lblInstructions->text()), app::instructionsText());
    EXPECT_EQ(ui::fromQt(w.lblStep1->text()), app::step1Text());
    EXPECT_EQ(ui::fromQt(w.lblStep2->text()), app::step2Text());
    EXPECT_EQ(ui::fromQt(w.lblStep3->text()), app::step3Text());

    const auto intro = app::instructionsText();
    EXPECT_NE(intro.find("Tarnfield\xA9 will create"), std::string::npos);
    EXPECT_EQ(intro.find('\r'), std::string::npos);
    EXPECT_NE(intro.find(".\n\nTarnfield"), std::string::npos);
    EXPECT_NE(app::step1Text().find("in the \"A1\" box in Excel.  (Headers\n"), std::string::npos);
    EXPECT_NE(app::step1Text().find("Delimited) (*.txt)\" option in the \"Save As Type\" drop"),
              std::string::npos);
    const auto last = app::step3Text();
    EXPECT_NE(last.find("correctly.\n\n\n            Congratulations!"), std::string::npos);
    const auto step2 = app::step2Text();
    EXPECT_EQ(std::count(step2.begin(), step2.end(), '\n'), 14);

    ASSERT_EQ(w.InsTab->count(), 4);
    EXPECT_EQ(w.InsTab->tabText(0), "&Import Instructions");
    EXPECT_EQ(w.InsTab->tabText(3), "Step &3");
}

TEST_F(MainMenuTest, TheMenuTreeHasItsNamesCaptionsAndVisibility) {
    auto& w = start();
    struct Item {
        QAction* action;
        const char* name;
        const char* caption;
        bool visible;
    };
    for (const auto& item : std::initializer_list<Item>{
             {w.mnuFile->menuAction(), "mnuFile", "&File", true},
             {w.mnuFileCreate->menuAction(), "mnuFileCreate", "&Create Import File", true},
             {w.mnuFileCreateEmployee, "mnuFileCreateEmployee", "&Active Employee Import File",
              true},
             {w.mnuFileCreateQualifier, "mnuFileCreateQualifier", "&COBRA Qualifier Import File",
              true},
             {w.mnuFileImportParticipant, "mnuFileImportParticipant",
              "COBRA &Participant Import File", true},
             {w.mnuFileImportRetiree, "mnuFileImportRetiree", "Retired Employee Import File", true},
             {w.mnuFileDeleteFormat, "mnuFileDeleteFormat", "&Delete a Created Format", false},
             {w.mnuFileRestore, "mnuFileRestore", "&Restore Prior to Import", true},
             {w.mnuSystemRestore, "mnuSystemRestore", "&System Backup & Restore", false},
             {w.mnuFileExit, "mnuFileExit", "E&xit", true},
             {w.mnuTools->menuAction(), "mnuTools", "&Tools", true},
             {w.mnuToolsUnzip, "mnuToolsUnzip", "&Unzip A File", true},
             {w.mnuToolsClean, "mnuToolsClean", "&Clean Brandmoor Acct folders", true},
             {w.mnuBckArcLetrs, "mnuBckArcLetrs", "Archived Sent Notification", false},
             {w.mnuArchiveLetters, "mnuArchiveLetters", "Send Files to Archive (All Companies)",
              false},
             {w.mnuHelp->menuAction(), "mnuHelp", "&Help", true},
             {w.mnuInstructions, "mnuInstructions", "&Remove Instructions", true},
             {w.mnuVersion, "mnuVersion", "&Version", true},
         }) {
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
    auto& w = start();
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

    ui.clearTranscript();
    actions[7]->trigger();
    ASSERT_EQ(ui.transcript().size(), 1u);
    EXPECT_EQ(ui.transcript()[0].kind, ScriptedInteraction::Kind::Shell);
    EXPECT_EQ(ui.transcript()[0].text, app::kHelpAddress);
}

TEST_F(MainMenuTest, TheToggleAlternatesItsCaptionWithoutAccessKey) {
    auto& w = start();
    ASSERT_TRUE(w.InsTab->isVisible());
    w.mnuInstructions->trigger();
    EXPECT_EQ(w.mnuInstructions->text(), "Show Instructions");
    EXPECT_FALSE(w.InsTab->isVisible());
    EXPECT_FALSE(w.Shape1->isVisible());
    EXPECT_FALSE(w.cmdClose->isVisible());
    w.mnuInstructions->trigger();
    EXPECT_EQ(w.mnuInstructions->text(), "Remove Instructions");
    EXPECT_TRUE(w.InsTab->isVisible());
    EXPECT_TRUE(w.Shape1->isVisible());
    EXPECT_TRUE(w.cmdClose->isVisible());
    w.mnuInstructions->trigger();
    EXPECT_EQ(w.mnuInstructions->text(), "Show Instructions");

    w.mnuInstructions->trigger();
    QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    EXPECT_EQ(w.mnuInstructions->text(), "Show Instructions");
    EXPECT_FALSE(w.InsTab->isVisible());
}

TEST_F(MainMenuTest, ThePagesAreCentredAgainAfterAResize) {
    auto& w = start();
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

    QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    w.resize(1200, 900);
    QApplication::processEvents();
    w.mnuInstructions->trigger();
    EXPECT_TRUE(w.InsTab->isVisible());
    expectCentred();
    EXPECT_GT(w.InsTab->geometry().left(), 200);
}

TEST_F(MainMenuTest, TheAboutBoxShowsTitleAndVersion) {
    auto& w = start();
    QString caption, version, title;
    testsupport::whenModalOpens([&] {
        auto* about = context.windows.find<app::frmAbout>();
        ASSERT_NE(about, nullptr);
        caption = about->windowTitle();
        version = about->lblVersion->text();
        title = about->lblTitle->text();
        QTest::mouseClick(about->cmdOK, Qt::LeftButton);
    });
    w.mnuVersion->trigger();
    EXPECT_EQ(caption, "About Tarnfield");
    EXPECT_EQ(version, "Version 2.0.1");
    EXPECT_EQ(title, "Tarnfield");
    EXPECT_FALSE(context.windows.isLoaded<app::frmAbout>());
    EXPECT_EQ(app::versionLabel({2, 0, 12}), "Version 2.0.12");
}

TEST_F(MainMenuTest, ExitClosesEveryWindowAndEndsTheProgram) {
    auto& w = start();
    context.windows.get<app::frmAbout>().show();
    w.mnuFileExit->trigger();
    EXPECT_FALSE(context.windows.isLoaded<app::frmAbout>());
    EXPECT_EQ(exitRequests, 1);
}

} // namespace
