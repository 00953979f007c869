// The clean-up window: removes the numbered data files the host no longer needs from every
// account folder, and says how many went.
#pragma once

#include "ui/WindowRegistry.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace ui {
struct AppContext;
}

namespace tools {

class frmCleanUp : public QDialog, public ui::Form {
    Q_OBJECT
public:
    explicit frmCleanUp(ui::AppContext& context);
    void Form_Load() override;

    QLabel* lblCleanData;
    QGroupBox* Frame1;
    QPushButton* cmdEval;
    QLabel* Label3;
    QLabel* Label1;
    QLabel* Label2;
    QProgressBar* ProgressBar1;
    QPushButton* cmdCancel;

public slots:
    void cmdEval_Click();
    void cmdCancel_Click();

private:
    ui::AppContext& context_;
};

} // namespace tools
