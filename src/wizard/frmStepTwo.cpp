#include "wizard/frmStepTwo.h"

#include "hostdata/AccountList.h"
#include "platform/Ansi.h"
#include "platform/HostPath.h"
#include "ui/AppContext.h"
#include "ui/QtText.h"
#include "wizard/RemoveExtraFields.h"
#include "wizard/TabVerifier.h"
#include "wizard/TextForm.h"
#include "wizard/WorkbookCopy.h"
#include "wizard/frmStepFour.h"
#include "wizard/frmStepThree.h"
#include "wizard/frmTab.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

using ui::fromQt;
using ui::toQt;

namespace wizard {
namespace {

constexpr int kRowTop = 60, kRowHeight = 30, kCheckLeft = 30, kCrossLeft = 10, kTextLeft = 60;

QLabel* image(QWidget* parent, QStyle::StandardPixmap which, int left, int top) {
    auto* label = new QLabel(parent);
    label->setPixmap(parent->style()->standardIcon(which).pixmap(20, 20));
    label->setGeometry(left, top, 22, 22);
    label->hide();
    return label;
}

} // namespace

frmStepTwo::frmStepTwo(ui::AppContext& context)
    : QWidget(context.mainWindow, Qt::Window), context_(context) {
    setObjectName(QStringLiteral("frmStepTwo"));
    setWindowTitle(QStringLiteral("Verify File Information"));

    auto* step1 = new QGroupBox(QStringLiteral("Step #1 - Select Your Import File"));
    cmdBrowse = new QPushButton(QStringLiteral("&Browse"));
    lblFile = new QLabel(QStringLiteral("Click on the Browse Button to get file."));
    lblFile->setWordWrap(true);
    auto* s1 = new QHBoxLayout(step1);
    s1->addWidget(cmdBrowse);
    s1->addWidget(new QLabel(QStringLiteral("Import File:")));
    s1->addWidget(lblFile, 1);

    auto* step2 = new QGroupBox(QStringLiteral("Step #2 - Verify the file "));
    step2->setMinimumHeight(kRowTop + 3 * kRowHeight + 10);
    cmdVerify = new QPushButton(QStringLiteral("&Verify Import File"), step2);
    cmdVerify->setGeometry(10, 22, 160, 28);
    cmdVerify->setEnabled(false);
    const char* texts[3] = {"File Format is a Tab Deliminated structure",
                            "Number of Fields is correct",
                            "Date Fields and Text Fields seem correct"};
    std::array<QLabel*, 3> rows{};
    for (int i = 0; i < 3; ++i) {
        int top = kRowTop + i * kRowHeight;
        imgCheck[i] = image(step2, QStyle::SP_DialogApplyButton, kCheckLeft, top);
        imgWrong[i] = image(step2, QStyle::SP_DialogCancelButton, kCrossLeft, top);
        rows[i] = new QLabel(QString::fromLatin1(texts[i]), step2);
        rows[i]->setGeometry(kTextLeft, top, 360, 22);
    }
    lblStructure = rows[0];
    lblNumber = rows[1];
    Label3 = rows[2];
    setRowLabelColour(QPalette::Dark);

    auto* instructions = new QLabel(QStringLiteral(
        "First select the file you created to act as a tab deliminated import file.  Next click "
        "on the Verify button so the program may review the file for potential issues."));
    instructions->setWordWrap(true);

    cmdPrevious = new QPushButton(QStringLiteral("&Previous"));
    cmdNext = new QPushButton(QStringLiteral("&Next"));
    cmdNext->setEnabled(false);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdPrevious);
    buttons->addWidget(cmdNext);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(instructions);
    layout->addWidget(step1);
    layout->addWidget(step2);
    layout->addLayout(buttons);
    resize(520, 360);

