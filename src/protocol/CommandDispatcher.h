#pragma once
// Pairs each query with its reply: a command goes out only when no reply is outstanding,
// the code of the command is recorded for the reply parser, and the receive thread is
// woken when an answer is due.
#include "protocol/Commands.h"
#include "protocol/LinkWrite.h"
#include "protocol/MachineSettings.h"

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>

namespace zopra {

// The outstanding reply did not come within the bound.
class NoAnswerError : public std::runtime_error {
public:
    NoAnswerError() : std::runtime_error("The machine did not answer.") {}
};

class CommandDispatcher {
public:
    using Writer = std::function<LinkWriteResult(const std::string& bytes)>;
    using Wake = std::function<void()>;
    // Waits a little while the dispatcher polls the flag. The window keeps itself alive
    // here (repaints, no user input); the default is a plain sleep.
    using WaitHook = std::function<void(std::chrono::milliseconds)>;

    static constexpr std::chrono::milliseconds kDefaultReplyBound{10000};
    static constexpr std::chrono::milliseconds kPollInterval{1};
    static constexpr std::chrono::milliseconds kPauseBeforeWake{30};

    // writer sends bytes to whatever link is open; wakeReceiver resumes the receive
    // thread after a query has gone out.
    CommandDispatcher(MachineRecord& record, Writer writer, Wake wakeReceiver);

    void SetWaitHook(WaitHook hook);
    void SetReplyBound(std::chrono::milliseconds bound);

    // Waits until no reply is outstanding (at most the reply bound, then NoAnswerError
    // and the outstanding reply is given up), records the code, builds its text from
    // inputs and the record, marks a query as outstanding, writes, and for a query pauses
    // 30 ms and wakes the receiver. A field that is not a number throws ConversionError
    // before anything is written. A write that fails throws LinkWriteError at once; a
    // query whose bytes did not go out is no longer outstanding, so nothing waits for it.
    void SendCommand(std::int32_t code, const CommandInputs& inputs = {});

private:
    void WaitWhileReplyOutstanding();

    MachineRecord& record_;
    Writer writer_;
    Wake wakeReceiver_;
    WaitHook waitHook_;
    std::chrono::milliseconds replyBound_ = kDefaultReplyBound;
};

} // namespace zopra
