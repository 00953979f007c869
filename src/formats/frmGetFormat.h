// The format chooser, which offers the saved formats of the current type for opening or for
// deletion. A cancelled one sets ModeCode to kCancelled.
#pragma once

#include "ui/WindowRegistry.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace ui {
struct AppContext;
}

namespace formats {

inline constexpr const char* kNewFormatEntry = "Enter a New Field Format";

class frmGetFormat : public QDialog, public ui::Form {
    Q_OBJECT
public:
    explicit frmGetFormat(ui::AppContext& context);
    void Form_Load() override;

    QLabel* Label1;
    QComboBox* cboFormat;
    QPushButton* cmdOk;
    QPushButton* cmdCancel;

public slots:
    void cmdOK_Click();
    void cmdCancel_Click();
    void reject() override;

private:
    ui::AppContext& context_;
};

} // namespace formats