    connect(cmdBrowse, &QPushButton::clicked, this, &frmStepTwo::cmdBrowse_Click);
    connect(cmdVerify, &QPushButton::clicked, this, &frmStepTwo::cmdVerify_Click);
    connect(cmdNext, &QPushButton::clicked, this, &frmStepTwo::cmdNext_Click);
    connect(cmdPrevious, &QPushButton::clicked, this, &frmStepTwo::cmdPrevious_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmStepTwo::cmdCancel_Click);
}

std::string frmStepTwo::filePath() const {
    return std::string(ansi::trim(fromQt(lblFile->text())));
}

void frmStepTwo::setRowLabelColour(QPalette::ColorRole role) {
    for (QLabel* label : {lblStructure, lblNumber, Label3}) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, palette().color(role));
        label->setPalette(p);
    }
}

void frmStepTwo::showCross(int row) {
    imgWrong[row]->move(imgCheck[row]->pos());
    imgCheck[row]->hide();
    imgWrong[row]->show();
}

void frmStepTwo::showAllCrosses() {
    for (int i = 0; i < 3; ++i)
        showCross(i);
}

void frmStepTwo::hideImages() {
    for (int i = 0; i < 3; ++i) {
        imgCheck[i]->hide();
        imgWrong[i]->hide();
    }
}

void frmStepTwo::cmdBrowse_Click() {
    auto& s = context_.session;
    const auto chosen = chooseImportFile(s, context_.ui, "Find Your Import File");
    if (!chosen)
        return;
    const std::string& picked = *chosen;
    // A workbook is verified and imported through the TAB copy written from it.
    const auto file = tabFileFor(picked, context_.ui);
    if (!file)
        return;
    lblFile->setText(toQt(*file));
    cmdVerify->setEnabled(true);
    hideImages();
    cmdNext->setEnabled(false);
    // The dialog hands the keyboard back to its owner: Verify must have it, so that Space
    // verifies.
    activateWindow();
    cmdVerify->setFocus();
}

void frmStepTwo::cmdVerify_Click() {
    auto& s = context_.session;
    auto& ui = context_.ui;
    auto buffer = readVerificationBuffer(filePath());
    if (!buffer) {
        showAllCrosses();
        return;
    }
    setRowLabelColour(QPalette::ButtonText);
    // The whole file is looked at first: what the import cannot read as written would lose
    // fields or records, or store garbled text, without a word.
    if (auto form = inspectTextFile(filePath())) {
        if (form->nulLine != 0) {
            refuse(nulMessage(*form, filePath()));
            return;
        }
        if (form->needsRevision() && !offerRevision(*form))
            return;
    }
    ui.setBusy(true);
    s.RecordText = {};

    std::vector<std::string> labels;
    for (const auto& label : context_.windows.get<wizard::frmTab>().labels())
        labels.push_back(fromQt(label));
    const std::size_t n = labels.size();
    const TabScan scan = scanTabBuffer(*buffer, labels);
    s.DateFlags = scan.dateFlags;
    s.RecordText = scan.recordText;
    ui.pause(1000);

    const Verdict verdict = decide(scan, n);
    if (verdict == Verdict::RemovalOffer) {
        offerRemoval(scan, labels);
        return;
    }
    if (verdict == Verdict::NotTabDelimited) {
        showAllCrosses();
        ui.setBusy(false);
        showVerdict(verdict, scan, labels);
        cmdNext->setEnabled(false);
        cmdVerify->setEnabled(false);
        return;
    }
    imgCheck[0]->show();
    ui.pause(1000);
    if (verdict == Verdict::FieldCountMismatch) {
        showCross(1);
        ui.setBusy(false);
        showVerdict(verdict, scan, labels);
        cmdNext->setEnabled(false);
        cmdVerify->setEnabled(false);
        return;
    }
    imgCheck[1]->show();
    ui.pause(1000);
    if (verdict == Verdict::BadDates) {
        showCross(2);
        ui.setBusy(false);
        showVerdict(verdict, scan, labels);
        return;
    }
    imgCheck[2]->show();
    cmdNext->setEnabled(true);
    if (verdict == Verdict::PoundSigns) {
        cmdNext->setEnabled(false);
        showCross(2);
        ui.setBusy(false);
        showVerdict(verdict, scan, labels);
        return;
    }
    ui.setBusy(false);
    cmdNext->setFocus();
}

