#include "app/frmMainMenu.h"

#include "app/HelpPage.h"
#include "app/Instructions.h"
#include "app/frmAbout.h"
#include "backup/frmCreatBackup.h"
#include "backup/frmRestoreData.h"
#include "backup/frmRestoreData2.h"
#include "backup/frmStartBackup.h"
#include "formats/Dialog1.h"
#include "formats/FormatStore.h"
#include "formats/frmGetFormat.h"
#include "hostdata/AccountList.h"
#include "platform/HostPath.h"
#include "restore/frmRestore.h"
#include "tools/frmCleanUp.h"
#include "tools/frmUnzip.h"
#include "ui/AppContext.h"
#include "ui/QtText.h"
#include "ui/Twips.h"
#include "wizard/frmStepFour.h"
#include "wizard/frmStepThree.h"
#include "wizard/frmStepTwo.h"
#include "wizard/frmTab.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardPaths>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

using ui::toQt;

namespace app {
namespace {

QAction* addItem(QMenu* menu, const char* name, const char* caption) {
    auto* action = menu->addAction(QString::fromLatin1(caption));
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QMenu* addMenu(QMenuBar* bar, const char* name, const char* caption) {
    auto* menu = bar->addMenu(QString::fromLatin1(caption));
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

struct Page {
    QLabel* text;
    QLabel* background;
};

Page addPage(QTabWidget* tabs, const char* tabCaption, const char* heading,
             QStyle::StandardPixmap picture, const char* textName, const char* backgroundName) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    auto* top = new QHBoxLayout;
    auto* pic = new QLabel;
    pic->setPixmap(page->style()->standardIcon(picture).pixmap(48, 48));
    auto* head = new QLabel(toQt(heading));
    QFont headFont(QStringLiteral("Arial Black"), 14);
    head->setFont(headFont);
    top->addWidget(pic);
    top->addWidget(head, 1);
    layout->addLayout(top);

    auto* background = new QLabel;
    background->setObjectName(QString::fromLatin1(backgroundName));
    background->setAutoFillBackground(true);
    QPalette white = background->palette();
    white.setColor(QPalette::Window, Qt::white);
    background->setPalette(white);
    auto* inner = new QVBoxLayout(background);
    auto* text = new QLabel;
    text->setObjectName(QString::fromLatin1(textName));
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    text->setTextFormat(Qt::PlainText);
    text->setFont(QFont(QStringLiteral("Times New Roman"), 10));
    // The page keeps its size; a text longer than it scrolls rather than losing its last lines.
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    text->setAutoFillBackground(false);
    scroll->setWidget(text);
    inner->addWidget(scroll);
    layout->addWidget(background, 1);

    tabs->addTab(page, QString::fromLatin1(tabCaption));
    return {text, background};
}

} // namespace

frmMainMenu::frmMainMenu(ui::AppContext& context) : context_(context) {
    setObjectName(QStringLiteral("frmMainMenu"));
    setWindowTitle(QStringLiteral("Brandmoor Software Import & Utilities Program"));
    resize(800, 600);

    centre_ = new QWidget(this);
    setCentralWidget(centre_);
    centre_->installEventFilter(this);

    buildInstructionPages();
    buildMenus();
    buildToolbar();
}

void frmMainMenu::buildInstructionPages() {
    InsTab = new QTabWidget(centre_);
    InsTab->setObjectName(QStringLiteral("InsTab"));
    auto p1 = addPage(InsTab, "&Import Instructions", "Tarnfield ",
                      QStyle::SP_MessageBoxInformation, "lblInstructions", "Label1");
    auto p2 = addPage(InsTab, "Step &1", "Step #1:  Create a TAB Delimited File",
                      QStyle::SP_FileIcon, "lblStep1", "Label5");
    auto p3 = addPage(InsTab, "Step &2", "Step #2:  Create an Import Database",
                      QStyle::SP_DriveHDIcon, "lblStep2", "Label3");
    auto p4 = addPage(InsTab, "Step &3", "Step #3:  Import Database in Brandmoor",
                      QStyle::SP_DialogApplyButton, "lblStep3", "Label7");
    lblInstructions = p1.text;
    Label1 = p1.background;
    lblStep1 = p2.text;
    Label5 = p2.background;
    lblStep2 = p3.text;
    Label3 = p3.background;
    lblStep3 = p4.text;
    Label7 = p4.background;

    // The pages' own title bar: a bar in the colour of an active title bar, above the tabs.
    Shape1 = new QFrame(centre_);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setAutoFillBackground(true);
    QPalette bar = Shape1->palette();
    bar.setColor(QPalette::Window, bar.color(QPalette::Active, QPalette::Highlight));
    Shape1->setPalette(bar);

    cmdClose = new QPushButton(QStringLiteral("X"), centre_);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(cmdClose, &QPushButton::clicked, this, &frmMainMenu::cmdClose_Click);

    applyInstructionGeometry();
}

void frmMainMenu::buildMenus() {
    auto* bar = menuBar();
    mnuFile = addMenu(bar, "mnuFile", "&File");
    mnuFileCreate = mnuFile->addMenu(QStringLiteral("&Create Import File"));
    mnuFileCreate->setObjectName(QStringLiteral("mnuFileCreate"));
    mnuFileCreate->menuAction()->setObjectName(QStringLiteral("mnuFileCreate"));
    mnuFileCreateEmployee =
        addItem(mnuFileCreate, "mnuFileCreateEmployee", "&Active Employee Import File");
    mnuFileCreateQualifier =
        addItem(mnuFileCreate, "mnuFileCreateQualifier", "&COBRA Qualifier Import File");
    mnuFileImportParticipant =
        addItem(mnuFileCreate, "mnuFileImportParticipant", "COBRA &Participant Import File");
    mnuFileImportRetiree =
        addItem(mnuFileCreate, "mnuFileImportRetiree", "Retired Employee Import File");
    mnuFileDeleteFormat = addItem(mnuFile, "mnuFileDeleteFormat", "&Delete a Created Format");
    mnuFileDeleteFormat->setVisible(false);
    mnuFileRestore = addItem(mnuFile, "mnuFileRestore", "&Restore Prior to Import");
    mnuSystemRestore = addItem(mnuFile, "mnuSystemRestore", "&System Backup & Restore");
    mnuSystemRestore->setVisible(false);
    mnuFileSep = mnuFile->addSeparator();
    mnuFileSep->setObjectName(QStringLiteral("mnuFileSep"));
    mnuFileExit = addItem(mnuFile, "mnuFileExit", "E&xit");

    mnuTools = addMenu(bar, "mnuTools", "&Tools");
    mnuToolsUnzip = addItem(mnuTools, "mnuToolsUnzip", "&Unzip A File");
    mnuToolsClean = addItem(mnuTools, "mnuToolsClean", "&Clean Brandmoor Acct folders");
    mnuBckArcLetrs = addItem(mnuTools, "mnuBckArcLetrs", "Archived Sent Notification");
    mnuBckArcLetrs->setVisible(false);
    mnuArchiveLetters =
        addItem(mnuTools, "mnuArchiveLetters", "Send Files to Archive (All Companies)");
    mnuArchiveLetters->setVisible(false);

    mnuHelp = addMenu(bar, "mnuHelp", "&Help");
    mnuInstructions = addItem(mnuHelp, "mnuInstructions", "&Remove Instructions");
    mnuVersion = addItem(mnuHelp, "mnuVersion", "&Version");

    connect(mnuFileCreateEmployee, &QAction::triggered, this,
            &frmMainMenu::mnuFileCreateEmployee_Click);
    connect(mnuFileCreateQualifier, &QAction::triggered, this,
            &frmMainMenu::mnuFileCreateQualifier_Click);
    connect(mnuFileImportParticipant, &QAction::triggered, this,
            &frmMainMenu::mnuFileImportParticipant_Click);
    connect(mnuFileImportRetiree, &QAction::triggered, this,
            &frmMainMenu::mnuFileImportRetiree_Click);
    connect(mnuFileDeleteFormat, &QAction::triggered, this,
            &frmMainMenu::mnuFileDeleteFormat_Click);
    connect(mnuFileRestore, &QAction::triggered, this, &frmMainMenu::mnuFileRestore_Click);
    connect(mnuSystemRestore, &QAction::triggered, this, &frmMainMenu::mnuSystemRestore_Click);
    connect(mnuToolsUnzip, &QAction::triggered, this, &frmMainMenu::mnuToolsUnzip_Click);
    connect(mnuToolsClean, &QAction::triggered, this, &frmMainMenu::mnuToolsClean_Click);
    connect(mnuFileExit, &QAction::triggered, this, &frmMainMenu::mnuFileExit_Click);
    connect(mnuInstructions, &QAction::triggered, this, &frmMainMenu::mnuInstructions_Click);
    connect(mnuVersion, &QAction::triggered, this, &frmMainMenu::mnuVersion_Click);
}

void frmMainMenu::buildToolbar() {
    Toolbar1 = addToolBar(QStringLiteral("Toolbar1"));
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    struct Button {
        const char* key;
        const char* tip;
        QStyle::StandardPixmap image;
    };
    auto add = [this](const Button& b) {
        auto* action =
            Toolbar1->addAction(style()->standardIcon(b.image), QString::fromLatin1(b.key));
        action->setObjectName(QString::fromLatin1(b.key));
        action->setData(QString::fromLatin1(b.key));
        action->setToolTip(QString::fromLatin1(b.tip));
    };
    auto separator = [this](const char* name) {
        Toolbar1->addSeparator()->setObjectName(QString::fromLatin1(name));
    };
    add({"Open", "Open Saved Structure", QStyle::SP_DialogOpenButton});
    add({"New", "Create a New Structure", QStyle::SP_FileDialogNewFolder});
    add({"Delete", "Delete a created structure", QStyle::SP_TrashIcon});
    separator("btnSep1");
    add({"Unzip", "Unzip a file", QStyle::SP_ArrowDown});
    add({"Clean", "Clean up your account folders", QStyle::SP_DialogResetButton});
    separator("btnSep2");
    add({"Help", "Get Help", QStyle::SP_DialogHelpButton});

    connect(Toolbar1, &QToolBar::actionTriggered, this, &frmMainMenu::Toolbar1_ButtonClick);
}

void frmMainMenu::Form_Load() {
    // Shown first, so that any message below stands over it.
    show();
    auto& session = context_.session;
    session.AppDir = context_.programFolder;

    context_.guarded([&] {
        if (formats::FormatStore(session.AppDir).Count() > 0) {
            mnuFileDeleteFormat->setVisible(true);
            mnuFileDeleteFormat->setEnabled(true);
        }
    });

    context_.guarded([&] {
        session.AccountCount = hostdata::countAccounts(session.AppDir, records::CountRule::Rounded);
    });
    if (session.AccountCount == 0)
        context_.ui.critical(
            "Incorrect Location of Tarnfield.exe",
            "The Tarnfield program does not seem to be in the default directory that houses the "
            "Brandmoor.exe.  It is recommended you use the Tarnfield.exe in the same folder "
            "where the Brandmoor.exe resides.");

    lblInstructions->setText(toQt(instructionsText()));
    lblStep1->setText(toQt(step1Text()));
    lblStep2->setText(toQt(step2Text()));
    lblStep3->setText(toQt(step3Text()));
    InsTab->setCurrentIndex(0);
}

float frmMainMenu::ScaleWidth() const {
    return ui::toTwips(centre_->width());
}
float frmMainMenu::ScaleHeight() const {
    return ui::toTwips(centre_->height());
}

void frmMainMenu::applyInstructionGeometry() {
    auto place = [](QWidget* w, const Box& b) {
        w->setGeometry(ui::toPixels(b.left), ui::toPixels(b.top), ui::toPixels(b.width),
                       ui::toPixels(b.height));
    };
    place(InsTab, insTabBox);
    place(Shape1, shape1Box);
    place(cmdClose, cmdCloseBox);
    cmdClose->raise();
}

void PositionInstructions(frmMainMenu& w) {
    auto& tab = w.insTabBox;
    auto& bar = w.shape1Box;
    auto& close = w.cmdCloseBox;
    tab.left = (w.ScaleWidth() - tab.width) / 2;
    tab.top = (w.ScaleHeight() - tab.height) / 2;
    bar.left = tab.left;
    bar.top = tab.top - bar.height;
    close.top = bar.top + 20;
    close.left = bar.left + bar.width - close.width - 20;
    w.applyInstructionGeometry();
}

void frmMainMenu::Form_Resize() {
    PositionInstructions(*this);
}

bool frmMainMenu::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centre_ && event->type() == QEvent::Resize)
        Form_Resize();
    return QMainWindow::eventFilter(watched, event);
}

