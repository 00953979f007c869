// Every window as the user meets it: drawn offscreen with no label, button or list showing its
// text cut off and none partly outside the screen; a dialog closed from its title bar or with
// Escape cancels as its Cancel button does, and belongs to the window the user works in.
#include "app/frmAbout.h"
#include "app/frmMainMenu.h"
#include "backup/frmCreatBackup.h"
#include "backup/frmRestoreData.h"
#include "backup/frmRestoreData2.h"
#include "backup/frmStartBackup.h"
#include "formats/Dialog1.h"
#include "formats/frmGetFormat.h"
#include "restore/frmRestore.h"
#include "session/Modes.h"
#include "support/HostFiles.h"
#include "support/SampleDatabases.h"
#include "support/WindowTest.h"
#include "tools/Dialog.h"
#include "tools/frmCleanUp.h"
#include "tools/frmUnzip.h"
#include "ui/QtInteraction.h"
#include "ui/TextViewer.h"
#include "wizard/frmArrange.h"
#include "wizard/frmStepFour.h"
#include "wizard/frmStepThree.h"
#include "wizard/frmStepTwo.h"
#include "wizard/frmTab.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace {

class WindowLayoutTest : public testsupport::WindowTest {
protected:
    void SetUp() override {
        context.session.ModeCode = session::mode::kEmployee;
        context.session.FileTypeName = "EMPLOYEE";
        testsupport::writeAccounts(host / "Account.dat", {{"ACME\\", "Acme Manufacturing"},
                                                          {"HARBOR\\", "Harbor Freight Lines"}});
        testsupport::writeSampleCatalogue(host / "sysrestore.mdb");
        startMainMenu();
    }

    // What the user cannot read in full, as "window: widget 'text'".
    static std::vector<std::string> cutOff(QWidget& window) {
        std::vector<std::string> out;
        const QRect screen = QApplication::primaryScreen()->availableGeometry();
        if (!screen.contains(window.frameGeometry()))
            out.push_back(window.objectName().toStdString() + " lies partly off the screen");
        auto name = [&](QWidget* w, const QString& text) {
            return window.objectName().toStdString() + ": " + w->metaObject()->className() + " '" +
                   text.left(40).toStdString() + "'";
        };
        for (auto* label : window.findChildren<QLabel*>()) {
            if (!label->isVisibleTo(&window) || label->text().isEmpty())
                continue;
            const bool fits = label->wordWrap()
                                  ? label->heightForWidth(label->width()) <= label->height()
                                  : label->sizeHint().width() <= label->width() &&
                                        label->sizeHint().height() <= label->height();
            if (!fits)
                out.push_back(name(label, label->text()));
        }
        for (auto* button : window.findChildren<QAbstractButton*>()) {
            if (!button->isVisibleTo(&window) || button->text().isEmpty())
                continue;
            QString shown = button->text();
            shown.remove('&');
            if (button->fontMetrics().horizontalAdvance(shown) > button->width())
                out.push_back(name(button, button->text()));
        }
        return out;
    }

    template <typename... Windows>
    void expectReadable(std::vector<std::string>& problems) {
        (expectReadableOne<Windows>(problems), ...);
    }
    template <typename Window>
    void expectReadableOne(std::vector<std::string>& problems) {
        auto& window = context.windows.get<Window>();
        window.show();
        QApplication::processEvents();
        for (auto& p : cutOff(window))
            problems.push_back(p);
        // Over the main window, which sits in the middle of the screen.
        const QPoint off = window.frameGeometry().center() - mainMenu->frameGeometry().center();
        if (off.manhattanLength() > 4)
            problems.push_back(window.objectName().toStdString() + " is not over the main window");
        context.windows.unload<Window>();
        QApplication::processEvents();
    }
};

TEST_F(WindowLayoutTest, EveryWindowShowsItsTextsWholeAndOnTheScreen) {
    std::vector<std::string> problems;
    mainMenu->resize(640, 480);
    ui::placeOverOwner(mainMenu.get());
    QApplication::processEvents();
    for (auto& p : cutOff(*mainMenu))
        problems.push_back(p);
    expectReadable<app::frmAbout, formats::Dialog1, formats::frmGetFormat, wizard::frmTab,
                   wizard::frmArrange, wizard::frmStepTwo, wizard::frmStepThree,
                   wizard::frmStepFour, restore::frmRestore, tools::frmCleanUp, tools::frmUnzip,
                   tools::Dialog, backup::frmStartBackup, backup::frmRestoreData,
                   backup::frmRestoreData2, backup::frmCreatBackup>(problems);
    for (const auto& p : problems)
        ADD_FAILURE() << p;
}

