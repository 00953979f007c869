// The third step of the wizard: the company the data goes into. It also serves the restore
// command, which asks for the company whose files are restored.
#pragma once

#include "hostdata/AccountList.h"
#include "ui/WindowRegistry.h"

#include <QDialog>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

namespace ui {
struct AppContext;
}

namespace wizard {

class frmStepThree : public QDialog, public ui::Form {
    Q_OBJECT
public:
    explicit frmStepThree(ui::AppContext& context);
    void Form_Load() override;

    QLabel* lblInstructions;
    QComboBox* cboCompany;
    QPushButton* cmdPrevious;
    QPushButton* cmdNext;
    QPushButton* cmdCancel;

public slots:
    void cmdNext_Click();
    void cmdPrevious_Click();
    void cmdCancel_Click();
    void reject() override;

private:
    bool restoreMode() const;
    void lookUpAccount();

    ui::AppContext& context_;
    std::vector<hostdata::AccountRecord> accounts_; // in file order
};

} // namespace wizard
