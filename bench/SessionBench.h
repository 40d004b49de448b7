#pragma once
// What the session benchmarks share: a runtime directory of their own (so that only their
// virtual cutter is found), the process's own resource counts, and one parameter read
// through a CutterSession exactly as the Connect button runs it.
#include "link/CutterSession.h"
#include "virtual-cutter/VirtualCutter.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace zopra::bench {

// Points XDG_RUNTIME_DIR at a fresh folder for the life of the object.
class PrivateRuntimeDir {
public:
    PrivateRuntimeDir();
    ~PrivateRuntimeDir();
    PrivateRuntimeDir(const PrivateRuntimeDir&) = delete;
    PrivateRuntimeDir& operator=(const PrivateRuntimeDir&) = delete;

private:
    std::filesystem::path path_;
    std::optional<std::string> old_;
};

// This process's resident memory, open descriptors and threads.
struct ProcessCounts {
    long rssKb = 0;
    long fds = 0;
    long threads = 0;
};
ProcessCounts CountProcess();

// How the cutter is reached: a serial line on its pty, or the vendor USB library.
enum class Presentation { SerialPty, VendorUsb };
const char* Name(Presentation presentation);

// A virtual cutter of that presentation, started, keeping no history (so that its own
// memory stays flat over any number of cycles).
std::unique_ptr<vc::VirtualCutter> StartCutter(Presentation presentation);

// A session on this computer's serial ports and the vendor library over the announced
// virtual devices only (no real USB bus).
std::unique_ptr<CutterSession> MakeSession();

// Opens the cutter's link and runs the parameter read of the Connect button (every query of
// ParameterReadOrder in turn). Empty on success, else what went wrong.
std::string ConnectAndRead(CutterSession& session, Presentation presentation,
                           const vc::VirtualCutter& cutter);

// Waits (at most the dispatcher's reply bound) until the last query's reply has been read.
bool WaitForLastReply(CutterSession& session);

// The connection-list text for the cutter.
std::string EntryText(Presentation presentation, const vc::VirtualCutter& cutter);

// One row of the benchmark table that `./run bench` prints:
// benchmark, link, measure, value, aim.
void PrintRow(const std::string& bench, const std::string& link, const std::string& measure,
              const std::string& value, const std::string& aim);
// The table's heading.
void PrintHeading();

} // namespace zopra::bench
