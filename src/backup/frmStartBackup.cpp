#include "backup/frmStartBackup.h"

#include "backup/BackupCatalogue.h"
#include "backup/frmCreatBackup.h"
#include "backup/frmRestoreData.h"
#include "hostdata/AccountList.h"
#include "platform/Ansi.h"
#include "ui/AppContext.h"
#include "ui/Layouts.h"
#include "ui/QtText.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace backup {
frmStartBackup::frmStartBackup(ui::AppContext& context)
    : QDialog(context.mainWindow), context_(context) {
    setObjectName(QStringLiteral("frmStartBackup"));
    setWindowTitle(QStringLiteral("Restore / Backup"));
    setModal(true);
    optCreate = new QRadioButton(QStringLiteral("Create a backup."));
    optRestore = new QRadioButton(QStringLiteral("Restore from a previous backup."));
    cmdNext = new QPushButton(QStringLiteral("&Next  >"));
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("To begin, select an option from below.")));
    layout->addWidget(new QLabel(QStringLiteral("You may use this ")));
    layout->addWidget(optCreate);
    layout->addWidget(optRestore);
    layout->addLayout(ui::buttonRow({cmdNext, cmdCancel}));
    connect(cmdNext, &QPushButton::clicked, this, &frmStartBackup::cmdNext_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmStartBackup::cmdCancel_Click);
}

void frmStartBackup::Form_Load() {
    if (!BackupCatalogue(context_.session.AppDir).exists()) {
        context_.ui.critical("Missing File",
                             "The system detects you are missing an important file in the " +
                                 context_.session.AppDir +
                                 " root directory.  The system needs this file to continue.  "
                                 "Please contact Quenwick for instructions on downloading the "
                                 "file.");
        cmdNext->setEnabled(false);
    }
}

void frmStartBackup::cmdNext_Click() {
    if (!optCreate->isChecked() && !optRestore->isChecked()) {
        context_.ui.critical("Backup / Restore",
                             "You need to select an option before you can continue.");
        return;
    }
    context_.guarded([&] {
        if (optRestore->isChecked()) {
            context_.windows.get<frmRestoreData>().exec();
            context_.windows.unload<frmRestoreData>();
        } else {
            context_.windows.get<frmCreatBackup>().exec();
            context_.windows.unload<frmCreatBackup>();
        }
    });
}

void frmStartBackup::cmdCancel_Click() {
    context_.windows.unload<frmStartBackup>();
}

} // namespace backup
