#include "restore/frmRestore.h"

#include "platform/Ansi.h"
#include "ui/AppContext.h"
#include "ui/Layouts.h"
#include "ui/QtText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using ui::fromQt;
using ui::toQt;

namespace restore {
namespace {

QGroupBox* frame(const char* title, std::initializer_list<QWidget*> widgets) {
    auto* box = new QGroupBox(QString::fromLatin1(title));
    auto* layout = new QVBoxLayout(box);
    for (QWidget* w : widgets)
        layout->addWidget(w);
    return box;
}

QLabel* wrapped(const char* text) {
    auto* label = new QLabel(QString::fromLatin1(text));
    label->setWordWrap(true);
    return label;
}

} // namespace

frmRestore::frmRestore(ui::AppContext& context) : QDialog(context.mainWindow), context_(context) {
    setObjectName(QStringLiteral("frmRestore"));
    setWindowTitle(QStringLiteral("Restore Brandmoor Files"));
    setModal(true);
    Label1 = wrapped(
        "IMPORTANT - This process will remove all data which was imported, entered or altered "
        "after the time frame shown.  Do not perform this procedure if you do not want to delete "
        "imported data.  If you wish to restore data to the time prior to the import, select the "
        "type of import that was performed.  Next select the time you wish to restore to followed "
        "by selecting the Restore button.");
    cboType = new QComboBox;
    cboRestorePoint = new QComboBox;
    chkCompany = new QCheckBox(QStringLiteral("Restore Company Information (Recommended)"));
    chkInsurance =
        new QCheckBox(QStringLiteral("Restore Insurance Plan Information (Recommended)"));
    cmdRestore = new QPushButton(QStringLiteral("&Restore"));
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdRestore);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(frame("Step #1 - Select the type of import you performed",
                            {wrapped("When you performed the 'bad' import, what type of "
                                     "individuals were you attempting to import?"),
                             cboType}));
    layout->addWidget(frame("Step #2 - Select the date and time of the Restore Point",
                            {wrapped("Select the Restore Point from the list.  Remember, the data "
                                     "will be restored to the point prior to the import you "
                                     "performed."),
                             cboRestorePoint}));
    layout->addWidget(frame("Step #3 - Restore Company and Insurance Plan Information?",
                            {wrapped("When you perform an import, the Company Information and "
                                     "Insurance Plan Information MAY BE changed.  Click on "
                                     "checkboxes to Restore these files as well."),
                             chkCompany, chkInsurance}));
    layout->addLayout(buttons);
    resize(520, 520);

    connect(cboType, &QComboBox::activated, this, &frmRestore::cboType_Click);
    connect(cboRestorePoint, &QComboBox::activated, this, &frmRestore::cboRestorePoint_Click);
    connect(cmdRestore, &QPushButton::clicked, this, &frmRestore::cmdRestore_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmRestore::cmdCancel_Click);
}

void frmRestore::Form_Load() {
    for (const char* type :
         {"Active Employees", "COBRA Qualifiers", "COBRA Participants", "Retirees"})
        cboType->addItem(QString::fromLatin1(type));
    cboType->setCurrentIndex(-1);
    cboRestorePoint->setEnabled(false);
    cmdRestore->setEnabled(false);
    chkCompany->setChecked(true);
    chkInsurance->setChecked(true);
}

void frmRestore::noRestoreFiles() {
    context_.ui.information("No Restore Files Available",
                            "The system dedects that this company does not have any back up files "
                            "to restore.  I'm sorry but you will have to look at back up files to "
                            "restore information.");
    cmdCancel->setFocus();
}

void frmRestore::cboType_Click() {
    if (cboType->currentIndex() < 0)
        return;
    auto listed = listRestorePoints(context_.session.AccountDir,
                                    static_cast<ImportType>(cboType->currentIndex()));
    if (!listed) {
        noRestoreFiles();
        return;
    }
    cboRestorePoint->clear();
    points_ = std::move(*listed);
    for (const auto& p : points_)
        cboRestorePoint->addItem(toQt(p.Caption));
    cboRestorePoint->setCurrentIndex(-1);
    if (points_.empty()) {
        noRestoreFiles();
        return;
    }
    cboRestorePoint->setEnabled(true);
    cboRestorePoint->setFocus();
}

void frmRestore::cboRestorePoint_Click() {
    if (cboRestorePoint->currentIndex() >= 0)
        cmdRestore->setEnabled(true);
}

void frmRestore::cmdRestore_Click() {
    if (cboRestorePoint->currentIndex() < 0) {
        context_.ui.information("Missing Information",
                                "You have not selected a Restore Point from the dropdown list in "
                                "Step 2.  Please do that before continuing.");
        if (cboRestorePoint->isEnabled())
            cboRestorePoint->setFocus();
        return;
    }
    auto answer = context_.ui.question(
        "Restore Data to the earlier date now?",
        "IMPORTANT - You have just notified the system to restore Brandmoor files to an earlier "
        "date/time.  Any additions or modifications performed after this time frame will be lost "
        "and CANNOT be retreived.  Do you want to continue to restore files now?");
    if (answer != platform::Answer::Yes) {
        context_.session.ModeCode = session::mode::kNone;
        context_.windows.unload<frmRestore>();
        return;
    }
    const std::string chosen = ui::chosenText(cboRestorePoint);
    bool restored = false;
    context_.guarded([&] {
        for (const auto& p : points_) {
            if (ansi::trim(p.Caption) != chosen)
                continue;
            restoreFiles(p, context_.session.AccountDir,
                         static_cast<ImportType>(cboType->currentIndex()), chkCompany->isChecked(),
                         chkInsurance->isChecked());
            break;
        }
        restored = true;
    });
    context_.windows.unload<frmRestore>();
    if (restored)
        context_.ui.information("Procedure Completed",
                                "Your files have been successfully restored.");
}

void frmRestore::cmdCancel_Click() {
    context_.windows.unload<frmRestore>();
}

} // namespace restore
