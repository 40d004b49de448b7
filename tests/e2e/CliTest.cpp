// zopra-cli on one cutter at a time: every command against virtual-cutter processes, with
// what the cutter received.
#include "CliE2eSupport.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace zopra::e2e {
namespace {

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The cutter's values on the command line and as `read --json` must show them.
const std::vector<std::string> kState = {
    "--force", "150", "--blade-offset", "500", "--vector-quality", "3",     "--vector-smooth", "1",
    "--media", "3",   "--blade-holder", "1",   "--scale-x",        "10100", "--aas-x",         "12",
    "--aas-y", "-40", "--paper-length", "1000"};

void ExpectState(const Json& read, const std::string& model) {
    EXPECT_EQ(read["version"], 1);
    EXPECT_EQ(read["identity"]["model"], model);
    EXPECT_EQ(read["paper"]["length_mm"], 1000);
    EXPECT_EQ(read["parameters"]["blade_force_g"], 150);
    EXPECT_EQ(read["parameters"]["blade_offset_um"], 500);
    EXPECT_EQ(read["settings"]["quality"], "draft");
    EXPECT_EQ(read["settings"]["smooth"], "on");
    EXPECT_EQ(read["settings"]["media"], "single");
    EXPECT_EQ(read["settings"]["holder"], "plastic");
    EXPECT_EQ(read["scale"]["x"], 10100);
    EXPECT_EQ(read["aas_offsets_units"], (Json{{"x", 12}, {"y", -40}}));
}

TEST_F(CliTest, ReadShowsTheCutterAndSetChangesItOnEveryPresentation) {
    struct Case {
        const char* link;
        const char* model;
    };
    for (const Case c : {Case{"serial", "Vantor II 24 PZ"}, Case{"printer", "Vantor 24 PZ"},
                         Case{"usbapi", "Vantor II 52 PZ"}}) {
        SCOPED_TRACE(c.link);
        std::vector<std::string> args = {"--link", c.link, "--model", c.model};
        args.insert(args.end(), kState.begin(), kState.end());
        VirtualCutterProcess cutter(args);
        std::string device = cutter.Device();
        if (std::string(c.link) == "printer")
            device = std::to_string(ListPosition(c.model).value_or(-1));
        else if (std::string(c.link) == "usbapi")
            device = "QRM USB0";

        const auto read = Cli({"read", device, "--json"});
        ASSERT_EQ(read.status, 0) << read.err;
        ExpectState(ParseJson(read.out), c.model);

        const auto set = Cli(
            {"set", device, "force=200", "weight=heavy", "offset=0.175", "holder=metal", "--json"});
        ASSERT_EQ(set.status, 0) << set.err;
        const auto after = ParseJson(Cli({"read", device, "--json"}).out);
        EXPECT_EQ(after["parameters"]["blade_force_g"], 200);
        EXPECT_EQ(after["parameters"]["blade_offset_um"], 175);
        EXPECT_EQ(after["settings"]["weight"], "heavy");
        EXPECT_EQ(after["settings"]["holder"], "metal");
        // What was not named stays as the cutter had it.
        EXPECT_EQ(after["settings"]["quality"], "draft");
        EXPECT_EQ(after["settings"]["media"], "single");
        EXPECT_EQ(ParseJson(set.out)["settings"], after["settings"]);

        // The update is the window's: nine writes in its order, the commit before the holder.
        const std::vector<std::string> writes = WritesIn(cutter.StopAndLog());
        const std::vector<std::string> expected = {
            "ESC.C1;16;1:", "ESC.C1;17;0:",   "ESC.C1;18;1:", "ESC.C1;19;1:", "ESC.C1;20;0:",
            "ESC.C1;21;0:", "ESC.C1;22;200:", "ESC.C1;0;:",   "ESC.C1;32;0:"};
        EXPECT_EQ(writes, expected);
    }
}

TEST_F(CliTest, TextOutputInInchesUsesTheWindowsTexts) {
    VirtualCutterProcess cutter({"--force", "100", "--aas-x", "120"});
    const auto read = Cli({"read", cutter.Device(), "--inch"});
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_NE(read.out.find("Blade force     3.53 oz\n"), std::string::npos) << read.out;
    EXPECT_NE(read.out.find("Blade offset    0.01 in\n"), std::string::npos) << read.out;
    EXPECT_NE(read.out.find("AAS X offset    0.12 in\n"), std::string::npos) << read.out;
}

TEST_F(CliTest, BackupChangeRestoreGivesTheBackupBack) {
    VirtualCutterProcess cutter(kState);
    const std::string backup = (folder_ / "cutter.json").string();
    ASSERT_EQ(Cli({"backup", cutter.Device(), backup}).status, 0);

    ASSERT_EQ(Cli({"set", cutter.Device(), "force=90", "offset=1", "quality=fine"}).status, 0);
    ASSERT_EQ(
        Cli({"calibrate", cutter.Device(), "--test", "500x500", "--measured", "510x490"}).status,
        0);
    ASSERT_EQ(Cli({"aas", cutter.Device(), "--adjust", "1,1"}).status, 0);
    const Json changed = ParseJson(Cli({"read", cutter.Device(), "--json"}).out);
    ASSERT_NE(changed["scale"]["y"], 10000);

    // A dry run prints the nine settings, the scale block and the two AAS writes, and sends
    // none of them.
    const auto dry = Cli({"restore", cutter.Device(), backup, "--dry-run"});
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(std::count(dry.out.begin(), dry.out.end(), '\n'), 12) << dry.out;
    EXPECT_NE(dry.out.find("ESC.D6;12;-40:\n"), std::string::npos) << dry.out;

    const auto restore = Cli({"restore", cutter.Device(), backup, "--json"});
    ASSERT_EQ(restore.status, 0) << restore.err;
    std::ifstream file(backup);
    const Json saved = Json::parse(file);
    const Json now = ParseJson(Cli({"read", cutter.Device(), "--json"}).out);
    for (const char* key :
         {"identity", "paper", "parameters", "scale", "aas_offsets_units", "settings"})
        EXPECT_EQ(now[key], saved[key]) << key;

    const std::vector<std::string> log = cutter.StopAndLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "ESC.C1;22;90:"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "ESC.C1;22;150:"), 1)
        << "the dry run sent nothing";
}

