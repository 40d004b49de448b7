#pragma once
// A call that may block in the system for ever (an open of a device that never answers), run
// on a thread of its own and waited for a bounded time. When the time is up the caller goes
// on and the thread is left to finish by itself: a thread blocked inside the system cannot
// be ended, only abandoned. The call therefore owns everything it uses (capture by value).
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace zopra::platform {

// The call's result, or nothing when it did not return within `bound`.
template <typename Call>
auto CallWithin(std::chrono::milliseconds bound, Call call) -> std::optional<decltype(call())> {
    using Result = decltype(call());
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<Result> result;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, call = std::move(call)]() mutable {
        Result result = call();
        const std::lock_guard lock(shared->mutex);
        shared->result = std::move(result);
        shared->done.notify_all();
    }).detach();
    std::unique_lock lock(shared->mutex);
    shared->done.wait_for(lock, bound, [&] { return shared->result.has_value(); });
    return shared->result;
}

} // namespace zopra::platform
