// A reply that comes after the dispatcher's bound has given up on it is dropped, not read
// as the answer to a later query: against a virtual cutter on a pty that answers one query
// after 12 s, past the 10 s bound.
#include "link/CutterSession.h"
#include "virtual-cutter/VirtualCutter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <unistd.h>

namespace zopra {
namespace {

namespace fs = std::filesystem;

TEST(LateReply, IsDroppedAndTheNextSeriesShowsTheCuttersValues) {
    const fs::path runtime = fs::path("/tmp") / ("zl-" + std::to_string(getpid()));
    vc::Options options;
    options.runtimeDir = runtime;
    options.state.model = "Vantor II 24 PZ";
    options.state.speed = 30;
    options.state.force = 180;
    options.state.paperLengthMm = 1500;
    options.state.scaleX = 10100;
    options.state.bladeHolder = 1;
    vc::VirtualCutter cutter(options);
    // A fault applies to the commands that arrive after it is set: "OH;" of the first series
    // makes the "ESC.R1:" after it wait 12 s, and that one puts the delay back.
    std::atomic<int> commands{0};
    cutter.SetCommandCallback([&](const std::string&) {
        const int number = ++commands;
        if (number <= 2) {
            vc::Faults faults;
            faults.delayMs = number == 1 ? 12000 : 0;
            cutter.SetFaults(faults);
        }
    });
    cutter.Start();

    CutterSession session(std::make_unique<CutterConnections>());
    const std::string port = cutter.DevicePath().string();
    ASSERT_EQ(session.Links().ChooseLinkKind(-1, port), kLinkSerial);
    ASSERT_EQ(session.Links().OpenConnection(-1, port), 1);

    const std::vector<CommandCode> series = ParameterReadOrder(port);
    EXPECT_THROW(
        {
            for (CommandCode code : series)
                session.SendCommand(code);
        },
        NoAnswerError);

    // The next series waits for the late reply, drops it, and pairs every reply with its
    // own query again.
    for (CommandCode code : series)
        session.SendCommand(code);
    session.SendCommand(kCmdNone); // waits until the last reply has been read
    const MachineSettings values = session.Record().Read();
    EXPECT_EQ(values.FPaperLength, 1500);
    EXPECT_EQ(values.FSpeed, 30);
    EXPECT_EQ(values.FBladeForce, 180);
    EXPECT_EQ(values.FBladeHolder, 1);
    EXPECT_EQ(values.FXScale, 10100);
    EXPECT_EQ(values.FModelName, "Vantor II 24 PZ");
    EXPECT_FALSE(session.TakeUnreadableReply());

    cutter.Stop();
    fs::remove_all(runtime);
}

} // namespace
} // namespace zopra
