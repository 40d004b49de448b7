#pragma once
// Pairs each query with its reply: a command goes out only when no reply is outstanding,
// the code of the command is recorded for the reply parser, and the receive thread is
// woken when an answer is due.
#include "protocol/Commands.h"
#include "protocol/LinkWrite.h"
#include "protocol/MachineSettings.h"

#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace zopra {

// The outstanding reply did not come within the bound.
class NoAnswerError : public std::runtime_error {
public:
    NoAnswerError() : std::runtime_error("The machine did not answer.") {}
    // The same with more said (the window adds what to check).
    explicit NoAnswerError(const std::string& message) : std::runtime_error(message) {}
};

// The link reported its device gone while a reply was outstanding: the answer cannot come,
// so the wait ends at once instead of at the bound. Every caller that handles a reply that
// did not come handles this one too.
class ConnectionLostError : public NoAnswerError {
public:
    ConnectionLostError() : NoAnswerError(std::string(kConnectionLostMessage)) {}
};

// The receiver's side of an answer that the reply bound has given up on. Without it the
// receiver would still be waiting for that answer, and read it, when it comes late, as the
// answer to whatever query is outstanding then.
class AbandonedReplies {
public:
    // The answer being waited for is to be dropped when it comes. False when it has come
    // after all and is being read now (the outstanding flag is about to clear).
    virtual bool Abandon() = 0;
    // True while an answer given up on has not come yet.
    virtual bool AbandonedPending() = 0;
    // Stops waiting for it: the cutter did not answer that query at all.
    virtual void Forget() = 0;

protected:
    ~AbandonedReplies() = default;
};

class CommandDispatcher {
public:
    using Writer = std::function<LinkWriteResult(const std::string& bytes)>;
    using Wake = std::function<void()>;
    // Waits a little while the dispatcher polls the flag. The window keeps itself alive
    // here (repaints, no user input); the default is a plain sleep.
    using WaitHook = std::function<void(std::chrono::milliseconds)>;
    // True once the open link has reported its device gone.
    using LinkLost = std::function<bool()>;

    static constexpr std::chrono::milliseconds kDefaultReplyBound{10000};
    static constexpr std::chrono::milliseconds kPollInterval{1};
    static constexpr std::chrono::milliseconds kPauseBeforeWake{30};
    // The least a reply is waited for inside a series whose deadline has passed.
    static constexpr std::chrono::milliseconds kSeriesGrace{1000};

    // writer sends bytes to whatever link is open; wakeReceiver resumes the receive
    // thread after a query has gone out.
    CommandDispatcher(MachineRecord& record, Writer writer, Wake wakeReceiver);

    void SetWaitHook(WaitHook hook);
    void SetReplyBound(std::chrono::milliseconds bound);
    std::chrono::milliseconds ReplyBound() const { return replyBound_; }
    // The receiver that drops an answer given up on (none: nothing is dropped).
    void SetAbandonedReplies(AbandonedReplies* receiver);
    // Lets the wait for a reply end at once with ConnectionLostError (none: only the bound).
    void SetLinkLost(LinkLost linkLost);

    // Waits until no reply is outstanding (at most the reply bound, then NoAnswerError
    // and the outstanding reply is given up: the receiver drops it when it comes late).
    // A reply given up on that has not come yet is waited for, up to the bound too, before
    // anything is written, so that every reply pairs with its own query. Then it records
    // the code, builds its text from
    // inputs and the record, marks a query as outstanding, writes, and for a query pauses
    // 30 ms and wakes the receiver. A field that is not a number throws ConversionError
    // before anything is written. A write that fails throws LinkWriteError at once; a
    // query whose bytes did not go out is no longer outstanding, so nothing waits for it.
    void SendCommand(CommandCode code, const CommandInputs& inputs = {});

    // Waits until the outstanding reply, if any, has been read: the same bounded wait that
    // SendCommand does first, for a caller that needs the last reply of a series before it
    // goes on (NoAnswerError when it does not come).
    void WaitForReply() { WaitWhileReplyOutstanding(); }

    // One bound for a whole series of queries (a parameter read): while a Series lives, every
    // wait of the dispatcher also ends at the series' deadline, so a cutter that does not
    // answer costs one reply bound in all, not one for each query (each reply is still given
    // kSeriesGrace). Series nest; the earlier deadline holds.
    class Series {
    public:
        explicit Series(CommandDispatcher& dispatcher);
        ~Series() { dispatcher_.seriesDeadline_ = previous_; }
        Series(const Series&) = delete;
        Series& operator=(const Series&) = delete;

    private:
        CommandDispatcher& dispatcher_;
        std::optional<std::chrono::steady_clock::time_point> previous_;
    };

private:
    void WaitWhileReplyOutstanding();

    MachineRecord& record_;
    Writer writer_;
    Wake wakeReceiver_;
    WaitHook waitHook_;
    std::chrono::milliseconds replyBound_ = kDefaultReplyBound;
    AbandonedReplies* abandoned_ = nullptr;
    LinkLost linkLost_;
    std::optional<std::chrono::steady_clock::time_point> seriesDeadline_;
};

} // namespace zopra
