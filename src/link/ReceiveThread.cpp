#include "link/ReceiveThread.h"

#include "platform/Trace.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>

namespace zopra {

namespace {

// A USB answer is zero-terminated text: bytes after a 0 byte in the same read are not part
// of it.
std::string_view UpToFirstZero(const char* bytes, int count) {
    const std::string_view read(bytes, static_cast<std::size_t>(std::max(count, 0)));
    return read.substr(0, read.find('\0'));
}

} // namespace

ReadThread::ReadThread(LinkReader& links, ReplyHandler onReply)
    : links_(links), onReply_(std::move(onReply)), lastKind_(links.Kind()),
      lastOpenings_(links.Openings()), thread_([this] { Execute(); }) {}

ReadThread::~ReadThread() {
    Stop();
}

void ReadThread::Resume() {
    {
        std::lock_guard lock(mutex_);
        wakePending_ = true;
    }
    wakeUp_.notify_one();
}

void ReadThread::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wakeUp_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

bool ReadThread::Abandon() {
    std::lock_guard lock(mutex_);
    if (delivering_)
        return false; // it came after all, and the parser is reading it now
    abandoned_ = waiting_ || wakePending_;
    return true;
}

bool ReadThread::AbandonedPending() {
    std::lock_guard lock(mutex_);
    return abandoned_;
}

void ReadThread::Forget() {
    std::lock_guard lock(mutex_);
    if (abandoned_) {
        abandoned_ = false;
        stopWaiting_ = true;
    }
}

bool ReadThread::WaitForWake() {
    std::unique_lock lock(mutex_);
    waiting_ = false;
    wakeUp_.wait(lock, [this] { return wakePending_ || stopping_; });
    wakePending_ = false;
    waiting_ = true;
    return !stopping_;
}

bool ReadThread::PassInterval() {
    std::unique_lock lock(mutex_);
    return !wakeUp_.wait_for(lock, kPassInterval, [this] { return stopping_; });
}

bool ReadThread::LinkChanged() {
    const LinkKind kind = links_.Kind();
    const std::uint64_t openings = links_.Openings();
    if (kind == lastKind_ && openings == lastOpenings_)
        return false;
    lastKind_ = kind;
    lastOpenings_ = openings;
    return true;
}

bool ReadThread::TakeStopWaiting() {
    std::lock_guard lock(mutex_);
    return std::exchange(stopWaiting_, false);
}

void ReadThread::Execute() {
    if (!WaitForWake())
        return;
    while (PassInterval()) {
        if (LinkChanged()) {
            // Every opening starts the assembly afresh: no byte of an ended connection is
            // ever delivered, and an answer given up on will not come on the new link.
            assembler_.Reset();
            std::lock_guard lock(mutex_);
            if (std::exchange(abandoned_, false))
                stopWaiting_ = true;
        }
        if (TakeStopWaiting()) {
            assembler_.Reset();
            if (!WaitForWake())
                return;
            continue;
        }
        const std::optional<std::string_view> answer = Pass();
        if (!answer)
            continue;
        if (ClaimAnswer()) {
            Deliver(*answer);
            std::lock_guard lock(mutex_);
            delivering_ = false;
        }
        if (!WaitForWake())
            return;
    }
}

bool ReadThread::ClaimAnswer() {
    std::lock_guard lock(mutex_);
    waiting_ = false;
    if (std::exchange(abandoned_, false))
        return false; // the late answer to a query the dispatcher gave up on
    delivering_ = true;
    return true;
}

void ReadThread::Deliver(std::string_view reply) {
    // The parser reports what it cannot read instead of throwing; anything else that
    // escapes must still not end the only reader of the link.
    try {
        onReply_(reply);
    } catch (const std::exception& error) {
        platform::TraceNote("the receive thread dropped an error of the reply handler",
                            error.what());
    } catch (...) {
        platform::TraceNote("the receive thread dropped an unknown error of the reply handler");
    }
}

std::optional<std::string_view> ReadThread::Pass() {
    switch (links_.Kind()) {
    case kLinkPrinterClass: {
        const int n = links_.PrinterRead(receive_.data(), kPrinterReadSize);
        if (n == 0 || (n < 0 && links_.LinkLost()))
            return std::nullopt; // nothing yet: keep polling like the other links
        // A failed read is an empty answer, so that the command sequence goes on.
        return UpToFirstZero(receive_.data(), std::min(n, kPrinterReadSize));
    }
    case kLinkSerial:
        return SerialPass();
    case kLinkVendorUsb: {
        const std::optional<int> n = links_.UsbReceive(receive_.data(), kUsbReadSize);
        if (!n)
            return std::nullopt;
        return UpToFirstZero(receive_.data(), std::min(*n, kUsbReadSize));
    }
    default:
        return std::nullopt;
    }
}

std::optional<std::string_view> ReadThread::SerialPass() {
    if (!links_.SerialOpen()) {
        // Whatever was left belongs to a closed connection.
        assembler_.Reset();
        return std::nullopt;
    }
    if (!assembler_.HasPending()) {
        const int waiting = std::min(links_.SerialInQueCount(), kBufferSize);
        if (waiting > 0) {
            const int n = std::clamp(links_.SerialRead(receive_.data(), waiting), 0, waiting);
            assembler_.Feed(std::string_view(receive_.data(), static_cast<std::size_t>(n)));
        }
    }
    return assembler_.TakeLine();
}

} // namespace zopra