// The clean-up window's result is longer than its first text: the window grows to show it.
TEST_F(WindowLayoutTest, TheCleanUpResultIsShownWhole) {
    std::filesystem::create_directory(host / "ACME");
    testsupport::writeFile(host / "ACME" / "1.dat", "x");
    auto& window = context.windows.get<tools::frmCleanUp>();
    window.show();
    QApplication::processEvents();
    window.cmdEval_Click();
    QApplication::processEvents();
    EXPECT_TRUE(window.Label3->text().startsWith("1 file(s) have been removed"));
    for (const auto& p : cutOff(window))
        ADD_FAILURE() << p;
}

class DialogCloseTest : public testsupport::WindowTest {
protected:
    template <typename Dialog>
    void expectCancelledBy(const char* how, void (*act)(QDialog&)) {
        context.session.ModeCode = session::mode::kEmployee;
        auto& dialog = context.windows.get<Dialog>();
        dialog.show();
        act(dialog);
        QApplication::processEvents();
        EXPECT_EQ(context.session.ModeCode, session::mode::kCancelled)
            << Dialog::staticMetaObject.className() << " " << how;
        EXPECT_FALSE(context.windows.isLoaded<Dialog>())
            << Dialog::staticMetaObject.className() << " " << how;
    }

    template <typename Dialog>
    void expectEveryWayCancels() {
        expectCancelledBy<Dialog>("closed from its title bar", [](QDialog& d) { d.close(); });
        expectCancelledBy<Dialog>("left with Escape", [](QDialog& d) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&d, &escape);
        });
    }
};

TEST_F(DialogCloseTest, TitleBarAndEscapeCancelLikeTheCancelButton) {
    // The restore form of the company chooser is the one whose cancel sets the mode.
    testsupport::writeFile(host / "Account.dat", std::string());
    expectEveryWayCancels<formats::Dialog1>();
    expectEveryWayCancels<formats::frmGetFormat>();
    context.session.ModeCode = session::mode::kRestore;
    auto& chooser = context.windows.get<wizard::frmStepThree>();
    chooser.show();
    chooser.close();
    QApplication::processEvents();
    EXPECT_EQ(context.session.ModeCode, session::mode::kCancelled);
    EXPECT_FALSE(context.windows.isLoaded<wizard::frmStepThree>());
}

TEST_F(DialogCloseTest, ADialogBelongsToTheWindowInUseSoFocusReturnsThere) {
    QWidget owner;
    context.mainWindow = &owner;
    owner.show();
    auto& wizard = context.windows.get<wizard::frmStepTwo>();
    wizard.show();
    QApplication::setActiveWindow(&wizard);
    EXPECT_EQ(ui::dialogParent(&owner), &wizard);
    wizard.hide();
    QApplication::setActiveWindow(nullptr);
    EXPECT_EQ(ui::dialogParent(&owner), &owner);
}

TEST_F(DialogCloseTest, TheLogViewerShowsTheLogReadOnlyInAFixedFontAndSavesItElsewhere) {
    const std::string log = "ACTIVE EMPLOYEE IMPORT FILE CREATION LOG\r\n"
                            "----------------------------------------\r\n\r\n"
                            "1)  In record #3, the field 'Last Name' is empty: O\x92Neil\r\n";
    testsupport::writeFile(host / "ImportLog.doc", log);
    ui::TextViewer viewer(nullptr, "ImportLog.doc", host.withSlash() + "ImportLog.doc");
    EXPECT_TRUE(viewer.text->isReadOnly());
    EXPECT_TRUE(viewer.text->font().fixedPitch());
    EXPECT_TRUE(viewer.text->toPlainText().contains(QStringLiteral("O\u2019Neil")))
        << "Windows-1252 text shown as such";
    EXPECT_TRUE(viewer.text->toPlainText().startsWith("ACTIVE EMPLOYEE IMPORT FILE CREATION LOG"));

    ASSERT_TRUE(viewer.saveAs(host.withSlash() + "copy.doc"));
    EXPECT_EQ(testsupport::readFile(host / "copy.doc"), log);

    ui::TextViewer missing(nullptr, "ImportLog.doc", host.withSlash() + "gone.doc");
    EXPECT_FALSE(missing.cmdPrint->isEnabled());
    EXPECT_FALSE(missing.cmdSaveAs->isEnabled());
    EXPECT_TRUE(missing.text->toPlainText().contains("cannot be read"));
}

} // namespace
