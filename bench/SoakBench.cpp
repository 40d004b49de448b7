// Connect, read and close, over and over in one process, against a virtual cutter on a pty
// and on the vendor USB library: every cycle must read the cutter's values, and memory,
// descriptors and threads must not grow. Growth counts from cycle 10 on, after the caches
// and pools of the first cycles have settled.
//
// usage: soak_bench [CYCLES] [--check]   (default 1000; --check exits 1 on any failure or
//        any growth of descriptors or threads)
#include "SessionBench.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using namespace zopra::bench;

constexpr int kSettleCycles = 10;

struct SoakResult {
    int cycles = 0;
    int failures = 0;
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
    const ProcessCounts end = CountProcess();
    result.growth = {end.rssKb - settled.rssKb, end.fds - settled.fds,
                     end.threads - settled.threads};
    return result;
}

} // namespace

int main(int argc, char** argv) {
    int cycles = 1000;
    bool check = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--check") == 0)
            check = true;
        else
            cycles = std::atoi(argv[i]);
    }
    if (cycles <= kSettleCycles) {
        std::fprintf(stderr, "soak_bench: more than %d cycles, please\n", kSettleCycles);
        return 2;
    }
    bool clean = true;
    std::printf("%-12s %7s %8s %14s %9s %11s\n", "soak", "cycles", "failures", "RSS growth kB",
                "fd growth", "thread growth");
    for (Presentation presentation : {Presentation::SerialPty, Presentation::VendorUsb}) {
        const SoakResult r = Soak(presentation, cycles);
        std::printf("%-12s %7d %8d %14ld %9ld %11ld\n", Name(presentation), r.cycles, r.failures,
                    r.growth.rssKb, r.growth.fds, r.growth.threads);
        if (!r.firstFailure.empty())
            std::printf("  first failure: %s\n", r.firstFailure.c_str());
        std::fflush(stdout);
        clean = clean && r.failures == 0 && r.growth.fds <= 0 && r.growth.threads <= 0;
    }
    return check && !clean ? 1 : 0;
}
