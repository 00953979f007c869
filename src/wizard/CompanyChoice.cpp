#include "wizard/CompanyChoice.h"

#include "app/AppContext.h"
#include "formats/frmTab.h"
#include "hostdata/ImportDatabase.h"
#include "jet/Database.h"
#include "platform/Ansi.h"
#include "platform/QtText.h"
#include "wizard/ImportRun.h"
#include "wizard/frmStepTwo.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

using platform::fromQt;
using platform::toQt;

namespace wizard {

namespace {
constexpr int kWidth = 480, kHeight = 230, kButtonTop = 180, kButtonWidth = 90;

template <typename T>
void showModeless(app::AppContext& context) {
    auto& window = context.windows.get<T>();
    window.show();
    window.raise();
}
} // namespace

frmStepThree::frmStepThree(app::AppContext& context)
    : QDialog(context.mainWindow), context_(context) {
    setObjectName(QStringLiteral("frmStepThree"));
    setWindowTitle(QStringLiteral("Which Company/Sub Group Should the Import take Place?"));
    // Fixed geometry: in the restore flow the buttons move to given fractions of the width.
    setFixedSize(kWidth, kHeight);
    lblInstructions = new QLabel(
        QStringLiteral("Select the company/subgroup for which you wish to import your data "
                       "file.  The system will create an Access database that will used to import "
                       "the information in the Brandmoor software.  Click Next to continue."),
        this);
    lblInstructions->setWordWrap(true);
    lblInstructions->setGeometry(15, 10, kWidth - 30, 80);
    auto* label = new QLabel(QStringLiteral("Company/Subgroup:"), this);
    label->setGeometry(15, 110, 130, 24);
    cboCompany = new QComboBox(this);
    cboCompany->setGeometry(150, 110, kWidth - 165, 26);
    cmdPrevious = new QPushButton(QStringLiteral("&Previous"), this);
    cmdNext = new QPushButton(QStringLiteral("&Next"), this);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdPrevious->setGeometry(kWidth - 3 * (kButtonWidth + 10), kButtonTop, kButtonWidth, 28);
    cmdNext->setGeometry(kWidth - 2 * (kButtonWidth + 10), kButtonTop, kButtonWidth, 28);
    cmdCancel->setGeometry(kWidth - (kButtonWidth + 10), kButtonTop, kButtonWidth, 28);
    connect(cmdPrevious, &QPushButton::clicked, this, &frmStepThree::cmdPrevious_Click);
    connect(cmdNext, &QPushButton::clicked, this, &frmStepThree::cmdNext_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmStepThree::cmdCancel_Click);
}

bool frmStepThree::restoreMode() const {
    return context_.session.ModeCode == app::mode::kRestore;
}

void frmStepThree::Form_Load() {
    auto& s = context_.session;
    context_.guarded([&] {
        accounts_ = hostdata::readAccounts(s.AppDir, records::CountRule::Rounded);
        s.AccountCount = static_cast<std::int64_t>(accounts_.size());
    });
    for (const auto& account : accounts_)
        cboCompany->addItem(toQt(account.companyName()));
    cboCompany->setCurrentIndex(-1);

    if (restoreMode()) {
        setWindowTitle(QStringLiteral("Restore Date to the point prior to Import"));
        lblInstructions->setText(QStringLiteral(
            "If you performed an Import and it did not take place the way you wanted, you may "
            "RESTORE the files to the way they were prior to the import.  Any changes/entries "
            "made after the import will be removed as well."));
        cmdNext->setVisible(false);
        cmdCancel->move(static_cast<int>(0.6 * width()), cmdCancel->y());
        cmdPrevious->move(static_cast<int>(0.2 * width()), cmdPrevious->y());
        cmdPrevious->setText(QStringLiteral("&Ok"));
    }
}

// The first account, in file order, whose company name is the chosen text.
void frmStepThree::lookUpAccount() {
    const std::string chosen(ansi::trim(fromQt(cboCompany->currentText())));
    for (const auto& account : accounts_) {
        if (account.companyName() == chosen) {
            context_.session.AccountDir = context_.session.AppDir + account.folderName();
            return;
        }
    }
}

void frmStepThree::cmdNext_Click() {
    if (ansi::trim(fromQt(cboCompany->currentText())).empty()) {
        context_.ui.critical("Missing Information",
                             "Please select the name of the company you wish to import data.  You "
                             "may only import data into one company at a time.");
        cboCompany->setFocus();
        return;
    }
    lookUpAccount();
    hide();
    showModeless<frmStepFour>(context_);
}

void frmStepThree::cmdPrevious_Click() {
    if (!restoreMode()) {
        hide();
        context_.windows.get<frmStepTwo>().show();
        return;
    }
    if (cboCompany->currentIndex() < 0) {
        context_.ui.information("Missing Information",
                                "You must select the company where you imported the information.");
        return;
    }
    lookUpAccount();
    context_.windows.unload<frmStepThree>();
}

void frmStepThree::cmdCancel_Click() {
    if (restoreMode())
        context_.session.ModeCode = app::mode::kCancelled;
    context_.windows.unload<frmStepThree>();
    context_.windows.unload<frmStepTwo>();
    context_.windows.unload<formats::frmTab>();
}

// Escape and the title bar's close button cancel; an unload's own close does not.
void frmStepThree::reject() {
    if (context_.windows.find<frmStepThree>() == this)
        cmdCancel_Click();
    else
        QDialog::reject();
}

frmStepFour::frmStepFour(app::AppContext& context)
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

