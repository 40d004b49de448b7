// The report a user sends: what it must never carry from the user's computer, lines that
// odd bytes cannot break, a write that leaves nothing half-written; and the bound on a
// device check that does not return.
#include "settings/SupportReport.h"
#include "platform/BoundedCall.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace zopra::settings {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

ReportContents ReadCutterContents() {
    ReportContents contents;
    contents.entries = {{"/dev/ttyUSB0", kLinkSerial},
                        {"Vantor II 24 PZ", kLinkPrinterClass, 0, "/dev/usb/lp0"}};
    contents.doctor = RunDoctor();
    MachineSettings values;
    values.FModelName = "Vantor II 24 PZ";
    values.FCName = std::string("QRM\0\r\nCT\xff", 9); // a cutter that sends odd identity bytes
    contents.cutter = values;
    contents.cutterPort = "/dev/ttyUSB0";
    TrafficLog traffic;
    traffic.Opened(kLinkSerial, "/dev/ttyUSB0");
    traffic.Record(TrafficDirection::ToCutter, kLinkSerial, "\x1b.R4:");
    traffic.Record(TrafficDirection::FromCutter, kLinkSerial, std::string(70000, '\n'));
    contents.traffic = traffic.Exchanges();
    return contents;
}

TEST(SupportReport, NamesNoUserHostOrEnvironmentAndKeepsItsLines) {
    ::setenv("ZOPRA_REPORT_MARKER", "marker-7f3e9a", 1);
    const std::string text = SupportReportText(ReadCutterContents());
    ::unsetenv("ZOPRA_REPORT_MARKER");

    std::vector<std::string> forbidden = {"marker-7f3e9a"};
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0 && host[0] != '\0')
        forbidden.push_back(host);
    // root is also the owner of most device nodes: it names nobody.
    if (const passwd* user = ::getpwuid(::geteuid()); user != nullptr && ::geteuid() != 0) {
        forbidden.push_back(user->pw_name);
        forbidden.push_back(user->pw_dir);
    }
    for (const char* variable : {"HOME", "PWD", "TMPDIR"})
        if (const char* value = std::getenv(variable);
            value != nullptr && std::string(value).size() > 1)
            forbidden.push_back(value);
    for (const std::string& word : forbidden)
        EXPECT_EQ(text.find(word), std::string::npos) << word << " in:\n" << text;

    EXPECT_NE(text.find("zopra " + std::string(ProgramVersion()) + "\nSystem: "),
              std::string::npos);
    EXPECT_NE(text.find("  1  Vantor II 24 PZ (/dev/usb/lp0)  (printer-class USB)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  Name: QRM\\x00\\r\\nCT\\xFF\n"), std::string::npos) << text;
    EXPECT_NE(text.find("to cutter    serial             ESC.R4:\n"), std::string::npos);
    // Every line printable, the 70000 line ends cut to one line.
    EXPECT_TRUE(std::all_of(text.begin(), text.end(),
                            [](char c) { return c == '\n' || (c >= 0x20 && c < 0x7f); }));
    EXPECT_LT(text.size(), 20000u);
}

TEST(SupportReport, AFailedWriteLeavesNothingBehind) {
    char pattern[] = "/tmp/zopra-report-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path folder = pattern;
    fs::create_directory(folder / "taken");
    const struct {
        fs::path file;
        const char* message;
    } cases[] = {
        {folder / "no-such-folder" / "report.txt", "No such file or directory"},
        {folder / "taken", "it is not a regular file"},
    };
    for (const auto& c : cases) {
        const auto failure = WriteReportFile(c.file, "report\n");
        ASSERT_TRUE(failure.has_value()) << c.file;
        EXPECT_EQ(*failure, c.message);
    }
    EXPECT_FALSE(WriteReportFile(folder / "report.txt", "report\n"));
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"report.txt", "taken"}));
    fs::remove_all(folder);
}

TEST(BoundedCall, GivesUpOnACallThatDoesNotReturnInTime) {
    EXPECT_EQ(platform::CallWithin(2000ms, [] { return 7; }), 7);
    // Had the wait not been cut, the call's 0 would come back.
    EXPECT_FALSE(platform::CallWithin(50ms, [] {
        std::this_thread::sleep_for(1s);
        return 0;
    }));
}

} // namespace
} // namespace zopra::settings
