// A read-only window that shows a text file (the creation log, where no program on the desktop
// opens it), monospaced, with Print and Save As, so the text always reaches the user.
#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace ui {

class TextViewer : public QDialog {
    Q_OBJECT
public:
    // `file` is a host path; its bytes are Windows-1252 text.
    TextViewer(QWidget* owner, const QString& title, const std::string& file);

    QPlainTextEdit* text;
    QPushButton* cmdPrint;
    QPushButton* cmdSaveAs;
    QPushButton* cmdClose;

    // Writes the text to another file, as it was read; false with a message when it cannot.
    bool saveAs(const std::string& target);

public slots:
    void cmdPrint_Click();
    void cmdSaveAs_Click();

private:
    std::string file_;
};

} // namespace ui
