#include "link/ReceiveThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <string>
#include <vector>

namespace zopra {
namespace {

using namespace std::chrono_literals;

// A link whose reads hand out prepared chunks, one chunk per read.
class FakeLinks : public LinkReader {
public:
    std::atomic<LinkKind> kind{kLinkSerial};
    std::atomic<bool> serialOpen{true};
    std::atomic<std::uint64_t> openings{0};

    void Queue(std::string chunk) {
        std::lock_guard lock(mutex_);
        chunks_.push_back(std::move(chunk));
    }

    LinkKind Kind() const override { return kind; }
    std::uint64_t Openings() const override { return openings; }
    bool SerialOpen() override { return serialOpen; }
    int SerialInQueCount() override {
        std::lock_guard lock(mutex_);
        return chunks_.empty() ? 0 : static_cast<int>(chunks_.front().size());
    }
    int SerialRead(char* buffer, int count) override { return Take(buffer, count); }
    int PrinterRead(char* buffer, int capacity) override { return Take(buffer, capacity); }
    std::optional<int> UsbReceive(char* buffer, int capacity) override {
        {
            std::lock_guard lock(mutex_);
            if (chunks_.empty())
                return std::nullopt;
        }
        return Take(buffer, capacity);
    }

private:
    int Take(char* buffer, int capacity) {
        std::lock_guard lock(mutex_);
        if (chunks_.empty())
            return 0;
        std::string chunk = chunks_.front();
        chunks_.pop_front();
        const int n = std::min(capacity, static_cast<int>(chunk.size()));
        std::copy_n(chunk.data(), n, buffer);
        return n;
    }

    std::mutex mutex_;
    std::deque<std::string> chunks_;
};

// Collects delivered answers; waits are bounded.
class Replies {
public:
    void Add(std::string_view reply) {
        {
            std::lock_guard lock(mutex_);
            replies_.emplace_back(reply);
        }
        changed_.notify_all();
    }
    bool WaitFor(std::size_t count, std::chrono::milliseconds bound = 5s) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, bound, [&] { return replies_.size() >= count; });
    }
    std::vector<std::string> All() {
        std::lock_guard lock(mutex_);
        return replies_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> replies_;
};

struct ReadThreadTest : ::testing::Test {
    FakeLinks links;
    Replies replies;
    ReadThread thread{links, [this](std::string_view r) { replies.Add(r); }};
};

TEST_F(ReadThreadTest, TwoLinesInOneReadAreDeliveredAcrossAResume) {
    links.Queue("12,34\r56\r");
    thread.Resume();
    ASSERT_TRUE(replies.WaitFor(1));
    // Suspended after the first line: the second waits for the next wake-up.
    EXPECT_FALSE(replies.WaitFor(2, 150ms));
    thread.Resume();
    ASSERT_TRUE(replies.WaitFor(2));
    EXPECT_EQ(replies.All(), (std::vector<std::string>{"12,34", "56"}));
}

TEST_F(ReadThreadTest, EarlyWakeUpIsKept) {
    // The dispatcher may wake the thread before it has suspended itself.
    links.Queue("A\rB\r");
    thread.Resume();
    thread.Resume(); // counts once
    ASSERT_TRUE(replies.WaitFor(1));
    thread.Resume();
    ASSERT_TRUE(replies.WaitFor(2));
    EXPECT_EQ(replies.All(), (std::vector<std::string>{"A", "B"}));
}

TEST_F(ReadThreadTest, ClosedPortDeliversNothingNotEvenLeftovers) {
    links.Queue("A\rB\r");
    thread.Resume();
    ASSERT_TRUE(replies.WaitFor(1));
    links.serialOpen = false;
    thread.Resume();
    EXPECT_FALSE(replies.WaitFor(2, 150ms));
    links.serialOpen = true;
    links.Queue("C\r");
    ASSERT_TRUE(replies.WaitFor(2));
    EXPECT_EQ(replies.All(), (std::vector<std::string>{"A", "C"}));
}

TEST_F(ReadThreadTest, UsbLinksDeliverOneReadAsOneAnswer) {
    links.kind = kLinkPrinterClass; // printer class: the CR stays in the answer
    links.Queue("A,B\r");
    thread.Resume();
    ASSERT_TRUE(replies.WaitFor(1));
    links.kind = kLinkVendorUsb; // vendor library: whatever one read returns, split or glued
    links.Queue("x,1;\ry,2;");
    thread.Resume();
    ASSERT_TRUE(replies.WaitFor(2));
    EXPECT_EQ(replies.All(), (std::vector<std::string>{"A,B\r", "x,1;\ry,2;"}));
}

TEST_F(ReadThreadTest, UsbAnswerEndsAtItsFirstZeroByte) {
    links.kind = kLinkPrinterClass;
    links.Queue(std::string("A,B\0junk", 8));
    thread.Resume();
    ASSERT_TRUE(replies.WaitFor(1));
    links.kind = kLinkVendorUsb;
    links.Queue(std::string("x,1;\0\0y", 7));
    thread.Resume();
    ASSERT_TRUE(replies.WaitFor(2));
    EXPECT_EQ(replies.All(), (std::vector<std::string>{"A,B", "x,1;"}));
}

// Every opening of a link, and every change of link kind, starts the assembly afresh: bytes
// of an ended connection are never delivered, and no other link's read reaches a serial
// remainder.
TEST(ReadThread, BytesOfAnEndedConnectionAreNeverDelivered) {
    struct Step {
        LinkKind kind;
        bool reopened; // the link was closed and opened again while the thread was suspended
        std::string bytes;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> delivered;
    };
    const Case cases[] = {
        {"port reopened while suspended",
         {{kLinkSerial, false, "A\rB\r"}, {kLinkSerial, true, "C\r"}},
         {"A", "C"}},
        {"printer-class answer in between",
         {{kLinkSerial, false, "A\rBCDEF\r"},
          {kLinkPrinterClass, false, "xyz"},
          {kLinkSerial, false, "G\r"}},
         {"A", "xyz", "G"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeLinks links;
        Replies replies;
        ReadThread thread(links, [&](std::string_view r) { replies.Add(r); });
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            links.kind = step.kind;
            if (step.reopened)
                ++links.openings;
            links.Queue(step.bytes);
            thread.Resume();
            ASSERT_TRUE(replies.WaitFor(i + 1));
        }
        EXPECT_FALSE(replies.WaitFor(c.steps.size() + 1, 100ms));
        EXPECT_EQ(replies.All(), c.delivered);
    }
}

TEST_F(ReadThreadTest, StopEndsAPollingThread) {
    thread.Resume(); // polls an empty link
    thread.Stop();
    EXPECT_TRUE(replies.All().empty());
}

TEST(ReadThread, StopEndsASuspendedThreadAndAThrowingHandlerDoesNotEndIt) {
    FakeLinks links;
    Replies replies;
    ReadThread thread(links, [&](std::string_view r) {
        replies.Add(r);
        throw std::runtime_error("parser trouble");
    });
    links.Queue("A\rB\r");
    thread.Resume();
    ASSERT_TRUE(replies.WaitFor(1));
    thread.Resume();
    ASSERT_TRUE(replies.WaitFor(2));
    thread.Stop(); // suspended now
}

} // namespace
} // namespace zopra
