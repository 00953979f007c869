// Dialogs as the user meets them: closing one from its title bar is the same cancel as its
// Cancel button and Escape, and a dialog belongs to the window the user works in.
#include "formats/Dialog1.h"
#include "formats/frmGetFormat.h"
#include "session/Modes.h"
#include "support/WindowTest.h"
#include "ui/QtInteraction.h"
#include "ui/TextViewer.h"
#include "wizard/frmStepThree.h"
#include "wizard/frmStepTwo.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

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
