// Each deliberate misbehaviour does what it says, over a real pty.
#include "TestSupport.h"

#include "platform/virtual/RuntimeDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace zopra::vc::test {
namespace {

namespace fs = std::filesystem;

const std::string kR6 = "\x1b.R6:";
const std::string kR4 = "\x1b.R4:";
const std::string kIdentity = "R4,QRM-CT,Vantor II 24 PZ,V2.10,2023-11-08,14:05;";

class FaultsTest : public ::testing::Test {
protected:
    void Start(const Faults& faults, LineEnd lineEnd = LineEnd::Default) {
        Options options;
        options.faults = faults;
        options.lineEnd = lineEnd;
        options.garbageText = "~garbage~";
        cutter_ = std::make_unique<VirtualCutter>(options);
        cutter_->Start();
        client_ = std::make_unique<PtyClient>(cutter_->DevicePath());
    }

    ScopedRuntimeDir runtime_;
    std::unique_ptr<VirtualCutter> cutter_;
    std::unique_ptr<PtyClient> client_;
};

struct WriteCase {
    const char* name;
    Faults faults;
    LineEnd lineEnd;
    std::vector<std::string> writes; // the blocks the answer to ESC.R6: goes out in
};

Faults Split() {
    Faults f;
    f.split = true;
    f.splitPauseMs = 20;
    return f;
}
Faults NoLineEnd() {
    Faults f;
    f.noLineEnd = true;
    return f;
}
Faults Garbage() {
    Faults f;
    f.garbage = true;
    return f;
}

TEST_F(FaultsTest, RepliesGoOutInTheBlocksTheFaultSays) {
    const std::vector<WriteCase> cases = {
        {"plain", Faults{}, LineEnd::Default, {"R6,0;\r"}},
        {"crlf", Faults{}, LineEnd::CrLf, {"R6,0;\r\n"}},
        {"split", Split(), LineEnd::Default, {"R6,", "0;\r"}},
        {"no line end", NoLineEnd(), LineEnd::Default, {"R6,0;"}},
        {"no line end beats crlf", NoLineEnd(), LineEnd::CrLf, {"R6,0;"}},
        {"garbage", Garbage(), LineEnd::Default, {"~garbage~\r"}},
    };
    for (const auto& c : cases) {
        Start(c.faults, c.lineEnd);
        client_->Write(kR6);
        std::string all;
        for (const auto& w : c.writes)
            all += w;
        EXPECT_EQ(client_->ReadCount(all.size()), all) << c.name;
        EXPECT_EQ(cutter_->Writes(), c.writes) << c.name;
    }
}

TEST_F(FaultsTest, SilentAnswersNothing) {
    Faults silent;
    silent.silent = true;
    Start(silent);
    client_->Write(kR4 + "OH;");
    ASSERT_TRUE(cutter_->WaitForCommands(2, kWait));
    // The cutter handles commands in order: had it answered the first two, their replies
    // would come before the one to the query sent after it found its voice again.
    cutter_->SetFaults(Faults{});
    client_->Write(kR6);
    EXPECT_EQ(client_->ReadUntil("\r"), "R6,0;\r");
    EXPECT_EQ(cutter_->Writes(), std::vector<std::string>{"R6,0;\r"});
}

TEST_F(FaultsTest, DelayHoldsEveryReply) {
    Faults late;
    late.delayMs = 300;
    Start(late);
    for (int i = 0; i < 2; ++i) {
        const auto sent = std::chrono::steady_clock::now();
        client_->Write(kR6);
        EXPECT_EQ(client_->ReadUntil("\r"), "R6,0;\r");
        EXPECT_GE(std::chrono::steady_clock::now() - sent, 300ms);
    }
}

TEST_F(FaultsTest, SplitPausesBetweenTheHalves) {
    Faults f = Split();
    f.splitPauseMs = 200;
    Start(f);
    const auto sent = std::chrono::steady_clock::now();
    client_->Write(kR4);
    EXPECT_EQ(client_->ReadUntil("\r"), kIdentity + "\r");
    // The second half cannot be there before the pause after the first has passed.
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 200ms);
    const auto writes = cutter_->Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0] + writes[1], kIdentity + "\r");
}

TEST_F(FaultsTest, GlueSendsTwoRepliesInOneWrite) {
    Faults glue;
    glue.glue = true;
    Start(glue);
    client_->Write(kR4);
    ASSERT_TRUE(cutter_->WaitForCommands(1, kWait));
    client_->Write(kR6);
    // Nothing went out before the second reply existed, so the first read holds both.
    EXPECT_EQ(client_->ReadOnce(), kIdentity + "\rR6,0;\r");
    EXPECT_EQ(cutter_->Writes(), std::vector<std::string>{kIdentity + "\rR6,0;\r"});
}

TEST_F(FaultsTest, SwitchingGlueOffReleasesTheHeldReply) {
    Faults glue;
    glue.glue = true;
    Start(glue);
    client_->Write(kR6);
    ASSERT_TRUE(cutter_->WaitForCommands(1, kWait));
    cutter_->SetFaults(Faults{});
    EXPECT_EQ(client_->ReadUntil("\r"), "R6,0;\r");
}

TEST_F(FaultsTest, VanishClosesTheLineOnTheNthCommand) {
    Faults vanish;
    vanish.vanishAfter = 2;
    Start(vanish);
    const fs::path announced = cutter_->AnnouncementPath();
    client_->Write(kR6);
    EXPECT_EQ(client_->ReadUntil("\r"), "R6,0;\r");
    EXPECT_TRUE(fs::is_symlink(announced));
    client_->Write(kR4 + "OH;");
    ASSERT_TRUE(cutter_->WaitUntilVanished(kWait));
    // The second command was taken but not answered; the third never read.
    EXPECT_EQ(cutter_->Commands(), (std::vector<std::string>{kR6, kR4}));
    EXPECT_EQ(cutter_->Writes(), std::vector<std::string>{"R6,0;\r"});
    EXPECT_FALSE(cutter_->Running());
    EXPECT_FALSE(fs::exists(fs::symlink_status(announced)));
    EXPECT_TRUE(platform::AnnouncedDevices("serial").empty());
    // The program's end sees the cable pulled: a hang-up, no bytes.
    pollfd p = {client_->Fd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, static_cast<int>(kWait.count())), 1);
    EXPECT_NE(p.revents & (POLLHUP | POLLERR), 0);
    char byte;
    EXPECT_LE(read(client_->Fd(), &byte, 1), 0);
}

TEST_F(FaultsTest, VanishCountStartsWhenArmed) {
    Start(Faults{});
    client_->Write(kR6 + kR6 + kR6);
    ASSERT_TRUE(cutter_->WaitForCommands(3, kWait));
    Faults vanish;
    vanish.vanishAfter = 1;
    cutter_->SetFaults(vanish);
    EXPECT_FALSE(cutter_->Vanished());
    client_->Write("PU;");
    EXPECT_TRUE(cutter_->WaitUntilVanished(kWait));
    EXPECT_EQ(cutter_->CommandCount(), 4u);
}

} // namespace
} // namespace zopra::vc::test
