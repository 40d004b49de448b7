#include "protocol/CommandDispatcher.h"

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

void CommandDispatcher::WaitWhileReplyOutstanding() {
    const auto deadline = std::chrono::steady_clock::now() + replyBound_;
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
