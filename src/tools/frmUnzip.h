// The unzip window: extracts a zip archive, usually an update of the host's program files,
// into a folder, by default the archive's own.
#pragma once

#include "ui/WindowRegistry.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace ui {
struct AppContext;
}

namespace tools {

// A path as the labels show it: over 45 characters, the first 44 and "~".
std::string shortenedPath(const std::string& path);

class frmUnzip : public QDialog, public ui::Form {
    Q_OBJECT
public:
    explicit frmUnzip(ui::AppContext& context);

    QLabel* lblFile;
    QLabel* lblUnzipTo;
    QPushButton* cmdBrowse;
    QPushButton* cmdBrowseDestination;
    QPushButton* cmdUnzipFile;
    QPushButton* cmdClose;

    std::string ZipPath;
    std::string DestDir; // ends with a separator

public slots:
    void cmdBrowse_Click();
    void cmdBrowseDestination_Click();
    void cmdUnzipFile_Click();
    void cmdClose_Click();

private:
    ui::AppContext& context_;
};

} // namespace tools
