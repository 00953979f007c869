#include "ui/WindowRegistry.h"

#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <functional>

namespace ui {
namespace {

// Places a window over its owner when it is first shown, and turns a close from the title bar
// into an unload, so a closed window is loaded afresh. A dialog is first rejected while it is
// still loaded, so that its title bar cancels exactly as its Escape key and its Cancel button
// do.
class WindowWatcher : public QObject {
public:
    WindowWatcher(QObject* parent, std::function<void()> onClose)
        : QObject(parent), onClose_(std::move(onClose)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != parent())
            return false;
        // Dialogs centre themselves over their owner; other windows are placed so here, once.
        if (event->type() == QEvent::Show && !placed_ && !qobject_cast<QDialog*>(watched)) {
            placed_ = true;
            placeOverOwner(static_cast<QWidget*>(watched));
        }
        if (event->type() != QEvent::Close)
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
    bool placed_ = false;
};

} // namespace

WindowRegistry::~WindowRegistry() {
    for (auto& [type, window] : windows_)
        delete window.data();
}

void placeOverOwner(QWidget* window) {
    QWidget* owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    if (!window->testAttribute(Qt::WA_Resized))
        window->adjustSize();
    const QSize size = window->size().boundedTo(area.size());
    if (size != window->size())
        window->resize(size);
    QRect placed(QPoint(), size);
    placed.moveCenter(owner && owner->isVisible() ? owner->frameGeometry().center()
                                                  : area.center());
    // Whole on the screen, even when the owner is near its edge.
    placed.moveLeft(std::clamp(placed.left(), area.left(), area.right() + 1 - size.width()));
    placed.moveTop(std::clamp(placed.top(), area.top(), area.bottom() + 1 - size.height()));
    window->move(placed.topLeft());
}

void WindowRegistry::adopt(std::type_index type, QWidget* window) {
    windows_[type] = window;
    window->installEventFilter(new WindowWatcher(window, [this, type] { unload(type); }));
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
