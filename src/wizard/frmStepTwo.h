// The verification window: the user picks the TAB file, and its start is checked against the
// structure before anything is imported.
#pragma once

#include "ui/WindowRegistry.h"
#include "wizard/TabVerifier.h"
#include "wizard/TextForm.h"

#include <QWidget>
#include <array>

class QGroupBox;
class QLabel;
class QPushButton;

namespace ui {
struct AppContext;
}

namespace wizard {

class frmStepTwo : public QWidget, public ui::Form {
    Q_OBJECT
public:
    explicit frmStepTwo(ui::AppContext& context);

    QPushButton* cmdBrowse;
    QLabel* lblFile;
    QPushButton* cmdVerify;
    std::array<QLabel*, 3> imgCheck;
    std::array<QLabel*, 3> imgWrong;
    QLabel* lblStructure;
    QLabel* lblNumber;
    QLabel* Label3;
    QPushButton* cmdPrevious;
    QPushButton* cmdNext;
    QPushButton* cmdCancel;

    // The chosen file, as the later steps read it.
    std::string filePath() const;

public slots:
    void cmdBrowse_Click();
    void cmdVerify_Click();
    void cmdNext_Click();
    void cmdPrevious_Click();
    void cmdCancel_Click();

private:
    void showCross(int row);
    void showAllCrosses();
    void hideImages();
    void setRowLabelColour(QPalette::ColorRole role);
    void showVerdict(Verdict verdict, const TabScan& scan, const std::vector<std::string>& labels);
    void offerRemoval(const TabScan& scan, const std::vector<std::string>& labels);
    // Shows the failure and stops verification.
    void refuse(const VerdictMessage& message);
    void useRevisedCopy(const std::string& path);
    // Offers the corrected copy; true when verification goes on with the file as it is.
    bool offerRevision(const TextForm& form);

    ui::AppContext& context_;
};

} // namespace wizard
