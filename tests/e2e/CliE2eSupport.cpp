#include "CliE2eSupport.h"

#include <csignal>
#include <cstdlib>
#include <sstream>

namespace zopra::e2e {

namespace fs = std::filesystem;

CliTest::CliTest() {
    char pattern[] = "/tmp/zcli-XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("mkdtemp");
    folder_ = pattern;
    if (const char* old = std::getenv("XDG_RUNTIME_DIR"))
        previous_ = old;
    setenv("XDG_RUNTIME_DIR", pattern, 1);
    // The user's settings (the presets) too: a test never touches the real ones.
    if (const char* old = std::getenv("XDG_CONFIG_HOME"))
        previousConfig_ = old;
    setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
}

CliTest::~CliTest() {
    if (previous_)
        setenv("XDG_RUNTIME_DIR", previous_->c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
    if (previousConfig_)
        setenv("XDG_CONFIG_HOME", previousConfig_->c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

VirtualCutterProcess::VirtualCutterProcess(const std::vector<std::string>& args)
    : process_([&] {
          std::vector<std::string> argv = {VIRTUAL_CUTTER_PROGRAM, "--log"};
          argv.insert(argv.end(), args.begin(), args.end());
          return argv;
      }()) {
    const auto line = process_.ReadLine(10s);
    if (!line)
        throw std::runtime_error("the virtual cutter gave no device: " + process_.Err());
    device_ = *line;
}

std::vector<std::string> VirtualCutterProcess::StopAndLog() {
    process_.Signal(SIGTERM);
    process_.Wait(10s);
    std::vector<std::string> lines;
    std::istringstream out(process_.Out());
    std::string line;
    std::getline(out, line); // the device
    while (std::getline(out, line))
        lines.push_back(line);
    return lines;
}

testing::RunResult Cli(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {CLI_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    return testing::Run(argv, 60s);
}

Json ParseJson(const std::string& text) {
    try {
        return Json::parse(text);
    } catch (const Json::parse_error& error) {
        ADD_FAILURE() << "not JSON: " << error.what() << "\n" << text;
        return Json::object();
    }
}

std::optional<int> ListPosition(const std::string& text) {
    const testing::RunResult list = Cli({"list", "--json"});
    const Json entries = ParseJson(list.out);
    for (const Json& entry : entries["connections"])
        if (entry["text"] == text)
            return entry["position"].get<int>();
    return std::nullopt;
}

std::vector<std::string> WritesIn(const std::vector<std::string>& log) {
    std::vector<std::string> writes;
    for (const std::string& line : log) {
        const bool setting = line.rfind("ESC.C", 0) == 0 || line.rfind("ESC.D", 0) == 0;
        const bool plotting = !line.empty() && line[0] != ' ' && line.rfind("ESC", 0) != 0 &&
                              line != "OH;" && line.rfind("stopped", 0) != 0;
        if (setting || plotting)
            writes.push_back(line);
    }
    return writes;
}

int ErrorLines(const testing::RunResult& run) {
    int lines = 0;
    for (const char c : run.err)
        lines += c == '\n';
    return lines;
}

} // namespace zopra::e2e
