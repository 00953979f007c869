#include "wizard/frmTab.h"

#include "formats/FieldCatalogue.h"
#include "formats/FormatStore.h"
#include "formats/HeaderMatch.h"
#include "hostdata/AccountList.h"
#include "platform/Ansi.h"
#include "platform/HostPath.h"
#include "ui/AppContext.h"
#include "ui/QtText.h"
#include "wizard/HeaderLine.h"
#include "wizard/frmArrange.h"
#include "wizard/frmStepTwo.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

using ui::fromQt;
using ui::toQt;

namespace wizard {

namespace {

// The green Up and Down arrows the instructions speak of.
QIcon greenArrow(Qt::ArrowType direction) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0, 100, 0));
    painter.setBrush(QColor(0, 160, 0));
    const bool up = direction == Qt::UpArrow;
    painter.drawPolygon(
        QPolygonF({QPointF(8, up ? 2 : 14), QPointF(1, up ? 13 : 3), QPointF(15, up ? 13 : 3)}));
    return QIcon(pixmap);
}
constexpr const char* kDesignCaption =
    "Creating Active Employee Import File from a Tab Deliminated file";
} // namespace

frmTab::frmTab(ui::AppContext& context)
    : QWidget(context.mainWindow, Qt::Window), context_(context) {
    setObjectName(QStringLiteral("frmTab"));
    setWindowTitle(QString::fromLatin1(kDesignCaption));
    setAttribute(Qt::WA_DeleteOnClose, false);

    Label1 = new QLabel(QStringLiteral(
        "To create an import file, place the data fields (below) in the same order as your tab "
        "delimited file.  For example, if the first item in your file is social security number, "
        "click on the Social Security # field and move it to the top of the list by clicking on "
        "the Up Arrow button.  Manditory fields are flush with the left margin.  Optional fields "
        "have a small space to the left of the name.  Remove optional fields by selecting and "
        "clicking the Remove Field button.  You may save this format (Save Format button) so you "
        "do not have to go through the entire process each time.  Once completed, click the Next "
        "button to procede to the next step. "));
    Label1->setWordWrap(true);
    Frame1 = new QGroupBox(
        QStringLiteral("Select and Place Fields in Order (based upon your tab delimited file)"));
    Label2 = new QLabel(QStringLiteral("Order of the fields in your file:"));
    lstField = new QListWidget;
    lstField->setObjectName(QStringLiteral("lstField"));
    lstField->setSelectionMode(QAbstractItemView::SingleSelection);
    lstField->setMinimumHeight(260);
    cmdUP = new QToolButton;
    cmdUP->setIcon(greenArrow(Qt::UpArrow));
    cmdUP->setToolTip(QStringLiteral("Move the selected field up"));
    cmdDown = new QToolButton;
    cmdDown->setIcon(greenArrow(Qt::DownArrow));
    cmdDown->setToolTip(QStringLiteral("Move the selected field down"));
    cmdArrange = new QPushButton(QStringLiteral("Arrange from &File..."));
    cmdArrange->setToolTip(
        QStringLiteral("Put the fields in the order of the columns a file's first line names"));
    cmdRemove = new QPushButton(QStringLiteral("&Remove Field"));
    cmdSave = new QPushButton(QStringLiteral("&Save Format"));
    cmdNext = new QPushButton(QStringLiteral("&Next"));
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"));

    auto* frame = new QGridLayout(Frame1);
    frame->addWidget(Label2, 0, 0, 1, 2);
    frame->addWidget(lstField, 1, 0, 3, 1);
    frame->addWidget(cmdUP, 1, 1);
    frame->addWidget(cmdDown, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdArrange);
    buttons->addWidget(cmdRemove);
    buttons->addWidget(cmdSave);
    buttons->addStretch(1);
    buttons->addWidget(cmdNext);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Frame1, 1);
    layout->addLayout(buttons);
    resize(640, 560);

    connect(cmdUP, &QToolButton::clicked, this, &frmTab::cmdUP_Click);
    connect(cmdDown, &QToolButton::clicked, this, &frmTab::cmdDown_Click);
    connect(cmdArrange, &QPushButton::clicked, this, &frmTab::cmdArrange_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmTab::cmdRemove_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmTab::cmdSave_Click);
    connect(cmdNext, &QPushButton::clicked, this, &frmTab::cmdNext_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmTab::cmdCancel_Click);
}

