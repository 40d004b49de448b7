// Connect, read and close, over and over in one process, against a virtual cutter on a pty
// and on the vendor USB library: every cycle must read the cutter's values, and memory,
// descriptors and threads must not grow. Growth counts from cycle 10 on, after the caches
// and pools of the first cycles have settled.
//
// usage: soak_bench [CYCLES] [--check] [--rows]   (default 1000; --check exits 1 on any
//        failure or any growth of descriptors or threads; --rows leaves the heading out)
#include "SessionBench.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

using namespace zopra::bench;

constexpr int kSettleCycles = 10;

struct SoakResult {
    int cycles = 0;
    int failures = 0;
    ProcessCounts settled;
    ProcessCounts growth;
    std::string firstFailure;
};

SoakResult Soak(Presentation presentation, int cycles) {
    PrivateRuntimeDir runtime;
    const auto cutter = StartCutter(presentation);
    SoakResult result;
    ProcessCounts settled = CountProcess();
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        {
            const auto session = MakeSession();
            const std::string failure = ConnectAndRead(*session, presentation, *cutter);
            if (!failure.empty() && result.failures++ == 0)
                result.firstFailure = "cycle " + std::to_string(cycle) + ": " + failure;
        } // closed here: the session ends its thread and its handles
        ++result.cycles;
        if (cycle == kSettleCycles)
            settled = CountProcess();
    }
    // The in-process cutter closes its end of the last connection on its own thread, a
    // moment after the session has gone: give it a bounded while before counting, so that a
    // descriptor on its way out is not taken for growth.
    ProcessCounts end = CountProcess();
    for (int wait = 0; wait < 20 && (end.fds > settled.fds || end.threads > settled.threads);
         ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        end = CountProcess();
    }
    result.settled = settled;
    result.growth = {end.rssKb - settled.rssKb, end.fds - settled.fds,
                     end.threads - settled.threads};
    return result;
}

} // namespace

int main(int argc, char** argv) {
    int cycles = 1000;
    bool check = false;
    bool heading = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--check") == 0)
            check = true;
        else if (std::strcmp(argv[i], "--rows") == 0)
            heading = false;
        else
            cycles = std::atoi(argv[i]);
    }
    if (cycles <= kSettleCycles) {
        std::fprintf(stderr, "soak_bench: more than %d cycles, please\n", kSettleCycles);
        return 2;
    }
    if (heading)
        PrintHeading();
    bool clean = true;
    for (Presentation presentation : {Presentation::SerialPty, Presentation::VendorUsb}) {
        const SoakResult r = Soak(presentation, cycles);
        PrintRow("soak", Name(presentation), "cycles", std::to_string(r.cycles), "");
        PrintRow("soak", Name(presentation), "failures", std::to_string(r.failures), "0");
        PrintRow("soak", Name(presentation), "RSS at cycle 10 (kB)",
                 std::to_string(r.settled.rssKb), "");
        PrintRow("soak", Name(presentation), "RSS growth (kB)", std::to_string(r.growth.rssKb),
                 "< 1024");
        PrintRow("soak", Name(presentation), "descriptor growth", std::to_string(r.growth.fds),
                 "0");
        PrintRow("soak", Name(presentation), "thread growth", std::to_string(r.growth.threads),
                 "0");
        if (!r.firstFailure.empty())
            std::printf("  first failure: %s\n", r.firstFailure.c_str());
        std::fflush(stdout);
        clean = clean && r.failures == 0 && r.growth.fds <= 0 && r.growth.threads <= 0;
    }
    return check && !clean ? 1 : 0;
}
