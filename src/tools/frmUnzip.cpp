#include "tools/frmUnzip.h"

#include "platform/Ansi.h"
#include "platform/HostPath.h"
#include "platform/Unzip.h"
#include "tools/Dialog.h"
#include "ui/AppContext.h"
#include "ui/QtText.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <system_error>

using ui::toQt;

namespace tools {
namespace {

bool endsWithSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

std::string withSeparator(std::string path) {
    if (!endsWithSeparator(path))
        path += static_cast<char>(std::filesystem::path::preferred_separator);
    return path;
}

// The number of an extraction's failure: the archive's error code, or the system's; a failure
// with neither is told by its own text.
std::string errorCode(const std::exception& e) {
    if (const auto* archive = dynamic_cast<const unzip::ArchiveError*>(&e))
        return std::to_string(archive->code());
    if (const auto* system = dynamic_cast<const std::system_error*>(&e))
        return std::to_string(system->code().value()) + "\n" + ansi::fromUtf8(system->what());
    return "0\n" + ansi::fromUtf8(e.what());
}

} // namespace

std::string shortenedPath(const std::string& path) {
    return path.size() > 45 ? path.substr(0, 44) + "~" : path;
}

frmUnzip::frmUnzip(ui::AppContext& context) : QDialog(context.mainWindow), context_(context) {
    setObjectName(QStringLiteral("frmUnzip"));
    setWindowTitle(QStringLiteral("Unzip A File"));
    setModal(true);
    auto* intro = new QLabel(QStringLiteral(
        "The Unzip procedure is designed to unzip files (usually executable files) in the root "
        "directory of the Brandmoor program.  Click the first Browse button and select the file "
        "you wish to Unzip.  Next, select the lower Browse button and select where you want the "
        "file unzipped to (usually it is the same folder).  When complete, click the Unzip Now "
        "button."));
    intro->setWordWrap(true);
    auto* frame = new QGroupBox(
        QStringLiteral("Select the file you wish to unzip and the destination folder"));
    lblFile = new QLabel(QStringLiteral("Not Selected"));
    lblUnzipTo = new QLabel(QStringLiteral("File Destination"));
    cmdBrowse = new QPushButton(QStringLiteral("&Browse"));
    cmdBrowseDestination = new QPushButton(QStringLiteral("Brow&se"));
    cmdBrowseDestination->setEnabled(false);
    cmdUnzipFile = new QPushButton(QStringLiteral("&Unzip Now"));
    cmdUnzipFile->setEnabled(false);
    cmdClose = new QPushButton(QStringLiteral("&Close"));

    auto* grid = new QGridLayout(frame);
    grid->addWidget(new QLabel(QStringLiteral("File to Unzip:")), 0, 0);
    grid->addWidget(lblFile, 0, 1);
    grid->addWidget(cmdBrowse, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Unzip To:")), 1, 0);
    grid->addWidget(lblUnzipTo, 1, 1);
    grid->addWidget(cmdBrowseDestination, 1, 2);
    grid->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdUnzipFile);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    resize(520, 260);

    connect(cmdBrowse, &QPushButton::clicked, this, &frmUnzip::cmdBrowse_Click);
    connect(cmdBrowseDestination, &QPushButton::clicked, this,
            &frmUnzip::cmdBrowseDestination_Click);
    connect(cmdUnzipFile, &QPushButton::clicked, this, &frmUnzip::cmdUnzipFile_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmUnzip::cmdClose_Click);
}

void frmUnzip::cmdBrowse_Click() {
    auto chosen = context_.ui.openFile({"Choose the file you wish to Unzip.",
                                        context_.session.AppDir, "", "Zip Files (*.Zip)|*.Zip|"});
    if (!chosen)
        return;
    ZipPath = *chosen;
    lblFile->setText(toQt(shortenedPath(std::string(ansi::trim(ZipPath)))));
    DestDir = hostpath::folderOf(ZipPath);
    lblUnzipTo->setText(toQt(shortenedPath(DestDir)));
    cmdBrowseDestination->setEnabled(true);
    cmdUnzipFile->setEnabled(true);
    cmdUnzipFile->setFocus();
}

void frmUnzip::cmdBrowseDestination_Click() {
    auto& chooser = context_.windows.get<Dialog>();
    chooser.startAt(DestDir);
    chooser.exec();
    if (!chooser.chosenFolder.empty()) {
        DestDir = withSeparator(chooser.chosenFolder);
        lblUnzipTo->setText(toQt(DestDir));
    }
    context_.windows.unload<Dialog>();
}

void frmUnzip::cmdUnzipFile_Click() {
    auto& ui = context_.ui;
    DestDir = withSeparator(DestDir);
    ui.setBusy(true);
    try {
        const std::string archive(ansi::trim(ZipPath));
        const std::string item = unzip::firstItemName(archive);
        if (!item.empty() && hostpath::isFile(DestDir + item)) {
            auto answer = ui.question("Confirm File Replace",
                                      "This folder already contains a file named '" + item +
                                          "'.\n\nWould you like to replace the existing file?\n\n");
            if (answer != platform::Answer::Yes) {
                ui.information("Unzip Canceled", "You have Chossen to cancel the proccess");
                ui.setBusy(false);
                return;
            }
        }
        const int result = unzip::extractAll(archive, DestDir);
        // Failures are told whether or not a file was replaced: nothing silent.
        if (result == unzip::kCannotCreate)
            ui.critical("Unzip Error",
                        "During the extraction process the program must be able to exclusively "
                        "access and create a file which has a name formed by the Destination and "
                        "internal zip item name.  If a destination directory is locked, or a file "
                        "by the same name is locked or marked as read only, then the creation of "
                        "the output file is impossible.");
        else if (result == unzip::kDiskFull)
            ui.critical("Unzip Error", "The archive's items need more space than is free on the "
                                       "disk of " +
                                           DestDir + ".  Nothing was extracted.");
        else if (result >= 1)
            ui.critical("Unzip Error",
                        "There was an undefined unzip error" + std::to_string(result));
        ui.setBusy(false);
    } catch (const std::exception& e) {
        // Every failure of the extraction, not only the archive's own, comes to this message.
        ui.setBusy(false);
        ui.critical("Unzip Error", "The program has encountered an error and your file will not be "
                                   "unziped.\nPlease try again\nError Code: " +
                                       errorCode(e));
    }
}

void frmUnzip::cmdClose_Click() {
    context_.windows.unload<frmUnzip>();
}

} // namespace tools
