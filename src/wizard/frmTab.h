// The structure editor: the user brings the labels of one file type into the column order of
// the TAB file, drops optional labels, and saves the arrangement as a named format. Its list
// is the structure the rest of the wizard imports with, so it stays loaded, hidden, while the
// wizard runs.
#pragma once

#include "ui/WindowRegistry.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QToolButton;

namespace ui {
struct AppContext;
}

namespace wizard {

class frmTab : public QWidget, public ui::Form {
    Q_OBJECT
public:
    explicit frmTab(ui::AppContext& context);
    void Form_Load() override;

    // The structure: labels in file-column order.
    QStringList labels() const;

    QLabel* Label1;
    QGroupBox* Frame1;
    QLabel* Label2;
    QListWidget* lstField;
    QToolButton* cmdUP;
    QToolButton* cmdDown;
    QPushButton* cmdArrange;
    QPushButton* cmdRemove;
    QPushButton* cmdSave;
    QPushButton* cmdNext;
    QPushButton* cmdCancel;

public slots:
    void cmdUP_Click();
    void cmdDown_Click();
    // Puts the list into the column order that a file's first line names.
    void cmdArrange_Click();
    void cmdRemove_Click();
    void cmdSave_Click();
    void cmdNext_Click();
    void cmdCancel_Click();

private:
    // The selected row, or -1 after telling the user that nothing is selected.
    int selectedIndex(const char* text);
    void swapRows(int a, int b);
    void checkSingleAccount();

    ui::AppContext& context_;
};

} // namespace wizard
