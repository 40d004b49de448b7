// A cutter that goes away in the middle of a read, on each of its three presentations: the
// wait for its reply ends at once with "The connection to the machine was lost.", not at the
// reply bound, and the next Connect to the cutter that is back reads it as usual.
#include "link/CutterSession.h"
#include "virtual-cutter/VirtualCutter.h"

#include "support/UsbTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zopra {
namespace {

using namespace std::chrono_literals;

class LostConnection : public ::testing::TestWithParam<vc::Link> {
protected:
    static vc::Options Cutter(const std::string& model) {
        vc::Options options;
        options.link = GetParam();
        options.state.model = model;
        return options;
    }

    // Connects to the cutter's own entry and reads it; throws what the read throws.
    void ConnectAndRead(vc::VirtualCutter& cutter, int vanishAfter = 0) {
        FSession.Links().RefreshConnections([](const std::string&) {});
        const auto& entries = FSession.Links().Entries();
        const auto entry = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
            return e.kind == kLinkPrinterClass || e.text == cutter.DevicePath().string() ||
                   (e.kind == kLinkVendorUsb && GetParam() == vc::Link::UsbApi);
        });
        ASSERT_NE(entry, entries.end());
        FSession.Links().ChooseLinkKind(int(entry - entries.begin()), entry->text);
        ASSERT_EQ(FSession.OpenConnection(int(entry - entries.begin()), entry->text), 1);
        if (vanishAfter > 0)
            cutter.SetFaults({.vanishAfter = vanishAfter});
        for (CommandCode code : ParameterReadOrder(""))
            FSession.SendCommand(code);
        FSession.Dispatcher().WaitForReply();
    }

    test::PrivateRuntimeDir FRuntime;
    CutterSession FSession{std::make_unique<CutterConnections>()};
};

TEST_P(LostConnection, EndsTheWaitAtOnceAndTheNextConnectWorks) {
    // Far beyond "at once": only a wait that the lost link ends passes.
    FSession.Dispatcher().SetReplyBound(60s);
    {
        vc::VirtualCutter first(Cutter("Vantor II 24 PZ"));
        first.Start();
        // "OH;" is answered, "ESC.R1:" never is.
        EXPECT_THROW(ConnectAndRead(first, 2), ConnectionLostError);
    }
    vc::VirtualCutter back(Cutter("Vantor II 52"));
    back.Start();
    ConnectAndRead(back);
    EXPECT_EQ(FSession.Record().Read().FModelName, "Vantor II 52");
    EXPECT_FALSE(FSession.TakeUnreadableReply());
}

INSTANTIATE_TEST_SUITE_P(EveryLink, LostConnection,
                         ::testing::Values(vc::Link::Serial, vc::Link::Printer, vc::Link::UsbApi),
                         [](const auto& info) { return std::string(vc::LinkKind(info.param)); });

} // namespace
} // namespace zopra
