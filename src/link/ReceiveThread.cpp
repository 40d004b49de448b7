#include "link/ReceiveThread.h"

#include <algorithm>
#include <exception>
#include <string>

namespace zopra {

ReadThread::ReadThread(LinkReader& links, ReplyHandler onReply)
    : links_(links), onReply_(std::move(onReply)), thread_([this] { Execute(); }) {}

ReadThread::~ReadThread() { Stop(); }

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

bool ReadThread::WaitForWake() {
    std::unique_lock lock(mutex_);
    wakeUp_.wait(lock, [this] { return wakePending_ || stopping_; });
    wakePending_ = false;
    return !stopping_;
}

bool ReadThread::PassInterval() {
    std::unique_lock lock(mutex_);
    return !wakeUp_.wait_for(lock, kPassInterval, [this] { return stopping_; });
}

void ReadThread::Execute() {
    if (!WaitForWake())
        return;
    while (PassInterval()) {
        if (Pass() && !WaitForWake())
            return;
    }
}

void ReadThread::Deliver(std::string_view reply) {
    // The parser reports what it cannot read instead of throwing; anything else that
    // escapes must still not end the only reader of the link.
    try {
        onReply_(reply);
    } catch (...) {
    }
}

bool ReadThread::Pass() {
    switch (links_.Kind()) {
    case 2: {
        const int n = links_.PrinterRead(receive_.data(), kPrinterReadSize);
        if (n == 0)
            return false; // nothing yet: keep polling like the other links
        Deliver(n > 0 ? std::string_view(receive_.data(), n) : std::string_view());
        lineLength_ = 0;
        return true;
    }
    case 0:
        return SerialPass();
    case 1: {
        if (links_.UsbQueryInput() < 0)
            return false;
        const int n = links_.UsbRead(receive_.data(), kUsbReadSize);
        Deliver(n > 0 ? std::string_view(receive_.data(), std::min(n, kUsbReadSize))
                      : std::string_view());
        lineLength_ = 0;
        return true;
    }
    default:
        return false;
    }
}

bool ReadThread::SerialPass() {
    if (!links_.SerialOpen()) {
        // Whatever was left belongs to a closed connection.
        receivedCount_ = receivedPos_ = lineLength_ = 0;
        discardingLongLine_ = false;
        return false;
    }
    if (receivedPos_ >= receivedCount_) {
        receivedCount_ = receivedPos_ = 0;
        const int waiting = std::min(links_.SerialInQueCount(), kBufferSize);
        if (waiting > 0)
            receivedCount_ = std::clamp(links_.SerialRead(receive_.data(), waiting), 0, waiting);
    }
    while (receivedPos_ < receivedCount_) {
        const char c = receive_[receivedPos_++];
        if (c == '\r') {
            if (discardingLongLine_) {
                // The end of a line too long to hold: it is dropped, not delivered.
                discardingLongLine_ = false;
                lineLength_ = 0;
                continue;
            }
            Deliver(std::string_view(line_.data(), lineLength_));
            lineLength_ = 0;
            return true;
        }
        if (lineLength_ < kBufferSize - 1)
            line_[lineLength_++] = c;
        else
            discardingLongLine_ = true;
    }
    return false;
}

} // namespace zopra
