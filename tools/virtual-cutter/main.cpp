// virtual-cutter: the stand-in cutter as a program, for people and for end-to-end tests.
// Its first line of output is the device to connect to; with --log every command follows.
#include "CommandLine.h"
#include "VirtualCutter.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Standard output, held closed until the device path has been printed: a program may open
// the announced device before we print it, and whatever it makes the cutter log must not
// come first.
class GatedOutput {
public:
    void Line(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (open_)
            Print(text);
        else
            pending_.push_back(text);
    }

    void Open(const std::string& firstLine) {
        std::lock_guard<std::mutex> lock(mutex_);
        Print(firstLine);
        for (const auto& text : pending_)
            Print(text);
        pending_.clear();
        open_ = true;
    }

private:
    static void Print(const std::string& text) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout); // a pipe would otherwise keep the line back
    }

    std::mutex mutex_;
    bool open_ = false;
    std::vector<std::string> pending_;
};

} // namespace

int main(int argc, char** argv) {
    using namespace zopra::vc;
    CommandLine commandLine;
    try {
        commandLine = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& error) {
        std::fprintf(stderr, "virtual-cutter: %s\nTry 'virtual-cutter --help'.\n", error.what());
        return 2;
    }
    if (commandLine.help) {
        std::fputs(Usage().c_str(), stdout);
        return 0;
    }

    // Block the stop signals before any thread exists, so that every thread inherits the
    // mask and only the wait below takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    GatedOutput output;
    Options options = commandLine.options;
    options.keepHistory = false; // a session may run for days
    if (commandLine.log)
        options.onLog = [&output](const std::string& line) { output.Line(line); };

    VirtualCutter cutter(options);
    try {
        cutter.Start();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "virtual-cutter: %s\n", error.what());
        return 1;
    }
    output.Open(cutter.DevicePath().string());
    std::fprintf(stderr, "virtual-cutter: \"%s\" on %s, announced as %s\n",
                 options.state.model.c_str(), LinkKind(options.link),
                 cutter.AnnouncementPath().c_str());

    // Serve until a stop signal arrives or the vanish fault has pulled the cable.
    const timespec tick = {0, 200 * 1000 * 1000};
    int signal = 0;
    while (!cutter.Vanished()) {
        signal = sigtimedwait(&stopSignals, nullptr, &tick);
        if (signal > 0)
            break;
    }
    cutter.Stop();
    if (signal > 0 && commandLine.log)
        output.Line("stopped by signal " + std::to_string(signal));
    return 0;
}
