#include "app/AppContext.h"
#include "app/AppDir.h"
#include "app/frmMainMenu.h"
#include "platform/HostPath.h"
#include "platform/QtInteraction.h"

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(app::kProgramTitle));

    const char* path = std::getenv("PATH");
    auto ownFolder = hostpath::fromNative(
        std::filesystem::path(QApplication::applicationDirPath().toStdU16String()));
    auto folder = app::programFolder(argc > 0 ? argv[0] : "", path ? path : "", ownFolder);

    platform::QtInteraction ui(app::kProgramTitle);
    app::AppContext context(ui, folder);
    context.exitProgram = [] {
        QApplication::closeAllWindows();
        QApplication::exit(0);
    };

    app::frmMainMenu mainWindow(context);
    context.mainWindow = &mainWindow;
    ui.setOwner(&mainWindow);
    mainWindow.Form_Load();
    return application.exec();
}