TEST_F(CliTest, RestoreRefusesAnotherModelUnlessForced) {
    VirtualCutterProcess cutter({"--model", "Vantor II 24 PZ"});
    const std::string backup = (folder_ / "other.json").string();
    ASSERT_EQ(Cli({"backup", cutter.Device(), backup}).status, 0);
    std::ifstream in(backup);
    Json document = Json::parse(in);
    document["identity"]["model"] = "Tiber";
    std::ofstream(backup) << document.dump();

    const auto refused = Cli({"restore", cutter.Device(), backup});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(ErrorLines(refused), 1) << refused.err;
    EXPECT_EQ(Cli({"restore", cutter.Device(), backup, "--force"}).status, 0);
    EXPECT_EQ(WritesIn(cutter.StopAndLog()).size(), 9u);
}

TEST_F(CliTest, SquareAndCalibrateSendTheWindowsCommandsAndCorrectTheScale) {
    VirtualCutterProcess cutter({"--error-x", "1.01"});
    const auto square = Cli({"square", cutter.Device(), "500x500"});
    ASSERT_EQ(square.status, 0) << square.err;
    ASSERT_EQ(
        Cli({"calibrate", cutter.Device(), "--test", "500x500", "--measured", "505x500"}).status,
        0);
    ASSERT_EQ(Cli({"square", cutter.Device(), "19.685x19.685", "--inch"}).status, 0);

    const std::vector<std::string> log = cutter.StopAndLog();
    EXPECT_TRUE(Contains(log, "PD0,0,20000,0,0,20000,-20000,0,0,-20000;"));
    EXPECT_TRUE(Contains(log, "  plotted 505.00 x 500.00 mm"));
    EXPECT_TRUE(Contains(log, "ESC.C6;1;10100:"));
    EXPECT_TRUE(Contains(log, "ESC.C6;0;10000:"));
    // 19.685 inches are 19999 units; after the calibration the X side comes out true.
    EXPECT_TRUE(Contains(log, "PD0,0,19999,0,0,19999,-19999,0,0,-19999;"));
    EXPECT_TRUE(Contains(log, "  plotted 499.98 x 499.98 mm"));
}

