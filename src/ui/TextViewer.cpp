#include "ui/TextViewer.h"

#include "platform/HostPath.h"
#include "ui/Layouts.h"
#include "ui/QtText.h"

#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace ui {
namespace {

std::string readAll(const std::string& file, bool& ok) {
    std::ifstream in(hostpath::resolve(file), std::ios::binary);
    ok = static_cast<bool>(in);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TextViewer::TextViewer(QWidget* owner, const QString& title, const std::string& file)
    : QDialog(owner), file_(file) {
    setObjectName(QStringLiteral("TextViewer"));
    setWindowTitle(title);
    text = new QPlainTextEdit;
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The log lines its columns up with blanks: one width for every character.
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setStyleHint(QFont::Monospace);
    mono.setFixedPitch(true);
    text->setFont(mono);
    bool ok = false;
    const std::string bytes = readAll(file, ok);
    text->setPlainText(ok ? toQt(bytes) : tr("The file %1 cannot be read.").arg(toQt(file)));
    cmdPrint = new QPushButton(tr("&Print..."));
    cmdSaveAs = new QPushButton(tr("Save &As..."));
    cmdClose = new QPushButton(tr("&Close"));
    cmdPrint->setEnabled(ok);
    cmdSaveAs->setEnabled(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text, 1);
    layout->addLayout(buttonRow({cmdPrint, cmdSaveAs, cmdClose}));
    resize(720, 520);
    connect(cmdPrint, &QPushButton::clicked, this, &TextViewer::cmdPrint_Click);
    connect(cmdSaveAs, &QPushButton::clicked, this, &TextViewer::cmdSaveAs_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
}

void TextViewer::cmdPrint_Click() {
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        text->print(&printer);
}

void TextViewer::cmdSaveAs_Click() {
    const QString chosen = QFileDialog::getSaveFileName(
        this, tr("Save As"), QString::fromStdU16String(hostpath::resolve(file_).u16string()));
    if (!chosen.isEmpty())
        saveAs(hostpath::fromNative(std::filesystem::path(chosen.toStdU16String())));
}

bool TextViewer::saveAs(const std::string& target) {
    std::error_code ec;
    const auto from = hostpath::resolve(file_), to = hostpath::resolve(target);
    if (!std::filesystem::equivalent(from, to, ec))
        std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
        QMessageBox::critical(this, windowTitle(),
                              tr("The file %1 could not be written.\n\n%2")
                                  .arg(toQt(target), QString::fromStdString(ec.message())));
        return false;
    }
    return true;
}

} // namespace ui
