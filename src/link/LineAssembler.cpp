#include "link/LineAssembler.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace zopra {

void LineAssembler::Reset() noexcept {
    FCount = FPos = FLineLength = 0;
    FDiscardingLongLine = false;
}

std::size_t LineAssembler::Feed(std::string_view bytes) noexcept {
    if (FPos > 0) {
        // Move what still waits to the front, so that the new bytes fit behind it.
        std::memmove(FReceived.data(), FReceived.data() + FPos, FCount - FPos);
        FCount -= FPos;
        FPos = 0;
    }
    const std::size_t taken = std::min(bytes.size(), kCapacity - FCount);
    std::memcpy(FReceived.data() + FCount, bytes.data(), taken);
    FCount += taken;
    return taken;
}

std::optional<std::string_view> LineAssembler::TakeLine() noexcept {
    while (FPos < FCount) {
        const char c = FReceived[FPos++];
        if (c == '\r') {
            if (FDiscardingLongLine) {
                // The end of a line too long to hold: it is dropped, not delivered.
                FDiscardingLongLine = false;
                FLineLength = 0;
                continue;
            }
            const std::size_t length = std::exchange(FLineLength, 0);
            return std::string_view(FLine.data(), length);
        }
        if (FLineLength < kCapacity - 1)
            FLine[FLineLength++] = c;
        else
            FDiscardingLongLine = true;
    }
    return std::nullopt;
}

} // namespace zopra
