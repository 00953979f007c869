#include "app/AppContext.h"

#include <exception>

namespace app {

void AppContext::guarded(const std::function<void()>& work) {
    try {
        work();
    } catch (const std::exception& e) {
        ui.critical(kProgramTitle, e.what());
    }
}

} // namespace app
