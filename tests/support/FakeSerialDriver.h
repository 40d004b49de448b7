#pragma once
// A serial driver for the component's tests: it does what its script says, records every
// call, and notes when a transfer starts while another one is still under way.
#include "platform/SerialDriver.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace zopra::testing {

namespace pf = platform;

// What the fake ports do, and what was done to them. Shared by the test and the driver.
struct FakeSerial {
    std::mutex mutex;
    std::condition_variable changed;

    // Opening.
    std::set<std::string> existing{"COM2"};
    int openError = pf::kErrorFileNotFound;
    bool isCharacter = true;
    int typeError = 0;

    // Errors returned by the calls (0: success).
    int setEventMaskError = 0;
    int setupError = 0;
    int setStateError = 0;
    int setTimeoutsError = 0;
    int clearErrorError = 0;
    int escapeError = 0;
    int modemError = 0;

    // What the port reports.
    pf::SerialControlBlock driverState{};
    uint32_t modemStatus = 0;
    uint32_t lineErrors = 0;
    pf::SerialComStat comStat{};

    // Transfers. writePending: 0, the write is done at once; 1, it is pending and WaitWrite
    // finds it done; -1, it never ends (WaitWrite reports Incomplete). writeBounds: the bound
    // of each WaitWrite. readPending: the read finishes in WaitRead instead of at once.
    int writeStartError = 0;
    int writePending = 0;
    int writeWaitError = 0;
    std::vector<long long> writeBounds;
    bool readPending = false;
    int readWaitError = 0;
    std::string written;
    std::string readable;

    // Event waits: queued results, or every wait failing with waitError.
    std::deque<pf::SerialWaitResult> events;
    int waitError = 0;
    bool woken = false;
    int waits = 0;
    bool inWait = false;

    // The port's settings as the last successful calls left them.
    uint32_t eventMask = 0;
    uint32_t inQueue = 0;
    uint32_t outQueue = 0;

    // Record.
    std::vector<std::string> calls;
    std::vector<pf::SerialControlBlock> states;
    std::vector<pf::SerialTimeouts> timeouts;
    int opens = 0;
    int portsAlive = 0;

    // Overlap detection: the transfers under way right now.
    std::atomic<int> transfers{0};
    std::atomic<bool> overlapped{false};

    void Record(std::string call) {
        std::lock_guard guard(mutex);
        calls.push_back(std::move(call));
    }
    std::vector<std::string> Calls() {
        std::lock_guard guard(mutex);
        return calls;
    }
    void ClearCalls() {
        std::lock_guard guard(mutex);
        calls.clear();
    }
    int CountCalls(const std::string& name) {
        std::lock_guard guard(mutex);
        return static_cast<int>(std::count(calls.begin(), calls.end(), name));
    }
    void PushEvent(uint32_t mask) {
        std::lock_guard guard(mutex);
        events.push_back({pf::SerialWait::Event, mask, 0});
        changed.notify_all();
    }
    // Waits (bounded) until the predicate holds under the mutex.
    template <typename Predicate> bool WaitFor(Predicate predicate) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), predicate);
    }
};

class FakeSerialPort final : public pf::SerialPort {
public:
    explicit FakeSerialPort(std::shared_ptr<FakeSerial> fake) : fake_(std::move(fake)) {}
    ~FakeSerialPort() override {
        std::lock_guard guard(fake_->mutex);
        fake_->calls.push_back("CloseHandle");
        --fake_->portsAlive;
        fake_->changed.notify_all();
    }

    bool IsSerialPort(int& error) override {
        fake_->Record("IsSerialPort");
        std::lock_guard guard(fake_->mutex);
        error = fake_->typeError;
        return fake_->isCharacter;
    }
    int SetEventMask(uint32_t mask) override {
        fake_->Record("SetEventMask " + std::to_string(mask));
        std::lock_guard guard(fake_->mutex);
        if (fake_->setEventMaskError == 0)
            fake_->eventMask = mask;
        return fake_->setEventMaskError;
    }
    int SetupBuffers(uint32_t in, uint32_t out) override {
        fake_->Record("SetupBuffers " + std::to_string(in) + " " + std::to_string(out));
        std::lock_guard guard(fake_->mutex);
        if (fake_->setupError == 0) {
            fake_->inQueue = in;
            fake_->outQueue = out;
        }
        return fake_->setupError;
    }
    int GetState(pf::SerialControlBlock& block) override {
        fake_->Record("GetState");
        std::lock_guard guard(fake_->mutex);
        block = fake_->driverState;
        return 0;
    }
    int SetState(const pf::SerialControlBlock& block) override {
        fake_->Record("SetState");
        std::lock_guard guard(fake_->mutex);
        fake_->states.push_back(block);
        if (fake_->setStateError == 0)
            fake_->driverState = block;
        return fake_->setStateError;
    }
    int SetTimeouts(const pf::SerialTimeouts& timeouts) override {
        fake_->Record("SetTimeouts");
        std::lock_guard guard(fake_->mutex);
        fake_->timeouts.push_back(timeouts);
        return fake_->setTimeoutsError;
    }

