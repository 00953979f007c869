#include "formats/frmGetFormat.h"

#include "formats/FormatStore.h"
#include "platform/Ansi.h"
#include "ui/AppContext.h"
#include "ui/Layouts.h"
#include "ui/QtText.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using ui::fromQt;
using ui::toQt;

namespace formats {

frmGetFormat::frmGetFormat(ui::AppContext& context)
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
    ui::layOutChoice(this, Label1, cboFormat, cmdOk, cmdCancel);
    connect(cmdOk, &QPushButton::clicked, this, &frmGetFormat::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmGetFormat::cmdCancel_Click);
}

void frmGetFormat::Form_Load() {
    auto& s = context_.session;
    if (s.ToolbarOp != session::toolbar::kOpen && s.ToolbarOp != session::toolbar::kDelete)
        cboFormat->addItem(QString::fromLatin1(kNewFormatEntry));
    if (s.ToolbarOp == session::toolbar::kDelete)
        Label1->setText(QStringLiteral("Select the Field Format you would like to delete from the "
                                       "drop-down box and click Ok to continue."));
    else if (s.ToolbarOp == session::toolbar::kOpen)
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
    const auto choice = ui::chosenText(cboFormat);
    if (choice.empty()) {
        context_.ui.critical("Missing Information",
                             "please make a selection from the dropdown list prior to clicking "
                             "the Ok command button.");
        return;
    }
    if (choice == kNewFormatEntry) {
        s.FormatSource = session::source::kCatalogue;
    } else if (s.ToolbarOp != session::toolbar::kDelete) {
        context_.guarded([&] {
            if (auto loaded = FormatStore(s.AppDir).LoadFormat(s.FileTypeName, choice)) {
                s.ChosenFields = loaded->chosenFields;
                if (loaded->anyLabel)
                    s.FormatSource = session::source::kSavedFormat;
            }
        });
    } else {
        context_.guarded([&] { FormatStore(s.AppDir).DeleteByName(choice); });
    }
    context_.windows.unload<frmGetFormat>();
}

void frmGetFormat::cmdCancel_Click() {
    context_.session.ModeCode = session::mode::kCancelled;
    context_.windows.unload<frmGetFormat>();
}

// Escape and the title bar's close button cancel; an unload's own close does not.
void frmGetFormat::reject() {
    if (context_.windows.find<frmGetFormat>() == this)
        cmdCancel_Click();
    else
        QDialog::reject();
}

} // namespace formats