TEST_F(CliTest, TuneRunsTheTestCutLoopToACleanCut) {
    VirtualCutterProcess cutter(
        {"--material", "90-110,0.250", "--force", "60", "--blade-offset", "0"});
    const std::string d = cutter.Device();
    ASSERT_EQ(Cli({"testcut", d}).status, 0);

    const auto first = Cli({"tune", d, "not-through", "--json"});
    ASSERT_EQ(first.status, 0) << first.err;
    const Json report = ParseJson(first.out);
    EXPECT_EQ(report["before"], (Json{{"force_g", 60}, {"offset_mm", 0.0}}));
    EXPECT_EQ(report["after"], (Json{{"force_g", 70}, {"offset_mm", 0.0}}));
    EXPECT_EQ(report["read_back_matched"], true);
    EXPECT_EQ(report["cut"], true);
    ASSERT_EQ(report["sent"].size(), 11u) << report.dump(); // the update, ESC.R1:, the cut
    EXPECT_EQ(report["sent"][6], "ESC.C1;22;70:");
    EXPECT_EQ(report["sent"][9], "ESC.R1:");

    // The rest of the way, as a person reads each cut. Each call finds the earlier ones in
    // the journal, so the steps grow: the force 20 g, the offset two entries (one too many).
    for (const char* seen :
         {"not-through", "rounded-corners", "rounded-corners", "overcut-corners"})
        ASSERT_EQ(Cli({"tune", d, seen}).status, 0) << seen;
    const auto clean = Cli({"tune", d, "clean"});
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out,
              "Clean cut: blade force 90 g, blade offset 0.250 mm. Nothing was changed.\n");

    std::vector<std::string> cuts;
    for (const std::string& line : cutter.StopAndLog())
        if (line.find("test cut") != std::string::npos)
            cuts.push_back(line);
    EXPECT_EQ(cuts,
              (std::vector<std::string>{"  test cut 10.0 mm: not cut through (force 60 g)",
                                        "  test cut 10.0 mm: not cut through (force 70 g)",
                                        "  test cut 10.0 mm: corners rounded (offset 0.000 mm)",
                                        "  test cut 10.0 mm: corners rounded (offset 0.175 mm)",
                                        "  test cut 10.0 mm: corners overcut (offset 0.275 mm)",
                                        "  test cut 10.0 mm: clean"}));
}

// Card from the cutter's default force: one force strip, one offset strip, each answered as
// the cutter's log judges its cells, and the next test cut is clean.
TEST_F(CliTest, LaddersReachACleanCutInTwoRounds) {
    VirtualCutterProcess cutter({"--material", "250-290,0.500", "--force", "120"});
    const std::string d = cutter.Device();

    const auto strip = Cli({"ladder", d, "force", "--json"});
    ASSERT_EQ(strip.status, 0) << strip.err;
    const Json cut = ParseJson(strip.out);
    EXPECT_EQ(cut["cells"], Json::parse(R"([{"force_g":5},{"force_g":91},{"force_g":178},
                                             {"force_g":264},{"force_g":350}])"));
    EXPECT_EQ(cut["restored"], true);
    // Five cells of the update and the cut, the old values, their read-back.
    ASSERT_EQ(cut["sent"].size(), 5u * 10 + 9 + 1) << cut.dump();
    EXPECT_EQ(cut["sent"][56], "ESC.C1;22;120:");

    const auto answer = Cli({"ladder", d, "force", "--seen", "n,not-through,n,c,b", "--json"});
    ASSERT_EQ(answer.status, 0) << answer.err;
    const Json written = ParseJson(answer.out);
    EXPECT_EQ(written["decision"], "write");
    EXPECT_EQ(written["written"], (Json{{"force_g", 264}}));

    ASSERT_EQ(Cli({"ladder", d, "offset"}).status, 0);
    const auto offset = Cli({"ladder", d, "offset", "--seen", "r,r,r,r,r,s,o,o"});
    ASSERT_EQ(offset.status, 0) << offset.err;
    EXPECT_EQ(offset.out, "Blade offset 0.500 mm written and read back.\n");
    ASSERT_EQ(Cli({"testcut", d}).status, 0);

    std::vector<std::string> cuts;
    for (const std::string& line : cutter.StopAndLog())
        if (line.find("test cut") != std::string::npos)
            cuts.push_back(line);
    ASSERT_EQ(cuts.size(), 5u + 8 + 1);
    EXPECT_EQ(cuts[2], "  test cut 3 of 5 (178 g, 0.250 mm): not cut through; corners rounded");
    EXPECT_EQ(cuts[3], "  test cut 4 of 5 (264 g, 0.250 mm): cut through cleanly; corners rounded");
    EXPECT_EQ(cuts[10], "  test cut 6 of 8 (264 g, 0.500 mm): cut through cleanly; corners sharp");
    EXPECT_EQ(cuts.back(), "  test cut 10.0 mm: clean");
}

