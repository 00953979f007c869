#include "ui/AppContext.h"

#include <ctime>
#include <exception>

namespace ui {

dates::Date AppContext::systemToday() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

bool AppContext::guarded(const std::function<void()>& work) {
    try {
        work();
        return true;
    } catch (const std::exception& e) {
        ui.critical(kProgramTitle, e.what());
        return false;
    }
}

} // namespace ui
