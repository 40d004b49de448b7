// A cutter that goes away in the middle of a read, on each of its three presentations: the
// wait for its reply ends at once with "The connection to the machine was lost.", not at the
// reply bound, and the next Connect to the cutter that is back reads it as usual.
#include "link/CutterSession.h"
#include "platform/posix/PrinterClassSysfs.h"
#include "platform/posix/UsbApiPosix.h"
#include "virtual-cutter/VirtualCutter.h"

#include "support/UsbTestSupport.h"

#include <gtest/gtest.h>

namespace zopra {
namespace {

using namespace std::chrono_literals;

class LostConnection : public ::testing::TestWithParam<vc::Link> {
protected:
    std::unique_ptr<CutterSession> NewSession() {
        auto links = std::make_unique<CutterConnections>(
            std::make_unique<CUsbIF>(
                platform::MakeSysfsPrinterClassDevices({FNoUsblp.Path() / "sys", "/dev"})),
            platform::MakePosixUsbApi(false), platform::SystemSerialDriver(),
            [] { return std::vector<std::string>{}; });
        auto session = std::make_unique<CutterSession>(std::move(links));
        // Far beyond "at once": only a wait that the lost link ends passes.
        session->Dispatcher().SetReplyBound(60s);
        return session;
    }

    // The cutter's entry (a serial port is typed, as the list of this test has no ports).
    static void Connect(CutterSession& session, const vc::VirtualCutter& cutter) {
        session.Links().RefreshConnections([](const std::string&) {});
        int position = -1;
        std::string text = cutter.DevicePath().string();
        const auto& entries = session.Links().Entries();
        if (!entries.empty()) {
            position = 0;
            text = entries.front().text;
        }
        session.Links().ChooseLinkKind(position, text);
        ASSERT_EQ(session.OpenConnection(position, text), 1);
    }

    static vc::Options Cutter(const std::string& model) {
        vc::Options options;
        options.link = GetParam();
        options.state.model = model;
        return options;
    }

    test::PrivateRuntimeDir FRuntime;
    test::ScratchDir FNoUsblp;
};

TEST_P(LostConnection, EndsTheWaitAtOnceAndTheNextConnectWorks) {
    auto session = NewSession();
    {
        vc::VirtualCutter first(Cutter("Vantor II 24 PZ"));
        first.Start();
        Connect(*session, first);
        vc::Faults vanish;
        vanish.vanishAfter = 2; // "OH;" is answered, "ESC.R1:" never is
        first.SetFaults(vanish);
        EXPECT_THROW(
            {
                for (CommandCode code : ParameterReadOrder(""))
                    session->SendCommand(code);
            },
            ConnectionLostError);
        EXPECT_TRUE(first.Vanished());
        try {
            session->SendCommand(kCmdHardClipLimits);
            session->Dispatcher().WaitForReply();
            ADD_FAILURE() << "a query on the lost link went through";
        } catch (const std::exception& error) {
            EXPECT_NE(std::string(error.what()).find(kConnectionLostMessage), std::string::npos)
                << error.what();
        }
    }

    vc::VirtualCutter back(Cutter("Vantor II 52"));
    back.Start();
    Connect(*session, back);
    for (CommandCode code : ParameterReadOrder(""))
        session->SendCommand(code);
    session->Dispatcher().WaitForReply();
    EXPECT_EQ(session->Record().Read().FModelName, "Vantor II 52");
    EXPECT_FALSE(session->TakeUnreadableReply());
}

INSTANTIATE_TEST_SUITE_P(EveryLink, LostConnection,
                         ::testing::Values(vc::Link::Serial, vc::Link::Printer, vc::Link::UsbApi),
                         [](const auto& info) { return std::string(vc::LinkKind(info.param)); });

} // namespace
} // namespace zopra
