#include "protocol/CommandDispatcher.h"

#include <algorithm>
#include <thread>

namespace zopra {

CommandDispatcher::CommandDispatcher(MachineRecord& record, Writer writer, Wake wakeReceiver)
    : record_(record), writer_(std::move(writer)), wakeReceiver_(std::move(wakeReceiver)),
      waitHook_([](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); }) {}

void CommandDispatcher::SetWaitHook(WaitHook hook) {
    waitHook_ = std::move(hook);
}

void CommandDispatcher::SetReplyBound(std::chrono::milliseconds bound) {
    replyBound_ = bound;
}

void CommandDispatcher::SetAbandonedReplies(AbandonedReplies* receiver) {
    abandoned_ = receiver;
}

void CommandDispatcher::SetLinkLost(LinkLost linkLost) {
    linkLost_ = std::move(linkLost);
}

CommandDispatcher::Series::Series(CommandDispatcher& dispatcher)
    : dispatcher_(dispatcher), previous_(dispatcher.seriesDeadline_) {
    const auto deadline = std::chrono::steady_clock::now() + dispatcher.replyBound_;
    if (!previous_ || deadline < *previous_)
        dispatcher_.seriesDeadline_ = deadline;
}

void CommandDispatcher::WaitWhileReplyOutstanding() {
    const auto now = std::chrono::steady_clock::now();
    auto deadline = now + replyBound_;
    // Inside a series its deadline holds, but a reply is never given less than a second (or
    // the whole bound, where that is shorter): the wait for an answer given up on earlier may
    // have used the series' time, and a cutter that answers at once must not be failed for it.
    if (seriesDeadline_)
        deadline = std::min(deadline, std::max(*seriesDeadline_,
                                               now + std::min(replyBound_, kSeriesGrace)));
    for (;;) {
        const bool outstanding = record_.FWaitingReply.load(std::memory_order_acquire) != 0;
        const bool late = abandoned_ != nullptr && abandoned_->AbandonedPending();
        if (!outstanding && !late)
            return;
        if (linkLost_ && linkLost_()) {
            // No answer can come over a link whose device is gone: give it up now, as the
            // bound would, and say why.
            if (outstanding && (abandoned_ == nullptr || abandoned_->Abandon())) {
                record_.FWaitingReply.store(0, std::memory_order_release);
                throw ConnectionLostError();
            }
            if (!outstanding) {
                abandoned_->Forget();
                return;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            if (outstanding) {
                // Give the reply up so that the next command can go out; the receiver
                // drops it if it still comes. When it is being read right now, the flag
                // clears in a moment instead.
                if (abandoned_ == nullptr || abandoned_->Abandon()) {
                    record_.FWaitingReply.store(0, std::memory_order_release);
                    throw NoAnswerError();
                }
            } else {
                // The answer given up on did not come within a second bound either: the
                // cutter never answered that query, and the next one may go out.
                abandoned_->Forget();
                return;
            }
        }
        waitHook_(kPollInterval);
    }
}

void CommandDispatcher::SendCommand(CommandCode code, const CommandInputs& inputs) {
    WaitWhileReplyOutstanding();
    record_.FPendingCommand.store(code, std::memory_order_release);

    const MachineSettings before = record_.Read();
    const std::string text = BuildCommandText(code, inputs, before);

    if (IsQuery(code))
        record_.FWaitingReply.store(1, std::memory_order_release);
    else if (code == kCmdTestSquare)
        record_.FWaitingReply.store(0, std::memory_order_release);

    if (const LinkWriteResult written = writer_(text); !written) {
        record_.FWaitingReply.store(0, std::memory_order_release);
        throw LinkWriteError(written.reason);
    }
    if (code == kCmdCalibrate || code == kCmdCalibrateAgain) {
        // The block went out whole, so the cutter now holds these factors: the next
        // calibration refines them instead of starting again from the ones read at connect.
        const ScaleFactors sent = CalibratedScales(inputs, before);
        record_.Write([&](MachineSettings& values) {
            values.FXScale = sent.x;
            values.FYScale = sent.y;
        });
    }

    if (record_.FWaitingReply.load(std::memory_order_acquire) == 1) {
        std::this_thread::sleep_for(kPauseBeforeWake);
        wakeReceiver_();
    }
}

} // namespace zopra
