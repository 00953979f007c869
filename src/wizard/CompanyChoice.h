// The third and fourth steps of the wizard: the company the data goes into, and which line of
// the file is the first record. The company chooser also serves the restore command.
#pragma once

#include "app/WindowRegistry.h"
#include "hostdata/AccountList.h"

#include <QDialog>
#include <QWidget>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace app {
struct AppContext;
}

namespace wizard {

class frmStepThree : public QDialog, public app::Form {
    Q_OBJECT
public:
    explicit frmStepThree(app::AppContext& context);
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

    app::AppContext& context_;
    std::vector<hostdata::AccountRecord> accounts_; // in file order
};

class frmStepFour : public QWidget, public app::Form {
    Q_OBJECT
public:
    explicit frmStepFour(app::AppContext& context);
    void Form_Load() override;

    QRadioButton* optOne;
    QRadioButton* optTwo;
    QLabel* lblrecord1;
    QLabel* lblrecord2;
    QPushButton* cmdPrevious;
    QPushButton* cmdCreate;
    QPushButton* cmdCancel;

public slots:
    void optOne_Click();
    void optTwo_Click();
    void cmdPrevious_Click();
    void cmdCancel_Click();
    void cmdCreate_Click();

protected:
    // Shown again after a new verification, it shows that file's lines.
    void showEvent(QShowEvent* event) override;

private:
    app::AppContext& context_;
};

} // namespace wizard
