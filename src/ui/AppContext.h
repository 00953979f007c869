// What every window is given: the program-wide session, the user interaction services, the
// window registry and the main window that owns the others.
#pragma once

#include "platform/Dates.h"
#include "platform/Interaction.h"
#include "session/ImportSession.h"
#include "ui/WindowRegistry.h"

#include <functional>
#include <string>

class QWidget;

namespace ui {

inline constexpr const char* kProgramTitle = "Tarnfield";

struct AppContext {
    AppContext(platform::UserInteraction& ui, std::string programFolder)
        : ui(ui), programFolder(std::move(programFolder)), windows(*this) {}

    platform::UserInteraction& ui;
    std::string programFolder; // the folder the program was started from, with a separator
    session::ImportSession session;
    WindowRegistry windows;
    QWidget* mainWindow = nullptr;

    // Ends the program at once; the program sets it to quit the event loop.
    std::function<void()> exitProgram;

    // Today's date on the user's clock; tests set a fixed day.
    std::function<dates::Date()> today = systemToday;
    static dates::Date systemToday();

    // Runs one event handler's work; an error it did not handle itself becomes one critical
    // message, and the program keeps running. False when the work failed so.
    bool guarded(const std::function<void()>& work);
};

} // namespace ui
