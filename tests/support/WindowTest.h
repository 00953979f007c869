// Window tests: a Qt application running offscreen, a host folder in a temporary directory,
// and scripted user interaction whose transcript the tests read. The session's program folder is
// the host folder, as the main window's loading makes it.
#pragma once

#include "app/frmMainMenu.h"
#include "platform/ScriptedInteraction.h"
#include "support/HostFiles.h"
#include "support/TempDir.h"
#include "ui/AppContext.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace testsupport {

// Creates the one QApplication of the test program on first use.
void ensureApplication();

// Runs action as soon as a modal window opens (QTimer::singleShot(0) before exec()).
void whenModalOpens(std::function<void()> action);

class WindowTest : public testing::Test {
protected:
    WindowTest();
    ~WindowTest() override;

    // Runs action on the window of that type as soon as it opens modally.
    template <typename Window>
    void whenOpens(std::function<void(Window&)> action) {
        whenModalOpens([this, action = std::move(action)] {
            auto* w = context.windows.find<Window>();
            ASSERT_NE(w, nullptr) << Window::staticMetaObject.className() << " is not open";
            action(*w);
        });
    }

    // The main window, loaded as the program starts it.
    app::frmMainMenu& startMainMenu();
    // The titles of the messages shown so far, in order.
    std::vector<std::string> titles() const;

    TempDir host;
    platform::ScriptedInteraction ui;
    ui::AppContext context;
    std::unique_ptr<app::frmMainMenu> mainMenu;
    int exitRequests = 0;
};

} // namespace testsupport
