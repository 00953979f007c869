#include "wizard/frmStepFour.h"

#include "hostdata/ImportDatabase.h"
#include "jet/Database.h"
#include "platform/Ansi.h"
#include "ui/AppContext.h"
#include "ui/QtText.h"
#include "wizard/ImportPreview.h"
#include "wizard/ImportRun.h"
#include "wizard/frmStepThree.h"
#include "wizard/frmStepTwo.h"
#include "wizard/frmTab.h"

#include <QBrush>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

using ui::fromQt;
using ui::toQt;

namespace wizard {

namespace {

// What the run reads from the wizard: the structure list, the verified file and the
// first-record choice, from the windows that hold them.
ImportRunInput importInput(ui::AppContext& context, const frmStepFour& four) {
    auto& s = context.session;
    ImportRunInput in;
    in.ModeCode = s.ModeCode;
    in.AppDir = s.AppDir;
    in.DateFlags = s.DateFlags;
    in.firstLineIsRecord = four.optOne->isChecked();
    if (auto* two = context.windows.find<frmStepTwo>())
        in.TabPath = two->filePath();
    if (auto* tab = context.windows.find<wizard::frmTab>())
        for (const auto& label : tab->labels())
            in.labels.push_back(fromQt(label));
    return in;
}

} // namespace

frmStepFour::frmStepFour(ui::AppContext& context)
    : QWidget(context.mainWindow, Qt::Window), context_(context) {
    setObjectName(QStringLiteral("frmStepFour"));
    setWindowTitle(QStringLiteral("Remove Headers and Create File"));

    auto* frame = new QGroupBox(QStringLiteral(
        "Which record should be the first record imported into the Brandmoor software?"));
    optOne = new QRadioButton(QStringLiteral("Record #1"));
    optTwo = new QRadioButton(QStringLiteral("Record #2"));
    auto* f = new QGridLayout(frame);
    f->addWidget(new QLabel(QStringLiteral("Which Record is the first to be imported?")), 0, 0, 1,
                 2);
    f->addWidget(optOne, 1, 0);
    f->addWidget(optTwo, 1, 1);

    lblrecord1 = new QLabel;
    lblrecord2 = new QLabel;
    for (QLabel* l : {lblrecord1, lblrecord2}) {
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(true);
    }
    auto* instructions = new QLabel(QStringLiteral(
        "Some Tab Deliminated files have column headers.  Please notify the system should be the "
        "first record to be imported into the Brandmoor program.  If neither is the first record, "
        "you will have to remove the headers from your import file.  After making your selection, "
        "click the Create Button."));
    instructions->setWordWrap(true);
    cmdPrevious = new QPushButton(QStringLiteral("&Previous"));
    cmdCreate = new QPushButton(QStringLiteral("C&reate"));
    cmdCreate->setEnabled(false);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"));
    lblPreview = new QLabel;
    lblPreview->setTextFormat(Qt::PlainText);
    grdPreview = new QTableWidget;
    grdPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdPreview->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdPreview->setWordWrap(false);
    grdPreview->verticalHeader()->setDefaultSectionSize(grdPreview->fontMetrics().height() + 6);
    grdPreview->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto* grid = new QGridLayout(this);
    grid->addWidget(instructions, 0, 0, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("Record #1:")), 1, 0);
    grid->addWidget(lblrecord1, 1, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Record #2:")), 2, 0);
    grid->addWidget(lblrecord2, 2, 1, 1, 3);
    // The choice first, then what it gives, in the order of the keyboard too.
    grid->addWidget(frame, 3, 0, 1, 4);
    grid->addWidget(lblPreview, 4, 0, 1, 4);
    grid->addWidget(grdPreview, 5, 0, 1, 4);
    grid->addWidget(cmdPrevious, 6, 1);
    grid->addWidget(cmdCreate, 6, 2);
    grid->addWidget(cmdCancel, 6, 3);
    grid->setRowStretch(5, 1);
    resize(760, 560);

    connect(optOne, &QRadioButton::clicked, this, &frmStepFour::optOne_Click);
    connect(optTwo, &QRadioButton::clicked, this, &frmStepFour::optTwo_Click);
    connect(cmdPrevious, &QPushButton::clicked, this, &frmStepFour::cmdPrevious_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmStepFour::cmdCancel_Click);
    connect(cmdCreate, &QPushButton::clicked, this, &frmStepFour::cmdCreate_Click);
}

frmStepFour::~frmStepFour() {
    stopCounting();
}

void frmStepFour::Form_Load() {
    lblrecord1->setText(toQt(ansi::trim(context_.session.RecordText[1])));
    lblrecord2->setText(toQt(ansi::trim(context_.session.RecordText[2])));
    refreshPreview();
}

void frmStepFour::showEvent(QShowEvent* event) {
    Form_Load();
    QWidget::showEvent(event);
}

void frmStepFour::optOne_Click() {
    cmdCreate->setEnabled(true);
    refreshPreview();
}
void frmStepFour::optTwo_Click() {
    cmdCreate->setEnabled(true);
    refreshPreview();
}

void frmStepFour::cmdPrevious_Click() {
    hide();
    if (context_.session.AccountCount != 1)
        context_.windows.get<frmStepThree>().show();
    else
        context_.windows.get<frmStepTwo>().show();
}

void frmStepFour::cmdCancel_Click() {
    context_.windows.unload<frmStepFour>();
    if (context_.session.AccountCount != 1)
        context_.windows.unload<frmStepThree>();
    context_.windows.unload<frmStepTwo>();
    context_.windows.unload<wizard::frmTab>();
}

void frmStepFour::refreshPreview() {
    stopCounting();
    ++generation_;
    grdPreview->clear();
    grdPreview->setRowCount(0);
    grdPreview->setColumnCount(0);
    if (!optOne->isChecked() && !optTwo->isChecked()) {
        lblPreview->setText(
            QStringLiteral("Choose the first record to see what will be imported."));
        return;
    }
    context_.guarded([&] {
        const auto input = importInput(context_, *this);
        showRecords(input.labels, PreviewRecords(input, kPreviewRecords));
        startCounting(input);
    });
}

void frmStepFour::showRecords(const std::vector<std::string>& labels,
                              const std::vector<PreviewRecord>& records) {
    QStringList headers;
    for (const auto& label : labels)
        headers << toQt(ansi::trim(label));
    grdPreview->setColumnCount(static_cast<int>(headers.size()));
    grdPreview->setHorizontalHeaderLabels(headers);
    grdPreview->setRowCount(static_cast<int>(records.size()));
    const QBrush rejected(QColor(255, 214, 214)), dropped(QColor(255, 236, 179));
    for (int row = 0; row < static_cast<int>(records.size()); ++row) {
        const auto& r = records[static_cast<std::size_t>(row)];
        const QString notes = toQt(r.notes);
        auto* number = new QTableWidgetItem(QStringLiteral("#%1").arg(r.number));
        number->setToolTip(notes);
        grdPreview->setVerticalHeaderItem(row, number);
        for (int column = 0; column < static_cast<int>(r.cells.size()); ++column) {
            const auto k = static_cast<std::size_t>(column);
            auto* cell = new QTableWidgetItem(toQt(r.cells[k]));
            cell->setToolTip(notes);
            if (r.rejected) {
                cell->setBackground(rejected);
            } else if (r.droppedDates[k]) {
                cell->setBackground(dropped);
                // Said of the cell itself: the last field of a line is stored unchecked, so the
                // log may say nothing of it.
                cell->setToolTip(
                    QStringLiteral("This is not a date: the import leaves the field empty.") +
                    (notes.isEmpty() ? QString() : QStringLiteral("\n\n") + notes));
            }
            grdPreview->setItem(row, column, cell);
        }
    }
    grdPreview->resizeColumnsToContents();
}

void frmStepFour::startCounting(const ImportRunInput& input) {
    lblPreview->setText(QStringLiteral("Counting the records of the whole file..."));
    stopCount_ = false;
    counter_ = std::thread([this, input, generation = generation_] {
        try {
            if (auto counts = CountRecords(input, stopCount_))
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, counts] {
                        showCounts(generation, counts->imported, counts->rejected);
                    },
                    Qt::QueuedConnection);
        } catch (...) {
            // A file that cannot be read now is reported when the import reads it.
        }
    });
}

