#include "app/frmAbout.h"

#include "ui/AppContext.h"
#include "ui/QtText.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace app {

std::string versionLabel(const ProgramVersion& v) {
    return "Version " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
           std::to_string(v.revision);
}

frmAbout::frmAbout(ui::AppContext& context) : QDialog(context.mainWindow), context_(context) {
    setObjectName(QStringLiteral("frmAbout"));
    setModal(true);

    picIcon = new QLabel;
    picIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
    lblTitle = new QLabel;
    QFont titleFont = lblTitle->font();
    titleFont.setPointSize(titleFont.pointSize() + 6);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblVersion = new QLabel;
    lblDescription = new QLabel(QStringLiteral(
        "This application is designed to help import data into the Brandmoor program."));
    lblDescription->setWordWrap(true);
    lblDisclaimer = new QLabel(ui::toQt(
        "Copyright \xA9 Quenwick. All rights reserved. Use is subject to the licence terms."));
    lblDisclaimer->setWordWrap(true);
    Line1 = new QFrame;
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Line1->setLineWidth(1);
    Line1->setMidLineWidth(0);
    cmdOK = new QPushButton(QStringLiteral("OK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    auto* grid = new QGridLayout(this);
    grid->addWidget(picIcon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(lblTitle, 0, 1);
    grid->addWidget(lblVersion, 1, 1);
    grid->addWidget(lblDescription, 2, 1);
    grid->addWidget(Line1, 3, 0, 1, 2);
    grid->addWidget(lblDisclaimer, 4, 0, 1, 2);
    grid->addWidget(cmdOK, 5, 1, Qt::AlignRight);
}

void frmAbout::Form_Load() {
    setWindowTitle(QStringLiteral("About ") + QString::fromLatin1(ui::kProgramTitle));
    lblVersion->setText(ui::toQt(versionLabel(version)));
    lblTitle->setText(QString::fromLatin1(ui::kProgramTitle));
}

void frmAbout::cmdOK_Click() {
    context_.windows.unload<frmAbout>();
}

} // namespace app
