// The two small dialogs in front of the structure editor: the type dialog, which asks for the
// file type when a toolbar command starts (and deletes a format by name from the menu), and
// the format chooser, which offers the saved formats of the current type for opening or for
// deletion. Both report back through the session only; a cancelled one sets ModeCode 9999.
#pragma once

#include "app/WindowRegistry.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace app {
struct AppContext;
}

namespace formats {

inline constexpr const char* kNewFormatEntry = "Enter a New Field Format";

class Dialog1 : public QDialog, public app::Form {
    Q_OBJECT
public:
    explicit Dialog1(app::AppContext& context);
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
    app::AppContext& context_;
};

class frmGetFormat : public QDialog, public app::Form {
    Q_OBJECT
public:
    explicit frmGetFormat(app::AppContext& context);
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
    app::AppContext& context_;
};

} // namespace formats
