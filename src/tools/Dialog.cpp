#include "tools/Dialog.h"

#include "platform/HostPath.h"
#include "ui/AppContext.h"
#include "ui/QtText.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QPushButton>
#include <QTreeView>

namespace tools {

Dialog::Dialog(ui::AppContext& context) : QDialog(context.mainWindow), context_(context) {
    setObjectName(QStringLiteral("Dialog"));
    setWindowTitle(QStringLiteral("File Destination"));
    setModal(true);
    Drive1 = new QComboBox;
    Dir1 = new QTreeView;
    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    Dir1->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column)
        Dir1->hideColumn(column);
    OKButton = new QPushButton(QStringLiteral("OK"));
    CancelButton = new QPushButton(QStringLiteral("Cancel"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(Drive1, 0, 0, 1, 2);
    grid->addWidget(Dir1, 1, 0, 1, 2);
    grid->addWidget(OKButton, 2, 0);
    grid->addWidget(CancelButton, 2, 1);
    resize(360, 420);
    connect(Drive1, &QComboBox::currentIndexChanged, this, &Dialog::Drive1_Change);
    connect(OKButton, &QPushButton::clicked, this, &Dialog::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &Dialog::CancelButton_Click);
}

void Dialog::Form_Load() {
    for (const auto& drive : QDir::drives())
        Drive1->addItem(drive.absolutePath());
    Drive1_Change();
}

void Dialog::Drive1_Change() {
    const QString root = Drive1->currentText();
    Dir1->setRootIndex(model_->setRootPath(root));
    Dir1->setCurrentIndex(model_->index(root));
}

void Dialog::startAt(const std::string& folder) {
    const QDir dir(QString::fromStdU16String(hostpath::resolve(folder).u16string()));
    if (!dir.exists())
        return;
    const QString path = dir.absolutePath();
    // The drive that holds the folder: the longest root it starts with.
    int drive = -1;
    for (int i = 0; i < Drive1->count(); ++i)
        if (path.startsWith(Drive1->itemText(i), Qt::CaseInsensitive) &&
            (drive < 0 || Drive1->itemText(i).size() > Drive1->itemText(drive).size()))
            drive = i;
    if (drive >= 0)
        Drive1->setCurrentIndex(drive); // shows that drive's root first
    const QModelIndex at = model_->index(path);
    Dir1->setCurrentIndex(at);
    Dir1->scrollTo(at);
}

void Dialog::OKButton_Click() {
    QString path = model_->filePath(Dir1->currentIndex());
    if (path.isEmpty())
        path = Drive1->currentText();
    // The model writes '/' on every system; the host's paths use the system's own separator.
    chosenFolder = hostpath::fromNative(
        std::filesystem::path(QDir::toNativeSeparators(path).toStdU16String()));
    done(QDialog::Accepted);
}

void Dialog::CancelButton_Click() {
    done(QDialog::Rejected);
}

} // namespace tools
