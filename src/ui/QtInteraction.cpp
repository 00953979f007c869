#include "ui/QtInteraction.h"

#include "platform/HostPath.h"
#include "ui/QtText.h"
#include "ui/TextViewer.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#ifdef _WIN32
// windows.h first: shellapi.h builds on its types.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#endif

namespace ui {
namespace {

QString nativeFolder(const std::string& hostFolder) {
    if (hostFolder.empty())
        return {};
    // A Windows folder such as C: names nothing elsewhere: the dialog then starts where
    // the user's files are.
    auto folder = hostpath::resolve(hostFolder);
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return QDir::homePath();
    return QString::fromStdU16String(folder.u16string());
}

// File dialog filters are written "Label|*.ext|Label2|*.x"; Qt wants "Label (*.ext);;...".
QString qtFilter(const std::string& filter) {
    auto parts = toQt(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = QString(parts[i + 1]).replace(';', ' ');
        out << (parts[i].contains(patterns) ? parts[i] : parts[i] + " (" + patterns + ")");
    }
    return out.join(";;");
}

std::optional<std::string> chosen(const QString& path) {
    if (path.isEmpty())
        return std::nullopt;
    // Qt's dialogs answer with '/' on every system; the host's paths use the system's own.
    return hostpath::fromNative(
        std::filesystem::path(QDir::toNativeSeparators(path).toStdU16String()));
}

#ifndef _WIN32
// The desktop's opener starts whether or not any program takes the file: ask first whether one
// would. When that cannot be told, the desktop is left to try.
bool noProgramFor(const QString& file) {
    auto ask = [](const QStringList& arguments, QString& answer) {
        QProcess query;
        query.start(QStringLiteral("xdg-mime"), arguments);
        if (!query.waitForFinished(3000) || query.exitStatus() != QProcess::NormalExit ||
            query.exitCode() != 0)
            return false;
        answer = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
        return true;
    };
    QString type, program;
    return ask({QStringLiteral("query"), QStringLiteral("filetype"), file}, type) &&
           !type.isEmpty() &&
           ask({QStringLiteral("query"), QStringLiteral("default"), type}, program) &&
           program.isEmpty();
}
#endif

} // namespace

QWidget* dialogParent(QWidget* owner) {
    if (auto* modal = QApplication::activeModalWidget())
        return modal;
    // The window the user works in, so that focus goes back to it when the dialog closes.
    if (auto* active = QApplication::activeWindow(); active && active->isVisible())
        return active;
    return owner;
}

QWidget* QtInteraction::parentWidget() const {
    return dialogParent(owner_);
}

platform::Answer QtInteraction::message(const platform::MessageBoxRequest& request) {
    QMessageBox box(parentWidget());
    box.setWindowTitle(toQt(request.title.empty() ? programTitle_ : request.title));
    box.setText(toQt(request.text));
    switch (request.icon) {
    case platform::Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case platform::Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case platform::Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case platform::Icon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case platform::Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    }
    switch (request.buttons) {
    case platform::Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case platform::Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case platform::Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case platform::Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return platform::Answer::Yes;
    case QMessageBox::No:
        return platform::Answer::No;
    case QMessageBox::Cancel:
        return platform::Answer::Cancel;
    default:
        return request.buttons == platform::Buttons::YesNo ? platform::Answer::No
                                                           : platform::Answer::Ok;
    }
}

std::optional<std::string> QtInteraction::inputBox(const std::string& title,
                                                   const std::string& prompt,
                                                   const std::string& initial) {
    bool ok = false;
    QString text = QInputDialog::getText(parentWidget(), toQt(title), toQt(prompt),
                                         QLineEdit::Normal, toQt(initial), &ok);
    if (!ok)
        return std::nullopt;
    return fromQt(text);
}

std::optional<std::string> QtInteraction::chooseItem(const std::string& title,
                                                     const std::string& prompt,
                                                     const std::vector<std::string>& items) {
    QStringList choices;
    for (const auto& item : items)
        choices << toQt(item);
    bool ok = false;
    QString chosen =
        QInputDialog::getItem(parentWidget(), toQt(title), toQt(prompt), choices, 0, false, &ok);
    if (!ok)
        return std::nullopt;
    return fromQt(chosen);
}

std::optional<std::string> QtInteraction::openFile(const platform::FileDialogRequest& request) {
    return chosen(QFileDialog::getOpenFileName(parentWidget(), toQt(request.title),
                                               nativeFolder(request.initialDir),
                                               qtFilter(request.filter)));
}

std::optional<std::string> QtInteraction::saveFile(const platform::FileDialogRequest& request) {
    QString start = nativeFolder(request.initialDir);
    if (!request.proposedName.empty())
        start = (start.isEmpty() ? QString() : start + "/") + toQt(request.proposedName);
    // The callers ask their own replace question, so the dialog must not ask a second one.
    return chosen(QFileDialog::getSaveFileName(parentWidget(), toQt(request.title), start,
                                               qtFilter(request.filter), nullptr,
                                               QFileDialog::DontConfirmOverwrite));
}

std::optional<std::string> QtInteraction::chooseFolder(const platform::FileDialogRequest& request) {
    return chosen(QFileDialog::getExistingDirectory(parentWidget(), toQt(request.title),
                                                    nativeFolder(request.initialDir)));
}

void QtInteraction::pause(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

namespace {

// A modal progress window. Events are handled a few times a second, so that the windows keep
// painting and Cancel can be clicked, without slowing a task that advances often.
class ProgressWindow : public platform::Progress {
public:
    ProgressWindow(QWidget* parent, const std::string& title, const std::string& text,
                   std::int64_t total)
        : dialog_(parent), text_(toQt(text)), total_(std::max<std::int64_t>(total, 1)) {
        dialog_.setWindowTitle(toQt(title));
        dialog_.setWindowModality(Qt::ApplicationModal);
        dialog_.setCancelButtonText(QStringLiteral("&Cancel"));
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        dialog_.setMinimumDuration(300);
        dialog_.setRange(0, kSteps);
        dialog_.setMinimumWidth(360);
        show(0);
        clock_.start();
    }

    bool advance(std::int64_t done) override {
        if (clock_.elapsed() >= 50 || done >= total_) {
            show(done);
            clock_.restart();
        }
        return !dialog_.wasCanceled();
    }

    void finishing(const std::string& text) override {
        text_ = toQt(text);
        dialog_.setCancelButton(nullptr);
        dialog_.setLabelText(text_);
        dialog_.setValue(kSteps);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

private:
    // The bar counts in fixed steps, as the totals may be beyond its range.
    static constexpr int kSteps = 1000;

    void show(std::int64_t done) {
        const QLocale locale;
        dialog_.setLabelText(
            text_ + QStringLiteral("\n\n") +
            QStringLiteral("%1 of %2")
                .arg(locale.toString(qlonglong(done)), locale.toString(qlonglong(total_))));
        dialog_.setValue(static_cast<int>(std::min(done, total_) * kSteps / total_));
        // Until the window shows, nothing blocks the other windows' buttons: a second Create
        // must not start inside the first.
        QCoreApplication::processEvents(dialog_.isVisible() ? QEventLoop::AllEvents
                                                            : QEventLoop::ExcludeUserInputEvents);
    }

    QProgressDialog dialog_;
    QString text_;
    std::int64_t total_;
    QElapsedTimer clock_;
};

} // namespace

std::unique_ptr<platform::Progress>
QtInteraction::showProgress(const std::string& title, const std::string& text, std::int64_t total) {
    return std::make_unique<ProgressWindow>(parentWidget(), title, text, total);
}

void QtInteraction::setBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++busyDepth_;
    } else if (busyDepth_ > 0) {
        QApplication::restoreOverrideCursor();
        --busyDepth_;
    }
}

#ifdef _WIN32
// The shell itself, so that its own answer (no program for the file type, not found, ...) comes
// back as the code the callers' messages are written for.
int QtInteraction::shellOpen(const std::string& document, const std::string& parameters,
                             const std::string& operation) {
    auto wide = [](const std::string& text) { return toQt(text).toStdWString(); };
    const auto file = document.find("://") != std::string::npos
                          ? wide(document)
                          : hostpath::resolve(document).wstring();
    const auto arguments = wide(parameters), verb = wide(operation);
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
        reinterpret_cast<HWND>(owner_ ? owner_->winId() : 0), verb.empty() ? nullptr : verb.c_str(),
        file.c_str(), arguments.empty() ? nullptr : arguments.c_str(), nullptr, SW_SHOWNORMAL));
    return result > 32 ? platform::shell::kSuccess : static_cast<int>(result);
}
#else
int QtInteraction::shellOpen(const std::string& document, const std::string& parameters,
                             const std::string& operation) {
    (void)parameters;
    (void)operation;
    QUrl url;
    if (document.find("://") != std::string::npos) {
        url = QUrl(toQt(document));
    } else {
        auto path = hostpath::resolve(document);
        QFileInfo info(QString::fromStdU16String(path.u16string()));
        if (!info.dir().exists())
            return platform::shell::kPathNotFound;
        if (!info.exists())
            return platform::shell::kFileNotFound;
        url = QUrl::fromLocalFile(info.absoluteFilePath());
        if (noProgramFor(info.absoluteFilePath()))
            return platform::shell::kNoAssociation;
    }
    return QDesktopServices::openUrl(url) ? platform::shell::kSuccess
                                          : platform::shell::kNoAssociation;
}
#endif

void QtInteraction::viewText(const std::string& title, const std::string& file) {
    auto* viewer = new TextViewer(dialogParent(owner_), toQt(title), file);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

bool QtInteraction::startProgram(const std::string& commandLine) {
    auto args = QProcess::splitCommand(toQt(commandLine));
    if (args.isEmpty())
        return false;
    QString program = args.takeFirst();
    return QProcess::startDetached(program, args);
}

} // namespace ui
