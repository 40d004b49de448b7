#include "ui/EventGuard.h"

#include "ui/MessageBox.h"

namespace zopra {

void ReportHandlerError(const char* message) noexcept {
    try {
        ShowErrorBox(message != nullptr ? QString::fromLocal8Bit(message) : QString());
    } catch (...) {
        // Showing the box failed as well (out of memory, or a throwing test hook): there is
        // nobody left to tell, and the event loop must still go on.
    }
}

} // namespace zopra