void frmMainMenu::cmdClose_Click() {
    InsTab->setVisible(false);
    Shape1->setVisible(false);
    cmdClose->setVisible(false);
    mnuInstructions->setText(QStringLiteral("Show Instructions"));
}

void frmMainMenu::mnuInstructions_Click() {
    if (mnuInstructions->text() == QStringLiteral("Show Instructions")) {
        PositionInstructions(*this);
        Shape1->setVisible(true);
        cmdClose->setVisible(true);
        InsTab->setVisible(true);
        mnuInstructions->setText(QStringLiteral("Remove Instructions"));
        // Brought to the front of the window's other contents.
        InsTab->raise();
        Shape1->raise();
        cmdClose->raise();
    } else {
        InsTab->setVisible(false);
        Shape1->setVisible(false);
        cmdClose->setVisible(false);
        mnuInstructions->setText(QStringLiteral("Show Instructions"));
    }
}

void frmMainMenu::mnuVersion_Click() {
    context_.guarded([&] {
        context_.windows.get<frmAbout>().exec();
        context_.windows.unload<frmAbout>(); // Escape closes it too
    });
}

void frmMainMenu::mnuFileExit_Click() {
    context_.windows.unloadAll();
    if (context_.exitProgram)
        context_.exitProgram();
}

template <typename T>
void frmMainMenu::openModal() {
    context_.windows.get<T>().exec();
    context_.windows.unload<T>();
}

