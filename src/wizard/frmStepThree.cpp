#include "wizard/frmStepThree.h"

#include "ui/AppContext.h"
#include "ui/Layouts.h"
#include "ui/QtText.h"
#include "wizard/frmStepFour.h"
#include "wizard/frmStepTwo.h"
#include "wizard/frmTab.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using ui::toQt;

namespace wizard {

namespace {
constexpr int kWidth = 480, kHeight = 230, kButtonTop = 180, kButtonWidth = 90;
} // namespace

frmStepThree::frmStepThree(ui::AppContext& context)
    : QDialog(context.mainWindow), context_(context) {
    setObjectName(QStringLiteral("frmStepThree"));
    setWindowTitle(QStringLiteral("Which Company/Sub Group Should the Import take Place?"));
    // Fixed geometry: in the restore flow the buttons move to given fractions of the width.
    setFixedSize(kWidth, kHeight);
    lblInstructions = new QLabel(
        QStringLiteral("Select the company/subgroup for which you wish to import your data "
                       "file.  The system will create an Access database that will used to import "
                       "the information in the Brandmoor software.  Click Next to continue."),
        this);
    lblInstructions->setWordWrap(true);
    lblInstructions->setGeometry(15, 10, kWidth - 30, 80);
    auto* label = new QLabel(QStringLiteral("Company/Subgroup:"), this);
    label->setGeometry(15, 110, 130, 24);
    cboCompany = new QComboBox(this);
    cboCompany->setGeometry(150, 110, kWidth - 165, 26);
    cmdPrevious = new QPushButton(QStringLiteral("&Previous"), this);
    cmdNext = new QPushButton(QStringLiteral("&Next"), this);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdPrevious->setGeometry(kWidth - 3 * (kButtonWidth + 10), kButtonTop, kButtonWidth, 28);
    cmdNext->setGeometry(kWidth - 2 * (kButtonWidth + 10), kButtonTop, kButtonWidth, 28);
    cmdCancel->setGeometry(kWidth - (kButtonWidth + 10), kButtonTop, kButtonWidth, 28);
    // Enter goes forward: Next in the wizard, Ok in the restore form.
    cmdNext->setDefault(true);
    connect(cmdPrevious, &QPushButton::clicked, this, &frmStepThree::cmdPrevious_Click);
    connect(cmdNext, &QPushButton::clicked, this, &frmStepThree::cmdNext_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmStepThree::cmdCancel_Click);
}

bool frmStepThree::restoreMode() const {
    return context_.session.ModeCode == session::mode::kRestore;
}

void frmStepThree::Form_Load() {
    auto& s = context_.session;
    context_.guarded([&] {
        accounts_ = hostdata::readAccounts(s.AppDir, records::CountRule::Rounded);
        s.AccountCount = static_cast<std::int64_t>(accounts_.size());
    });
    for (const auto& account : accounts_)
        cboCompany->addItem(toQt(account.companyName()));
    cboCompany->setCurrentIndex(-1);

    if (restoreMode()) {
        setWindowTitle(QStringLiteral("Restore Date to the point prior to Import"));
        lblInstructions->setText(QStringLiteral(
            "If you performed an Import and it did not take place the way you wanted, you may "
            "RESTORE the files to the way they were prior to the import.  Any changes/entries "
            "made after the import will be removed as well."));
        cmdNext->setVisible(false);
        cmdCancel->move(static_cast<int>(0.6 * width()), cmdCancel->y());
        cmdPrevious->move(static_cast<int>(0.2 * width()), cmdPrevious->y());
        cmdPrevious->setText(QStringLiteral("&Ok"));
        cmdNext->setDefault(false);
        cmdPrevious->setDefault(true);
    }
}

// The first account, in file order, whose company name is the chosen text.
void frmStepThree::lookUpAccount() {
    const std::string chosen = ui::chosenText(cboCompany);
    for (const auto& account : accounts_) {
        if (account.companyName() == chosen) {
            context_.session.AccountDir = context_.session.AppDir + account.folderName();
            return;
        }
    }
}

void frmStepThree::cmdNext_Click() {
    if (ui::chosenText(cboCompany).empty()) {
        context_.ui.critical("Missing Information",
                             "Please select the name of the company you wish to import data.  You "
                             "may only import data into one company at a time.");
        cboCompany->setFocus();
        return;
    }
    lookUpAccount();
    hide();
    context_.windows.show<frmStepFour>();
}

void frmStepThree::cmdPrevious_Click() {
    if (!restoreMode()) {
        hide();
        context_.windows.get<frmStepTwo>().show();
        return;
    }
    if (cboCompany->currentIndex() < 0) {
        context_.ui.information("Missing Information",
                                "You must select the company where you imported the information.");
        return;
    }
    lookUpAccount();
    context_.windows.unload<frmStepThree>();
}

void frmStepThree::cmdCancel_Click() {
    if (restoreMode())
        context_.session.ModeCode = session::mode::kCancelled;
    context_.windows.unload<frmStepThree>();
    context_.windows.unload<frmStepTwo>();
    context_.windows.unload<wizard::frmTab>();
}

// Escape and the title bar's close button cancel; an unload's own close does not.
void frmStepThree::reject() {
    if (context_.windows.find<frmStepThree>() == this)
        cmdCancel_Click();
    else
        QDialog::reject();
}

} // namespace wizard
