// The type dialog, which asks for the file type when a toolbar command starts, and deletes a format
// by name from the menu. A cancelled one sets ModeCode to kCancelled.
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

class Dialog1 : public QDialog, public ui::Form {
    Q_OBJECT
public:
    explicit Dialog1(ui::AppContext& context);
    void Form_Load() override;

    QLabel* Label1;
    QComboBox* Combo1;
    QPushButton* OKButton;
    QPushButton* CancelButton;

public slots:
    void OKButton_Click();
    void CancelButton_Click();
    // Escape and the title bar's close button cancel too.
    void reject() override;

private:
    ui::AppContext& context_;
};

} // namespace formats
