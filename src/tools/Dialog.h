// The unzip window's destination chooser: a drive list and a folder list.
#pragma once

#include "ui/WindowRegistry.h"

#include <QDialog>
#include <string>

class QComboBox;
class QFileSystemModel;
class QPushButton;
class QTreeView;

namespace ui {
struct AppContext;
}

namespace tools {

class Dialog : public QDialog, public ui::Form {
    Q_OBJECT
public:
    explicit Dialog(ui::AppContext& context);
    void Form_Load() override;

    QComboBox* Drive1;
    QTreeView* Dir1;
    QPushButton* OKButton;
    QPushButton* CancelButton;

    // The folder chosen by OK, or empty.
    std::string chosenFolder;

    // Opens on this folder (a host path), selected, so that OK without a change keeps it.
    void startAt(const std::string& folder);

public slots:
    void Drive1_Change();
    void OKButton_Click();
    void CancelButton_Click();

private:
    ui::AppContext& context_;
    QFileSystemModel* model_;
};

} // namespace tools