void frmStepTwo::showVerdict(Verdict verdict, const TabScan& scan,
                             const std::vector<std::string>& labels) {
    auto m = verdictMessage(verdict, scan, labels);
    context_.ui.critical(m->title, m->text);
}

void frmStepTwo::offerRemoval(const TabScan& scan, const std::vector<std::string>& labels) {
    const std::size_t n = labels.size();
    auto& ui = context_.ui;
    showAllCrosses();
    ui.setBusy(false);
    cmdNext->setEnabled(false);
    cmdVerify->setEnabled(false);
    auto offer = verdictMessage(Verdict::RemovalOffer, scan, labels);
    auto answer = ui.question(offer->title, offer->text);
    if (answer != platform::Answer::Yes)
        return;
    std::string path = filePath();
    int failed = 0;
    context_.guarded([&] {
        try {
            RemoveExtraFields(path, static_cast<std::int64_t>(n), failed, ui);
        } catch (...) {
            failed = 1;
            throw;
        }
    });
    if (failed == 1)
        return;
    useRevisedCopy(path);
}

// The corrected copy takes the file's place, to be verified again.
void frmStepTwo::useRevisedCopy(const std::string& path) {
    lblFile->setText(toQt(path));
    hideImages();
    context_.ui.information("Scanned Import File",
                            "Your import file was adjusted.  Please run it through the Verify "
                            "File process again.");
    cmdVerify->setEnabled(true);
}

void frmStepTwo::refuse(const VerdictMessage& message) {
    showAllCrosses();
    cmdNext->setEnabled(false);
    cmdVerify->setEnabled(false);
    context_.ui.critical(message.title, message.text);
}

bool frmStepTwo::offerRevision(const TextForm& form) {
    auto& ui = context_.ui;
    showAllCrosses();
    cmdNext->setEnabled(false);
    cmdVerify->setEnabled(false);
    const auto offer = revisionOffer(form, filePath());
    if (ui.question(offer.title, offer.text) != platform::Answer::Yes) {
        // UTF-16 read byte by byte is no TAB file at all; anything else is verified as it is.
        if (form.encoding == TextEncoding::Utf16Le || form.encoding == TextEncoding::Utf16Be)
            return false;
        hideImages();
        cmdVerify->setEnabled(true);
        return true;
    }
    std::string path = filePath();
    bool failed = true;
    context_.guarded([&] {
        ReviseText(path, form);
        failed = false;
    });
    if (failed)
        return false;
    useRevisedCopy(path);
    return false;
}

void frmStepTwo::cmdNext_Click() {
    auto& s = context_.session;
    context_.guarded([&] {
        s.AccountCount = hostdata::countAccounts(s.AppDir, records::CountRule::Rounded);
        if (s.AccountCount == 1)
            s.AccountDir = s.AppDir + hostdata::readAccount(s.AppDir, 1).folderName();
    });
    hide();
    QWidget* next = s.AccountCount == 1
                        ? static_cast<QWidget*>(&context_.windows.get<frmStepFour>())
                        : static_cast<QWidget*>(&context_.windows.get<frmStepThree>());
    next->show();
    next->raise();
}

void frmStepTwo::cmdPrevious_Click() {
    context_.windows.unload<frmStepTwo>();
    auto& tab = context_.windows.get<wizard::frmTab>();
    tab.show();
    tab.cmdNext->setFocus();
}

void frmStepTwo::cmdCancel_Click() {
    context_.windows.unload<frmStepTwo>();
    context_.windows.unload<wizard::frmTab>();
}

} // namespace wizard
