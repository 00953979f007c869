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
}

WindowTest::~WindowTest() {
    context.windows.unloadAll();
    QApplication::processEvents();
}

} // namespace testsupport
