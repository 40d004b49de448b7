// `zopra-cli read --all` with 1, 4 and 8 virtual cutters on ptys: the time of each run and
// the ratio of the time for N cutters to the time for one, all measured in this one run.
// Every cutter has its own connection and thread, so the aim is a ratio under 1.3 for 8;
// reading them one after the other would take N times as long.
//
// usage: build/bench/cli_read_all_bench [RUNS]   (default 5 runs per size; the median counts)
#include "support/ChildProcess.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using zopra::testing::ChildProcess;

// The median wall time of `runs` runs of read --all over `count` cutters.
double MedianSeconds(int count, int runs) {
    std::vector<std::unique_ptr<ChildProcess>> cutters;
    std::vector<std::string> devices;
    for (int i = 0; i < count; ++i) {
        cutters.push_back(std::make_unique<ChildProcess>(
            std::vector<std::string>{VIRTUAL_CUTTER_PROGRAM, "--model", "Vantor II 24 PZ"}));
        const auto device = cutters.back()->ReadLine(10s);
        if (!device) {
            std::fprintf(stderr, "the virtual cutter did not start\n");
            std::exit(1);
        }
        devices.push_back(*device);
    }
    // The cutters are serial ports: --all opens only the ones it is given.
    std::vector<std::string> argv = {CLI_PROGRAM, "read", "--all"};
    for (const std::string& device : devices) {
        argv.push_back("--port");
        argv.push_back(device);
    }

    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const auto result = zopra::testing::Run(argv, 120s);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (result.status != 0) {
            std::fprintf(stderr, "read --all failed: %s", result.err.c_str());
            std::exit(1);
        }
        seconds.push_back(took.count());
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    // A private runtime folder, so that only this benchmark's cutters are listed.
    char folder[] = "/tmp/zbench-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    setenv("XDG_RUNTIME_DIR", folder, 1);

    const double one = MedianSeconds(1, runs);
    std::printf("read --all, median of %d runs\n", runs);
    std::printf("cutters  seconds  ratio to 1\n");
    std::printf("%7d  %7.3f  %10.2f\n", 1, one, 1.0);
    for (const int count : {4, 8}) {
        const double t = MedianSeconds(count, runs);
        std::printf("%7d  %7.3f  %10.2f\n", count, t, t / one);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
