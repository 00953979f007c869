// Window tests: a Qt application running offscreen, a host folder in a temporary directory,
// and scripted user interaction whose transcript the tests read.
#pragma once

#include "platform/ScriptedInteraction.h"
#include "support/TempDir.h"
#include "ui/AppContext.h"

#include <functional>
#include <gtest/gtest.h>

namespace testsupport {

// Creates the one QApplication of the test program on first use.
void ensureApplication();

// Runs action as soon as a modal window opens (QTimer::singleShot(0) before exec()).
void whenModalOpens(std::function<void()> action);

class WindowTest : public testing::Test {
protected:
    WindowTest();
    ~WindowTest() override;

    TempDir host;
    platform::ScriptedInteraction ui;
    ui::AppContext context;
    int exitRequests = 0;
};

} // namespace testsupport
