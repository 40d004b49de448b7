// The time from pressing Connect to the parameters being shown, in process against a virtual
// cutter on a pty, as a ratio to the floor that the protocol's own fixed pauses set: the
// pause after opening the port, for each query the pause after the serial write and the
// pause before waking the receive thread, the receive thread's first pass interval before
// each reply, and the pause at the end of the read. The floor comes from the constants of
// the code.
//
// usage: connect_bench [RUNS] [--rows]   (default 10; --rows leaves the heading out)
#include "SessionBench.h"

#include "protocol/Commands.h"
#include "protocol/ParameterDisplay.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    int runs = 10;
    bool heading = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rows") == 0)
            heading = false;
        else
            runs = std::max(1, std::atoi(argv[i]));
    }
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
        for (CommandCode code : ParameterReadOrder(entry))
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
    if (heading)
        PrintHeading();
    char text[32];
    const char* link = Name(Presentation::SerialPty);
    PrintRow("connect", link, "runs", std::to_string(runs), "");
    std::snprintf(text, sizeof text, "%.1f", floor.count());
    PrintRow("connect", link, "floor of pauses (ms)", text, "");
    std::snprintf(text, sizeof text, "%.1f / %.1f / %.1f", times.front(), median, times.back());
    PrintRow("connect", link, "min / median / max (ms)", text, "");
    std::snprintf(text, sizeof text, "%.3f", median / floor.count());
    PrintRow("connect", link, "median / floor", text, "< 1.05");
    return 0;
}
