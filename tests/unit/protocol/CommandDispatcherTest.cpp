#include "protocol/CommandDispatcher.h"
#include "protocol/Numbers.h"
#include "protocol/ReplyParser.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace zopra {
namespace {

using namespace std::chrono_literals;

// Records what the dispatcher writes and how often it wakes the receiver; refuses every
// write while `refuse` holds a reason.
struct Link {
    std::mutex mutex;
    std::vector<std::string> writes;
    int wakes = 0;
    std::string refuse;

    std::vector<std::string> Writes() {
        std::lock_guard lock(mutex);
        return writes;
    }
};

CommandDispatcher MakeDispatcher(MachineRecord& record, Link& link) {
    return CommandDispatcher(
        record,
        [&link](const std::string& bytes) {
            std::lock_guard lock(link.mutex);
            if (!link.refuse.empty())
                return LinkWriteResult::Failed(link.refuse);
            link.writes.push_back(bytes);
            return LinkWriteResult::Done();
        },
        [&link] {
            std::lock_guard lock(link.mutex);
            ++link.wakes;
        });
}

TEST(CommandDispatcher, FlagAndWritesByCode) {
    MachineRecord record;
    Link link;
    CommandDispatcher d = MakeDispatcher(record, link);

    d.SendCommand(kCmdHardClipLimits);
    EXPECT_EQ(record.FPendingCommand, 1);
    EXPECT_EQ(record.FWaitingReply, 1);
    EXPECT_EQ(link.wakes, 1);
    ParseReply(record, "0,0,40000,20000");

    // Codes without a command write zero bytes and leave the flag alone.
    for (int number : {0, 8, 9, 10, 11, 12, 13, 14, 15, 16, 18}) {
        const auto code = static_cast<CommandCode>(number);
        d.SendCommand(code);
        EXPECT_EQ(record.FPendingCommand, code);
        EXPECT_EQ(record.FWaitingReply, 0);
    }
    d.SendCommand(kCmdTestSquare, {"500.0", "500.0", "", "", false, '.'});
    EXPECT_EQ(record.FWaitingReply, 0);
    EXPECT_EQ(link.wakes, 1) << "only a query wakes the receiver";

    const std::vector<std::string> writes = link.Writes();
    ASSERT_EQ(writes.size(), 13u);
    EXPECT_EQ(writes[0], "OH;");
    for (std::size_t i = 1; i < 12; ++i)
        EXPECT_EQ(writes[i], "");
    EXPECT_EQ(writes[12], "VS30;SP1;PR;PU0,0;PD0,0,20000,0,0,20000,-20000,0,0,-20000;PU;");
}

TEST(CommandDispatcher, ConversionErrorWritesNothingButRecordsTheCode) {
    MachineRecord record;
    Link link;
    CommandDispatcher d = MakeDispatcher(record, link);
    EXPECT_THROW(d.SendCommand(kCmdTestSquare, {"five", "500", "", "", false, '.'}),
                 ConversionError);
    EXPECT_EQ(record.FPendingCommand, kCmdTestSquare);
    EXPECT_EQ(record.FWaitingReply, 0);
    EXPECT_TRUE(link.Writes().empty());
}

TEST(CommandDispatcher, NextQueryWaitsUntilTheReplyIsParsedOnAnotherThread) {
    MachineRecord record;
    Link link;
    CommandDispatcher d = MakeDispatcher(record, link);
    std::atomic<int> waitsWhileOutstanding{0};
    d.SetWaitHook([&](std::chrono::milliseconds step) {
        ++waitsWhileOutstanding;
        std::this_thread::sleep_for(step);
    });

    d.SendCommand(kCmdHardClipLimits);
    std::atomic<bool> secondWritten{false};
    std::thread ui([&] {
        d.SendCommand(kCmdReadParameters);
        secondWritten = true;
    });
    // The second query is held back while the first reply is outstanding.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (waitsWhileOutstanding < 20 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    ASSERT_GE(waitsWhileOutstanding, 20) << "the dispatcher did not wait";
    EXPECT_FALSE(secondWritten);
    EXPECT_EQ(link.Writes().size(), 1u);

    ParseReply(record, "0,0,40000,20000");
    ui.join();
    EXPECT_TRUE(secondWritten);
    EXPECT_EQ(record.Read().FPaperLength, 1000.0);
    ASSERT_EQ(link.Writes().size(), 2u);
    EXPECT_EQ(link.Writes()[1], "\x1b.R1:");
    EXPECT_EQ(record.FPendingCommand, kCmdReadParameters);
}

TEST(CommandDispatcher, BoundedWaitGivesUpAndStaysUsable) {
    MachineRecord record;
    Link link;
    CommandDispatcher d = MakeDispatcher(record, link);
    d.SetReplyBound(50ms);

    d.SendCommand(kCmdReadIdentity);
    try {
        d.SendCommand(kCmdReadScale);
        FAIL() << "expected NoAnswerError";
    } catch (const NoAnswerError& e) {
        EXPECT_STREQ(e.what(), "The machine did not answer.");
    }
    EXPECT_EQ(record.FWaitingReply, 0);
    EXPECT_EQ(record.FPendingCommand, kCmdReadIdentity);
    EXPECT_EQ(link.Writes().size(), 1u) << "nothing written after the bound expired";

    d.SendCommand(kCmdReadScale);
    EXPECT_EQ(link.Writes().size(), 2u);
    EXPECT_EQ(record.FPendingCommand, kCmdReadScale);
}

TEST(CommandDispatcher, FailedWriteEndsAtOnceAndLeavesNoReplyOutstanding) {
    MachineRecord record;
    Link link;
    CommandDispatcher d = MakeDispatcher(record, link);
    d.SetReplyBound(60s); // a wait for the reply would outlast the test
    link.refuse = "The serial port is not open.";
    for (CommandCode code : {kCmdHardClipLimits, kCmdTestSquare}) {
        try {
            d.SendCommand(code, {"500.0", "500.0", "", "", false, '.'});
            FAIL() << "expected LinkWriteError for code " << code;
        } catch (const LinkWriteError& e) {
            EXPECT_STREQ(e.what(),
                         "The machine could not be written to. The serial port is not open.");
        }
        EXPECT_EQ(record.FWaitingReply, 0) << code;
    }
    EXPECT_EQ(link.wakes, 0) << "no reply is due for bytes that did not go out";

    // The next query goes out at once; had it to wait, the bound would end it with an error.
    link.refuse.clear();
    d.SetReplyBound(2s);
    d.SendCommand(kCmdReadParameters);
    EXPECT_EQ(link.Writes(), (std::vector<std::string>{"\x1b.R1:"}));
}

} // namespace
} // namespace zopra
