// The "Adjust" page against a cutter in this process whose mechanism draws too long: the
// calibration loop from the first test square to a true one, the band that refuses a
// measurement, the spinners, the AAS offset update with its pause and reconnect, and the
// reset on a change of page.
#include "FormFixture.h"

#include "protocol/Calibration.h"
#include "protocol/Commands.h"

#include <cstdint>
#include <initializer_list>

namespace zopra::testing {
namespace {

class AdjustPageTest : public FormTest {
protected:
    std::unique_ptr<FormCutter> ConnectOnAdjustPage(vc::Options options = {}) {
        auto cutter = StartCutter(std::move(options));
        W.ShowPage(C::TSSetting, 1);
        ConnectTo(*cutter);
        return cutter;
    }
    void SetMeasured(const std::string& x, const std::string& y) {
        W.Edit(C::EdMeasure_x).SetText(x);
        W.Edit(C::EdMeasure_y).SetText(y);
    }
};

TEST_F(AdjustPageTest, CalibrationLoopConverges) {
    vc::Options options;
    options.errorX = 1.01; // the X mechanism draws 1 % long
    auto cutter = ConnectOnAdjustPage(options);

    W.Click(C::BuScale1);
    EXPECT_FALSE(W.EnabledOf(C::BuScale1));
    EXPECT_TRUE(W.RunUntil([&] { return Log.Contains("plotted 505.00 x 500.00 mm"); }));
    EXPECT_EQ(cutter->Commands().front(), "VS30;");

    SetMeasured("505", "500");
    cutter->ClearHistory();
    W.Click(C::BuScale2);
    // The new scales come from the cutter's own, as read: 505 / 500 x 10000 and 10000.
    const std::vector<std::string> calibration = {
        Esc + ".C6;1;10100:", Esc + ".C6;0;10000:", Esc + ".C1;0;:", Esc + ".C6;2;:", "PD;", "PU;"};
    EXPECT_TRUE(cutter->WaitForCommands(calibration.size()));
    EXPECT_EQ(cutter->Commands(), calibration);
    EXPECT_EQ(cutter->State().scaleX, 10100);

    // STEP1 comes back with the work-button timer; the square is true now.
    EXPECT_TRUE(W.RunUntil([&] { return W.EnabledOf(C::BuScale1); }));
    W.Click(C::BuScale1);
    EXPECT_TRUE(W.RunUntil([&] { return Log.Contains("plotted 500.00 x 500.00 mm"); }));
    EXPECT_EQ(Log.Count("plotted 505.00 x 500.00 mm"), 1);
    EXPECT_EQ(Text(C::StatusLine), "Test square plotted: 500.0 x 500.0 mm");

    // Calibrating the true square again keeps the factors the first calibration sent.
    SetMeasured("500", "500");
    EXPECT_TRUE(W.RunUntil([&] { return W.EnabledOf(C::BuScale2); }));
    cutter->ClearHistory();
    W.Click(C::BuScale2);
    EXPECT_TRUE(cutter->WaitForCommands(calibration.size()));
    EXPECT_EQ(cutter->Commands(), calibration);
    EXPECT_EQ(Text(C::StatusLine), "Scale factors sent: X 10100, Y 10000");
    EXPECT_TRUE(W.Messages.empty());
}

struct BandCase {
    const char* measuredX;
    const char* measuredY;
    const char* message;
};

class MeasurementBandTest : public AdjustPageTest,
                            public ::testing::WithParamInterface<BandCase> {};

TEST_P(MeasurementBandTest, OutsideSendsNothing) {
    auto cutter = ConnectOnAdjustPage();
    SetMeasured(GetParam().measuredX, GetParam().measuredY);
    W.Click(C::BuScale2);
    ASSERT_EQ(W.Messages.size(), 1u);
    EXPECT_EQ(W.Messages[0].text, GetParam().message);
    // A query afterwards is the first thing the cutter hears.
    WaitForWorkButtons();
    W.Click(C::BuQuery);
    WaitForDisplay();
    EXPECT_EQ(cutter->Commands().front(), "OH;");
}

INSTANTIATE_TEST_SUITE_P(Measurements, MeasurementBandTest,
                         ::testing::Values(BandCase{"476", "500", kCalibrationOutOfBandMessage},
                                           BandCase{"527", "500", kCalibrationOutOfBandMessage},
                                           BandCase{"500", "476", kCalibrationOutOfBandMessage},
                                           BandCase{"0", "500",
                                                    "Floating point division by zero"}));

TEST_F(AdjustPageTest, SpinnersStepTheAdjustment) {
    auto cutter = ConnectOnAdjustPage();
    for (const char* shown : {"0.025", "0.05", "0.075"}) {
        W.Press(C::UpDown1, UpDownButton::Up);
        EXPECT_EQ(Text(C::EdAASII_X_Offset), shown);
    }
    W.Choose(C::CoUnit, 1);
    for (const char* shown : {"0.001", "0.002", "0.003"}) {
        W.Press(C::UpDown2, UpDownButton::Up);
        EXPECT_EQ(Text(C::EdAASII_Y_Offset), shown);
    }
    // The spinner goes on from its own position, whatever the edit holds.
    W.Edit(C::EdAASII_Y_Offset).SetText("1");
    W.Press(C::UpDown2, UpDownButton::Down);
    EXPECT_EQ(Text(C::EdAASII_Y_Offset), "0.002");
    EXPECT_TRUE(W.Messages.empty());
}

TEST_F(AdjustPageTest, OffsetUpdateSendsPausesAndReadsBack) {
    vc::Options options;
    options.state.aasX = 3;
    options.state.aasY = -40;
    auto cutter = ConnectOnAdjustPage(options);
    EXPECT_EQ(Text(C::LaAASII_X_Offset), "0.075");
    EXPECT_EQ(Text(C::LaAASII_Y_Offset), "-1");
    W.Edit(C::EdAASII_X_Offset).SetText("0.1");
    W.Edit(C::EdAASII_Y_Offset).SetText("-0.03");

    // What the form is doing when a timer started before the click ticks (its tick shows the
    // offsets), and when a task posted before the click runs.
    // The labels are written three times: the reconnect clears them, the held tick shows
    // what the reconnect has read so far, the display's own tick shows the new offsets.
    std::vector<std::int32_t> pendingAtWrite;
    W.LabelOf(C::LaAASII_X_Offset).OnSetText = [&](const std::string&) {
        pendingAtWrite.push_back(F->Record().FPendingCommand.load());
    };
    bool taskInThePause = false;
    W.PostToInterfaceThread([&] {
        taskInThePause = F->Record().Read().FAASXOffset == 7 &&
                         F->Record().FPendingCommand.load() == kCmdReadAasOffsets;
    });
    F->Timer2.Start();
    W.Click(C::BuAASIIUpdate);
    WaitForDisplay();
    EXPECT_TRUE(W.RunUntil([&] { return !F->Timer2.Active(); }));
    W.LabelOf(C::LaAASII_X_Offset).OnSetText = nullptr;

    const std::vector<std::string> expected = {Esc + ".D6;7;-41:", Esc + ".C1;0;:", "OH;",
                                               Esc + ".R1:",       Esc + ".R6:",    Esc + ".R3:",
                                               Esc + ".R4:",       Esc + ".R5:"};
    EXPECT_EQ(cutter->Commands(), expected);
    EXPECT_EQ(Text(C::AASOFFSET_outputevalue), expected[0]);
    // After the reconnect the labels show the cutter's new offsets.
    EXPECT_EQ(Text(C::LaAASII_X_Offset), "0.175");
    EXPECT_EQ(Text(C::LaAASII_Y_Offset), "-1.025");
    // The window kept handling its events in the pause, but the timer's tick came only after
    // it, once the reconnect had begun its read (the pause would have left the display's own
    // offset query as the last command).
    EXPECT_TRUE(taskInThePause);
    ASSERT_EQ(pendingAtWrite.size(), 3u);
    EXPECT_NE(pendingAtWrite[1], kCmdReadAasOffsets);
    EXPECT_GT(pendingAtWrite[1], 0);
    EXPECT_TRUE(W.Messages.empty());
    EXPECT_EQ(W.BusyDepth(), 0);
    EXPECT_EQ(Text(C::StatusLine), "AAS offsets read back: X 0.175, Y -1.025 mm");

    // The adjustment went into the cutter once: a second press sends the offsets as they are.
    EXPECT_EQ(Text(C::EdAASII_X_Offset), "0.0");
    EXPECT_EQ(Text(C::EdAASII_Y_Offset), "0.0");
    EXPECT_TRUE(W.RunUntil([&] { return W.EnabledOf(C::BuAASIIUpdate); }));
    cutter->ClearHistory();
    W.Click(C::BuAASIIUpdate);
    WaitForDisplay();
    ASSERT_FALSE(cutter->Commands().empty());
    EXPECT_EQ(cutter->Commands().front(), expected.front());
}

TEST_F(AdjustPageTest, LateOffsetReplyIsWaitedForAndBuiltOn) {
    // The cutter answers the offset query after the display's 100 ms tick.
    vc::Options options;
    options.state.aasX = 3;
    options.state.aasY = -40;
    options.faults.delayMs = 400;
    options.faults.delayOnly = Esc + ".R5:";
    auto cutter = ConnectOnAdjustPage(options);
    EXPECT_EQ(Text(C::LaAASII_X_Offset), "0.075");
    EXPECT_EQ(Text(C::LaAASII_Y_Offset), "-1");
    W.Edit(C::EdAASII_X_Offset).SetText("0.05");
    W.Click(C::BuAASIIUpdate);
    WaitForDisplay();
    EXPECT_TRUE(W.RunUntil([&] { return !F->Timer2.Active(); }));
    EXPECT_EQ(Text(C::StatusLine), "AAS offsets read back: X 0.125, Y -1 mm");
    // Pressed again, the update sends what the cutter holds, not zeros.
    EXPECT_TRUE(W.RunUntil([&] { return W.EnabledOf(C::BuAASIIUpdate); }));
    cutter->ClearHistory();
    W.Click(C::BuAASIIUpdate);
    ASSERT_TRUE(cutter->WaitForCommands(1));
    EXPECT_EQ(cutter->Commands().front(), Esc + ".D6;5;-40:");
    WaitForDisplay();
    EXPECT_TRUE(W.Messages.empty());
}

TEST_F(AdjustPageTest, FieldWithoutANumberIsNamedAndNothingSent) {
    auto cutter = ConnectOnAdjustPage();
    W.Edit(C::EdMeasure_x).SetText("abc");
    W.Click(C::BuScale2);
    EXPECT_EQ(Text(C::StatusLine), "Measured length (X): 'abc' is not a number");
    EXPECT_TRUE(W.EditOf(C::EdMeasure_x).Marked());
    EXPECT_EQ(W.EditOf(C::EdMeasure_x).Focused(), 1);
    EXPECT_TRUE(W.EnabledOf(C::BuScale2)) << "nothing was sent: the button stays";
    EXPECT_TRUE(W.Messages.empty());
    EXPECT_TRUE(cutter->Commands().empty());
}

TEST_F(AdjustPageTest, ClosingDuringTheOffsetPauseEndsItAndSendsNothingMore) {
    vc::Options options;
    options.state.aasX = 3;
    auto cutter = ConnectOnAdjustPage(options);
    W.Edit(C::EdAASII_X_Offset).SetText("0.1");
    // The user closes the window while the update pauses before its reconnect.
    bool closedAtOnce = true;
    W.PostToInterfaceThread([&] { closedAtOnce = W.CloseQueryAllows(); });
    W.Click(C::BuAASIIUpdate);

    EXPECT_FALSE(closedAtOnce);
    EXPECT_EQ(W.CloseWindows(), 1);
    EXPECT_EQ(cutter->Commands(), (std::vector<std::string>{Esc + ".D6;7;0:", Esc + ".C1;0;:"}));
    EXPECT_EQ(W.BusyDepth(), 0);
    EXPECT_TRUE(W.Messages.empty());
    // Nothing starts any more, not even the work buttons' tick; the window may close now.
    EXPECT_TRUE(W.RunUntil([&] { return !F->Timer3.Active(); }));
    EXPECT_FALSE(W.EnabledOf(C::BuQuery));
    EXPECT_EQ(cutter->Commands().size(), 2u);
    EXPECT_TRUE(W.CloseQueryAllows());
}

TEST_F(AdjustPageTest, BusyCursorWhileScalingTestAndCalibrateSend) {
    auto cutter = ConnectOnAdjustPage();
    for (ControlId button : {C::BuScale1, C::BuScale2}) {
        const int before = W.BusyCount();
        W.Click(button);
        EXPECT_GT(W.BusyCount(), before) << RowOf(button).name;
        EXPECT_EQ(W.BusyDepth(), 0) << RowOf(button).name;
        WaitForWorkButtons();
    }
    EXPECT_TRUE(cutter->WaitForCommands(11));
}

TEST_F(AdjustPageTest, PageChangeResetsTheFields) {
    vc::Options options;
    options.state.aasX = 120;
    auto cutter = ConnectOnAdjustPage(options);
    struct Shown {
        int unit;
        const char* size;
        const char* adjustment;
        const char* aasX;
    };
    const ControlId sizes[] = {C::EdTestDraw_X, C::EdTestDraw_Y, C::EdMeasure_x, C::EdMeasure_y};
    for (const Shown& s : {Shown{0, "500.0", "0.0", "3"}, Shown{1, "19.685", "0.000", "0.12"}}) {
        W.Choose(C::CoUnit, s.unit);
        for (ControlId edit : sizes)
            W.Edit(edit).SetText("1.5");
        W.Edit(C::EdAASII_X_Offset).SetText("1.5");
        W.Edit(C::EdAASII_Y_Offset).SetText("1.5");
        W.ShowPage(C::TSSetting, 0);
        W.ShowPage(C::TSSetting, 1);
        for (ControlId edit : sizes)
            EXPECT_EQ(Text(edit), s.size) << RowOf(edit).name;
        EXPECT_EQ(Text(C::EdAASII_X_Offset), s.adjustment);
        EXPECT_EQ(Text(C::EdAASII_Y_Offset), s.adjustment);
        EXPECT_EQ(Text(C::LaAASII_X_Offset), s.aasX);
    }
    // 19.685 inches are 19999 plotter units a side.
    W.Click(C::BuScale1);
    ASSERT_TRUE(cutter->WaitForCommands(5));
    EXPECT_EQ(cutter->Commands()[0], "VS30;");
    EXPECT_EQ(cutter->Commands()[4], "PD0,0,19999,0,0,19999,-19999,0,0,-19999;");
    EXPECT_TRUE(W.Messages.empty());
}

} // namespace
} // namespace zopra::testing
