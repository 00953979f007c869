#include "backup/frmCreatBackup.h"

#include "backup/frmStartBackup.h"
#include "hostdata/AccountList.h"
#include "ui/AppContext.h"
#include "ui/Layouts.h"
#include "ui/QtText.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using ui::toQt;

namespace backup {
namespace {

constexpr const char* kUnavailableTitle = "Backup / Restore";

} // namespace

frmCreatBackup::frmCreatBackup(ui::AppContext& context)
    : QDialog(context.mainWindow), context_(context) {
    setObjectName(QStringLiteral("frmCreatBackup"));
    setWindowTitle(QStringLiteral("Backup Your Data"));
    setModal(true);
    auto* frame = new QGroupBox(QStringLiteral("Backup Data"));
    cboCompanyName = new QComboBox;
    auto* inner = new QVBoxLayout(frame);
    inner->addWidget(new QLabel(QStringLiteral("Choose a group ")));
    inner->addWidget(cboCompanyName);
    inner->addWidget(new QLabel(QStringLiteral("Please make a selection.")));
    cmdBack = new QPushButton(QStringLiteral("< &Back"));
    cmdNext = new QPushButton(QStringLiteral("&Next >"));
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(ui::buttonRow({cmdBack, cmdNext, cmdCancel}));
    connect(cmdNext, &QPushButton::clicked, this, &frmCreatBackup::cmdNext_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmCreatBackup::cmdCancel_Click);
}

void frmCreatBackup::Form_Load() {
    auto& s = context_.session;
    std::vector<hostdata::AccountRecord> accounts;
    context_.guarded(
        [&] { accounts = hostdata::readAccounts(s.AppDir, records::CountRule::WholePart); });
    s.AccountCount = static_cast<std::int64_t>(accounts.size());
    if (accounts.empty()) {
        context_.ui.information("Application Error!",
                                "This application needs to be stored in the same location as the "
                                "'BRANDMOOR.EXE'.  Please move the application and try again.");
        return;
    }
    for (const auto& a : accounts)
        cboCompanyName->addItem(toQt(a.companyName()));
    cboCompanyName->addItem(QStringLiteral("Complete Backup"));
    cboCompanyName->setCurrentIndex(-1);
}

void frmCreatBackup::cmdNext_Click() {
    const std::string group = ui::chosenText(cboCompanyName);
    if (group.empty()) {
        context_.ui.critical("Application Error", "You must select an item from the drop-down box");
        return;
    }
    context_.session.BackupGroup = group;
    context_.ui.information(kUnavailableTitle, "Making a backup is not available in this version.");
}

void frmCreatBackup::cmdCancel_Click() {
    context_.windows.unload<frmCreatBackup>();
    context_.windows.unload<frmStartBackup>();
}

} // namespace backup
