#include "FormCutter.h"

#include <thread>

namespace zopra::testing {

bool FormCutter::WaitForCommands(std::size_t count, std::chrono::milliseconds bound) const {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (Commands().size() < count) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace zopra::testing
