#include "backup/frmRestoreData2.h"

#include "backup/BackupCatalogue.h"
#include "backup/frmRestoreData.h"
#include "backup/frmStartBackup.h"
#include "hostdata/AccountList.h"
#include "platform/Ansi.h"
#include "ui/AppContext.h"
#include "ui/Layouts.h"
#include "ui/QtText.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

using ui::toQt;

namespace backup {
namespace {

constexpr const char* kUnavailableTitle = "Backup / Restore";

} // namespace

frmRestoreData2::frmRestoreData2(ui::AppContext& context)
    : QDialog(context.mainWindow), context_(context) {
    setObjectName(QStringLiteral("frmRestoreData2"));
    setWindowTitle(QStringLiteral("Restore Data from a Backup"));
    setModal(true);
    lblDatatoRestore = new QLabel;
    lblDatatoRestore->setTextFormat(Qt::PlainText);
    cmdBack = new QPushButton(QStringLiteral("< &Back"));
    cmdNext = new QPushButton(QStringLiteral("&Next >"));
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Confirm Restore Selection")));
    layout->addWidget(new QLabel(QStringLiteral("Selected Backup to Restore:")));
    layout->addWidget(lblDatatoRestore);
    layout->addLayout(ui::buttonRow({cmdBack, cmdNext, cmdCancel}));
    connect(cmdBack, &QPushButton::clicked, this, &frmRestoreData2::cmdBack_Click);
    connect(cmdNext, &QPushButton::clicked, this, &frmRestoreData2::cmdNext_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmRestoreData2::cmdCancel_Click);
}

void frmRestoreData2::Form_Load() {
    context_.guarded([&] {
        // The catalogue's details end each value with a lone CR, which a label would draw as a
        // blank: one value a line.
        QString details = toQt(BackupCatalogue(context_.session.AppDir)
                                   .details(context_.session.SelectedBackupNumber));
        details.replace(QRegularExpression(QStringLiteral("\r(?!\n)")), QStringLiteral("\n"));
        lblDatatoRestore->setText(details);
    });
}

void frmRestoreData2::cmdBack_Click() {
    context_.windows.unload<frmRestoreData2>();
}

void frmRestoreData2::cmdNext_Click() {
    context_.ui.information(kUnavailableTitle,
                            "Restoring from a catalogued backup is not available in this version.");
}

void frmRestoreData2::cmdCancel_Click() {
    context_.windows.unload<frmRestoreData2>();
    context_.windows.unload<frmRestoreData>();
    context_.windows.unload<frmStartBackup>();
}

} // namespace backup
