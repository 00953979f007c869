// The fourth step of the wizard: which line of the file is the first record; Create makes the
// import database and runs the import.
#pragma once

#include "ui/WindowRegistry.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QRadioButton;

namespace ui {
struct AppContext;
}

namespace wizard {

class frmStepFour : public QWidget, public ui::Form {
    Q_OBJECT
public:
    explicit frmStepFour(ui::AppContext& context);
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
    ui::AppContext& context_;
};

} // namespace wizard
