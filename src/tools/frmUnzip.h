// The unzip window: extracts a zip archive, usually an update of the host's program files,
// into a folder, by default the archive's own.
#pragma once

#include "app/WindowRegistry.h"

#include <QDialog>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QPushButton;
class QTreeView;

namespace app {
struct AppContext;
}

namespace tools {

// A path as the labels show it: over 45 characters, the first 44 and "~".
std::string shortenedPath(const std::string& path);

class frmUnzip : public QDialog, public app::Form {
    Q_OBJECT
public:
    explicit frmUnzip(app::AppContext& context);

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
    app::AppContext& context_;
};

// The destination chooser: a drive list and a folder list.
class Dialog : public QDialog, public app::Form {
    Q_OBJECT
public:
    explicit Dialog(app::AppContext& context);
    void Form_Load() override;

    QComboBox* Drive1;
    QTreeView* Dir1;
    QPushButton* OKButton;
    QPushButton* CancelButton;

    // The folder chosen by OK, or empty.
    std::string chosenFolder;

public slots:
    void Drive1_Change();
    void OKButton_Click();
    void CancelButton_Click();

private:
    app::AppContext& context_;
    QFileSystemModel* model_;
};

} // namespace tools