    auto* grid = new QGridLayout(this);
    grid->addWidget(instructions, 0, 0, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("Record #1:")), 1, 0);
    grid->addWidget(lblrecord1, 1, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Record #2:")), 2, 0);
    grid->addWidget(lblrecord2, 2, 1, 1, 3);
    grid->addWidget(frame, 3, 0, 1, 4);
    grid->addWidget(cmdPrevious, 4, 1);
    grid->addWidget(cmdCreate, 4, 2);
    grid->addWidget(cmdCancel, 4, 3);
    resize(560, 320);

    connect(optOne, &QRadioButton::clicked, this, &frmStepFour::optOne_Click);
    connect(optTwo, &QRadioButton::clicked, this, &frmStepFour::optTwo_Click);
    connect(cmdPrevious, &QPushButton::clicked, this, &frmStepFour::cmdPrevious_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmStepFour::cmdCancel_Click);
    connect(cmdCreate, &QPushButton::clicked, this, &frmStepFour::cmdCreate_Click);
}

void frmStepFour::Form_Load() {
    lblrecord1->setText(toQt(ansi::trim(context_.session.RecordText[1])));
    lblrecord2->setText(toQt(ansi::trim(context_.session.RecordText[2])));
}

void frmStepFour::showEvent(QShowEvent* event) {
    Form_Load();
    QWidget::showEvent(event);
}

void frmStepFour::optOne_Click() {
    cmdCreate->setEnabled(true);
}
void frmStepFour::optTwo_Click() {
    cmdCreate->setEnabled(true);
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
    context_.windows.unload<formats::frmTab>();
}

namespace {

// What the run reads from the wizard: the structure list, the verified file and the
// first-record choice, from the windows that hold them.
ImportRunInput importInput(app::AppContext& context, const frmStepFour& four) {
    auto& s = context.session;
    ImportRunInput in;
    in.ModeCode = s.ModeCode;
    in.AppDir = s.AppDir;
    in.DateFlags = s.DateFlags;
    in.firstLineIsRecord = four.optOne->isChecked();
    if (auto* two = context.windows.find<frmStepTwo>())
        in.TabPath = std::string(ansi::trim(fromQt(two->lblFile->text())));
    if (auto* tab = context.windows.find<formats::frmTab>())
        for (int i = 0; i < tab->lstField->count(); ++i)
            in.labels.push_back(fromQt(tab->lstField->item(i)->text()));
    return in;
}

} // namespace

void frmStepFour::cmdCreate_Click() {
    context_.guarded([&] {
        auto& s = context_.session;
        auto& ui = context_.ui;
        // A cancelled file choice leaves the file type in place for another try.
        const int fileType = s.ModeCode;
        hostdata::CreateImportDatabase(s, ui);
        if (s.ModeCode == app::mode::kCancelled || !s.ImportDatabase) {
            s.ModeCode = fileType;
            return;
        }
        auto result = RunImport(importInput(context_, *this), *s.ImportDatabase, ui);
        // Closed now rather than at the next Create: the engine locks the whole file while it is
        // open, and the host must be able to read it.
        s.ImportDatabase->Close();
        s.ImportDatabase.reset();
        if (result.outcome == RunOutcome::MissingFile)
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
            "the system.\n\nRemember, the system will not import employees if the data structure "
            "is incorrect (i.e. invalid dates in a date field) or mandatory information is "
            "missing.  We have created an import log.  Click the Ok button to review and print "
            "it.");
        OpenImportLog(ui, s.AppDir);
        context_.windows.unload<frmStepFour>();
    });
}

} // namespace wizard
