#include "formats/Dialog1.h"

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

Dialog1::Dialog1(ui::AppContext& context) : QDialog(context.mainWindow), context_(context) {
    setObjectName(QStringLiteral("Dialog1"));
    setWindowTitle(QStringLiteral("Please choose a file type."));
    setModal(true);
    Label1 = new QLabel(QStringLiteral("Which type of file do you want to Import?"));
    Combo1 = new QComboBox;
    OKButton = new QPushButton(QStringLiteral("OK"));
    CancelButton = new QPushButton(QStringLiteral("Cancel"));
    ui::layOutChoice(this, Label1, Combo1, OKButton, CancelButton);
    connect(OKButton, &QPushButton::clicked, this, &Dialog1::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &Dialog1::CancelButton_Click);
}

void Dialog1::Form_Load() {
    auto& s = context_.session;
    if (s.ModeCode == session::mode::kDeleteByName) {
        context_.guarded([&] {
            for (const auto& name : FormatStore(s.AppDir).AllNames())
                Combo1->addItem(toQt(name));
        });
    } else {
        if (s.ToolbarOp == session::toolbar::kDelete)
            Label1->setText(QStringLiteral("Choose the structure type that you would like to "
                                           "delete from the drop-down box below."));
        Combo1->addItem(QStringLiteral("COBRA Qualifier"));
        Combo1->addItem(QStringLiteral("New Hire"));
    }
    Combo1->setCurrentIndex(-1);
}

void Dialog1::OKButton_Click() {
    auto& s = context_.session;
    const auto choice = ui::chosenText(Combo1);
    if (s.ModeCode == session::mode::kDeleteByName) {
        const bool deleted =
            context_.guarded([&] { FormatStore(s.AppDir).DeleteByNameIgnoringCase(choice); });
        context_.windows.unload<Dialog1>();
        if (deleted)
            context_.ui.information("Format Deleted", "The format structure has been deleted.");
        return;
    }
    if (choice == "COBRA Qualifier") {
        s.FileTypeName = "QUALIFIER";
        s.ModeCode = session::mode::kQualifier;
    } else if (choice == "New Hire") {
        s.FileTypeName = "EMPLOYEE";
        s.ModeCode = session::mode::kEmployee;
    } else {
        context_.ui.critical("Error", "Please make a selection from the drop-down box.");
        return;
    }
    context_.windows.unload<Dialog1>();
}

void Dialog1::CancelButton_Click() {
    context_.session.ModeCode = session::mode::kCancelled;
    context_.windows.unload<Dialog1>();
}

// A close that comes from unloading (after OK or Cancel) is not the user's cancel.
void Dialog1::reject() {
    if (context_.windows.find<Dialog1>() == this)
        CancelButton_Click();
    else
        QDialog::reject();
}

} // namespace formats
