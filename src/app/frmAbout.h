// The About box: the program's title and version.
#pragma once

#include "ui/WindowRegistry.h"

#include <QDialog>
#include <string>

class QFrame;
class QLabel;
class QPushButton;

namespace ui {
struct AppContext;
}

namespace app {

struct ProgramVersion {
    int major = 2;
    int minor = 0;
    int revision = 1;
};

// "Version 2.0.1": each number in decimal, without padding.
std::string versionLabel(const ProgramVersion& version);

class frmAbout : public QDialog, public ui::Form {
    Q_OBJECT
public:
    explicit frmAbout(ui::AppContext& context);
    void Form_Load() override;

    ProgramVersion version;

    QLabel* picIcon;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDescription;
    QLabel* lblDisclaimer;
    QFrame* Line1;
    QPushButton* cmdOK;

public slots:
    void cmdOK_Click();

private:
    ui::AppContext& context_;
};

} // namespace app
