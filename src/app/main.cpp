#include "app/AppDir.h"
#include "app/frmMainMenu.h"
#include "platform/HostPath.h"
#include "ui/AppContext.h"
#include "ui/QtInteraction.h"

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(ui::kProgramTitle));

    const char* path = std::getenv("PATH");
    auto ownFolder = hostpath::fromNative(
        std::filesystem::path(QApplication::applicationDirPath().toStdU16String()));
    auto folder = app::programFolder(argc > 0 ? argv[0] : "", path ? path : "", ownFolder);

    ui::QtInteraction interaction(ui::kProgramTitle);
    ui::AppContext context(interaction, folder);
    context.exitProgram = [] {
        QApplication::closeAllWindows();
        QApplication::exit(0);
    };

    app::frmMainMenu mainWindow(context);
    context.mainWindow = &mainWindow;
    interaction.setOwner(&mainWindow);
    mainWindow.Form_Load();
    return application.exec();
}
