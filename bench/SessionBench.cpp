#include "SessionBench.h"

#include "platform/SerialDriver.h"
#include "platform/SerialPortList.h"
#include "platform/posix/UsbApiPosix.h"
#include "protocol/Commands.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace zopra::bench {

namespace fs = std::filesystem;

PrivateRuntimeDir::PrivateRuntimeDir()
    : path_(fs::temp_directory_path() / ("zopra-bench-" + std::to_string(::getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::replace);
    if (const char* old = std::getenv("XDG_RUNTIME_DIR"))
        old_ = old;
    ::setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
}

PrivateRuntimeDir::~PrivateRuntimeDir() {
    if (old_)
        ::setenv("XDG_RUNTIME_DIR", old_->c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

ProcessCounts CountProcess() {
    ProcessCounts counts;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            counts.rssKb = std::atol(line.c_str() + 6);
        else if (line.rfind("Threads:", 0) == 0)
            counts.threads = std::atol(line.c_str() + 8);
    }
    std::error_code error;
    for (auto it = fs::directory_iterator("/proc/self/fd", error); !error && it != fs::end(it);
         it.increment(error))
        ++counts.fds;
    return counts;
}

const char* Name(Presentation presentation) {
    return presentation == Presentation::SerialPty ? "serial pty" : "vendor USB";
}

std::unique_ptr<vc::VirtualCutter> StartCutter(Presentation presentation) {
    vc::Options options;
    options.link = presentation == Presentation::SerialPty ? vc::Link::Serial : vc::Link::UsbApi;
    options.keepHistory = false;
    auto cutter = std::make_unique<vc::VirtualCutter>(options);
    cutter->Start();
    return cutter;
}

std::unique_ptr<CutterSession> MakeSession() {
    return std::make_unique<CutterSession>(std::make_unique<CutterConnections>(
        std::make_unique<CUsbIF>(), platform::MakePosixUsbApi(false),
        platform::SystemSerialDriver(), &platform::ListSerialPorts));
}

bool WaitForLastReply(CutterSession& session) {
    const auto deadline = std::chrono::steady_clock::now() + CommandDispatcher::kDefaultReplyBound;
    while (session.Record().FWaitingReply.load(std::memory_order_acquire) != 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(CommandDispatcher::kPollInterval);
    }
    return true;
}

std::string EntryText(Presentation presentation, const vc::VirtualCutter& cutter) {
    return presentation == Presentation::SerialPty ? cutter.DevicePath().string() : "QRM USB0";
}

std::string ConnectAndRead(CutterSession& session, Presentation presentation,
                           const vc::VirtualCutter& cutter) {
    const std::string entry = EntryText(presentation, cutter);
    try {
        session.Links().ChooseLinkKind(-1, entry);
        if (session.Links().OpenConnection(-1, entry) == 0)
            return "no modem line";
        for (CommandCode code : ParameterReadOrder(entry))
            session.SendCommand(code);
        if (!WaitForLastReply(session))
            return "the last reply did not come";
    } catch (const std::exception& e) {
        return e.what();
    }
    if (auto failure = session.TakeUnreadableReply())
        return "unreadable reply: " + failure->reply;
    const MachineSettings values = session.Record().Read();
    const vc::CutterState state = cutter.State();
    if (values.FModelName != state.model || values.FSpeed != state.speed ||
        values.FXScale != state.scaleX || values.FBladeHolder != state.bladeHolder)
        return "values differ from the cutter's";
    return {};
}

void PrintRow(const std::string& bench, const std::string& link, const std::string& measure,
              const std::string& value, const std::string& aim) {
    std::printf("%-8s %-11s %-24s %20s  %s\n", bench.c_str(), link.c_str(), measure.c_str(),
                value.c_str(), aim.c_str());
}

void PrintHeading() {
    PrintRow("bench", "link", "measure", "value", "aim");
}

} // namespace zopra::bench
