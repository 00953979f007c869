#include "ui/WindowRegistry.h"

#include <QDialog>
#include <QEvent>
#include <functional>

namespace ui {
namespace {

// Turns a close from the title bar into an unload, so a closed window is loaded afresh. A
// dialog is first rejected while it is still loaded, so that its title bar cancels exactly as
// its Escape key and its Cancel button do.
class CloseWatcher : public QObject {
public:
    CloseWatcher(QObject* parent, std::function<void()> onClose)
        : QObject(parent), onClose_(std::move(onClose)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Close || watched != parent())
            return false;
        if (auto* dialog = qobject_cast<QDialog*>(watched)) {
            QPointer<QDialog> alive = dialog;
            dialog->reject();
            if (alive)
                onClose_();
            return true;
        }
        onClose_();
        return false;
    }

private:
    std::function<void()> onClose_;
};

} // namespace

WindowRegistry::~WindowRegistry() {
    for (auto& [type, window] : windows_)
        delete window.data();
}

void WindowRegistry::adopt(std::type_index type, QWidget* window) {
    windows_[type] = window;
    window->installEventFilter(new CloseWatcher(window, [this, type] { unload(type); }));
}

void WindowRegistry::unload(std::type_index type) {
    auto it = windows_.find(type);
    if (it == windows_.end())
        return;
    QPointer<QWidget> window = it->second;
    windows_.erase(it);
    if (!window)
        return;
    if (auto* dialog = qobject_cast<QDialog*>(window.data()))
        dialog->done(QDialog::Rejected);
    window->hide();
    // Deferred: the window may be unloading itself from one of its own handlers.
    window->deleteLater();
}

void WindowRegistry::unloadAll() {
    while (!windows_.empty())
        unload(windows_.begin()->first);
}

} // namespace ui
