#pragma once
// A program started by a test, with its standard output and error on pipes, read while it
// runs so that it never blocks on a full pipe. Every wait is bounded; a program still
// running when the test ends is killed.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace zopra::testing {

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of standard output without its LF; nothing on end of output or time-out.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // Reads output lines until one satisfies `match`; false when none came in time.
    bool WaitForLine(const std::string& text, std::chrono::milliseconds timeout);

    void Signal(int signal);
    // The process id; -1 once the program has ended and been waited for.
    int Pid() const { return pid_; }

    // The exit status (128 + signal for a signal) once the program has ended; nothing when it
    // still runs after `timeout`. Its output is collected meanwhile.
    std::optional<int> Wait(std::chrono::milliseconds timeout);

    // Everything read so far: standard output (lines handed out by ReadLine included) and error.
    const std::string& Out() const { return allOut_; }
    const std::string& Err() const { return err_; }

private:
    // Reads what is there within `timeout`; false when both pipes are at their end.
    bool Pump(std::chrono::milliseconds timeout);

    int pid_ = -1;
    int out_ = -1;
    int errFd_ = -1;
    std::string pending_; // output not yet handed out by ReadLine
    std::string allOut_;
    std::string err_;
};

struct RunResult {
    int status = -1; // -1: did not end within the bound (it was killed)
    std::string out;
    std::string err;
};

// Runs a program to its end, at most `timeout`.
RunResult Run(const std::vector<std::string>& argv,
              std::chrono::milliseconds timeout = std::chrono::seconds(60));

} // namespace zopra::testing
