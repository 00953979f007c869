#include "formats/FormatDialogs.h"

#include "app/AppContext.h"
#include "formats/FormatStore.h"
#include "platform/Ansi.h"
#include "platform/QtText.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

using platform::fromQt;
using platform::toQt;

namespace formats {
namespace {

void layOut(QDialog* dialog, QLabel* label, QComboBox* combo, QPushButton* ok,
            QPushButton* cancel) {
    label->setWordWrap(true);
    combo->setMinimumWidth(320);
    auto* grid = new QGridLayout(dialog);
    grid->addWidget(label, 0, 0, 1, 2);
    grid->addWidget(combo, 1, 0, 1, 2);
    grid->addWidget(ok, 2, 0);
    grid->addWidget(cancel, 2, 1);
    ok->setDefault(true);
}

std::string chosenText(const QComboBox* combo) {
    return std::string(ansi::trim(fromQt(combo->currentText())));
}

} // namespace

Dialog1::Dialog1(app::AppContext& context) : QDialog(context.mainWindow), context_(context) {
    setObjectName(QStringLiteral("Dialog1"));
    setWindowTitle(QStringLiteral("Please choose a file type."));
    setModal(true);
    Label1 = new QLabel(QStringLiteral("Which type of file do you want to Import?"));
    Combo1 = new QComboBox;
    OKButton = new QPushButton(QStringLiteral("OK"));
    CancelButton = new QPushButton(QStringLiteral("Cancel"));
    layOut(this, Label1, Combo1, OKButton, CancelButton);
    connect(OKButton, &QPushButton::clicked, this, &Dialog1::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &Dialog1::CancelButton_Click);
}

void Dialog1::Form_Load() {
    auto& s = context_.session;
    if (s.ModeCode == app::mode::kDeleteByName) {
        context_.guarded([&] {
            for (const auto& name : FormatStore(s.AppDir).AllNames())
                Combo1->addItem(toQt(name));
        });
    } else {
        if (s.ToolbarOp == app::toolbar::kDelete)
            Label1->setText(QStringLiteral("Choose the structure type that you would like to "
                                           "delete from the drop-down box below."));
        Combo1->addItem(QStringLiteral("COBRA Qualifier"));
        Combo1->addItem(QStringLiteral("New Hire"));
    }
    Combo1->setCurrentIndex(-1);
}

void Dialog1::OKButton_Click() {
    auto& s = context_.session;
    const auto choice = chosenText(Combo1);
    if (s.ModeCode == app::mode::kDeleteByName) {
        context_.guarded([&] { FormatStore(s.AppDir).DeleteByNameIgnoringCase(choice); });
        context_.windows.unload<Dialog1>();
        context_.ui.information("Format Deleted", "The format structure has been deleted.");
        return;
    }
    if (choice == "COBRA Qualifier") {
        s.FileTypeName = "QUALIFIER";
        s.ModeCode = app::mode::kQualifier;
    } else if (choice == "New Hire") {
        s.FileTypeName = "EMPLOYEE";
        s.ModeCode = app::mode::kEmployee;
    } else {
        context_.ui.critical("Error", "Please make a selection from the drop-down box.");
        return;
    }
    context_.windows.unload<Dialog1>();
}

void Dialog1::CancelButton_Click() {
    context_.session.ModeCode = app::mode::kCancelled;
    context_.windows.unload<Dialog1>();
}

// A close that comes from unloading (after OK or Cancel) is not the user's cancel.
void Dialog1::reject() {
    if (context_.windows.find<Dialog1>() == this)
        CancelButton_Click();
    else
        QDialog::reject();
}

void frmGetFormat::reject() {
    if (context_.windows.find<frmGetFormat>() == this)
        cmdCancel_Click();
    else
        QDialog::reject();
}

frmGetFormat::frmGetFormat(app::AppContext& context)
    : QDialog(context.mainWindow), context_(context) {
    setObjectName(QStringLiteral("frmGetFormat"));
    setWindowTitle(QStringLiteral("Saved Format"));
    setModal(true);
    Label1 = new QLabel(QStringLiteral(
        "Select the Field Format previously used or the Enter a New Field Format followed by the "
        "Ok command button."));
    cboFormat = new QComboBox;
    cmdOk = new QPushButton(QStringLiteral("&Ok"));
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"));
    layOut(this, Label1, cboFormat, cmdOk, cmdCancel);
    connect(cmdOk, &QPushButton::clicked, this, &frmGetFormat::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmGetFormat::cmdCancel_Click);
}

void frmGetFormat::Form_Load() {
    auto& s = context_.session;
    if (s.ToolbarOp != app::toolbar::kOpen && s.ToolbarOp != app::toolbar::kDelete)
        cboFormat->addItem(QString::fromLatin1(kNewFormatEntry));
    if (s.ToolbarOp == app::toolbar::kDelete)
        Label1->setText(QStringLiteral("Select the Field Format you would like to delete from the "
                                       "drop-down box and click Ok to continue."));
    else if (s.ToolbarOp == app::toolbar::kOpen)
        Label1->setText(QStringLiteral(
            "Select the Field Format previously used followed by the Ok command button."));
    context_.guarded([&] {
        for (const auto& name : FormatStore(s.AppDir).NamesOfType(s.FileTypeName))
            cboFormat->addItem(toQt(name));
    });
    cboFormat->setCurrentIndex(-1);
}

void frmGetFormat::cmdOK_Click() {
    auto& s = context_.session;
    const auto choice = chosenText(cboFormat);
    if (choice.empty()) {
        context_.ui.critical("Missing Information",
                             "please make a selection from the dropdown list prior to clicking "
                             "the Ok command button.");
        return;
    }
    if (choice == kNewFormatEntry) {
        s.FormatSource = app::source::kCatalogue;
    } else if (s.ToolbarOp != app::toolbar::kDelete) {
        context_.guarded([&] {
            if (auto loaded = FormatStore(s.AppDir).LoadFormat(s.FileTypeName, choice)) {
                s.ChosenFields = loaded->chosenFields;
                if (loaded->anyLabel)
                    s.FormatSource = app::source::kSavedFormat;
            }
        });
    } else {
        context_.guarded([&] { FormatStore(s.AppDir).DeleteByName(choice); });
    }
    context_.windows.unload<frmGetFormat>();
}

void frmGetFormat::cmdCancel_Click() {
    context_.session.ModeCode = app::mode::kCancelled;
    context_.windows.unload<frmGetFormat>();
}

} // namespace formats
