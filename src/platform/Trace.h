#pragma once
// A trace of the failures the program goes on from: OS results it does not act on, and
// errors caught where nobody could report them. Silent unless the environment variable
// ZOPRA_DEBUG is set (to anything but "" or "0") when the first trace is asked for; then
// each one is a line on stderr:
//
//   zopra: tcsetattr failed: Inappropriate ioctl for device (error 25)
//
// Tracing never changes what the program does.
#include <string_view>

namespace zopra::platform {

// Whether ZOPRA_DEBUG asked for a trace; read once, on the first call.
bool TraceEnabled() noexcept;

// Traces a failed call with the system's error (errno on Linux, GetLastError on Windows).
void TraceFailure(std::string_view call, int error) noexcept;

// Traces a failure that has no system error (an exception caught at a boundary), as
// "what: detail".
void TraceNote(std::string_view what, std::string_view detail = {}) noexcept;

// For a call that returns 0 or the system's error: traces a failure and hands the result
// on, so that `Traced("SetupComm", port.SetupBuffers(...))` keeps the call site as it was.
inline int Traced(std::string_view call, int error) noexcept {
    if (error != 0)
        TraceFailure(call, error);
    return error;
}

} // namespace zopra::platform
