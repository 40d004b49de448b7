#include "cli/Interrupt.h"

#include "cli/CliErrors.h"
#include "platform/ProcessStart.h"

#include <atomic>
#include <csignal>
#include <thread>

namespace zopra::cli {

namespace {

// A signal reaches the whole process, so its flag is the one piece of process-wide state
// here; a signal handler may only touch a lock-free atomic.
std::atomic<bool> gInterrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int signal) {
    gInterrupted.store(true);
    // The next one ends the process the ordinary way.
    std::signal(signal, SIG_DFL);
}

} // namespace

void InstallInterruptHandler() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    platform::RaiseSigintOnConsoleEvents();
}

bool InterruptRequested() {
    return gInterrupted.load();
}

void ThrowIfInterrupted() {
    if (InterruptRequested())
        throw Interrupted();
}

void Pause(std::chrono::milliseconds duration) {
    constexpr std::chrono::milliseconds kSlice{10};
    const auto end = std::chrono::steady_clock::now() + duration;
    for (;;) {
        ThrowIfInterrupted();
        const auto now = std::chrono::steady_clock::now();
        if (now >= end)
            return;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kSlice, end - now));
    }
}

} // namespace zopra::cli