void frmMainMenu::createCommand(const char* fileType, int code) {
    auto& s = context_.session;
    context_.guarded([&] {
        s.FormatSource = session::source::kCatalogue;
        s.ToolbarOp = session::toolbar::kNone;
        s.FileTypeName = fileType;
        if (formats::FormatStore(s.AppDir).HasType(s.FileTypeName)) {
            s.resetChosenFields();
            // A cancel left over from an earlier command must not read as this one's.
            s.ModeCode = session::mode::kNone;
            openModal<formats::frmGetFormat>();
            if (s.ModeCode == session::mode::kCancelled)
                return;
        }
        s.ModeCode = code;
        context_.windows.show<wizard::frmTab>();
    });
}

void frmMainMenu::mnuFileCreateEmployee_Click() {
    createCommand("EMPLOYEE", session::mode::kEmployee);
}
void frmMainMenu::mnuFileCreateQualifier_Click() {
    createCommand("QUALIFIER", session::mode::kQualifier);
}
void frmMainMenu::mnuFileImportParticipant_Click() {
    createCommand("PARTICIPANT", session::mode::kParticipant);
}
void frmMainMenu::mnuFileImportRetiree_Click() {
    createCommand("RETIREE", session::mode::kRetiree);
}

void frmMainMenu::mnuFileRestore_Click() {
    auto& s = context_.session;
    // An import part-way through keeps its file type, account and company choice: the restore
    // borrows the company chooser in its own form and gives the wizard its state back after.
    const bool wizardOpen = context_.windows.isLoaded<wizard::frmTab>() ||
                            context_.windows.isLoaded<wizard::frmStepTwo>() ||
                            context_.windows.isLoaded<wizard::frmStepThree>();
    const int wizardMode = s.ModeCode;
    const std::string wizardAccount = s.AccountDir;
    std::optional<int> wizardCompany;
    bool chooserShown = false;
    if (auto* chooser = context_.windows.find<wizard::frmStepThree>()) {
        wizardCompany = chooser->cboCompany->currentIndex();
        chooserShown = chooser->isVisible();
        context_.windows.unload<wizard::frmStepThree>();
    }
    context_.guarded([&] {
        s.ModeCode = session::mode::kRestore;
        if (s.AccountCount <= 1) {
            s.AccountDir = s.AppDir + hostdata::readAccount(s.AppDir, 1).folderName();
        } else {
            openModal<wizard::frmStepThree>();
            if (s.ModeCode == session::mode::kCancelled)
                return;
        }
        openModal<restore::frmRestore>();
    });
    s.ModeCode = wizardOpen ? wizardMode : session::mode::kNone;
    if (!wizardOpen)
        return;
    s.AccountDir = wizardAccount;
    if (!wizardCompany)
        return;
    auto& chooser = context_.windows.get<wizard::frmStepThree>();
    chooser.cboCompany->setCurrentIndex(*wizardCompany);
    if (chooserShown)
        chooser.show();
}

