// Dialogs as the user meets them: closing one from its title bar is the same cancel as its
// Cancel button and Escape, and a dialog belongs to the window the user works in.
#include "formats/Dialog1.h"
#include "formats/frmGetFormat.h"
#include "session/Modes.h"
#include "support/WindowTest.h"
#include "ui/QtInteraction.h"
#include "wizard/frmStepThree.h"
#include "wizard/frmStepTwo.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>

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

} // namespace
