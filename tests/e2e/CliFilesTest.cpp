// zopra-cli's files and output against what a hostile or full system hands it: devices,
// FIFOs and huge files in place of a backup, backups with values the cutter cannot take, a
// full disk, standard output that cannot be written.
#include "CliE2eSupport.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zopra::e2e {
namespace {

namespace fs = std::filesystem;

// zopra-cli run by bash, for what a shell sets up: redirections, ulimit, ignored signals.
std::vector<std::string> Shell(const std::string& script, std::vector<std::string> args) {
    args.insert(args.begin(), {"/bin/bash", "-c", script, CLI_PROGRAM});
    return args;
}

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// True once the process runs zopra-cli and sleeps: nothing before the backup is read waits.
bool WaitsInZopraCli(int pid) {
    for (int tries = 0; tries < 1000; ++tries) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        if (line.find("(zopra-cli) S") != std::string::npos)
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST_F(CliTest, RestoreReadsOnlyARegularFileOfABackupsSizeOrStandardInput) {
    VirtualCutterProcess cutter({});
    const std::string backup = (folder_ / "cutter.json").string();
    ASSERT_EQ(Cli({"backup", cutter.Device(), backup}).status, 0);
    fs::create_symlink("/dev/zero", folder_ / "zero");
    ASSERT_EQ(mkfifo((folder_ / "fifo").c_str(), 0600), 0);
    std::ofstream(folder_ / "huge") << std::string(2 << 20, ' ') << FileText(backup);
    for (const char* name : {"zero", "fifo", "huge"}) {
        const auto run =
            testing::Run({CLI_PROGRAM, "restore", cutter.Device(), (folder_ / name).string()}, 10s);
        EXPECT_EQ(run.status, 2) << name << run.err;
        EXPECT_EQ(ErrorLines(run), 1) << name << run.err;
    }

    const auto dry = testing::Run(
        Shell("exec \"$0\" \"$@\" < " + backup, {"restore", cutter.Device(), "-", "--dry-run"}));
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_NE(dry.out.find("ESC.C1;0;:\n"), std::string::npos) << dry.out;

    // Standard input that never ends: Ctrl-C ends the wait.
    const int writer = open((folder_ / "fifo").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    testing::ChildProcess waiting(Shell("exec \"$0\" \"$@\" < " + (folder_ / "fifo").string(),
                                        {"restore", cutter.Device(), "-"}));
    ASSERT_TRUE(WaitsInZopraCli(waiting.Pid()));
    waiting.Signal(SIGINT);
    EXPECT_EQ(waiting.Wait(5s), 130);
    EXPECT_EQ(waiting.Err(), "zopra-cli: interrupted\n");
    close(writer);
    EXPECT_TRUE(WritesIn(cutter.StopAndLog()).empty());
}

TEST_F(CliTest, OutputThatCannotBeWrittenFailsAndTheOldBackupStays) {
    VirtualCutterProcess cutter({});
    const fs::path folder = folder_ / "backups";
    fs::create_directory(folder);
    const std::string backup = (folder / "cutter.json").string();
    ASSERT_EQ(Cli({"backup", cutter.Device(), backup}).status, 0);
    const std::string saved = FileText(backup);

    struct Case {
        std::string script;
        std::vector<std::string> args;
        int status;
        int errorLines;
    };
    const std::vector<Case> cases = {
        {"exec \"$0\" \"$@\" > /dev/full", {"backup", cutter.Device()}, 1, 1},
        {"exec \"$0\" \"$@\" > /dev/full", {"--help"}, 1, 1},
        // The disk fills: no byte may be written to a file.
        {"ulimit -f 0; trap '' XFSZ; exec \"$0\" \"$@\"",
         {"backup", cutter.Device(), backup},
         2,
         1},
        // A reader that stopped reading needs no message.
        {"\"$0\" \"$@\" | true", {"read", cutter.Device(), "--json"}, 0, 0},
    };
    for (const Case& c : cases) {
        const auto run = testing::Run(Shell(c.script, c.args));
        EXPECT_EQ(run.status, c.status) << c.script << run.err;
        EXPECT_EQ(ErrorLines(run), c.errorLines) << c.script << run.err;
    }
    EXPECT_EQ(FileText(backup), saved);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(CliTest, ABackupOrTimeoutThatIsNotRightIsRefusedAndNothingIsSent) {
    VirtualCutterProcess cutter({});
    const std::string d = cutter.Device();
    const std::string backup = (folder_ / "cutter.json").string();
    ASSERT_EQ(Cli({"backup", d, backup}).status, 0);
    const Json document = Json::parse(FileText(backup));

    // Each changes one value of the backup; the message names it.
    const std::vector<std::tuple<std::string, Json, std::string>> changes = {
        {"/parameters/blade_force_g", 200.5, "blade_force_g 200.5"},
        {"/parameters/vector_smooth", 7, "vector_smooth 7"},
        {"/parameters/vector_quality", 9, "vector_quality 9"},
        {"/aas_offsets_units/x", 0.5, "aas_offsets_units.x 0.5"},
        {"/version", "1", "version"},
        {"/version", 1.9, "version"},
        {"/document", 5, "not a zopra-cli backup"},
        {"/parameters/speed", "1e400", "too large"}, // written as a number below
    };
    for (const auto& [pointer, value, named] : changes) {
        Json changed = document;
        changed[Json::json_pointer(pointer)] = value;
        std::string text = changed.dump();
        if (value == "1e400")
            text.replace(text.find("\"1e400\""), 7, "1e400");
        std::ofstream(backup) << text;
        const auto run = Cli({"restore", d, backup});
        EXPECT_EQ(run.status, 2) << pointer << run.err;
        EXPECT_EQ(ErrorLines(run), 1) << pointer << run.err;
        EXPECT_NE(run.err.find(named), std::string::npos) << pointer << run.err;
    }
    for (const char* timeout : {"nan", "0x10", "inf", "0"}) {
        const auto run = Cli({"--timeout", timeout, "read", d});
        EXPECT_EQ(run.status, 2) << timeout << run.err;
        EXPECT_EQ(ErrorLines(run), 1) << timeout << run.err;
    }
    EXPECT_TRUE(WritesIn(cutter.StopAndLog()).empty());
}

// The report for support: a cutter read with its traffic; a cutter that answers garbage, whose
// escaped traffic is in the report although the read failed; a folder that is not there.
TEST_F(CliTest, ReportWritesTheReadAndTheTrafficAlsoWhenTheReadFails) {
    VirtualCutterProcess good({});
    const fs::path report = folder_ / "report.txt";
    const auto run = Cli({"report", report.string(), good.Device()});
    EXPECT_EQ(run.status, 0) << run.err;
    std::string text = FileText(report);
    for (const std::string& line : std::vector<std::string>{
             "zopra support report\n", "  Model: Vantor II 24 PZ\n",
             "opened       serial             " + good.Device() + "\n",
             "to cutter    serial             ESC.R4:\n", "from cutter  serial             R4,"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in:\n" << text;

    VirtualCutterProcess garbage({"--garbage", "--garbage-text", "\x01\xfe\x1bX"});
    const auto failed = Cli({"--timeout", "1", "report", report.string(), garbage.Device()});
    EXPECT_EQ(failed.status, 1) << failed.err;
    EXPECT_EQ(ErrorLines(failed), 1) << failed.err;
    text = FileText(report);
    EXPECT_NE(text.find("Reading the cutter failed: "), std::string::npos) << text;
    EXPECT_NE(text.find("from cutter  serial             \\x01\\xFEESCX"), std::string::npos)
        << text;
    EXPECT_NE(text.find("No cutter was read.\n"), std::string::npos) << text;

    const auto nowhere = Cli({"report", (folder_ / "missing" / "report.txt").string()});
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_NE(nowhere.err.find("cannot write"), std::string::npos) << nowhere.err;
    EXPECT_FALSE(fs::exists(folder_ / "missing"));
}

} // namespace
} // namespace zopra::e2e
