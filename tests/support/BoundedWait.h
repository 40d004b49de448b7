#pragma once
// Bounded waits for the serial tests: a test that would hang fails instead.
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>

namespace zopra::testing {

inline constexpr std::chrono::seconds kBound{10};

// Runs call on its own thread; false when it has not returned within the bound (the thread
// is then left behind, and the test fails instead of hanging).
inline bool ReturnsInTime(std::function<void()> call) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([call = std::move(call), done] {
        call();
        done->set_value();
    }).detach();
    return finished.wait_for(kBound) == std::future_status::ready;
}

// Polls the condition every few milliseconds until it holds or the bound has passed.
inline bool Eventually(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + kBound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace zopra::testing
