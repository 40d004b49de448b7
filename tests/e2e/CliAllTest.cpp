// zopra-cli --all: every listed cutter at the same time, each over its own connection.
#include "CliE2eSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace zopra::e2e {
namespace {

// --except for every list entry that is not one of this test's cutters (a serial port of
// the machine running the tests, say).
std::vector<std::string> ExceptOthers(const std::vector<std::string>& ours) {
    std::vector<std::string> args;
    const Json list = ParseJson(Cli({"list", "--json"}).out);
    for (const Json& entry : list["connections"]) {
        const std::string text = entry["text"];
        if (std::find(ours.begin(), ours.end(), text) == ours.end()) {
            args.push_back("--except");
            args.push_back(std::to_string(entry["position"].get<int>()));
        }
    }
    return args;
}

TEST_F(CliTest, ReadAllReadsFourCuttersAndASilentOneFailsAlone) {
    VirtualCutterProcess serial({"--model", "Vantor II 24 PZ", "--force", "111"});
    VirtualCutterProcess printer({"--link", "printer", "--model", "Vantor 52", "--force", "112"});
    VirtualCutterProcess usb({"--link", "usbapi", "--model", "Tiber", "--force", "113"});
    VirtualCutterProcess second({"--model", "QT-24", "--force", "114"});
    const std::vector<std::string> ours = {serial.Device(), "Vantor 52", "QRM USB0",
                                           second.Device()};

    // The window's order: printer-class cutters by model, then serial ports, then the vendor
    // library's devices.
    const auto list = Cli({"list"});
    ASSERT_EQ(list.status, 0) << list.err;
    std::vector<std::string> lines;
    std::istringstream listed(list.out);
    for (std::string line; std::getline(listed, line);)
        lines.push_back(line.substr(line.find("  ") + 2));
    ASSERT_GE(lines.size(), 4u) << list.out;
    // A printer-class cutter is listed with where it sits, as in the window.
    const Json printerEntry = ParseJson(Cli({"list", "--json"}).out)["connections"][0];
    EXPECT_EQ(printerEntry["text"], "Vantor 52");
    EXPECT_EQ(lines.front(), "Vantor 52 (" + printerEntry["port"].get<std::string>() + ")");
    EXPECT_EQ(lines.back(), "QRM USB0");
    for (const std::string& port : {serial.Device(), second.Device()})
        EXPECT_NE(std::find(lines.begin() + 1, lines.end() - 1, port), lines.end() - 1) << port;

    std::vector<std::string> args = {"read",          "--all",  "--json",       "--port",
                                     serial.Device(), "--port", second.Device()};
    for (const std::string& a : ExceptOthers(ours))
        args.push_back(a);
    const auto all = Cli(args);
    ASSERT_EQ(all.status, 0) << all.err;
    const Json read = ParseJson(all.out);
    EXPECT_EQ(read["version"], 1);
    std::map<std::string, int> forces;
    for (const Json& cutter : read["cutters"])
        forces[cutter["identity"]["model"]] = cutter["parameters"]["blade_force_g"];
    EXPECT_EQ(forces,
              (std::map<std::string, int>{
                  {"Vantor II 24 PZ", 111}, {"Vantor 52", 112}, {"Tiber", 113}, {"QT-24", 114}}));

    // A silent cutter fails on its own; the others are read as before. A serial port that
    // is not named with --port (the QT-24's) is not opened at all.
    VirtualCutterProcess silent({"--silent"});
    std::vector<std::string> withSilent = ours;
    withSilent.push_back(silent.Device());
    args = {"--timeout",     "3",      "read",         "--all", "--json", "--port",
            serial.Device(), "--port", silent.Device()};
    for (const std::string& a : ExceptOthers(withSilent))
        args.push_back(a);
    const auto mixed = Cli(args);
    EXPECT_EQ(mixed.status, 1);
    std::vector<std::string> readOk;
    const Json mixedRead = ParseJson(mixed.out);
    for (const Json& cutter : mixedRead["cutters"]) {
        if (cutter["device"] == silent.Device())
            EXPECT_EQ(cutter["error"], "The machine did not answer.");
        else if (cutter.contains("identity"))
            readOk.push_back(cutter["identity"]["model"]);
    }
    std::sort(readOk.begin(), readOk.end());
    EXPECT_EQ(readOk, (std::vector<std::string>{"Tiber", "Vantor 52", "Vantor II 24 PZ"}));
    EXPECT_EQ(mixed.err, "zopra-cli: " + silent.Device() +
                             ": The machine did not answer.\nzopra-cli: 1 of 4 cutters failed\n");

    // The QT-24 saw one read, from the first run, in the window's order, and nothing else.
    // The entry is a serial port, not a "QT-24" entry, so the blade holder is asked for.
    const std::vector<std::string> log = second.StopAndLog();
    std::vector<std::string> commands;
    for (const std::string& line : log)
        if (!line.empty() && line[0] != ' ' && line.rfind("stopped", 0) != 0)
            commands.push_back(line);
    const std::vector<std::string> qt24Read = {"OH;", "ESC.R1:", "ESC.R6:", "ESC.R3:", "ESC.R4:"};
    EXPECT_EQ(commands, qt24Read);
}

TEST_F(CliTest, BackupAllWritesOneFilePerCutterWhateverBytesTheirNamesHold) {
    // 0xE9 is no UTF-8: the texts are written out as Latin-1.
    VirtualCutterProcess a({"--model", "Vantor II 24 PZ"});
    VirtualCutterProcess b({"--link", "usbapi", "--model", "Vant\xe9r 24"});
    VirtualCutterProcess c({"--link", "printer", "--model", "Vant\xe9r 52"});
    std::vector<std::string> args = {"backup", "--all", (folder_ / "backups").string(), "--port",
                                     a.Device()};
    for (const std::string& x : ExceptOthers({a.Device(), "QRM USB0", "Vant\u00e9r 52"}))
        args.push_back(x);
    const auto run = Cli(args);
    ASSERT_EQ(run.status, 0) << run.err;
    std::map<std::string, std::filesystem::path> backups;
    for (const auto& file : std::filesystem::directory_iterator(folder_ / "backups")) {
        std::ifstream in(file.path());
        const Json document = Json::parse(in);
        EXPECT_EQ(document["document"], "zopra-backup");
        backups[document["identity"]["model"]] = file.path();
    }
    ASSERT_EQ(backups.size(), 3u);
    EXPECT_TRUE(backups.count("Vant\u00e9r 24") && backups.count("Vantor II 24 PZ"));
    // The model compares with the cutter's as it was written; the entry is named as `list`
    // shows it.
    const auto restore = Cli({"restore", "Vant\u00e9r 52", backups["Vant\u00e9r 52"].string()});
    EXPECT_EQ(restore.status, 0) << restore.err;
}

} // namespace
} // namespace zopra::e2e
