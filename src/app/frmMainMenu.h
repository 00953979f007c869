// The main window: start-up checks, the instruction pages, and the menus and toolbar that start
// every command. It lives for the whole run.
#pragma once

#include "ui/WindowRegistry.h"

#include <QMainWindow>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class QToolBar;

namespace ui {
struct AppContext;
}

namespace app {

class frmMainMenu : public QMainWindow, public ui::Form {
    Q_OBJECT
public:
    explicit frmMainMenu(ui::AppContext& context);

    void Form_Load() override;
    void Form_Resize();

    // Instruction pages.
    QTabWidget* InsTab;
    QFrame* Shape1;
    QPushButton* cmdClose;
    QLabel* lblInstructions;
    QLabel* lblStep1;
    QLabel* lblStep2;
    QLabel* lblStep3;
    QLabel* Label1; // white backgrounds behind the four texts
    QLabel* Label5;
    QLabel* Label3;
    QLabel* Label7;

    // Geometry of the pages in twips, as the layout gives it; drawn from these values.
    struct Box {
        float left = 0, top = 0, width = 0, height = 0;
    };
    Box insTabBox{0, 255, 7575, 5535};
    Box shape1Box{0, 0, 7575, 255};
    Box cmdCloseBox{7330, 15, 225, 225};
    void applyInstructionGeometry();
    // The size of the area the pages are centred in, in twips.
    float ScaleWidth() const;
    float ScaleHeight() const;

    // Menus.
    QMenu* mnuFile;
    QMenu* mnuFileCreate;
    QAction* mnuFileCreateEmployee;
    QAction* mnuFileCreateQualifier;
    QAction* mnuFileImportParticipant;
    QAction* mnuFileImportRetiree;
    QAction* mnuFileDeleteFormat;
    QAction* mnuFileRestore;
    QAction* mnuSystemRestore;
    QAction* mnuFileSep;
    QAction* mnuFileExit;
    QMenu* mnuTools;
    QAction* mnuToolsUnzip;
    QAction* mnuToolsClean;
    QAction* mnuBckArcLetrs;
    QAction* mnuArchiveLetters;
    QMenu* mnuHelp;
    QAction* mnuInstructions;
    QAction* mnuVersion;

    QToolBar* Toolbar1;

public slots:
    void cmdClose_Click();
    void mnuInstructions_Click();
    void mnuVersion_Click();
    void mnuFileExit_Click();
    void mnuFileCreateEmployee_Click();
    void mnuFileCreateQualifier_Click();
    void mnuFileImportParticipant_Click();
    void mnuFileImportRetiree_Click();
    void mnuFileDeleteFormat_Click();
    void mnuToolsClean_Click();
    void mnuToolsUnzip_Click();
    void mnuFileRestore_Click();
    void mnuSystemRestore_Click();
    void Toolbar1_ButtonClick(QAction* button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildInstructionPages();
    void buildMenus();
    void buildToolbar();
    void createCommand(const char* fileType, int code);
    // The type dialog; false when the user cancelled it.
    bool chooseFileType();
    void toolbarOpen();
    void toolbarNew();
    void toolbarDelete();
    template <typename T>
    void openModal();
    void openHelp();

    ui::AppContext& context_;
    QWidget* centre_;
};

// Centres the instruction pages in the main window, with their title bar and close button.
void PositionInstructions(frmMainMenu& window);

// The address the toolbar's Help button opens.

} // namespace app
