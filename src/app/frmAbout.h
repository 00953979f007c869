// The About box: the program's title and version.
#pragma once

#include "app/WindowRegistry.h"

#include <QDialog>
#include <string>

class QFrame;
class QLabel;
class QPushButton;

namespace app {

struct AppContext;

struct ProgramVersion {
    int major = 2;
    int minor = 0;
    int revision = 1;
};

// "Version 2.0.1": each number in decimal, without padding.
std::string versionLabel(const ProgramVersion& version);

class frmAbout : public QDialog, public Form {
    Q_OBJECT
public:
    explicit frmAbout(AppContext& context);
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
    AppContext& context_;
};

} // namespace app
