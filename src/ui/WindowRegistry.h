// Every window exists once. Asking for a window that is not loaded creates it hidden and runs
// its load step; asking again returns the same object, shown or hidden as it was. Unloading
// destroys it, and so does closing it from its title bar.
#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <typeindex>

namespace ui {

struct AppContext;

// What every registered window offers: its load step.
class Form {
public:
    virtual ~Form() = default;
    virtual void Form_Load() {}
};

// Centres a window over the window that owns it (or the screen), wholly on the screen.
void placeOverOwner(QWidget* window);

class WindowRegistry {
public:
    explicit WindowRegistry(AppContext& context) : context_(context) {}
    ~WindowRegistry();
    WindowRegistry(const WindowRegistry&) = delete;
    WindowRegistry& operator=(const WindowRegistry&) = delete;

    // The loaded window of type T, loading it first when needed.
    template <typename T>
    T& get() {
        if (T* loaded = find<T>())
            return *loaded;
        auto* window = new T(context_);
        adopt(typeid(T), window);
        window->Form_Load();
        return *window;
    }

    // Loads the window of type T when needed and shows it, modeless, in front.
    template <typename T>
    T& show() {
        T& window = get<T>();
        window.show();
        window.raise();
        window.activateWindow();
        return window;
    }

    // The loaded window of type T, or null.
    template <typename T>
    T* find() const {
        auto it = windows_.find(typeid(T));
        return it == windows_.end() ? nullptr : qobject_cast<T*>(it->second.data());
    }

    template <typename T>
    bool isLoaded() const {
        return find<T>() != nullptr;
    }

    // Closes (a modal window stops waiting) and destroys the window; nothing when not loaded.
    template <typename T>
    void unload() {
        unload(typeid(T));
    }

    void unloadAll();

private:
    void adopt(std::type_index type, QWidget* window);
    void unload(std::type_index type);

    AppContext& context_;
    std::map<std::type_index, QPointer<QWidget>> windows_;
};

} // namespace ui