void frmStepFour::stopCounting() {
    stopCount_ = true;
    if (counter_.joinable())
        counter_.join();
}

void frmStepFour::showCounts(std::int64_t generation, std::int64_t imported,
                             std::int64_t rejected) {
    if (generation != generation_)
        return;
    const QLocale locale;
    const auto records = imported + rejected;
    lblPreview->setText(
        QStringLiteral("%1 %2: %3 will be imported, %4 will be rejected")
            .arg(locale.toString(qlonglong(records)),
                 records == 1 ? QStringLiteral("record") : QStringLiteral("records"),
                 locale.toString(qlonglong(imported)), locale.toString(qlonglong(rejected))));
}

void frmStepFour::cmdCreate_Click() {
    context_.guarded([&] {
        auto& s = context_.session;
        auto& ui = context_.ui;
        // The previous database's file may be the one the user now replaces.
        hostdata::CloseImportDatabase(s.ImportDatabase);
        // A cancelled file choice leaves the file type in place for another try.
        auto input = importInput(context_, *this);
        auto made = hostdata::CreateImportDatabase({s.AppDir, s.AccountDir, input.TabPath}, ui);
        if (!made)
            return;
        s.ImportDatabase = made->database;
        s.PlanCount = made->planCount;
        // The database is closed when it is finished or discarded: the engine locks the whole
        // file while it is open, and the host must be able to read it.
        auto result = RunImportInto(input, *made, ui);
        s.ImportDatabase.reset();
        // A cancelled run leaves no database; the user asked for that and is told nothing more.
        if (result.outcome == RunOutcome::MissingFile || result.outcome == RunOutcome::Cancelled)
            return;
        if (result.outcome == RunOutcome::Stopped) {
            if (result.logWritten)
                OpenImportLog(ui, s.AppDir);
            return;
        }
        ui.information(
            "Import Database has been Created",
            "Your Access database Import File has been created.  Next, enter the Brandmoor "
            "software and select the Import Data from Database option.  Find the file you just "
            "created and import it.  A report will notify you of the individuals imported into "
            "the system.\n\nRemember, the system will not import employees if the data "
            "structure "
            "is incorrect (i.e. invalid dates in a date field) or mandatory information is "
            "missing.  We have created an import log.  Click the Ok button to review and print "
            "it.");
        OpenImportLog(ui, s.AppDir);
        context_.windows.unload<frmStepFour>();
    });
}

} // namespace wizard
