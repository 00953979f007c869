// The start window of the backup catalogue: make a backup or restore one.
#pragma once

#include "ui/WindowRegistry.h"

#include <QDialog>

class QPushButton;
class QRadioButton;

namespace ui {
struct AppContext;
}

namespace backup {

class frmStartBackup : public QDialog, public ui::Form {
    Q_OBJECT
public:
    explicit frmStartBackup(ui::AppContext& context);
    void Form_Load() override;

    QRadioButton* optCreate;
    QRadioButton* optRestore;
    QPushButton* cmdNext;
    QPushButton* cmdCancel;

public slots:
    void cmdNext_Click();
    void cmdCancel_Click();

private:
    ui::AppContext& context_;
};

} // namespace backup
