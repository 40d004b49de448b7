// Starts a windowed program several times and measures, from outside as a user sees it, the
// time from the start until its window is shown, and its working set once it has settled.
//
// usage: window_start_bench PROGRAM WINDOW_CLASS [RUNS]
// prints: median_ms=N working_set_kib=N
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::wstring Wide(const char* text) {
    const std::string narrow(text);
    return std::wstring(narrow.begin(), narrow.end());
}

// One start; false when the window did not show within the bound.
bool MeasureOnce(const std::wstring& program, const std::wstring& windowClass, double& ms,
                 SIZE_T& workingSet) {
    std::wstring command = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const auto start = Clock::now();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started))
        return false;
    HWND window = nullptr;
    const auto bound = start + 30s;
    while (Clock::now() < bound) {
        window = FindWindowW(windowClass.c_str(), nullptr);
        if (window && IsWindowVisible(window))
            break;
        window = nullptr;
        std::this_thread::sleep_for(1ms);
    }
    ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    // What the window holds once it is up and has painted.
    std::this_thread::sleep_for(500ms);
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(started.hProcess, &counters, sizeof counters);
    workingSet = counters.WorkingSetSize;
    if (window)
        PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(started.hProcess, 10'000) != WAIT_OBJECT_0)
        TerminateProcess(started.hProcess, 1);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return window != nullptr;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fputs("usage: window_start_bench PROGRAM WINDOW_CLASS [RUNS]\n", stderr);
        return 2;
    }
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    std::vector<double> times;
    SIZE_T workingSet = 0;
    for (int run = 0; run < runs; ++run) {
        double ms = 0;
        if (!MeasureOnce(Wide(argv[1]), Wide(argv[2]), ms, workingSet)) {
            std::fprintf(stderr, "window_start_bench: no window of class %s\n", argv[2]);
            return 1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("median_ms=%.1f working_set_kib=%lu\n", times[times.size() / 2],
                static_cast<unsigned long>(workingSet / 1024));
    return 0;
}
