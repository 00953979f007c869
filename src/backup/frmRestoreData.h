// The month calendar of the backup catalogue, with the backups of a chosen day.
#pragma once

#include "backup/BackupCatalogue.h"
#include "ui/WindowRegistry.h"

#include <QDialog>
#include <array>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QToolButton;

namespace ui {
struct AppContext;
}

namespace backup {

class frmRestoreData : public QDialog, public ui::Form {
    Q_OBJECT
public:
    explicit frmRestoreData(ui::AppContext& context);
    void Form_Load() override;

    // What a day cell shows; kept beside the label so the state can be read back.
    struct Cell {
        std::string caption;
        bool visible = false;
        bool red = false;      // the day has backups
        bool today = false;    // light orange background
        bool outlined = false; // the selected day
    };

    QComboBox* MonthList;
    QComboBox* YearList;
    QToolButton* MonthDn;
    QToolButton* Monthup;
    QToolButton* YearDn;
    QToolButton* YearUp;
    QLabel* MonthYearLabel;
    std::array<QLabel*, 42> dateLabel{};
    std::array<Cell, 42> cells;
    QListWidget* lstRestorePoints;
    QPushButton* cmdBack;
    QPushButton* cmdNext;
    QPushButton* cmdCancel;

    int shownMonth = 1, shownYear = 2000;
    std::string selectedDay; // the caption of the selected day cell

    void FillCalendar();
    void MarkToday();
    void ListBackupsOfDay(const std::string& caption);
    void dateLabel_Click(int index);

public slots:
    void MonthDn_Click();
    void Monthup_Click();
    void YearDn_Click();
    void YearUp_Click();
    void cmdNext_Click();
    void cmdBack_Click();
    void cmdCancel_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void listsChanged();
    void paintCell(int index);
    void setShown(int month, int year); // through the lists, as a user's choice would

    ui::AppContext& context_;
    BackupCatalogue catalogue_;
    bool loading_ = false;
    int firstWeekday_ = 1;
};

} // namespace backup
