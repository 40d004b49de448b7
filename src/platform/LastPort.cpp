#include "platform/LastPort.h"

#include <algorithm>

namespace zopra::platform {

bool PlausiblePortText(const std::string& text) {
    // Longer than any port or device path the connection list shows.
    constexpr std::size_t kLongest = 512;
    return !text.empty() && text.size() <= kLongest &&
           std::none_of(text.begin(), text.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

} // namespace zopra::platform
