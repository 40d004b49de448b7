#include "platform/Trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace zopra::platform {

namespace {

// The system's text for an error, without a trailing line break.
std::string ErrorText(int error) {
#ifdef _WIN32
    char buffer[256] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(error), 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
#else
    char buffer[256] = {};
    // The GNU strerror_r: it may return a static text instead of filling the buffer.
    std::string text = strerror_r(error, buffer, sizeof buffer);
#endif
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "unknown error" : text;
}

// One line per trace in one call: the stream locks itself for each call, so traces of
// several threads never interleave.
void WriteLine(const std::string& line) noexcept {
    std::fwrite(line.data(), 1, line.size(), stderr);
}

} // namespace

bool TraceEnabled() noexcept {
    static const bool enabled = [] {
        const char* value = std::getenv("ZOPRA_DEBUG");
        return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
    }();
    return enabled;
}

void TraceFailure(std::string_view call, int error) noexcept {
    if (!TraceEnabled())
        return;
    try {
        WriteLine("zopra: " + std::string(call) + " failed: " + ErrorText(error) + " (error " +
                  std::to_string(error) + ")\n");
    } catch (...) {
        // Out of memory while tracing: the trace is the one thing that may be lost.
    }
}

void TraceNote(std::string_view what, std::string_view detail) noexcept {
    if (!TraceEnabled())
        return;
    try {
        std::string line = "zopra: " + std::string(what);
        if (!detail.empty())
            line += ": " + std::string(detail);
        WriteLine(line + "\n");
    } catch (...) {
        // As above: out of memory while tracing loses the trace, never the program.
    }
}

} // namespace zopra::platform
