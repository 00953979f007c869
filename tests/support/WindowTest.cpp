#include "support/WindowTest.h"

#include <QApplication>
#include <QTimer>

namespace testsupport {

void ensureApplication() {
    if (QApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "tarnfield-tests";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(argc, argv);
}

void whenModalOpens(std::function<void()> action) {
    QTimer::singleShot(0, [action = std::move(action)] { action(); });
}

WindowTest::WindowTest() : context((ensureApplication(), ui), host.withSlash()) {
    context.exitProgram = [this] { ++exitRequests; };
    context.session.AppDir = host.withSlash();
}

WindowTest::~WindowTest() {
    mainMenu.reset();
    context.windows.unloadAll();
    QApplication::processEvents();
}

app::frmMainMenu& WindowTest::startMainMenu() {
    mainMenu = std::make_unique<app::frmMainMenu>(context);
    context.mainWindow = mainMenu.get();
    mainMenu->resize(900, 700);
    mainMenu->Form_Load();
    QApplication::processEvents();
    return *mainMenu;
}

std::vector<std::string> WindowTest::titles() const {
    std::vector<std::string> out;
    for (const auto& m : ui.messages())
        out.push_back(m.title);
    return out;
}

} // namespace testsupport
