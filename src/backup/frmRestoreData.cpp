#include "backup/frmRestoreData.h"

#include "backup/frmRestoreData2.h"
#include "backup/frmStartBackup.h"
#include "hostdata/AccountList.h"
#include "platform/Ansi.h"
#include "ui/AppContext.h"
#include "ui/Layouts.h"
#include "ui/QtText.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

using ui::fromQt;
using ui::toQt;

namespace backup {
namespace {

// The month's full name in the user's language, and the year.
QString monthYearText(int month, int year) {
    return QLocale().standaloneMonthName(month) + QLatin1Char(' ') + QString::number(year);
}

QToolButton* arrow(Qt::ArrowType type) {
    auto* b = new QToolButton;
    b->setArrowType(type);
    return b;
}

} // namespace

frmRestoreData::frmRestoreData(ui::AppContext& context)
    : QDialog(context.mainWindow), context_(context), catalogue_(context.session.AppDir) {
    setObjectName(QStringLiteral("frmRestoreData"));
    setWindowTitle(QStringLiteral("Restore Data from a Backup"));
    setModal(true);
    MonthList = new QComboBox;
    YearList = new QComboBox;
    MonthDn = arrow(Qt::LeftArrow);
    Monthup = arrow(Qt::RightArrow);
    YearDn = arrow(Qt::LeftArrow);
    YearUp = arrow(Qt::RightArrow);
    MonthYearLabel = new QLabel;
    MonthYearLabel->setAlignment(Qt::AlignCenter);

    auto* nav = new QHBoxLayout;
    nav->addWidget(MonthDn);
    nav->addWidget(MonthList);
    nav->addWidget(Monthup);
    nav->addStretch(1);
    nav->addWidget(YearDn);
    nav->addWidget(YearList);
    nav->addWidget(YearUp);

    auto* grid = new QGridLayout;
    const char* days[7] = {"  Sun", "  Mon", "  Tue", "  Wed", "  Thu", "  Fri", "  Sat"};
    for (int c = 0; c < 7; ++c)
        grid->addWidget(new QLabel(QString::fromLatin1(days[c])), 0, c);
    for (int i = 0; i < 42; ++i) {
        auto* cell = new QLabel;
        cell->setAlignment(Qt::AlignCenter);
        cell->setMinimumSize(34, 24);
        cell->setAutoFillBackground(true);
        cell->installEventFilter(this);
        grid->addWidget(cell, 1 + i / 7, i % 7);
        dateLabel[static_cast<std::size_t>(i)] = cell;
    }

    lstRestorePoints = new QListWidget;
    cmdBack = new QPushButton(QStringLiteral("< &Back"));
    cmdNext = new QPushButton(QStringLiteral("&Next  >"));
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"));
    auto* intro = new QLabel(QStringLiteral(
        "The following calendar displays in red all dates that have backup's available.  The list "
        "displays the backup's that are available for that date."));
    intro->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(new QLabel(QStringLiteral("1) On the calendar, clcik a date in red.")));
    layout->addLayout(nav);
    layout->addWidget(MonthYearLabel);
    layout->addLayout(grid);
    layout->addWidget(new QLabel(QStringLiteral("2) Click on the backup to restore.")));
    layout->addWidget(lstRestorePoints);
    layout->addLayout(ui::buttonRow({cmdBack, cmdNext, cmdCancel}));

    connect(MonthDn, &QToolButton::clicked, this, &frmRestoreData::MonthDn_Click);
    connect(Monthup, &QToolButton::clicked, this, &frmRestoreData::Monthup_Click);
    connect(YearDn, &QToolButton::clicked, this, &frmRestoreData::YearDn_Click);
    connect(YearUp, &QToolButton::clicked, this, &frmRestoreData::YearUp_Click);
    connect(MonthList, &QComboBox::currentIndexChanged, this, &frmRestoreData::listsChanged);
    connect(YearList, &QComboBox::currentIndexChanged, this, &frmRestoreData::listsChanged);
    connect(cmdNext, &QPushButton::clicked, this, &frmRestoreData::cmdNext_Click);
    connect(cmdBack, &QPushButton::clicked, this, &frmRestoreData::cmdBack_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmRestoreData::cmdCancel_Click);
}

void frmRestoreData::Form_Load() {
    loading_ = true;
    for (int y = kFirstYear; y <= kLastYear; ++y)
        YearList->addItem(QString::number(y), y);
    for (int m = 1; m <= 12; ++m)
        MonthList->addItem(QString::number(m), m);
    const auto today = context_.today();
    shownMonth = today.month;
    shownYear = today.year;
    MonthList->setCurrentIndex(shownMonth - 1);
    YearList->setCurrentIndex(std::clamp(shownYear, kFirstYear, kLastYear) - kFirstYear);
    loading_ = false;

    MonthYearLabel->setText(monthYearText(shownMonth, shownYear));
    FillCalendar();
    for (const auto& cell : cells) {
        if (ansi::trim(cell.caption) == std::to_string(today.day)) {
            selectedDay = cell.caption;
            ListBackupsOfDay(selectedDay);
            break;
        }
    }
}

void frmRestoreData::paintCell(int index) {
    auto* label = dateLabel[static_cast<std::size_t>(index)];
    const auto& cell = cells[static_cast<std::size_t>(index)];
    label->setVisible(cell.visible);
    label->setText(toQt(cell.caption));
    QPalette p = palette();
    p.setColor(QPalette::Window, cell.today ? QColor(255, 224, 192) : p.color(QPalette::Light));
    p.setColor(QPalette::WindowText, cell.red ? QColor(255, 0, 0) : p.color(QPalette::WindowText));
    label->setPalette(p);
    label->setFrameShape(cell.outlined ? QFrame::Box : QFrame::NoFrame);
}

void frmRestoreData::FillCalendar() {
    lstRestorePoints->clear();
    std::set<int> withBackups;
    context_.guarded([&] { withBackups = catalogue_.daysWithBackups(shownMonth, shownYear); });
    const int days = dates::daysInMonth(shownYear, shownMonth);
    firstWeekday_ = weekdayOfFirst(shownYear, shownMonth);
    for (int c = 0; c < 42; ++c) {
        auto& cell = cells[static_cast<std::size_t>(c)];
        const int d = c - (firstWeekday_ - 1) + 1;
        cell = Cell{};
        if (d >= 1 && d <= days) {
            cell.caption = dayCaption(d);
            cell.visible = true;
            cell.red = withBackups.count(d) > 0;
        }
    }
    MarkToday();
    for (int c = 0; c < 42; ++c)
        paintCell(c);
}

void frmRestoreData::MarkToday() {
    const auto today = context_.today();
    if (today.month != shownMonth || today.year != shownYear)
        return;
    int index = firstWeekday_ - 2 + today.day;
    if (index >= 0 && index < 42) {
        cells[static_cast<std::size_t>(index)].today = true;
        paintCell(index);
    }
}

void frmRestoreData::ListBackupsOfDay(const std::string& caption) {
    lstRestorePoints->clear();
    std::vector<std::string> items;
    context_.guarded([&] { items = catalogue_.backupsOfDay(shownMonth, shownYear, caption); });
    for (int c = 0; c < 42; ++c) {
        auto& cell = cells[static_cast<std::size_t>(c)];
        if (!cell.visible)
            continue;
        cell.outlined = cell.caption == caption;
        if (cell.outlined)
            for (const auto& item : items)
                lstRestorePoints->addItem(toQt(item));
        paintCell(c);
    }
}

void frmRestoreData::dateLabel_Click(int index) {
    selectedDay = cells[static_cast<std::size_t>(index)].caption;
    ListBackupsOfDay(selectedDay);
}

bool frmRestoreData::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        for (int i = 0; i < 42; ++i) {
            if (watched == dateLabel[static_cast<std::size_t>(i)]) {
                dateLabel_Click(i);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmRestoreData::listsChanged() {
    if (loading_ || MonthList->currentIndex() < 0 || YearList->currentIndex() < 0)
        return;
    shownMonth = MonthList->currentData().toInt();
    shownYear = YearList->currentData().toInt();
    MonthYearLabel->setText(monthYearText(shownMonth, shownYear));
    FillCalendar();
    ListBackupsOfDay(selectedDay);
}

void frmRestoreData::setShown(int month, int year) {
    // One refresh for a change of both lists.
    loading_ = true;
    YearList->setCurrentIndex(year - kFirstYear);
    loading_ = false;
    MonthList->setCurrentIndex(month - 1);
    listsChanged();
}

void frmRestoreData::MonthDn_Click() {
    if (shownMonth > 1)
        setShown(shownMonth - 1, shownYear);
    else if (shownYear != kFirstYear)
        setShown(12, shownYear - 1);
    MonthList->setFocus();
}

void frmRestoreData::Monthup_Click() {
    if (shownMonth < 12)
        setShown(shownMonth + 1, shownYear);
    else if (shownYear != kLastYear)
        setShown(1, shownYear + 1);
    MonthList->setFocus();
}

void frmRestoreData::YearDn_Click() {
    if (shownYear != kFirstYear)
        setShown(shownMonth, shownYear - 1);
    YearList->setFocus();
}

void frmRestoreData::YearUp_Click() {
    if (shownYear != kLastYear)
        setShown(shownMonth, shownYear + 1);
    YearList->setFocus();
}

void frmRestoreData::cmdNext_Click() {
    auto* item = lstRestorePoints->currentItem();
    if (!item) {
        context_.ui.critical("Selection Error", "Please select a Restore Point from the list box.");
        return;
    }
    const std::string text = fromQt(item->text());
    context_.session.SelectedBackupNumber = std::atoll(text.substr(0, text.find(' ')).c_str());
    context_.windows.get<frmRestoreData2>().exec();
    context_.windows.unload<frmRestoreData2>();
}

void frmRestoreData::cmdBack_Click() {
    context_.windows.unload<frmRestoreData>();
}

void frmRestoreData::cmdCancel_Click() {
    context_.windows.unload<frmRestoreData>();
    context_.windows.unload<frmStartBackup>();
}

} // namespace backup
