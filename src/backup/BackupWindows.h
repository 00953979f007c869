// The backup catalogue's windows: the start window, the month calendar with the backups of a
// chosen day, the details of one backup, and the group choice for a new backup.
#pragma once

#include "app/WindowRegistry.h"
#include "backup/BackupCatalogue.h"

#include <QDialog>
#include <array>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace app {
struct AppContext;
}

namespace backup {

class frmStartBackup : public QDialog, public app::Form {
    Q_OBJECT
public:
    explicit frmStartBackup(app::AppContext& context);
    void Form_Load() override;

    QRadioButton* optCreate;
    QRadioButton* optRestore;
    QPushButton* cmdNext;
    QPushButton* cmdCancel;

public slots:
    void cmdNext_Click();
    void cmdCancel_Click();

private:
    app::AppContext& context_;
};

class frmRestoreData : public QDialog, public app::Form {
    Q_OBJECT
public:
    explicit frmRestoreData(app::AppContext& context);
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

    app::AppContext& context_;
    BackupCatalogue catalogue_;
    bool loading_ = false;
    int firstWeekday_ = 1;
};

class frmRestoreData2 : public QDialog, public app::Form {
    Q_OBJECT
public:
    explicit frmRestoreData2(app::AppContext& context);
    void Form_Load() override;

    QLabel* lblDatatoRestore;
    QPushButton* cmdBack;
    QPushButton* cmdNext;
    QPushButton* cmdCancel;

public slots:
    void cmdBack_Click();
    void cmdNext_Click();
    void cmdCancel_Click();

private:
    app::AppContext& context_;
};

class frmCreatBackup : public QDialog, public app::Form {
    Q_OBJECT
public:
    explicit frmCreatBackup(app::AppContext& context);
    void Form_Load() override;

    QComboBox* cboCompanyName;
    QPushButton* cmdBack;
    QPushButton* cmdNext;
    QPushButton* cmdCancel;

public slots:
    void cmdNext_Click();
    void cmdCancel_Click();

private:
    app::AppContext& context_;
};

} // namespace backup
