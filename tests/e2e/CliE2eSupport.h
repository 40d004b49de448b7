#pragma once
// What the zopra-cli end-to-end tests share: a private runtime folder per test, virtual
// cutters as processes with their command log, and zopra-cli runs.
#include "support/ChildProcess.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zopra::e2e {

using Json = nlohmann::json;
using namespace std::chrono_literals;

// Each test sees only its own cutters and settings: the runtime folder is a fresh one under
// /tmp (a socket path must stay short), the settings folder (XDG_CONFIG_HOME) is its
// "config".
class CliTest : public ::testing::Test {
protected:
    CliTest();
    ~CliTest() override;

    std::filesystem::path folder_;

private:
    std::optional<std::string> previous_;
    std::optional<std::string> previousConfig_;
};

// A virtual-cutter process that logs every command it receives.
class VirtualCutterProcess {
public:
    explicit VirtualCutterProcess(const std::vector<std::string>& args);
    // The device it serves (pty or socket).
    const std::string& Device() const { return device_; }
    // Waits until the cutter has logged this line (a command it received); false on time-out.
    bool WaitForLog(const std::string& line) { return process_.WaitForLine(line, 10s); }
    // Stops the cutter and returns its log: one line per command and one per effect.
    std::vector<std::string> StopAndLog();

private:
    testing::ChildProcess process_;
    std::string device_;
};

// zopra-cli with these arguments, to its end (bounded).
testing::RunResult Cli(const std::vector<std::string>& args);

// The JSON a run printed; a test failure when it is not JSON.
Json ParseJson(const std::string& text);

// The list position of the entry with this text, as `zopra-cli list --json` shows it.
std::optional<int> ListPosition(const std::string& text);

// The log lines that are commands changing or plotting something (settings, scales, AAS
// offsets, HP-GL other than the "OH;" query).
std::vector<std::string> WritesIn(const std::vector<std::string>& log);

// The number of lines of standard error.
int ErrorLines(const testing::RunResult& run);

} // namespace zopra::e2e
