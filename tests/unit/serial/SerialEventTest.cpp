// The event thread: events reach the handlers, failed waits do not spin, and Close ends the
// thread at once without deadlocking against a hand-over and without a handler after it.
#include "support/BoundedWait.h"
#include "support/FakeSerialDriver.h"
#include "link/SerialComponent.h"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace zopra {
namespace {

using testing::FakeSerial;
using testing::FakeSerialDriver;
using testing::ReturnsInTime;

// Stands in for the interface thread's event queue: tasks run when the test drains it.
class InterfaceQueue {
public:
    // A queued call: hands the task over and returns.
    TInterfaceInvoker Queued() {
        return [this](std::function<void()> task) { Post(std::move(task)); };
    }
    // A blocking queued call: hands the task over and waits until the queue ran it.
    TInterfaceInvoker Blocking() {
        return [this](std::function<void()> task) {
            auto ran = std::make_shared<std::promise<void>>();
            std::future<void> done = ran->get_future();
            Post([task = std::move(task), ran] {
                task();
                ran->set_value();
            });
            done.wait();
        };
    }
    bool WaitForTask() {
        std::unique_lock lock(mutex_);
        return posted_.wait_for(lock, std::chrono::seconds(10), [&] { return !tasks_.empty(); });
    }
    int Drain() {
        std::deque<std::function<void()>> tasks;
        {
            std::lock_guard guard(mutex_);
            tasks.swap(tasks_);
        }
        for (auto& task : tasks)
            task();
        return static_cast<int>(tasks.size());
    }

private:
    void Post(std::function<void()> task) {
        std::lock_guard guard(mutex_);
        tasks_.push_back(std::move(task));
        posted_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> tasks_;
};

class CommEventTest : public ::testing::Test {
protected:
    void SetUp() override {
        comm.SetDeviceName("COM2");
        comm.OnRxChar = [this](TThreadComm*, uint32_t count) {
            rxChars += static_cast<int>(count);
            std::lock_guard guard(fake->mutex);
            fake->changed.notify_all();
        };
    }

