#pragma once
// The one guard every event handler runs in: an exception that escapes the handler is shown in
// the standard error box and goes no further, so the event loop goes on; whatever the handler
// did before the error stays.
//
// The guard sits where an event reaches the form, not inside the handlers: a handler that
// calls another directly (the offset update ends by running the connect action) lets that
// one's error end the whole chain, which the outer guard then reports once. A handler started
// from a nested wait (a message box, a wait that processes events) has its own guard, so its
// error stops there.
#include "form/Controls.h"

#include <exception>
#include <utility>

namespace zopra {

// Shows the message of an error that ended an event handler in the standard error box; a null
// message (an error without a text of its own) is shown as an empty one. Never throws.
inline void ReportHandlerError(IFormWindow& window, const char* message) noexcept {
    try {
        window.ShowMessage(MessageKind::Error, message != nullptr ? message : "");
    } catch (...) {
        // Showing the box failed as well (out of memory, or a throwing test stand-in): there
        // is nobody left to tell, and the event loop must still go on.
    }
}

// Thrown out of a wait when the user closed the window during it: it ends the handler that
// waited, and every handler below it, without a word (the user asked for it).
struct WindowClosing {};

template <typename Handler> void RunGuarded(IFormWindow& window, Handler&& handler) noexcept {
    try {
        std::forward<Handler>(handler)();
    } catch (const WindowClosing&) {
        // The window closes once the last handler has returned.
    } catch (const std::exception& error) {
        ReportHandlerError(window, error.what());
    } catch (...) {
        ReportHandlerError(window, nullptr);
    }
}

} // namespace zopra