    pf::SerialIoResult StartWrite(const void* buffer, uint32_t count) override {
        fake_->Record("StartWrite");
        Enter();
        {
            std::lock_guard guard(fake_->mutex);
            fake_->written.append(static_cast<const char*>(buffer), count);
            writeCount_ = count;
            pending_ = fake_->writePending;
            if (fake_->writeStartError != 0) {
                Leave();
                return {pf::SerialIo::Failed, 0, fake_->writeStartError};
            }
        }
        if (pending_ == 0) {
            Leave();
            return {pf::SerialIo::Done, count, 0};
        }
        return {pf::SerialIo::Pending, 0, 0};
    }
    pf::SerialIoResult WaitWrite(std::chrono::milliseconds bound) override {
        fake_->Record("WaitWrite");
        std::this_thread::yield(); // give an unguarded reader the chance to overlap
        std::lock_guard guard(fake_->mutex);
        fake_->writeBounds.push_back(bound.count());
        if (fake_->writeWaitError != 0) {
            Leave();
            return {pf::SerialIo::Failed, 1, fake_->writeWaitError};
        }
        if (pending_ < 0)
            return {pf::SerialIo::Incomplete, 0, 0};
        Leave();
        return {pf::SerialIo::Done, writeCount_, 0};
    }
    uint32_t CancelWrite() override {
        fake_->Record("CancelWrite");
        Leave();
        return writeCount_ / 2;
    }

    pf::SerialIoResult StartRead(void* buffer, uint32_t count) override {
        fake_->Record("StartRead");
        Enter();
        std::lock_guard guard(fake_->mutex);
        const uint32_t n = std::min<uint32_t>(count, static_cast<uint32_t>(fake_->readable.size()));
        std::copy_n(fake_->readable.begin(), n, static_cast<char*>(buffer));
        fake_->readable.erase(0, n);
        readCount_ = n;
        if (fake_->readPending)
            return {pf::SerialIo::Pending, 0, 0};
        Leave();
        return {pf::SerialIo::Done, n, 0};
    }
    pf::SerialIoResult WaitRead() override {
        fake_->Record("WaitRead");
        std::this_thread::yield();
        Leave();
        std::lock_guard guard(fake_->mutex);
        if (fake_->readWaitError != 0)
            return {pf::SerialIo::Failed, readCount_, fake_->readWaitError};
        return {pf::SerialIo::Done, readCount_, 0};
    }

    int ClearError(uint32_t& errors, pf::SerialComStat& status) override {
        fake_->Record("ClearError");
        std::lock_guard guard(fake_->mutex);
        if (fake_->clearErrorError != 0)
            return fake_->clearErrorError;
        errors = fake_->lineErrors;
        status = fake_->comStat;
        return 0;
    }
    int Purge(uint32_t flags) override {
        fake_->Record("Purge " + std::to_string(flags));
        return 0;
    }
    int Escape(uint32_t function) override {
        fake_->Record("Escape " + std::to_string(function));
        return fake_->escapeError;
    }
    int GetModemStatus(uint32_t& status) override {
        fake_->Record("GetModemStatus");
        std::lock_guard guard(fake_->mutex);
        status = fake_->modemStatus;
        return fake_->modemError;
    }

    pf::SerialWaitResult WaitEvent() override {
        std::unique_lock lock(fake_->mutex);
        ++fake_->waits;
        fake_->inWait = true;
        fake_->changed.notify_all();
        fake_->changed.wait(
            lock, [&] { return fake_->woken || fake_->waitError != 0 || !fake_->events.empty(); });
        fake_->inWait = false;
        fake_->changed.notify_all();
        if (fake_->woken)
            return {pf::SerialWait::Woken, 0, 0};
        if (fake_->waitError != 0)
            return {pf::SerialWait::Failed, 0, fake_->waitError};
        pf::SerialWaitResult result = fake_->events.front();
        fake_->events.pop_front();
        return result;
    }
    void WakeEventWait() override {
        std::lock_guard guard(fake_->mutex);
        fake_->calls.push_back("WakeEventWait");
        fake_->woken = true;
        fake_->changed.notify_all();
    }

private:
    void Enter() {
        if (fake_->transfers.fetch_add(1) != 0)
            fake_->overlapped = true;
    }
    void Leave() { fake_->transfers.fetch_sub(1); }

    std::shared_ptr<FakeSerial> fake_;
    uint32_t writeCount_ = 0;
    int pending_ = 0;
    uint32_t readCount_ = 0;
};

class FakeSerialDriver final : public pf::SerialDriver {
public:
    explicit FakeSerialDriver(std::shared_ptr<FakeSerial> fake) : fake_(std::move(fake)) {}

    std::shared_ptr<pf::SerialPort> Open(const std::string& deviceName, int& error) override {
        std::lock_guard guard(fake_->mutex);
        fake_->calls.push_back("Open " + deviceName);
        if (!fake_->existing.count(deviceName)) {
            error = fake_->openError;
            return nullptr;
        }
        ++fake_->opens;
        ++fake_->portsAlive;
        // Each port waits afresh: a wake-up belongs to the port that was woken.
        fake_->woken = false;
        return std::make_shared<FakeSerialPort>(fake_);
    }

private:
    std::shared_ptr<FakeSerial> fake_;
};

} // namespace zopra::testing
