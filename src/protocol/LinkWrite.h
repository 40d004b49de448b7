#pragma once
// What one write of command bytes to the open link came to. The link knows whether every
// byte went out; the dispatcher and the workflows stop at the first write that did not, so
// that a failure is never shown as success and a half-sent series goes no further.
#include <stdexcept>
#include <string>
#include <utility>

namespace zopra {

// What the user is told when the link reports its device gone mid-series.
inline constexpr const char* kConnectionLostMessage = "The connection to the machine was lost.";

struct [[nodiscard]] LinkWriteResult {
    bool written = true; // every byte went out
    std::string reason;  // why not, in the user's words; empty when written

    static LinkWriteResult Done() { return {}; }
    static LinkWriteResult Failed(std::string why) { return {false, std::move(why)}; }
    explicit operator bool() const { return written; }
};

// A write that did not go out, as the user is told of it.
class LinkWriteError : public std::runtime_error {
public:
    explicit LinkWriteError(const std::string& reason)
        : std::runtime_error("The machine could not be written to. " + reason) {}
};

} // namespace zopra