TEST_F(CliTest, BadNamesAndValuesExit2WithOneLineAndSendNothing) {
    VirtualCutterProcess cutter({"--model", "Vantor 52"});
    const std::string d = cutter.Device();
    const std::vector<std::vector<std::string>> cases = {
        {"set", d, "colour=red"},
        {"set", d, "force=300"}, // Vantor 52 goes up to 250
        {"set", d, "force=12.5"},
        {"set", d, "offset=0.26"},
        {"set", d, "weight=medium"},
        {"set", d, "media=single"}, // the media list is disabled on known models
        {"set", d, "force"},
        {"set", d, "force=100", "force=120"},
        {"set", d},
        {"square", d, "0x500"},
        {"square", d, "500"},
        {"calibrate", d, "--test", "500x500", "--measured", "527x500"},
        {"calibrate", d, "--test", "500x500", "--measured", "0x500"},
        {"aas", d, "--adjust", "0.1,0.1"}, // no AAS offsets on this model
        {"aas", d, "--adjust", "0.1"},
        {"testcut", d, "--size", "4"},
        {"testcut", d, "--size", "ten"},
        {"tune", d, "sideways"},
        {"tune", d, "clean", "--size", "51"},
        {"ladder", d, "force", "--to", "300"}, // outside the model's range
        {"ladder", d, "force", "--cells", "2"},
        {"ladder", d, "force", "--cells", "9"},
        {"ladder", d, "offset", "--seen", "r,s,o"}, // eight cells, three words
        {"ladder", d, "sideways"},
        {"restore", d, (folder_ / "missing.json").string()},
        {"read", "no-such-cutter"},
        {"read", "99"},
        {"frobnicate"},
    };
    for (const auto& args : cases) {
        const auto run = Cli(args);
        std::string line;
        for (const auto& a : args)
            line += a + " ";
        EXPECT_EQ(run.status, 2) << line << run.err;
        EXPECT_EQ(ErrorLines(run), 1) << line << run.err;
    }
    EXPECT_TRUE(WritesIn(cutter.StopAndLog()).empty());
}

TEST_F(CliTest, SilentAndVanishingCuttersExit1WithinTheBound) {
    VirtualCutterProcess silent({"--silent"});
    const auto run = Cli({"--timeout", "1", "read", silent.Device()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zopra-cli: The machine did not answer.\n");

    // Gone after the third query: the hung-up port says so, long before this bound.
    VirtualCutterProcess vanishing({"--vanish-after", "3"});
    const auto vanished = Cli({"--timeout", "60", "read", vanishing.Device()});
    EXPECT_EQ(vanished.status, 1);
    EXPECT_EQ(vanished.err, "zopra-cli: The connection to the machine was lost.\n");
}

// Whether the port is open for exclusive use: another program's open is refused (root's
// is not, but it sees the flag).
bool OpenedExclusively(const std::string& port) {
    const int fd = open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;
    int exclusive = 0;
    EXPECT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
    close(fd);
    return exclusive != 0;
}

TEST_F(CliTest, CtrlCEndsAWaitingReadAndClosesTheLink) {
    VirtualCutterProcess silent({"--silent"});
    testing::ChildProcess cli({CLI_PROGRAM, "read", silent.Device()});
    // Once the first query is out the program waits for its reply.
    ASSERT_TRUE(silent.WaitForLog("OH;"));
    // No terminal program can take the replies meanwhile.
    EXPECT_TRUE(OpenedExclusively(silent.Device()));
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(5s), 130);
    EXPECT_EQ(cli.Err(), "zopra-cli: interrupted\n");
    EXPECT_FALSE(OpenedExclusively(silent.Device()));
    // The port was closed: it opens again at once.
    EXPECT_EQ(Cli({"--timeout", "0.5", "read", silent.Device()}).status, 1);
}

TEST_F(CliTest, ASignalDuringRestoreEndsItAfterTheSeriesUnderWay) {
    for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        VirtualCutterProcess cutter(kState);
        const std::string backup = (folder_ / "cutter.json").string();
        ASSERT_EQ(Cli({"backup", cutter.Device(), backup}).status, 0);
        // Scale factors and AAS offsets that differ: restore has three series to write.
        std::ifstream in(backup);
        Json document = Json::parse(in);
        document["scale"]["x"] = 10200;
        document["aas_offsets_units"]["x"] = 30;
        std::ofstream(backup) << document.dump();

        testing::ChildProcess cli({CLI_PROGRAM, "restore", cutter.Device(), backup});
        ASSERT_TRUE(cutter.WaitForLog("ESC.C1;16;5:")); // the first of the settings
        cli.Signal(signal);
        EXPECT_EQ(cli.Wait(10s), status);
        const std::vector<std::string> writes = WritesIn(cutter.StopAndLog());
        ASSERT_EQ(writes.size(), 9u) << "the settings, with their commit, and nothing after";
        EXPECT_EQ(writes[7], "ESC.C1;0;:");
    }
}

TEST_F(CliTest, VersionAndHelpGoToStandardOutput) {
    const auto version = Cli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("zopra-cli ", 0), 0u);
    const auto help = Cli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("calibrate"), std::string::npos);
}

} // namespace
} // namespace zopra::e2e