    std::shared_ptr<FakeSerial> fake = std::make_shared<FakeSerial>();
    TComm comm{std::make_shared<FakeSerialDriver>(fake)};
    std::atomic<int> rxChars{0};
};

TEST_F(CommEventTest, AnEventReachesTheHandlerOnTheEventThreadByDefault) {
    fake->comStat.cbInQue = 4;
    comm.Open();
    fake->PushEvent(platform::kEvRxChar);
    EXPECT_TRUE(fake->WaitFor([&] { return rxChars.load() == 4; }));
    fake->PushEvent(platform::kEvRxChar);
    EXPECT_TRUE(fake->WaitFor([&] { return rxChars.load() == 8; }));
    comm.Close();
}

TEST_F(CommEventTest, TheThreadSetsTheMaskOfTheMonitoredEvents) {
    comm.SetMonitorEvents({evRxChar, evBreak});
    comm.Open();
    EXPECT_EQ(fake->CountCalls("SetEventMask 65"), 1);
    comm.Close();
}

TEST_F(CommEventTest, CloseWhileTheThreadWaitsReturnsAndNoHandlerRunsAfterIt) {
    fake->comStat.cbInQue = 1;
    comm.Open();
    ASSERT_TRUE(fake->WaitFor([&] { return fake->inWait; }));
    EXPECT_TRUE(ReturnsInTime([&] { comm.Close(); }));
    EXPECT_EQ(fake->CountCalls("WakeEventWait"), 1);
    EXPECT_EQ(fake->portsAlive, 0);
    fake->PushEvent(platform::kEvRxChar);
    EXPECT_EQ(rxChars.load(), 0);
}

TEST_F(CommEventTest, FailedWaitsBackOffAndCloseStillEndsTheThread) {
    fake->waitError = 995; // Wine on a pty fails every wait at once
    comm.Open();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    {
        std::lock_guard guard(fake->mutex);
        // A spinning thread would have waited thousands of times; resting 50 ms between
        // waits allows at most about seven.
        EXPECT_GE(fake->waits, 1);
        EXPECT_LE(fake->waits, 12);
    }
    EXPECT_TRUE(ReturnsInTime([&] { comm.Close(); }));
}

TEST_F(CommEventTest, HandOverThroughTheInterfaceThread) {
    InterfaceQueue queue;
    comm.SetInterfaceInvoker(queue.Queued());
    fake->comStat.cbInQue = 3;
    comm.Open();
    fake->PushEvent(platform::kEvRxChar);
    ASSERT_TRUE(queue.WaitForTask());
    EXPECT_EQ(rxChars.load(), 0) << "the handler ran before the interface thread took it";
    {
        // The event thread waits for the hand-over before it waits for the next event.
        std::lock_guard guard(fake->mutex);
        EXPECT_EQ(fake->waits, 1);
    }
    EXPECT_EQ(queue.Drain(), 1);
    EXPECT_EQ(rxChars.load(), 3);
    EXPECT_TRUE(fake->WaitFor([&] { return fake->waits == 2; }));
    comm.Close();
}

TEST_F(CommEventTest, CloseAbandonsAPendingHandOver) {
    struct Case {
        const char* name;
        bool blocking;
    };
    for (const Case c : {Case{"queued", false}, Case{"blocking", true}}) {
        fake = std::make_shared<FakeSerial>();
        InterfaceQueue queue;
        std::atomic<int> handled{0};
        {
            TComm port(std::make_shared<FakeSerialDriver>(fake));
            port.SetDeviceName("COM2");
            port.OnComStatEvent = [&](TThreadComm*, uint32_t, TComStat) { ++handled; };
            port.SetInterfaceInvoker(c.blocking ? queue.Blocking() : queue.Queued());
            port.Open();
            fake->PushEvent(platform::kEvRxChar);
            ASSERT_TRUE(queue.WaitForTask()) << c.name;
            // The interface thread closes the port instead of taking the hand-over.
            EXPECT_TRUE(ReturnsInTime([&] { port.Close(); })) << c.name;
            EXPECT_FALSE(port.Enabled());
            EXPECT_EQ(fake->portsAlive, 0) << c.name << ": the handle stayed open";
        }
        // Back in its event loop, the interface thread runs the abandoned task: no handler.
        EXPECT_EQ(queue.Drain(), 1) << c.name;
        EXPECT_EQ(handled.load(), 0) << c.name;
    }
}

TEST_F(CommEventTest, AHandlerMayCloseThePort) {
    std::atomic<int> later{0};
    std::atomic<bool> closeOnce{true};
    comm.OnRxChar = [&](TThreadComm* sender, uint32_t) {
        if (closeOnce.exchange(false))
            sender->Close();
    };
    comm.OnTxEmpty = [&](TThreadComm*) { ++later; };
    comm.OnComStatEvent = [&](TThreadComm*, uint32_t, TComStat) { ++later; };
    fake->comStat.cbInQue = 1;
    comm.Open();
    fake->PushEvent(platform::kEvRxChar | platform::kEvTxEmpty);
    ASSERT_TRUE(fake->WaitFor([&] { return fake->portsAlive == 0; }));
    EXPECT_FALSE(comm.Enabled());
    EXPECT_EQ(later.load(), 0) << "handlers ran after the port was closed";
    // The component opens again as usual.
    comm.Open();
    EXPECT_TRUE(comm.Enabled());
    comm.Close();
}

TEST_F(CommEventTest, CloseWaitsForAHandlerRunningOnAnotherThread) {
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> finished{false};
    comm.OnComStatEvent = [&](TThreadComm*, uint32_t, TComStat) {
        entered.set_value();
        released.wait_for(std::chrono::seconds(10));
        finished = true;
    };
    comm.Open();
    fake->PushEvent(platform::kEvTxEmpty);
    ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    std::atomic<bool> finishedAtClose{false};
    std::thread closer([&] {
        comm.Close();
        finishedAtClose = finished.load();
    });
    // Close has woken the thread and now waits for the handler.
    EXPECT_TRUE(fake->WaitFor(
        [&] { return std::count(fake->calls.begin(), fake->calls.end(), "WakeEventWait") == 1; }));
    release.set_value();
    closer.join();
    EXPECT_TRUE(finishedAtClose.load()) << "Close returned while a handler was still running";
}

TEST_F(CommEventTest, DestroyingAnOpenComponentClosesIt) {
    {
        TComm port(std::make_shared<FakeSerialDriver>(fake));
        port.SetDeviceName("COM2");
        port.Open();
        ASSERT_TRUE(fake->WaitFor([&] { return fake->inWait; }));
    }
    EXPECT_EQ(fake->portsAlive, 0);
}

} // namespace
} // namespace zopra
