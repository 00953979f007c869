// The details of one catalogued backup.
#pragma once

#include "ui/WindowRegistry.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace ui {
struct AppContext;
}

namespace backup {

class frmRestoreData2 : public QDialog, public ui::Form {
    Q_OBJECT
public:
    explicit frmRestoreData2(ui::AppContext& context);
    void Form_Load() override;

    QLabel* lblDatatoRestore;
    QPushButton* cmdBack;
    QPushButton* cmdNext;
    QPushButton* cmdCancel;

public slots:
    void cmdBack_Click();
    void cmdNext_Click();
    void cmdCancel_Click();

private:
    ui::AppContext& context_;
};

} // namespace backup
