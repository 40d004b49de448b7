#pragma once
// What went over the wire of one cutter session: the last exchanges in a bounded ring, for
// the report a user sends when a cutter misbehaves. Always on, because the trouble that
// needs it is rarely the one anybody started the program to trace; bounded in entries and in
// bytes per entry, so that a cutter that streams garbage cannot grow it.
#include "link/LinkKind.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zopra {

enum class TrafficDirection {
    Opened,    // a connection was opened; the bytes are the entry's text
    ToCutter,  // one write
    FromCutter // one reply, as the receive thread handed it on
};

struct TrafficExchange {
    std::chrono::milliseconds sinceOpen{0}; // since the connection was opened
    TrafficDirection direction = TrafficDirection::ToCutter;
    LinkKind link = kLinkSerial;
    std::string bytes;    // at most TrafficLog::kKeptBytes of them
    std::size_t size = 0; // how many there were
};

class TrafficLog {
public:
    static constexpr std::size_t kCapacity = 500;
    static constexpr std::size_t kKeptBytes = 512;

    // A connection was opened on `link` to `text`: times count from now.
    void Opened(LinkKind link, std::string_view text);
    // From any thread (writes on the interface thread, replies on the receive thread).
    void Record(TrafficDirection direction, LinkKind link, std::string_view bytes);
    // Oldest first.
    std::vector<TrafficExchange> Exchanges() const;

private:
    void Add(TrafficExchange exchange);

    mutable std::mutex mutex_;
    std::deque<TrafficExchange> ring_;
    std::chrono::steady_clock::time_point opened_ = std::chrono::steady_clock::now();
};

// Bytes as one line of printable ASCII: ESC as "ESC", CR as "\r", LF as "\n", a backslash as
// "\\", every other control or high byte as "\xNN".
std::string EscapedBytes(std::string_view bytes);

// One line per exchange:
//   "   1234 ms  to cutter    serial         ESC.R1:\r"
// with "... (N bytes in all)" after an exchange that was cut.
std::string TrafficText(const std::vector<TrafficExchange>& exchanges);

// "serial", "vendor USB", "printer-class USB".
const char* LinkKindName(LinkKind kind);

} // namespace zopra