QStringList frmTab::labels() const {
    QStringList out;
    for (int i = 0; i < lstField->count(); ++i)
        out << lstField->item(i)->text();
    return out;
}

void frmTab::checkSingleAccount() {
    auto& s = context_.session;
    if (hostdata::countAccounts(s.AppDir, records::CountRule::Rounded) != 1)
        return;
    s.AccountDir = s.AppDir + hostdata::readAccount(s.AppDir, 1).folderName();
    if (!hostpath::exists(s.AccountDir + "Company.dat") ||
        !hostpath::exists(s.AccountDir + "INSPLAN.DAT")) {
        context_.ui.critical(
            "Process Terminated",
            "Before importing data into the Brandmoor program you must first launch the "
            "Brandmoor program and enter information on the Company and Insurance Companies.  "
            "Without this entered into the system, you cannot import data.");
        cmdNext->setEnabled(false);
    }
}

void frmTab::Form_Load() {
    auto& s = context_.session;
    context_.guarded([&] { checkSingleAccount(); });

    if (!hostpath::exists(s.AppDir + "BRANDMDB.MDB")) {
        context_.ui.critical(
            "Missing File",
            "To import data, the program utilizes the BRANDMDB.MDB file in the root direcory.  "
            "Please find a copy of this file (with at least a 9/10/2004 date) and place it in the "
            "Brandmoor directory.  Once there, try again.\nValue= " +
                s.AppDir);
        cmdSave->setEnabled(false);
        cmdArrange->setEnabled(false);
        return;
    }

    if (const char* caption = formats::editorCaption(s.FileTypeName))
        setWindowTitle(QString::fromLatin1(caption));

    if (s.FormatSource == session::source::kSavedFormat) {
        for (std::size_t i = 1; i < s.ChosenFields.size(); ++i)
            lstField->addItem(toQt(ansi::trimRight(s.ChosenFields[i])));
        cmdSave->setEnabled(false);
        return;
    }
    if (s.FormatSource == session::source::kStructureOnly)
        cmdNext->setVisible(false);
    for (const auto& label : formats::defaultFieldList(s.ModeCode))
        lstField->addItem(toQt(label));
}

int frmTab::selectedIndex(const char* text) {
    // Only a highlighted field counts: the list's current item may be one nobody clicked.
    auto* item = lstField->currentItem();
    if (item && item->isSelected() && !ansi::trim(fromQt(item->text())).empty())
        return lstField->currentRow();
    context_.ui.critical("No Selection Made", text);
    lstField->setFocus();
    return -1;
}

void frmTab::swapRows(int a, int b) {
    QString first = lstField->item(a)->text();
    lstField->item(a)->setText(lstField->item(b)->text());
    lstField->item(b)->setText(first);
}

void frmTab::cmdUP_Click() {
    int i = selectedIndex("Please click on a database field in the listbox to move upward in the "
                          "list prior to clicking the Up Button.");
    if (i <= 0)
        return;
    swapRows(i - 1, i);
    lstField->setCurrentRow(i - 1);
}

void frmTab::cmdDown_Click() {
    int i = selectedIndex("Please click on a database field in the listbox to move downward in "
                          "the list prior to clicking the Down Button.");
    if (i < 0 || i == lstField->count() - 1)
        return;
    swapRows(i, i + 1);
    lstField->setCurrentRow(i + 1);
}

