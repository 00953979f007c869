#include "app/AppDir.h"
#include "app/frmMainMenu.h"
#include "platform/HostPath.h"
#include "ui/AppContext.h"
#include "ui/QtInteraction.h"
#include "ui/WindowRegistry.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(ui::kProgramTitle));

    // --screenshot FILE: saves a picture of the main window as it starts, then ends; the demo
    // shows the window this way on a machine without a display.
    QString screenshot;
    const QStringList arguments = QApplication::arguments();
    if (const auto at = arguments.indexOf(QStringLiteral("--screenshot"));
        at >= 0 && at + 1 < arguments.size())
        screenshot = arguments[at + 1];

    auto ownFolder = hostpath::fromNative(
        std::filesystem::path(QApplication::applicationDirPath().toStdU16String()));
#ifdef _WIN32
    // Windows says where the executable itself is, whichever way it was started.
    auto folder = app::programFolder(
        hostpath::fromNative(std::filesystem::path(
            QDir::toNativeSeparators(QApplication::applicationFilePath()).toStdU16String())),
        "", ownFolder);
#else
    const char* path = std::getenv("PATH");
    auto folder = app::programFolder(argc > 0 ? argv[0] : "", path ? path : "", ownFolder);
#endif

    ui::QtInteraction interaction(ui::kProgramTitle);
    ui::AppContext context(interaction, folder);
    context.exitProgram = [] {
        QApplication::closeAllWindows();
        QApplication::exit(0);
    };

    app::frmMainMenu mainWindow(context);
    context.mainWindow = &mainWindow;
    interaction.setOwner(&mainWindow);
    ui::placeOverOwner(&mainWindow); // the middle of the screen
    if (!screenshot.isEmpty()) {
        QTimer::singleShot(500, [&] {
            const bool saved = mainWindow.grab().save(screenshot, "PNG");
            if (!saved)
                std::fprintf(stderr, "tarnfield: cannot write %s\n", qPrintable(screenshot));
            QApplication::exit(saved ? 0 : 1);
        });
    }
    mainWindow.Form_Load();
    return application.exec();
}
