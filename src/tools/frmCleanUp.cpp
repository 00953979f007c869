#include "tools/frmCleanUp.h"

#include "hostdata/AccountList.h"
#include "tools/CleanUp.h"
#include "ui/AppContext.h"
#include "ui/QtText.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

using ui::toQt;

namespace tools {

frmCleanUp::frmCleanUp(ui::AppContext& context) : QDialog(context.mainWindow), context_(context) {
    setObjectName(QStringLiteral("frmCleanUp"));
    setWindowTitle(QStringLiteral("Remove unnecessary files from the Brandmoor directory"));
    setModal(true);
    lblCleanData = new QLabel;
    lblCleanData->setWordWrap(true);
    Frame1 = new QGroupBox(QStringLiteral("Cleanup"));
    cmdEval = new QPushButton(QStringLiteral("&Remove Unnecessary Files"));
    Label3 = new QLabel(
        QStringLiteral("Click the above button to remove unnecessary files from your hard drive."));
    Label3->setWordWrap(true);
    Label1 = new QLabel(QStringLiteral(
        "Please wait... Cleanup is removing unnecessay files from your hard drive."));
    Label1->setWordWrap(true);
    Label1->hide();
    Label2 = new QLabel(QStringLiteral("Calculating..."));
    Label2->hide();
    ProgressBar1 = new QProgressBar;
    ProgressBar1->hide();
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"));

    auto* frame = new QVBoxLayout(Frame1);
    frame->addWidget(cmdEval);
    frame->addWidget(Label3);
    frame->addWidget(Label1);
    frame->addWidget(Label2);
    frame->addWidget(ProgressBar1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblCleanData);
    layout->addWidget(Frame1);
    layout->addWidget(cmdCancel, 0, Qt::AlignRight);
    resize(480, 380);

    connect(cmdEval, &QPushButton::clicked, this, &frmCleanUp::cmdEval_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmCleanUp::cmdCancel_Click);
}

void frmCleanUp::Form_Load() {
    ProgressBar1->setValue(0);
    lblCleanData->setText(QStringLiteral(
        "Cleaning the Brandmoor account folders will remove all the unnecessary files that are no "
        "longer needed by the Brandmoor.   Removing unneeded files will not increase the speed of "
        "the application, but it will reduce the amount of hard drive space that is used by the "
        "program.  It is a good idea to clean out your account folders before backing up your "
        "data.  \n\nNote: It is not necessary to clean your account folders every time you backup "
        "your computer, but it should be done periodically to reduce the size of your backups."));
}

void frmCleanUp::cmdEval_Click() {
    auto& s = context_.session;
    ProgressBar1->show();
    Label3->setText(QString());
    Label1->show();
    Label2->show();
    context_.ui.setBusy(true);
    context_.guarded([&] {
        auto accounts = hostdata::countAccounts(s.AppDir, records::CountRule::Rounded);
        s.AccountCount = accounts;
        if (accounts == 0)
            return;
        ProgressBar1->setRange(0, static_cast<int>(std::min<std::int64_t>(accounts, INT32_MAX)));
        auto result = cleanAccountFolders(s.AppDir, [&](std::int64_t i) {
            ProgressBar1->setValue(static_cast<int>(std::min<std::int64_t>(i, INT32_MAX)));
        });
        s.AccountDir = result.lastAccountDir;

        QFont big = Label1->font();
        big.setPointSize(16);
        Label1->setFont(big);
        Label1->setAlignment(Qt::AlignCenter);
        Label1->setText(QStringLiteral("Scan Complete!"));
        Label2->setText(QStringLiteral("Done..."));
        std::string text = std::to_string(result.deleted) +
                           " file(s) have been removed from your hard drive.\n\nYou can now backup "
                           "your data and be assured that you are not wasting valuable hard drive "
                           "space.";
        if (!result.notDeleted.empty()) {
            // Nothing stops the run; what could not go is named so the user can see to it.
            text += "\n\n" + std::to_string(result.notDeleted.size()) +
                    " file(s) could not be removed:";
            for (const auto& name : result.notDeleted)
                text += "\n" + name;
        }
        Label3->setText(toQt(text));
        cmdCancel->setText(QStringLiteral("&Done"));
        // The result is longer than the first text: the window grows with it rather than clip it.
        // Once the layout has taken in the new texts.
        QTimer::singleShot(
            0, this, [this] { resize(width(), std::max(height(), heightForWidth(width()))); });
    });
    context_.ui.setBusy(false);
}

void frmCleanUp::cmdCancel_Click() {
    context_.windows.unload<frmCleanUp>();
}

} // namespace tools
