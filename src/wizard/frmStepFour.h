// The fourth step of the wizard: which line of the file is the first record; Create makes the
// import database and runs the import. Below the two lines, a preview shows the first records as
// they will be stored and the whole file's count of imported and rejected records.
#pragma once

#include "ui/WindowRegistry.h"

#include <QWidget>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class QLabel;
class QTableWidget;
class QPushButton;
class QRadioButton;

namespace ui {
struct AppContext;
}

namespace wizard {

struct ImportRunInput;
struct PreviewRecord;

class frmStepFour : public QWidget, public ui::Form {
    Q_OBJECT
public:
    explicit frmStepFour(ui::AppContext& context);
    ~frmStepFour() override;
    void Form_Load() override;

    QRadioButton* optOne;
    QRadioButton* optTwo;
    QLabel* lblrecord1;
    QLabel* lblrecord2;
    QPushButton* cmdPrevious;
    QPushButton* cmdCreate;
    QPushButton* cmdCancel;
    QLabel* lblPreview;       // the whole file's counts
    QTableWidget* grdPreview; // the first records as they will be stored

    // How many records the preview shows.
    static constexpr int kPreviewRecords = 100;

public slots:
    void optOne_Click();
    void optTwo_Click();
    void cmdPrevious_Click();
    void cmdCancel_Click();
    void cmdCreate_Click();

protected:
    // Shown again after a new verification, it shows that file's lines.
    void showEvent(QShowEvent* event) override;

private:
    void refreshPreview();
    void showRecords(const std::vector<std::string>& labels,
                     const std::vector<PreviewRecord>& records);
    void startCounting(const ImportRunInput& input);
    void stopCounting();
    void showCounts(std::int64_t generation, std::int64_t imported, std::int64_t rejected);

    ui::AppContext& context_;
    // The whole file is counted on a thread of its own, so the window answers meanwhile; a new
    // count stops and awaits the one before, and only the latest generation's result is shown.
    std::thread counter_;
    std::atomic<bool> stopCount_{false};
    std::int64_t generation_ = 0;
};

} // namespace wizard
