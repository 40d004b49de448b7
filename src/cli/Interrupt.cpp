#include "cli/Interrupt.h"

#include "cli/CliErrors.h"
#include "platform/ProcessStart.h"

#include <atomic>
#include <csignal>
#include <thread>

namespace zopra::cli {

namespace {

// A signal reaches the whole process, so the number of the one that came is the one piece
// of process-wide state here (0: none); a signal handler may only touch a lock-free atomic.
std::atomic<int> gSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnInterrupt(int signal) {
    gSignal.store(signal);
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
    return gSignal.load() != 0;
}

int InterruptExitStatus() {
    const int signal = gSignal.load();
    return 128 + (signal != 0 ? signal : SIGINT);
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
