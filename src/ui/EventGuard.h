#pragma once

#include <QObject>

#include <exception>
#include <utility>

namespace zopra {

// Shows the message of an error that ended an event handler in the standard error box; a null
// message (an error without a text of its own) is shown as an empty one. Never throws.
void ReportHandlerError(const char* message) noexcept;

// Runs one event handler. An exception that escapes it is shown in the standard error box and
// goes no further, so the event loop goes on; whatever the handler did before the error stays.
template <typename Handler> void RunGuarded(Handler&& handler) noexcept {
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& error) {
        ReportHandlerError(error.what());
    } catch (...) {
        ReportHandlerError(nullptr);
    }
}

// Connects signal of sender to handler of receiver so that the handler runs inside RunGuarded.
//
// The guard sits where Qt hands an event to the window, not inside the handler: Qt's
// signal and event code must never be unwound by an exception, while a handler that calls
// another handler directly (the offset update ends by running the connect action) lets that
// handler's error end the whole chain, which is then reported once by the outer guard. A
// handler started from a nested event loop (a message box, a wait that processes events) has
// its own guard, so its error stops at that loop.
template <typename Sender, typename Signal, typename Receiver, typename... Args>
QMetaObject::Connection ConnectGuarded(Sender* sender, Signal signal, Receiver* receiver,
                                       void (Receiver::*handler)(Args...)) {
    return QObject::connect(sender, signal, receiver, [receiver, handler](Args... args) {
        RunGuarded([&] { (receiver->*handler)(std::forward<Args>(args)...); });
    });
}

} // namespace zopra
