// The mapping window of "Arrange from File": each column of the file's first line beside the
// field chosen for it and how sure that choice is. The user can give any column another field
// (one not yet taken) or leave it out of the import; OK hands the choices to the structure
// editor, Cancel forgets them.
#pragma once

#include "formats/HeaderMatch.h"
#include "ui/WindowRegistry.h"

#include <QDialog>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace ui {
struct AppContext;
}

namespace wizard {

class frmArrange : public QDialog, public ui::Form {
    Q_OBJECT
public:
    explicit frmArrange(ui::AppContext& context);

    // Shows the columns of file (a host path) as matched to the labels of the file type.
    void showColumns(const std::string& file, const std::vector<formats::ColumnMatch>& matches,
                     int typeCode);

    // The label chosen for each column, in column order; empty for a column not imported.
    std::vector<std::string> chosenLabels() const;

    QLabel* Label1;
    QLabel* lblFile;
    QTableWidget* grdColumns;
    std::vector<QComboBox*> cboField; // one per column of the file
    QLabel* lblSummary;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

public slots:
    void cmdOK_Click();
    void cmdCancel_Click();
    void cboField_Change(int row);

private:
    // Each row offers the labels no other row holds.
    void offerFreeLabels();
    void showMatch(int row);
    void showSummary();

    ui::AppContext& context_;
    std::vector<formats::ColumnMatch> matches_;
    std::vector<bool> changedByUser_;
    std::vector<std::string> labels_; // the file type's labels, in catalogue order
    int typeCode_ = 0;
};

} // namespace wizard
