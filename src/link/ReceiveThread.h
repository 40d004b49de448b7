#pragma once
// The receive thread: the only reader of the open link. It waits for the answer to one
// query, hands it to the reply handler (the parser) on its own thread, and suspends
// itself until the dispatcher wakes it for the next query.
#include "link/LineAssembler.h"
#include "link/LinkKind.h"
#include "protocol/CommandDispatcher.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

namespace zopra {

// What the receive thread reads, looked up afresh on every pass so that it follows a
// connection the user opens while it waits.
class LinkReader {
public:
    virtual ~LinkReader() = default;

    virtual LinkKind Kind() const = 0;
    // Counts the openings of links (and every replacement of their handles). When it
    // changes, whatever was read before belongs to an ended connection.
    virtual std::uint64_t Openings() const = 0;

    virtual bool SerialOpen() = 0;
    virtual int SerialInQueCount() = 0;
    virtual int SerialRead(char* buffer, int count) = 0;

    // One bounded read on the printer-class read handle: the bytes read, 0 when nothing
    // came within the bound, negative when the read failed.
    virtual int PrinterRead(char* buffer, int capacity) = 0;

    // One receive cycle of the vendor library: UsbQueryInput, and when that is not
    // negative, UsbRead, both given the same count. nullopt when nothing waits; else the
    // bytes read, negative when the read failed.
    virtual std::optional<int> UsbReceive(char* buffer, int capacity) = 0;

    // True once the open link reported its device gone: a failed read then brings no answer
    // at all, and the dispatcher's wait ends on its own.
    virtual bool LinkLost() const { return false; }
};

class ReadThread final : public AbandonedReplies {
public:
    using ReplyHandler = std::function<void(std::string_view reply)>;

    static constexpr int kBufferSize = 4096;
    static constexpr int kPrinterReadSize = 256;
    static constexpr int kUsbReadSize = 128;
    static constexpr std::chrono::milliseconds kPassInterval{20};

    // The thread starts suspended: nothing is read until the first Resume.
    ReadThread(LinkReader& links, ReplyHandler onReply);
    ~ReadThread();

    ReadThread(const ReadThread&) = delete;
    ReadThread& operator=(const ReadThread&) = delete;

    // Wakes the thread for the next answer. A wake-up that arrives before the thread has
    // suspended itself is kept, not lost; several wake-ups before it looks count as one.
    void Resume();

    // Ends the loop and joins the thread; also while it is suspended or polling.
    void Stop();

    // AbandonedReplies: the dispatcher's bound gave up on the answer this thread waits for.
    // That answer is dropped when it comes, and the thread suspends as if it had delivered.
    bool Abandon() override;
    bool AbandonedPending() override;
    void Forget() override;

private:
    void Execute();
    bool WaitForWake();   // false when stopping
    bool PassInterval();  // false when stopping
    bool LinkChanged();
    bool TakeStopWaiting();
    std::optional<std::string_view> Pass();
    std::optional<std::string_view> SerialPass();
    bool ClaimAnswer();   // false when the answer is to be dropped
    void Deliver(std::string_view reply);

    LinkReader& links_;
    ReplyHandler onReply_;

    // The bytes of the current USB read. Serial bytes go to the assembler's own storage, so
    // that no other link's read can overwrite a serial remainder.
    std::array<char, kBufferSize> receive_{};
    LineAssembler assembler_;
    LinkKind lastKind_;
    std::uint64_t lastOpenings_;

    std::mutex mutex_;
    std::condition_variable wakeUp_;
    bool wakePending_ = false;
    bool stopping_ = false;
    bool waiting_ = false;     // woken, and the answer has not been claimed yet
    bool delivering_ = false;  // an answer is in the reply handler
    bool abandoned_ = false;   // the answer waited for is to be dropped
    bool stopWaiting_ = false; // suspend at the next pass, the answer is no longer wanted
    std::thread thread_;
};

} // namespace zopra