void frmTab::cmdArrange_Click() {
    auto& s = context_.session;
    // Step 2's Browse then starts where the file was found: it is likely the one to import.
    const auto chosen = chooseImportFile(s, context_.ui, "Arrange from File");
    if (!chosen)
        return;
    const std::string& picked = *chosen;
    std::optional<std::vector<std::string>> headings;
    if (!context_.guarded([&] { headings = fileHeadings(picked, context_.ui); }) || !headings)
        return;

    QPointer<frmArrange> dialog = &context_.windows.get<frmArrange>();
    dialog->showColumns(picked, formats::matchHeadings(*headings, s.ModeCode), s.ModeCode);
    const bool accepted = dialog->exec() == QDialog::Accepted && dialog;
    const auto labels = accepted ? dialog->chosenLabels() : std::vector<std::string>();
    context_.windows.unload<frmArrange>();
    activateWindow();
    if (!accepted)
        return;

    lstField->clear();
    for (const auto& label : formats::arrangedList(labels))
        lstField->addItem(toQt(label));
    // The arranged list is saved nowhere yet: Save may keep it, and Next offers to. Editing a
    // structure only (the toolbar's New) stays so.
    if (s.FormatSource == session::source::kSavedFormat)
        s.FormatSource = session::source::kCatalogue;
    cmdSave->setEnabled(true);
    lstField->setFocus();
}

void frmTab::cmdRemove_Click() {
    int i = selectedIndex("Please click on a database field in the listbox to be removed prior "
                          "to clicking the Remove Button.");
    if (i < 0)
        return;
    if (!formats::isOptionalLabel(fromQt(lstField->item(i)->text()))) {
        context_.ui.message({ui::kProgramTitle,
                             "Fields without spaces in front of them are manditory import fields. "
                             " You may not remove them from the import.",
                             platform::Icon::None, platform::Buttons::Ok});
        return;
    }
    delete lstField->takeItem(i);
    if (i < lstField->count())
        lstField->setCurrentRow(i);
    else if (i - 1 >= 0)
        lstField->setCurrentRow(i - 1);
    else
        lstField->setCurrentRow(-1);
}

void frmTab::cmdSave_Click() {
    auto& s = context_.session;
    if (lstField->count() == 0) {
        context_.ui.critical("Not Fields Entered",
                             "You must have at least one field to save as import.  Please try "
                             "again.");
        context_.windows.unload<frmTab>();
        return;
    }
    auto answer = context_.ui.inputBox("Structure Name",
                                       "Please enter a brief description for this structure so "
                                       "it can re-called for future imports.",
                                       "");
    const std::string name(ansi::trim(answer.value_or("")));
    if (name == "Type file structure name here.") {
        context_.ui.critical("Structure Name Needed",
                             "You must give the structure a name before saving your "
                             "information.  Please try again.");
        return;
    }
    if (name.empty())
        return;

    std::vector<std::string> fields;
    for (const auto& label : labels())
        fields.push_back(fromQt(label));
    const bool saved = context_.guarded([&] {
        formats::FormatStore(s.AppDir).Append(name, std::string(ansi::trim(s.FileTypeName)),
                                              fields);
    });
    if (!saved)
        return; // the message said why; the list stays as it is, unsaved

    if (s.FormatSource == session::source::kStructureOnly)
        context_.windows.unload<frmTab>();
    s.FormatSource = session::source::kSavedFormat;
    context_.ui.information("Structure Saved", "Your field structure as been saved.");
    if (context_.windows.isLoaded<frmTab>())
        cmdNext->setFocus();
}

void frmTab::cmdNext_Click() {
    if (context_.session.FormatSource == session::source::kCatalogue) {
        auto answer = context_.ui.question(
            "Save this format?",
            "To eliminate having to select and place fields in the correct order, you can save "
            "the format and retrieve it in the future.  Do you want to save this format?");
        if (answer == platform::Answer::Yes)
            cmdSave_Click();
    }
    // The editor stays loaded with its list: it is the structure of the import.
    hide();
    auto& next = context_.windows.get<wizard::frmStepTwo>();
    next.show();
    next.raise();
}

void frmTab::cmdCancel_Click() {
    context_.session.ModeCode = session::mode::kNone;
    context_.windows.unload<frmTab>();
}

} // namespace wizard
