// The group choice for a new backup.
#pragma once

#include "ui/WindowRegistry.h"

#include <QDialog>

class QComboBox;
class QPushButton;

namespace ui {
struct AppContext;
}

namespace backup {

class frmCreatBackup : public QDialog, public ui::Form {
    Q_OBJECT
public:
    explicit frmCreatBackup(ui::AppContext& context);
    void Form_Load() override;

    QComboBox* cboCompanyName;
    QPushButton* cmdBack;
    QPushButton* cmdNext;
    QPushButton* cmdCancel;

public slots:
    void cmdNext_Click();
    void cmdCancel_Click();

private:
    ui::AppContext& context_;
};

} // namespace backup
