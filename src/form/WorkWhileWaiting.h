#pragma once
// Work that can take seconds on the interface thread's behalf (discovery asks each
// printer-class cutter who it is: a probe write of up to 2 s and a read of 0.9 s) runs on a
// worker thread, while the interface thread goes on answering the window system. Windows
// marks a window that has not read its queue for 5 s "Not Responding" and offers to end the
// program.
#include <chrono>
#include <functional>
#include <future>
#include <utility>

namespace zopra {

// Runs `work` on a worker thread and calls `pump` (the window's pending events and the close
// check) every `step` until it is done; returns what the work returned and throws what it
// threw. What `pump` throws (a close asked for) is thrown once the work has ended: the work
// cannot be abandoned, as it uses what the caller owns.
template <typename Work>
auto RunWhilePumping(Work&& work, const std::function<void()>& pump, std::chrono::milliseconds step)
    -> decltype(work()) {
    auto done = std::async(std::launch::async, std::forward<Work>(work));
    try {
        while (done.wait_for(step) != std::future_status::ready)
            pump();
    } catch (...) {
        done.wait();
        throw;
    }
    return done.get();
}

} // namespace zopra
