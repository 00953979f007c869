// Every window, drawn offscreen: no label, button or list shows its text cut off, and no window
// lies partly outside the screen.
#include "app/frmAbout.h"
#include "app/frmMainMenu.h"
#include "backup/frmCreatBackup.h"
#include "backup/frmRestoreData.h"
#include "backup/frmRestoreData2.h"
#include "backup/frmStartBackup.h"
#include "formats/Dialog1.h"
#include "formats/frmGetFormat.h"
#include "restore/frmRestore.h"
#include "support/HostFiles.h"
#include "support/SampleDatabases.h"
#include "support/WindowTest.h"
#include "tools/Dialog.h"
#include "tools/frmCleanUp.h"
#include "tools/frmUnzip.h"
#include "wizard/frmStepFour.h"
#include "wizard/frmStepThree.h"
#include "wizard/frmStepTwo.h"
#include "wizard/frmTab.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
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
                   wizard::frmStepTwo, wizard::frmStepThree, wizard::frmStepFour,
                   restore::frmRestore, tools::frmCleanUp, tools::frmUnzip, tools::Dialog,
                   backup::frmStartBackup, backup::frmRestoreData, backup::frmRestoreData2,
                   backup::frmCreatBackup>(problems);
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

} // namespace
