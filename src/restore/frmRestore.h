// The restore window: puts an account's data files back as they were before an import.
#pragma once

#include "restore/RestorePoints.h"
#include "ui/WindowRegistry.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace ui {
struct AppContext;
}

namespace restore {

class frmRestore : public QDialog, public ui::Form {
    Q_OBJECT
public:
    explicit frmRestore(ui::AppContext& context);
    void Form_Load() override;

    QLabel* Label1;
    QComboBox* cboType;
    QComboBox* cboRestorePoint;
    QCheckBox* chkCompany;
    QCheckBox* chkInsurance;
    QPushButton* cmdRestore;
    QPushButton* cmdCancel;

    const std::vector<RestorePoint>& restorePoints() const { return points_; }

public slots:
    void cboType_Click();
    void cboRestorePoint_Click();
    void cmdRestore_Click();
    void cmdCancel_Click();

private:
    void noRestoreFiles();

    ui::AppContext& context_;
    std::vector<RestorePoint> points_;
};

} // namespace restore