void frmMainMenu::mnuSystemRestore_Click() {
    context_.guarded([&] { openModal<backup::frmStartBackup>(); });
}

void frmMainMenu::mnuToolsUnzip_Click() {
    context_.guarded([&] { openModal<tools::frmUnzip>(); });
}

void frmMainMenu::mnuToolsClean_Click() {
    context_.guarded([&] { openModal<tools::frmCleanUp>(); });
}

void frmMainMenu::mnuFileDeleteFormat_Click() {
    context_.guarded([&] {
        context_.session.ModeCode = session::mode::kDeleteByName;
        openModal<formats::Dialog1>();
    });
}

namespace {
// The toolbar's commands go on past a failing step, as they always have.
void step(const std::function<void()>& work) {
    try {
        work();
    } catch (const std::exception&) {
    }
}
} // namespace

bool frmMainMenu::chooseFileType() {
    step([&] { openModal<formats::Dialog1>(); });
    return context_.session.ModeCode != session::mode::kCancelled;
}

void frmMainMenu::toolbarOpen() {
    auto& s = context_.session;
    bool stop = false;
    if (!chooseFileType())
        return;
    step([&] {
        formats::FormatStore store(s.AppDir);
        if (store.Count() == 0) {
            context_.ui.information("Missing Information",
                                    "You do not have a saved structure.  Before you can open a "
                                    "saved structure, you must create one.");
        } else if (store.HasType(s.FileTypeName)) {
            s.ToolbarOp = session::toolbar::kOpen;
            s.resetChosenFields();
            openModal<formats::frmGetFormat>();
            stop = s.ModeCode == session::mode::kCancelled;
        }
    });
    if (stop)
        return;
    // With a saved format the editor stays unshown: the verification window reads its list.
    step([&] {
        if (s.ToolbarOp == session::toolbar::kOpen)
            context_.windows.show<wizard::frmStepTwo>();
        else
            context_.windows.show<wizard::frmTab>();
    });
}

