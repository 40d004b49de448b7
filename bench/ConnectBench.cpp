// The time from pressing Connect to the parameters being shown, in process against a virtual
// cutter on a pty, as a ratio to the floor that the protocol's own fixed pauses set: the
// pause after opening the port, for each query the pause after the serial write and the
// pause before waking the receive thread, the receive thread's first pass interval before
// each reply, and the pause at the end of the read. The floor comes from the constants of
// the code.
//
// usage: connect_bench [RUNS]   (default 10)
#include "SessionBench.h"

#include "protocol/Commands.h"
#include "protocol/ParameterDisplay.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using namespace zopra;
using namespace zopra::bench;
using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

// Each query waits for the reply before it; the last reply's pass interval runs inside the
// end pause.
Ms Floor(std::size_t queries) {
    const long n = static_cast<long>(queries);
    const auto write = CutterConnections::kSerialPause + CommandDispatcher::kPauseBeforeWake;
    return CutterConnections::kSerialPause + n * write + (n - 1) * ReadThread::kPassInterval +
           std::max(kParameterReadEndPause, ReadThread::kPassInterval);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    PrivateRuntimeDir runtime;
    const auto cutter = StartCutter(Presentation::SerialPty);
    const std::string entry = EntryText(Presentation::SerialPty, *cutter);
    const Ms floor = Floor(ParameterReadOrder(entry).size());

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto session = MakeSession();
        session->Links().ChooseLinkKind(-1, entry);
        // As the Connect button: open, the read series, the end pause, then the display.
        const auto start = Clock::now();
        if (session->Links().OpenConnection(-1, entry) == 0) {
            std::fprintf(stderr, "connect_bench: the port did not open\n");
            return 1;
        }
        for (std::int32_t code : ParameterReadOrder(entry))
            session->SendCommand(code);
        std::this_thread::sleep_for(kParameterReadEndPause);
        if (!WaitForLastReply(*session)) {
            std::fprintf(stderr, "connect_bench: the cutter did not answer\n");
            return 1;
        }
        const ParameterDisplay shown = MakeParameterDisplay(session->Record().Read());
        times.push_back(Ms(Clock::now() - start).count());
        if (shown.model != cutter->State().model) {
            std::fprintf(stderr, "connect_bench: wrong model shown: %s\n", shown.model.c_str());
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("%-12s %5s %9s %9s %9s %9s %7s\n", "connect", "runs", "floor ms", "min ms",
                "median ms", "max ms", "ratio");
    std::printf("%-12s %5d %9.1f %9.1f %9.1f %9.1f %7.3f\n", "serial pty", runs, floor.count(),
                times.front(), median, times.back(), median / floor.count());
    return 0;
}
