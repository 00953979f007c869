#include "wizard/frmArrange.h"

#include "formats/FieldCatalogue.h"
#include "platform/Ansi.h"
#include "ui/AppContext.h"
#include "ui/Layouts.h"
#include "ui/QtText.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>

using ui::fromQt;
using ui::toQt;

namespace wizard {
namespace {

enum Column { kNumber, kHeading, kField, kMatch, kColumns };

// The first entry of every row's list: the column keeps its place but is not imported.
const QString kNotImported = QStringLiteral("(column not imported)");

// Rows the user should look at: nothing matched, or only a guess.
const QColor kUnmatched(255, 214, 170);
const QColor kGuessed(255, 243, 190);

} // namespace

frmArrange::frmArrange(ui::AppContext& context) : QDialog(context.mainWindow), context_(context) {
    setObjectName(QStringLiteral("frmArrange"));
    setWindowTitle(QStringLiteral("Arrange from File"));
    setModal(true);
    Label1 = new QLabel(QStringLiteral(
        "Each column of the file's first line is shown with the field chosen for it.  Check "
        "the guesses and the columns marked in orange, and choose another field where one is "
        "wrong.  A column left as \"(column not imported)\" keeps its place in the file, but "
        "nothing in it is imported."));
    Label1->setWordWrap(true);
    lblFile = new QLabel;
    lblFile->setWordWrap(true);
    grdColumns = new QTableWidget(0, kColumns);
    grdColumns->setObjectName(QStringLiteral("grdColumns"));
    grdColumns->setHorizontalHeaderLabels({QStringLiteral("#"),
                                           QStringLiteral("Heading in the file"),
                                           QStringLiteral("Field"), QStringLiteral("Match")});
    grdColumns->verticalHeader()->setVisible(false);
    grdColumns->setSelectionMode(QAbstractItemView::NoSelection);
    grdColumns->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The combo boxes take the keyboard; a long note is cut short and shown whole as a tip.
    grdColumns->setFocusPolicy(Qt::NoFocus);
    grdColumns->setWordWrap(false);
    auto* header = grdColumns->horizontalHeader();
    header->setSectionResizeMode(kNumber, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(kHeading, QHeaderView::Interactive);
    header->setSectionResizeMode(kField, QHeaderView::Interactive);
    header->setSectionResizeMode(kMatch, QHeaderView::Stretch);
    grdColumns->setColumnWidth(kHeading, 180);
    grdColumns->setColumnWidth(kField, 320);
    grdColumns->setMinimumHeight(300);
    lblSummary = new QLabel;
    cmdOK = new QPushButton(QStringLiteral("OK"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"));
    cmdOK->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(lblFile);
    layout->addWidget(grdColumns, 1);
    layout->addWidget(lblSummary);
    layout->addLayout(ui::buttonRow({cmdOK, cmdCancel}));
    resize(760, 520);

    connect(cmdOK, &QPushButton::clicked, this, &frmArrange::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmArrange::cmdCancel_Click);
}

void frmArrange::showColumns(const std::string& file,
                             const std::vector<formats::ColumnMatch>& matches, int typeCode) {
    matches_ = matches;
    typeCode_ = typeCode;
    labels_ = formats::defaultFieldList(typeCode);
    changedByUser_.assign(matches.size(), false);
    lblFile->setText(toQt("Columns of " + file + ":"));
    grdColumns->setRowCount(static_cast<int>(matches.size()));
    cboField.clear();
    for (int row = 0; row < grdColumns->rowCount(); ++row) {
        const auto& m = matches_[static_cast<std::size_t>(row)];
        grdColumns->setItem(row, kNumber, new QTableWidgetItem(QString::number(row + 1)));
        grdColumns->setItem(row, kHeading, new QTableWidgetItem(toQt(m.heading)));
        grdColumns->setItem(row, kMatch, new QTableWidgetItem);
        auto* combo = new QComboBox;
        combo->addItem(kNotImported, QString());
        if (!m.label.empty())
            combo->addItem(toQt(m.label), toQt(m.label));
        combo->setCurrentIndex(combo->count() - 1);
        grdColumns->setCellWidget(row, kField, combo);
        cboField.push_back(combo);
        connect(combo, &QComboBox::currentIndexChanged, this,
                [this, row] { cboField_Change(row); });
    }
    offerFreeLabels();
    for (int row = 0; row < grdColumns->rowCount(); ++row)
        showMatch(row);
    showSummary();
}

std::vector<std::string> frmArrange::chosenLabels() const {
    std::vector<std::string> out;
    for (const auto* combo : cboField)
        out.push_back(fromQt(combo->currentData().toString()));
    return out;
}

void frmArrange::offerFreeLabels() {
    std::set<std::string> taken;
    for (const auto& label : chosenLabels())
        taken.insert(label);
    for (auto* combo : cboField) {
        const QString mine = combo->currentData().toString();
        const QSignalBlocker quiet(combo);
        combo->clear();
        combo->addItem(kNotImported, QString());
        for (const auto& label : labels_)
            if (toQt(label) == mine || !taken.contains(label))
                combo->addItem(toQt(label), toQt(label));
        combo->setCurrentIndex(mine.isEmpty() ? 0 : combo->findData(mine));
    }
}

void frmArrange::showMatch(int row) {
    const auto i = static_cast<std::size_t>(row);
    const auto& m = matches_[i];
    const bool none = cboField[i]->currentData().toString().isEmpty();
    QString text;
    QColor mark;
    if (changedByUser_[i]) {
        text = none ? QStringLiteral("Not imported (your choice)") : QStringLiteral("Your choice");
    } else if (m.confidence == formats::MatchConfidence::None) {
        text = QString::fromLatin1(formats::confidenceText(m.confidence)) + ": " + toQt(m.note);
        mark = kUnmatched;
    } else {
        text = QString::fromLatin1(formats::confidenceText(m.confidence));
        if (m.confidence == formats::MatchConfidence::Guess) {
            text += QStringLiteral(": check it");
            mark = kGuessed;
        }
    }
    auto* item = grdColumns->item(row, kMatch);
    item->setText(text);
    item->setToolTip(text);
    for (int column : {kNumber, kHeading, kMatch})
        grdColumns->item(row, column)->setBackground(mark.isValid() ? QBrush(mark) : QBrush());
}

void frmArrange::showSummary() {
    const auto chosen = chosenLabels();
    const auto skipped = std::count(chosen.begin(), chosen.end(), std::string());
    QString text = QStringLiteral("%1 columns: %2 with a field")
                       .arg(chosen.size())
                       .arg(static_cast<qsizetype>(chosen.size()) - skipped);
    if (skipped > 0)
        text += QStringLiteral(", %1 not imported").arg(skipped);
    lblSummary->setText(text + QStringLiteral("."));
}

void frmArrange::cboField_Change(int row) {
    changedByUser_[static_cast<std::size_t>(row)] = true;
    offerFreeLabels();
    showMatch(row);
    showSummary();
}

void frmArrange::cmdOK_Click() {
    const auto missing = formats::missingMandatory(chosenLabels(), typeCode_);
    if (!missing.empty()) {
        std::string list;
        for (const auto& label : missing)
            list += "\n" + std::string(ansi::trim(label));
        const auto answer = context_.ui.message(
            {"Mandatory Fields Missing",
             "No column of the file was given these mandatory fields:\n" + list +
                 "\n\nThe records cannot be imported complete without them.  Add the columns to "
                 "the file, or give these fields to the columns that hold them.\n\nArrange the "
                 "fields without them?",
             platform::Icon::Exclamation, platform::Buttons::YesNo});
        if (answer != platform::Answer::Yes)
            return;
    }
    accept();
}

void frmArrange::cmdCancel_Click() {
    reject();
}

} // namespace wizard
