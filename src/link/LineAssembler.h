#pragma once
// Cuts the serial byte stream into CR-ended lines. Pure (no OS calls, no threads, no
// allocation), so that it can be tested and fuzzed on its own: feed it the bytes of one
// read, take lines until it has none, feed the next read.
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace zopra {

class LineAssembler {
public:
    // The bytes of one read it holds, and the longest line it keeps plus one: a line that
    // grows past kCapacity - 1 bytes is dropped up to its CR.
    static constexpr std::size_t kCapacity = 4096;

    // Starts afresh, as every opening of a link does: the bytes of the last read that still
    // wait and the line begun so far are dropped.
    void Reset() noexcept;

    // True while bytes of the last read wait behind a CR. They are assembled before the
    // link is read again, so that no byte is lost or read twice.
    bool HasPending() const noexcept { return FPos < FCount; }

    // Takes the bytes of one read after the ones still waiting; returns how many it took
    // (fewer than given only when more than kCapacity would wait).
    std::size_t Feed(std::string_view bytes) noexcept;

    // The next complete line without its CR (LF and every other byte kept), or nullopt when
    // the bytes fed end inside a line, which then goes on with the next Feed. The view is
    // valid until the next TakeLine or Reset.
    std::optional<std::string_view> TakeLine() noexcept;

private:
    std::array<char, kCapacity> FReceived{};
    std::size_t FCount = 0;
    std::size_t FPos = 0;
    std::array<char, kCapacity> FLine{};
    std::size_t FLineLength = 0;
    bool FDiscardingLongLine = false;
};

} // namespace zopra
