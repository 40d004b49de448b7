// Linux: the form against the virtual cutter's other presentations and its faults, and
// against a serial port without an active modem line.
#include "FormFixture.h"
#include "VirtualFormCutter.h"

#include "support/FakeSerialDriver.h"

#include "platform/UsbApi.h"

using namespace std::chrono_literals;

namespace zopra::testing {
namespace {

class LinksAndFaultsTest : public FormTest {
protected:
    vc::Options WithFaults(vc::Faults faults) {
        vc::Options options;
        options.faults = faults;
        return options;
    }
};

TEST_F(LinksAndFaultsTest, ChoosingThePortEnablesConnect) {
    auto cutter = StartCutter();
    EXPECT_FALSE(W.EnabledOf(C::BuConnect));
    W.OpenList(C::CBConnects);
    EXPECT_FALSE(W.EnabledOf(C::BuConnect)) << "opening the list alone does not enable it";
    W.Choose(C::CBConnects, cutter->Entry());
    EXPECT_TRUE(W.EnabledOf(C::BuConnect));
    EXPECT_EQ(F->Links().FLinkKind(), kLinkSerial);
}

TEST_F(LinksAndFaultsTest, PrinterClassQt24LeavesOutTheBladeHolder) {
    vc::Options options;
    options.link = vc::Link::Printer;
    options.state.model = "QT-24";
    auto cutter = StartCutter(options);
    W.OpenList(C::CBConnects);
    // The probe found a QT-24: its blade holder is hidden before anything is chosen.
    EXPECT_FALSE(W.VisibleOf(C::Label39));
    EXPECT_FALSE(W.VisibleOf(C::CBBladeHolder));
    Choose(cutter->Entry());
    EXPECT_EQ(F->Links().FLinkKind(), kLinkPrinterClass);
    Connect();
    EXPECT_EQ(Text(C::LaMName), "QT-24");
    // Each opening of the list probed the cutter once.
    const std::vector<std::string> expected = {Esc + ".R4:", Esc + ".R4:", "OH;",
                                               Esc + ".R1:", Esc + ".R3:", Esc + ".R4:"};
    EXPECT_EQ(cutter->Commands(), expected);
    EXPECT_FALSE(W.VisibleOf(C::BuAASIIUpdate));
}

TEST_F(LinksAndFaultsTest, VendorLibraryLink) {
    vc::Options options;
    options.link = vc::Link::UsbApi;
    options.state.model = "Vantor 52";
    auto cutter = StartCutter(options);
    Choose("QRM USB0");
    EXPECT_EQ(F->Links().FLinkKind(), kLinkVendorUsb);
    Connect();
    EXPECT_EQ(Text(C::LaMName), "Vantor 52");
    EXPECT_EQ(W.BarOf(C::SBForce).Maximum(), 250);
    EXPECT_EQ(cutter->Commands().size(), 5u);
}

TEST_F(LinksAndFaultsTest, RepliesAfterTheTickAreShownWhenTheyCome) {
    auto cutter = StartCutter(WithFaults({.delayMs = 700})); // every reply after its tick
    Choose(cutter->Entry());
    F->Dispatcher().SetReplyBound(5000ms);
    Connect();
    EXPECT_TRUE(W.EnabledOf(C::CoUnit));
    EXPECT_EQ(Text(C::LaMName), "Vantor II 24 PZ");
    EXPECT_EQ(Text(C::StatusConnection), "Connected: Vantor II 24 PZ on " + cutter->Entry());
    EXPECT_TRUE(W.Messages.empty());
}

TEST_F(LinksAndFaultsTest, SilentCutterEndsTheSeriesAndALaterConnectWorks) {
    auto silent = StartCutter(WithFaults({.silent = true}));
    F->Dispatcher().SetReplyBound(300ms);
    Choose(silent->Entry());
    W.Click(C::BuConnect);
    EXPECT_EQ(W.Messages, (std::vector<Message>{{MessageKind::Error, kNoAnswerInTheWindow}}));
    EXPECT_EQ(silent->Commands(), (std::vector<std::string>{"OH;"}));
    EXPECT_EQ(W.BusyDepth(), 0);
    // "Why?" starts with that failure, what it means, and the port it happened on.
    ASSERT_TRUE(W.VisibleOf(C::BuWhy));
    W.Click(C::BuWhy);
    ASSERT_EQ(W.Findings.size(), 1u);
    EXPECT_EQ(
        W.Findings[0].rfind("The machine did not answer.\nThe port opened and zopra asked", 0), 0u)
        << W.Findings[0];
    EXPECT_NE(W.Findings[0].find("\n\n" + silent->Entry() +
                                 ": opened, but nothing answered OH; within 300 ms\n"),
              std::string::npos)
        << W.Findings[0];

    auto healthy = StartCutter();
    Choose(healthy->Entry());
    Connect();
    EXPECT_EQ(Text(C::LaMName), "Vantor II 24 PZ");
}

TEST_F(LinksAndFaultsTest, FailedConnectLeavesNothingOfThePreviousCutter) {
    auto first = ConnectTo();
    EXPECT_EQ(Text(C::StatusConnection), "Connected: Vantor II 24 PZ on " + first->Entry());
    auto silent = StartCutter(WithFaults({.silent = true}));
    F->Dispatcher().SetReplyBound(300ms);
    Choose(silent->Entry());
    W.Click(C::BuConnect);
    ASSERT_EQ(W.Messages.size(), 1u);
    EXPECT_EQ(Text(C::StatusLine), std::string("Failed: ") + kNoAnswerInTheWindow);
    EXPECT_EQ(Text(C::StatusConnection), "Not connected");
    // The next click on "Connect" tries again; the unit still switches with no value shown.
    EXPECT_TRUE(W.EnabledOf(C::BuConnect));
    W.Choose(C::CoUnit, 1);
    EXPECT_EQ(Text(C::Label28), "oz");
    EXPECT_EQ(W.Messages.size(), 1u);
    // Not even after the work buttons' pause may anything write to the silent port.
    WaitForWorkButtons();
    EXPECT_EQ(Text(C::LaMName), " ");
    EXPECT_EQ(W.ListOf(C::CBWeight).Position(), -1);
    for (ControlId button : {C::BuUpdate, C::BuScale1, C::BuScale2, C::BuAASIIUpdate})
        EXPECT_FALSE(W.EnabledOf(button)) << RowOf(button).name;
}

TEST_F(LinksAndFaultsTest, CutterVanishingMidReadIsReported) {
    auto cutter = StartCutter(WithFaults({.vanishAfter = 2}));
    // The hung-up port ends the wait, long before this bound would.
    F->Dispatcher().SetReplyBound(60s);
    Choose(cutter->Entry());
    W.Click(C::BuConnect);
    EXPECT_TRUE(VirtualCutterOf(*cutter).WaitUntilVanished(5000ms));
    ASSERT_EQ(W.Messages.size(), 1u);
    EXPECT_EQ(W.Messages[0].text, "The connection to the machine was lost.");

    // Back (as a new port, like a replugged adapter): the next Connect reads it.
    auto back = StartCutter();
    Choose(back->Entry());
    Connect();
    EXPECT_EQ(Text(C::LaMName), "Vantor II 24 PZ");
    EXPECT_EQ(W.Messages.size(), 1u);
}

TEST_F(LinksAndFaultsTest, SplitRepliesAreAssembled) {
    auto cutter = StartCutter(WithFaults({.split = true, .splitPauseMs = 30}));
    Choose(cutter->Entry());
    Connect();
    EXPECT_EQ(Text(C::LaMName), "Vantor II 24 PZ");
    EXPECT_EQ(Text(C::LaLength), "2000");
    EXPECT_TRUE(W.Messages.empty());
}

TEST_F(LinksAndFaultsTest, GarbageReplyIsReportedOnce) {
    vc::Options options = WithFaults({.garbage = true});
    auto cutter = StartCutter(options);
    Choose(cutter->Entry());
    Connect();
    EXPECT_TRUE(W.RunUntil([&] { return !F->Timer2.Active(); }));
    // Every reply is garbage; the user hears of it once, and every query still went out.
    EXPECT_EQ(W.Messages,
              (std::vector<Message>{
                  {MessageKind::Message,
                   "The machine sent a reply that could not be read: " + options.garbageText}}));
    EXPECT_EQ(cutter->Commands().size(), 5u);
}

TEST_F(LinksAndFaultsTest, PortWithoutActiveModemLine) {
    auto serial = std::make_shared<FakeSerial>();
    serial->existing = {"/dev/ttyFAKE"};
    MakeForm(std::make_unique<CutterConnections>(
        std::make_unique<CUsbIF>(), platform::OpenUsbApi(),
        std::make_shared<FakeSerialDriver>(serial),
        [] { return std::vector<std::string>{"/dev/ttyFAKE"}; }));
    Choose("/dev/ttyFAKE");
    W.Click(C::BuConnect);
    EXPECT_EQ(W.Messages, (std::vector<Message>{{MessageKind::Message, "No Machine Connected"}}));
    EXPECT_TRUE(serial->written.empty());
    EXPECT_TRUE(W.EnabledOf(C::BuConnect)) << "a second click tries again";
    EXPECT_FALSE(F->Timer3.Active()) << "no work button comes back without a link";
}

TEST_F(LinksAndFaultsTest, ClosingWhileAReadIsPendingEndsCleanly) {
    auto cutter = StartCutter(WithFaults({.silent = true}));
    F->Dispatcher().SetReplyBound(200ms);
    Choose(cutter->Entry());
    W.Click(C::BuConnect);
    // The port is open and the receive thread still polls for the answer.
    EXPECT_TRUE(F->Links().Comm2().Enabled());
    F.reset();
    EXPECT_EQ(W.Messages.size(), 1u); // only the unanswered query's message
}

// The port goes away under the window (a cable pulled, a driver that closed it): every
// button that writes reports it at once, never after the reply bound, and only once.
class FailedWriteTest : public FormTest, public ::testing::WithParamInterface<ControlId> {};

TEST_P(FailedWriteTest, IsReported) {
    auto cutter = ConnectTo();
    WaitForWorkButtons();
    F->Links().Comm2().Close();
    F->Dispatcher().SetReplyBound(std::chrono::seconds(60));
    W.Choose(C::CBCutSeen, 1); // "Not cut through", for "Fix and Cut Again"

    W.Click(GetParam());
    EXPECT_EQ(W.Messages,
              (std::vector<Message>{{MessageKind::Error, "The machine could not be written to. "
                                                         "The serial port is not open."}}));
    EXPECT_TRUE(VirtualCutterOf(*cutter).Received().empty());
    EXPECT_EQ(F->Record().FWaitingReply.load(), 0);
    EXPECT_FALSE(F->Timer1.Active());
}

INSTANTIATE_TEST_SUITE_P(Buttons, FailedWriteTest,
                         ::testing::Values(ControlId::BuUpdate, ControlId::BuQuery,
                                           ControlId::BuScale1, ControlId::BuScale2,
                                           ControlId::BuAASIIUpdate, ControlId::BuCutTest,
                                           ControlId::BuCutFix),
                         [](const auto& info) { return std::string(RowOf(info.param).name); });

// A link lost in the middle of the guided fix's update says how far the update got, as
// "Update" does: the cutter may hold some of the new values and not others.
TEST_F(LinksAndFaultsTest, AFailedTuneWriteSaysHowFarItGot) {
    auto cutter = ConnectTo();
    WaitForWorkButtons();
    vc::Faults faults = VirtualCutterOf(*cutter).GetFaults();
    faults.vanishAfter = 2; // counts anew from here
    VirtualCutterOf(*cutter).SetFaults(faults);
    W.Choose(C::CBCutSeen, 1); // "Not cut through": the force one step up
    W.Click(C::BuCutFix);
    ASSERT_EQ(W.Messages.size(), 1u);
    const std::string& text = W.Messages[0].text;
    const std::string tail = " of the 9 settings were written before the connection was lost.";
    ASSERT_GT(text.size(), tail.size()) << text;
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
    // The two commands the cutter took, and none it did not, were counted.
    const int written = std::stoi(text.substr(text.rfind(". ", text.size() - tail.size()) + 2));
    EXPECT_GE(written, 2) << text;
    EXPECT_LT(written, 9) << text;
    EXPECT_FALSE(W.EnabledOf(C::BuCutFix)) << "no further fix on a cutter no longer read";
}

TEST_F(LinksAndFaultsTest, DisplayGoesOnWhenTheOffsetQueryCannotBeWritten) {
    auto cutter = ConnectTo();
    // The cutter reports other values and its identity, then the link breaks before the
    // display's tick sends the offset query.
    vc::CutterState state = cutter->State();
    state.paperLengthMm = 1500;
    cutter->SetState(state);
    WaitForWorkButtons();
    W.Click(C::BuQuery);
    EXPECT_EQ(F->Record().FIdentityReady.load(), 1);
    // No event has been handled since the read: its tick is still to come, and comes anew.
    F->Links().Comm2().Close();
    F->Timer1.Start();
    WaitForDisplay();

    EXPECT_EQ(Text(C::LaLength), "1500");
    ASSERT_EQ(W.Messages.size(), 1u);
    EXPECT_EQ(W.Messages[0].text,
              "The machine could not be written to. The serial port is not open.");
}

} // namespace
} // namespace zopra::testing