void frmMainMenu::toolbarNew() {
    auto& s = context_.session;
    if (!chooseFileType())
        return;
    s.FormatSource = session::source::kStructureOnly;
    step([&] { context_.windows.show<wizard::frmTab>(); });
}

void frmMainMenu::toolbarDelete() {
    auto& s = context_.session;
    s.ToolbarOp = session::toolbar::kDelete;
    if (!chooseFileType())
        return;
    step([&] {
        formats::FormatStore store(s.AppDir);
        if (store.Count() == 0) {
            context_.ui.information("Missing Information",
                                    "Unable to delete.  You do not have a saved structure.");
        } else if (store.HasType(s.FileTypeName)) {
            s.resetChosenFields();
            openModal<formats::frmGetFormat>();
        }
    });
}

void frmMainMenu::Toolbar1_ButtonClick(QAction* button) {
    auto& s = context_.session;
    const QString key = button->data().toString();
    if (key == QStringLiteral("Open") || key == QStringLiteral("New") ||
        key == QStringLiteral("Delete")) {
        s.ModeCode = session::mode::kNone;
        s.FormatSource = session::source::kCatalogue;
        s.ToolbarOp = session::toolbar::kNone;
    }
    if (key == QStringLiteral("Open"))
        toolbarOpen();
    else if (key == QStringLiteral("New"))
        toolbarNew();
    else if (key == QStringLiteral("Delete"))
        toolbarDelete();
    else if (key == QStringLiteral("Unzip"))
        mnuToolsUnzip_Click();
    else if (key == QStringLiteral("Clean"))
        mnuToolsClean_Click();
    else if (key == QStringLiteral("Help"))
        openHelp();
}

// The help page goes with the program: written out where the user's browser can read it, and
// opened there. When nothing opens it, a message says where it is.
void frmMainMenu::openHelp() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    const std::string file = hostpath::fromNative(
        std::filesystem::path((folder + "/" + kHelpFileName).toStdU16String()));
    std::ofstream out(hostpath::resolve(file), std::ios::binary | std::ios::trunc);
    out << helpPageHtml();
    out.close();
    const int code = out ? context_.ui.shellOpen(file, "", "") : platform::shell::kPathNotFound;
    if (code <= 32)
        context_.ui.information("Help", "The help page could not be opened.  It is the file " +
                                            file + "; open it with your web browser.");
}

} // namespace app
