// The connect workflow against a cutter in this process: the queries sent, what the window
// shows, and the work buttons' return.
#include "FormFixture.h"

#include "form/WorkWhileWaiting.h"
#include "platform/LocalFiles.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace zopra::testing {
namespace {

class ConnectTest : public FormTest {};

// A computer without a printer-class cutter: the system lists no interfaces.
class NoPrinters final : public platform::PrinterClassDevices {
public:
    std::unique_ptr<platform::PrinterInterfaceList>
    PresentInterfaces(const platform::InterfaceClassGuid&) override {
        return nullptr;
    }
    platform::PrinterHandle Open(const std::string&) override { return {}; }
};

TEST_F(ConnectTest, AnEmptyListOffersWhyWithTheDoctorsFindingsToCopy) {
    MakeForm(std::make_unique<CutterConnections>(
        std::make_unique<CUsbIF>(std::make_shared<NoPrinters>()), platform::OpenUsbApi(),
        platform::SystemSerialDriver(), [] { return std::vector<std::string>{}; }));
    EXPECT_FALSE(W.VisibleOf(C::BuWhy));
    W.OpenList(C::CBConnects);
    ASSERT_EQ(W.ListOf(C::CBConnects).Count(), 0);
    EXPECT_EQ(Text(C::StatusLine), "No cutter found");
    ASSERT_TRUE(W.VisibleOf(C::BuWhy));

    W.ChooseCopy = true;
    W.Click(C::BuWhy);
    ASSERT_EQ(W.Findings.size(), 1u);
    // The failure that sent the user here and what it means come first, in plain words.
    EXPECT_EQ(W.Findings[0].rfind("No cutter found\nNo entry of the connection list answered", 0),
              0u)
        << W.Findings[0];
    EXPECT_NE(W.Findings[0].find("\nSerial ports"), std::string::npos) << W.Findings[0];
    EXPECT_NE(W.Findings[0].find("The cutter maker's USB devices:\n"), std::string::npos)
        << W.Findings[0];
    EXPECT_EQ(W.Findings[0].find("7a3c"), std::string::npos) << W.Findings[0];
    EXPECT_EQ(W.Clipboard, W.Findings[0]);
    EXPECT_TRUE(W.Messages.empty());
}

// Saved while connected: the port the window holds is named as its own, not as one another
// program holds, and the save is confirmed on the status line.
TEST_F(ConnectTest, TheReportHoldsTheCutterReadAndItsTraffic) {
    auto cutter = ConnectTo();
    EXPECT_FALSE(W.VisibleOf(C::BuWhy));
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "zopra-form-report.txt";
    W.ChosenFiles.push_back(file.string());
    W.Click(C::BuSaveReport);
    std::ifstream in(file, std::ios::binary);
    std::string report{std::istreambuf_iterator<char>(in), {}};
    in.close();
    std::filesystem::remove(file);
    // Lines end as the system's editor wants them (CR LF on Windows); read as lines here.
    if (platform::TextFileLineEnd() == "\r\n")
        std::erase(report, '\r');
    for (const char* line : {"Connection list:\n  0  ", "  Model: Vantor II 24 PZ\n",
                             "to cutter    ", "  ESC.R4:\n", "from cutter  "})
        EXPECT_NE(report.find(line), std::string::npos) << line << " in:\n" << report;
    // On Linux the cutter sits on a serial port of the list; under Wine on the vendor
    // library, which the doctor does not open.
    if (F->Links().FLinkKind() == kLinkSerial) {
        const auto at = report.find("    " + cutter->Entry() + " ");
        ASSERT_NE(at, std::string::npos) << report;
        const std::string line = report.substr(at, report.find('\n', at) - at);
        EXPECT_NE(line.find("  open in zopra: connected to Vantor II 24 PZ"), std::string::npos)
            << line;
    }
    for (const char* wrong : {"another program", "Port already", "Busy", "busy"})
        EXPECT_EQ(report.find(wrong), std::string::npos) << wrong << " in:\n" << report;
    EXPECT_TRUE(W.Messages.empty());
    EXPECT_EQ(Text(C::StatusLine), "Report saved to " + file.string());
}

TEST_F(ConnectTest, ConnectReadsAndShowsTheCutter) {
    vc::Options options;
    options.state.aasX = -40;
    options.state.aasY = 120;
    options.state.speed = 29;        // heavy media
    options.state.bladeOffset = 176; // the third offset entry
    options.state.vectorQuality = 4; // no quality entry
    options.state.bladeHolder = 2;   // any holder but 0 is plastic
    auto cutter = StartCutter(options);
    Choose(cutter->Entry());
    Connect();
    EXPECT_TRUE(W.RunUntil([&] { return !F->Timer2.Active(); }));

    const std::vector<std::string> expected = {
        "OH;", Esc + ".R1:", Esc + ".R6:", Esc + ".R3:", Esc + ".R4:", Esc + ".R5:"};
    EXPECT_EQ(cutter->Commands(), expected);

    const std::pair<ControlId, const char*> shown[] = {{C::LaMName, "Vantor II 24 PZ"},
                                                       {C::LaVer, "V2.10"},
                                                       {C::LaLength, "2000"},
                                                       {C::LaWidth, "600"},
                                                       {C::LaForce, "120"},
                                                       {C::LaAASII_X_Offset, "-1"},
                                                       {C::LaAASII_Y_Offset, "3"},
                                                       {C::CBBladeHolder, "Plastic"}};
    for (const auto& [control, text] : shown)
        EXPECT_EQ(Text(control), text) << RowOf(control).name;
    EXPECT_EQ(W.ListOf(C::CBWeight).Position(), 0);
    EXPECT_EQ(W.ListOf(C::CBAccel).Position(), -1);
    EXPECT_EQ(W.ListOf(C::CBOffset).Position(), 2);
    EXPECT_EQ(W.BarOf(C::SBForce).Position(), 120);
    EXPECT_EQ(W.BarOf(C::SBForce).Maximum(), 350);
    EXPECT_TRUE(W.VisibleOf(C::SBForce));
    EXPECT_FALSE(W.EnabledOf(C::CBMedia));
    for (ControlId control : {C::BuUpdate, C::BuAASIIUpdate, C::BuScale1, C::BuScale2, C::CBOffset,
                              C::CoUnit, C::CBBladeHolder, C::EdAASII_X_Offset, C::UpDown1})
        EXPECT_TRUE(W.EnabledOf(control)) << RowOf(control).name;
    EXPECT_FALSE(W.EnabledOf(C::BuConnect));
    EXPECT_TRUE(W.Messages.empty());
    EXPECT_EQ(W.BusyDepth(), 0);
}

TEST_F(ConnectTest, ModelOutsideTheTable) {
    vc::Options options;
    options.state.model = "Plotmaster 9";
    auto cutter = StartCutter(options);
    Choose(cutter->Entry());
    Connect();
    EXPECT_EQ(Text(C::LaMName), "Plotmaster 9");
    EXPECT_EQ(W.BarOf(C::SBForce).Maximum(), 400);
    EXPECT_TRUE(W.EnabledOf(C::CBMedia));
    EXPECT_FALSE(F->Timer2.Active());
    EXPECT_EQ(cutter->Commands().size(), 5u);
    // No offsets are read for it, so the AAS update could only refuse: its controls stay
    // off, also after the work buttons come back, and the status line says why.
    WaitForWorkButtons();
    for (ControlId control :
         {C::EdAASII_X_Offset, C::EdAASII_Y_Offset, C::UpDown1, C::UpDown2, C::BuAASIIUpdate})
        EXPECT_FALSE(W.EnabledOf(control)) << RowOf(control).name;
    EXPECT_TRUE(W.EnabledOf(C::BuScale1));
    EXPECT_NE(Text(C::StatusLine).find("no AAS offsets"), std::string::npos);
}

TEST_F(ConnectTest, WorkButtonsComeBackAfterTwoSeconds) {
    auto cutter = StartCutter();
    Choose(cutter->Entry());
    Connect();
    EXPECT_FALSE(W.EnabledOf(C::BuQuery));
    WaitForWorkButtons();
    EXPECT_TRUE(W.EnabledOf(C::BuUpdate));
    EXPECT_FALSE(F->Timer3.Active());
}

TEST_F(ConnectTest, ThePortOfTheLastCutterReadIsChosenWhenTheListOpens) {
    auto cutter = StartCutter();
    *LastPort = "COM99"; // kept from a port that is gone
    W.OpenList(C::CBConnects);
    EXPECT_EQ(W.ListOf(C::CBConnects).Position(), -1);
    EXPECT_FALSE(W.EnabledOf(C::BuConnect));

    Choose(cutter->Entry());
    Connect();
    EXPECT_EQ(*LastPort, cutter->Entry());
    EXPECT_EQ(Text(C::StatusConnection), "Connected: Vantor II 24 PZ on " + cutter->Entry());

    // Next time, with nothing typed, opening the list chooses it.
    W.ListOf(C::CBConnects).SetText("");
    W.OpenList(C::CBConnects);
    const FakeList& list = W.ListOf(C::CBConnects);
    ASSERT_GE(list.Position(), 0);
    EXPECT_EQ(list.Entry(list.Position()), cutter->Entry());
    EXPECT_TRUE(W.EnabledOf(C::BuConnect));
}

// Discovery runs on a worker while the window keeps answering: the pump runs while the work
// does, a close (the pump throws) leaves only once the work is over, the work's error comes
// through.
TEST(RunWhilePumping, TheWindowAnswersWhileTheWorkRunsAndACloseWaitsForIt) {
    using namespace std::chrono_literals;
    for (const char* thrower : {"", "pump", "work"}) {
        std::atomic<int> pumped{0};
        std::atomic<bool> workEnded{false};
        const int needed = std::string(thrower) == "pump" ? 1 : 2; // a close stops the pump
        const auto work = [&] {
            for (int i = 0; i < 5000 && pumped < needed; ++i) // bounded
                std::this_thread::sleep_for(1ms);
            workEnded = true;
            return std::string(thrower) == "work" ? throw std::runtime_error("work") : 7;
        };
        const auto pump = [&] {
            if (++pumped == 1 && std::string(thrower) == "pump")
                throw std::runtime_error("pump");
        };
        std::string thrown;
        try {
            EXPECT_EQ(RunWhilePumping(work, pump, 1ms), 7);
        } catch (const std::runtime_error& error) {
            thrown = error.what();
            EXPECT_TRUE(workEnded) << thrower;
        }
        EXPECT_EQ(thrown, thrower);
        EXPECT_GE(pumped.load(), needed) << thrower;
    }
}

} // namespace
} // namespace zopra::testing
